// Any bytes as what a web server sends for a site's icon: read as an icon (ICO or PNG) and
// cleaned for the cache, as a page whose icon link is followed, as addresses, and as a data URI
// of a bookmark file.
#include <cstdint>
#include <string>
#include <vector>

#include "app/site_icons.h"
#include "tests/fuzz/fuzz_harnesses.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void CheckImages(const uint8_t* data, size_t size) {
    const std::vector<IconImage> images = ReadIconImages(data, size);
    for (const IconImage& image : images) {
        FUZZ_CHECK(image.offset <= size && image.size <= size - image.offset, "every image lies within the data");
        FUZZ_CHECK(image.width >= 1 && image.width <= kIconMaxPixels && image.height >= 1 &&
                       image.height <= kIconMaxPixels,
                   "every image is 1 to 256 pixels a side");
    }
    const std::vector<uint8_t> clean = CleanIcon(data, size);
    FUZZ_CHECK(clean.empty() == images.empty(), "an icon is cached exactly when it has a sound image");
    const std::vector<IconImage> kept = ReadIconImages(clean.data(), clean.size());
    FUZZ_CHECK(kept.size() == images.size(), "the cached icon keeps every sound image");
    for (size_t i = 0; i < kept.size(); ++i) {
        FUZZ_CHECK(kept[i].width == images[i].width && kept[i].height == images[i].height && kept[i].png == images[i].png,
                   "each as it was");
    }
    FUZZ_CHECK(CleanIcon(clean.data(), clean.size()) == clean, "a cached icon is cached as it is");
    const int chosen = ChooseIconImage(images, 16 + static_cast<int>(size % 48));
    FUZZ_CHECK(images.empty() ? chosen == -1 : chosen >= 0 && static_cast<size_t>(chosen) < images.size(),
               "the chosen image is one of them");

    std::vector<uint8_t> decoded;
    FUZZ_CHECK(DecodeIconDataUri(IconDataUri(clean), &decoded) == !clean.empty(), "a cached icon's data URI decodes");
    if (!clean.empty()) FUZZ_CHECK(decoded == clean, "back to the same bytes");
}

void CheckAddresses(const std::string& text) {
    const std::string link = FindIconLink(text.data(), text.size());
    FUZZ_CHECK(link.size() <= 4096, "a link is at most 4,096 characters");
    for (const std::string& base : {std::string("http://example.org/a/b?c"), text.substr(0, text.find('\n'))}) {
        const std::string resolved = ResolveAddress(base, link);
        WebAddress address;
        if (resolved.empty() || resolved.compare(0, 5, "data:") == 0) continue;
        FUZZ_CHECK(ParseWebAddress(resolved, &address), "a resolved address is a web address");
        FUZZ_CHECK(FormatWebAddress(address) == resolved, "and reads back as itself");
        const std::string path = address.path.substr(0, address.path.find('?'));
        FUZZ_CHECK(path.find("/../") == std::string::npos && address.path.find('#') == std::string::npos,
                   "without dot segments or fragment");
        const std::string name = IconCacheName(address);
        FUZZ_CHECK(name.empty() || name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-._") == std::string::npos,
                   "a cache file name is made of safe characters");
    }
    std::vector<uint8_t> bytes;
    if (DecodeIconDataUri(text, &bytes)) FUZZ_CHECK(!bytes.empty() && bytes.size() <= kIconResponseLimit, "cut at 256 KiB");
}

}  // namespace

int FuzzSiteIcon(const uint8_t* data, size_t size) {
    CheckImages(data, size);
    CheckAddresses(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
