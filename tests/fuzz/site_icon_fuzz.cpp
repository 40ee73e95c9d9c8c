// Any bytes as what a web server sends for a site's icon: read as an icon (ICO or PNG) and
// cleaned for the cache, as a page whose icon link is followed, as addresses (the link, a
// redirect's Location, a button's address and the source of a path's icon), and as a data URI
// of a bookmark file. The fuzzer is let make inputs as long as the longest response that is read
// (see fuzz_entry.cpp), so the caps are reached.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/site_icons.h"
#include "store/text_encoding.h"
#include "store/web_address.h"
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
    FUZZ_CHECK(images.size() <= kIconMaxImages, "at most 16 images");
    size_t imageBytes = 0;
    for (size_t i = 0; i < images.size(); ++i) {
        imageBytes += images[i].size;
        for (size_t k = 0; k < i; ++k) {
            FUZZ_CHECK(images[i].offset >= images[k].offset + images[k].size ||
                           images[k].offset >= images[i].offset + images[i].size,
                       "no byte in two images");
        }
    }
    const std::vector<uint8_t> clean = CleanIcon(data, size);
    const bool tooLarge = 6 + 16 * images.size() + imageBytes > kIconResponseLimit;
    FUZZ_CHECK(clean.empty() == (images.empty() || tooLarge),
               "an icon is cached exactly when it has a sound image and fits the cap");
    const bool barePng = images.size() == 1 && images[0].offset == 0;
    FUZZ_CHECK(clean.size() <= size + (barePng ? 22 : 0) && clean.size() <= kIconResponseLimit,
               "a cleaned icon is no larger than what came in, nor than the cap");
    if (clean.empty()) return;
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
    FUZZ_CHECK(DecodeIconDataUri(IconDataUri(clean), &decoded), "a cached icon's data URI decodes");
    FUZZ_CHECK(decoded == clean, "back to the same bytes");
}

void CheckAddresses(const std::string& text) {
    const std::string link = FindIconLink(text.data(), text.size());
    FUZZ_CHECK(link.size() <= 4096, "a link is at most 4,096 characters");
    for (const std::string& base : {std::string("http://example.org/a/b?c"), std::string("https://example.org/a"),
                                     text.substr(0, text.find('\n'))}) {
        const std::string redirected = RedirectTarget(base, link);
        WebAddress from;
        WebAddress to;
        if (!redirected.empty()) {
            FUZZ_CHECK(ParseWebAddress(base, &from) && ParseWebAddress(redirected, &to) &&
                           redirected == ResolveAddress(base, link),
                       "a redirect leads to the web address the link resolves to");
            FUZZ_CHECK(from.scheme != "https" || to.scheme == "https", "never from https down to http");
        }
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

// A button's address: how it is read, what it is, and where a path's icon would come from for each
// kind of drive.
void CheckButtonAddress(const std::string& line) {
    const std::string address = line.substr(0, line.find('\0'));
    const AddressParts parts = ReadAddress(address);
    FUZZ_CHECK(parts.host == LowerUtf8(parts.host) && parts.host.find_first_of("/?#\\@") == std::string::npos,
               "a host is in lower case and holds none of / ? # \\ @");
    FUZZ_CHECK(parts.hostStart <= parts.hostEnd && parts.hostEnd <= parts.authorityEnd && parts.authorityEnd <= address.size(),
               "the host lies within the authority, the authority within the address");
    const bool hash = address.find('#', parts.authorityEnd) != std::string::npos;
    const std::string tail = parts.path + (hash ? "#" + parts.fragment : std::string());
    FUZZ_CHECK(tail.size() <= address.size() && address.compare(address.size() - tail.size(), tail.size(), tail) == 0 &&
                   parts.path.find('#') == std::string::npos,
               "the path, then the fragment, end the address");
    const ButtonAddressKind kind = ClassifyButtonAddress(address.c_str());
    WebAddress web;
    FUZZ_CHECK((kind == ButtonAddressKind::Web) == ParseWebAddress(address, &web), "web exactly when it parses");
    const size_t first = address.find_first_not_of(" \t\r\n\f");
    const std::string text = first == std::string::npos ? std::string() : address.substr(first);
    const bool drive = text.size() >= 3 && ((text[0] >= 'a' && text[0] <= 'z') || (text[0] >= 'A' && text[0] <= 'Z')) &&
                       text[1] == ':' && (text[2] == '\\' || text[2] == '/');
    const char letter = PathDriveLetter(address.c_str());
    FUZZ_CHECK(letter == (kind == ButtonAddressKind::Path && drive ? static_cast<char>(text[0] & ~0x20) : 0),
               "a drive letter only for a drive path");
    for (int value = 0; value <= 7; ++value) {
        const auto driveKind = static_cast<DriveKind>(value);
        const bool local = driveKind == DriveKind::Fixed || driveKind == DriveKind::Removable;
        const PathIconSource source = ChoosePathIconSource(address.c_str(), driveKind);
        FUZZ_CHECK((source == PathIconSource::Shell) == (letter != 0 && local),
                   "the shell opens only a path on a local fixed or removable drive");
    }
    const std::string name = ExtensionIconName(address.c_str());
    FUZZ_CHECK(name == "file" || (name.size() >= 6 && name.size() <= 21 && name.compare(0, 5, "file.") == 0 &&
                                  name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789",
                                                         5) == std::string::npos),
               "an extension's icon is asked of a made-up name, never of the path");
}

}  // namespace

int FuzzSiteIcon(const uint8_t* data, size_t size) {
    CheckImages(data, size);
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckAddresses(text);
    // The first lines as buttons' addresses.
    size_t start = 0;
    for (int line = 0; line < 8 && start <= text.size(); ++line) {
        const size_t end = std::min(text.find('\n', start), text.size());
        CheckButtonAddress(text.substr(start, std::min<size_t>(end - start, 4096)));
        start = end + 1;
    }
    return 0;
}
