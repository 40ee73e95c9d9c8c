#include "app/site_icons.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <numeric>

#include "store/text_encoding.h"
#include "store/web_address.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string Trimmed(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsSpace(text[first])) ++first;
    while (last > first && IsSpace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

int DefaultPort(const std::string& scheme) { return scheme == "https" ? 443 : 80; }

// A path with its "." and ".." segments worked out, as a browser does; it stays below "/".
std::string RemoveDotSegments(const std::string& path) {
    std::vector<std::string> segments;
    size_t start = 1;  // past the leading '/'
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        const std::string segment = path.substr(start, slash - start);
        const bool last = slash == path.size();
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
            if (last) segments.emplace_back();
        } else if (segment == ".") {
            if (last) segments.emplace_back();
        } else {
            segments.push_back(segment);
        }
        start = slash + 1;
    }
    std::string out;
    for (const std::string& segment : segments) out += "/" + segment;
    return out.empty() ? "/" : out;
}

// ---- Bytes ----

uint32_t U16At(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t U32At(const uint8_t* p) { return U16At(p) | (U16At(p + 2) << 16); }
uint32_t BigU32At(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsPng(const uint8_t* data, size_t size) {
    return size >= sizeof kPngSignature && std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0;
}

// A complete PNG of at most 256 pixels a side: the header first, then chunks that each fit,
// up to IEND. The pixels themselves are left to the platform's decoder, which the size cap keeps
// to at most 256 x 256.
bool ReadPng(const uint8_t* data, size_t size, IconImage* image) {
    if (!IsPng(data, size) || size < 8 + 25) return false;
    const uint8_t* header = data + 8;
    if (BigU32At(header) != 13 || std::memcmp(header + 4, "IHDR", 4) != 0) return false;
    const uint32_t width = BigU32At(header + 8);
    const uint32_t height = BigU32At(header + 12);
    const uint8_t depth = header[16];
    const uint8_t colour = header[17];
    if (width == 0 || height == 0 || width > kIconMaxPixels || height > kIconMaxPixels) return false;
    bool depthFits = false;
    switch (colour) {
        case 0: depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
        case 3: depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
        case 2: case 4: case 6: depthFits = depth == 8 || depth == 16; break;
        default: break;
    }
    if (!depthFits || header[18] != 0 || header[19] != 0 || header[20] > 1) return false;
    size_t at = 8;
    for (;;) {
        if (size - at < 12) return false;
        const uint64_t length = BigU32At(data + at);
        if (length > size - at - 12) return false;
        const bool end = std::memcmp(data + at + 4, "IEND", 4) == 0;
        at += static_cast<size_t>(length) + 12;
        if (end) break;
    }
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->bitsPerPixel = 32;
    image->png = true;
    return true;
}

// An icon bitmap as an ICO entry holds it: a BITMAPINFOHEADER (or a later version of it) with
// twice the image's height, the colour table, the pixels and the 1-bit mask, all within `size`.
bool ReadIconBitmap(const uint8_t* data, size_t size, IconImage* image) {
    if (size < 40) return false;
    const uint32_t headerSize = U32At(data);
    if ((headerSize != 40 && headerSize != 108 && headerSize != 124) || headerSize > size) return false;
    const auto width = static_cast<int32_t>(U32At(data + 4));
    const auto doubleHeight = static_cast<int32_t>(U32At(data + 8));
    const uint32_t planes = U16At(data + 12);
    const uint32_t bits = U16At(data + 14);
    const uint32_t compression = U32At(data + 16);
    const uint32_t coloursUsed = U32At(data + 32);
    if (width < 1 || width > kIconMaxPixels || doubleHeight < 2 || doubleHeight > 2 * kIconMaxPixels ||
        doubleHeight % 2 != 0 || planes != 1 || compression != 0) {
        return false;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    uint64_t colours = coloursUsed;
    if (bits <= 8) {
        if (colours == 0) colours = uint64_t{1} << bits;
        if (colours > (uint64_t{1} << bits)) return false;
    } else if (colours > 256) {
        return false;
    }
    const int32_t height = doubleHeight / 2;
    const uint64_t pixelRow = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    const uint64_t maskRow = ((static_cast<uint64_t>(width) + 31) / 32) * 4;
    const uint64_t needed = headerSize + colours * 4 + (pixelRow + maskRow) * static_cast<uint64_t>(height);
    if (needed > size) return false;
    image->width = width;
    image->height = height;
    image->bitsPerPixel = static_cast<int>(bits);
    image->png = false;
    return true;
}

// ---- HTML ----

class Tags {
public:
    Tags(const char* text, size_t size) : text_(text), size_(size) {}

    // Moves to the next <link ...> tag; false at the end of the text.
    bool NextLink() {
        while (at_ < size_) {
            const char* open = static_cast<const char*>(std::memchr(text_ + at_, '<', size_ - at_));
            if (open == nullptr) break;
            at_ = static_cast<size_t>(open - text_) + 1;
            if (Follows("!--")) {
                const char* close = Find("-->", at_ + 3);
                at_ = close != nullptr ? static_cast<size_t>(close - text_) + 3 : size_;
                continue;
            }
            if (FollowsFolded("link") && at_ + 4 < size_ && (IsSpace(text_[at_ + 4]) || text_[at_ + 4] == '/')) {
                at_ += 4;
                return true;
            }
        }
        at_ = size_;
        return false;
    }

    // The next attribute of the tag; false at its end. A value is at most 4,096 characters:
    // a longer one is read past and given as "".
    bool NextAttribute(std::string* name, std::string* value) {
        while (at_ < size_ && (IsSpace(text_[at_]) || text_[at_] == '/')) ++at_;
        if (at_ >= size_ || text_[at_] == '>') return false;
        const size_t nameStart = at_;
        while (at_ < size_ && !IsSpace(text_[at_]) && text_[at_] != '=' && text_[at_] != '>' && text_[at_] != '/') ++at_;
        *name = LowerUtf8(std::string(text_ + nameStart, at_ - nameStart));
        value->clear();
        size_t look = at_;
        while (look < size_ && IsSpace(text_[look])) ++look;
        if (look >= size_ || text_[look] != '=') return true;
        at_ = look + 1;
        while (at_ < size_ && IsSpace(text_[at_])) ++at_;
        if (at_ >= size_) return false;
        size_t start = at_;
        size_t end = 0;
        if (text_[at_] == '"' || text_[at_] == '\'') {
            const char* close = static_cast<const char*>(std::memchr(text_ + at_ + 1, text_[at_], size_ - at_ - 1));
            if (close == nullptr) {
                at_ = size_;
                return false;
            }
            start = at_ + 1;
            end = static_cast<size_t>(close - text_);
            at_ = end + 1;
        } else {
            while (at_ < size_ && !IsSpace(text_[at_]) && text_[at_] != '>') ++at_;
            end = at_;
        }
        if (end - start <= 4096) value->assign(text_ + start, end - start);
        return true;
    }

private:
    bool Follows(const char* word) const {
        const size_t length = std::strlen(word);
        return size_ - at_ >= length && std::memcmp(text_ + at_, word, length) == 0;
    }
    bool FollowsFolded(const char* word) const {
        const size_t length = std::strlen(word);
        if (size_ - at_ < length) return false;
        for (size_t i = 0; i < length; ++i) {
            if (LowerAscii(text_[at_ + i]) != word[i]) return false;
        }
        return true;
    }
    const char* Find(const char* word, size_t from) const {
        if (from >= size_) return nullptr;
        const char* found = std::search(text_ + from, text_ + size_, word, word + std::strlen(word));
        return found == text_ + size_ ? nullptr : found;
    }

    const char* text_;
    size_t size_;
    size_t at_ = 0;
};

// How well a rel value names the site's icon: 0 "icon", 1 "shortcut icon", 2 "apple-touch-icon",
// 3 not at all.
int IconRank(const std::string& rel) {
    bool icon = false;
    bool shortcut = false;
    bool touch = false;
    size_t at = 0;
    const std::string lowered = LowerUtf8(rel);
    while (at < lowered.size()) {
        while (at < lowered.size() && IsSpace(lowered[at])) ++at;
        size_t end = at;
        while (end < lowered.size() && !IsSpace(lowered[end])) ++end;
        const std::string token = lowered.substr(at, end - at);
        icon = icon || token == "icon";
        shortcut = shortcut || token == "shortcut";
        touch = touch || token == "apple-touch-icon" || token == "apple-touch-icon-precomposed";
        at = end;
    }
    if (icon) return shortcut ? 1 : 0;
    return touch ? 2 : 3;
}

std::string DecodeAmpersands(std::string text) {
    size_t at = 0;
    while ((at = text.find("&amp;", at)) != std::string::npos) text.replace(at++, 5, "&");
    return text;
}

bool IsSvg(const std::string& type, const std::string& href) {
    if (LowerUtf8(type).find("svg") != std::string::npos) return true;
    const std::string path = LowerUtf8(href.substr(0, href.find_first_of("?#")));
    return path.size() >= 4 && path.compare(path.size() - 4, 4, ".svg") == 0;
}

// ---- Base64 ----

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

// ---- Addresses ----

ButtonAddressKind ClassifyButtonAddress(const char* address) {
    const std::string text = Trimmed(address);
    WebAddress web;
    if (ParseWebAddress(text, &web)) return ButtonAddressKind::Web;
    const bool drive = text.size() >= 3 && LowerAscii(text[0]) >= 'a' && LowerAscii(text[0]) <= 'z' && text[1] == ':' &&
                       (text[2] == '\\' || text[2] == '/');
    const bool network = text.size() >= 3 && text[0] == '\\' && text[1] == '\\' && text[2] != '\\';
    return drive || network ? ButtonAddressKind::Path : ButtonAddressKind::Other;
}

char PathDriveLetter(const char* address) {
    const std::string text = Trimmed(address);
    if (ClassifyButtonAddress(text.c_str()) != ButtonAddressKind::Path || text[0] == '\\') return 0;
    return static_cast<char>(LowerAscii(text[0]) - 'a' + 'A');
}

PathIconSource ChoosePathIconSource(const char* address, DriveKind drive) {
    if (PathDriveLetter(address) == 0) return PathIconSource::Extension;
    return drive == DriveKind::Fixed || drive == DriveKind::Removable ? PathIconSource::Shell
                                                                      : PathIconSource::Extension;
}

std::string ExtensionIconName(const char* address) {
    const std::string text = Trimmed(address);
    const size_t component = text.find_last_of("\\/:");
    const size_t dot = text.rfind('.');
    if (dot == std::string::npos || (component != std::string::npos && dot < component)) return "file";
    const std::string extension = text.substr(dot + 1);
    const bool plain = !extension.empty() && extension.size() <= 16 &&
                       extension.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") ==
                           std::string::npos;
    return plain ? "file." + extension : "file";
}

bool ParseWebAddress(const std::string& text, WebAddress* address) {
    const std::string trimmed = Trimmed(text);
    const AddressParts parts = ReadAddress(trimmed);
    if ((parts.scheme != "http" && parts.scheme != "https") || !parts.hasAuthority || parts.port < 0) return false;
    const std::string host = trimmed.substr(parts.hostStart, parts.hostEnd - parts.hostStart);
    if (host.empty()) return false;
    const bool bracketed = host.front() == '[' && host.back() == ']';
    for (size_t i = 0; i < host.size(); ++i) {
        const char c = host[i];
        // A bracketed IPv6 address keeps its colons; no host has the others.
        const bool edge = (c == '[' && i == 0) || (c == ']' && i + 1 == host.size());
        if (static_cast<unsigned char>(c) <= ' ' || (std::strchr("<>\"^`{|}[]", c) != nullptr && !(bracketed && edge)) ||
            (c == ':' && !bracketed)) {
            return false;
        }
    }
    std::string path = parts.path;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || path[0] != '/') path.insert(0, "/");
    const size_t query = path.find('?');
    path = RemoveDotSegments(path.substr(0, query)) + (query != std::string::npos ? path.substr(query) : "");
    address->scheme = parts.scheme;
    address->host = parts.host;
    address->port = parts.port != 0 ? parts.port : DefaultPort(parts.scheme);
    address->path = path;
    return true;
}

std::string FormatWebAddress(const WebAddress& address) {
    std::string text = address.scheme + "://" + address.host;
    if (address.port != DefaultPort(address.scheme)) text += ":" + std::to_string(address.port);
    return text + address.path;
}

std::string FaviconAddress(const WebAddress& address) {
    WebAddress favicon = address;
    favicon.path = "/favicon.ico";
    return FormatWebAddress(favicon);
}

std::string ResolveAddress(const std::string& base, const std::string& reference) {
    const std::string ref = Trimmed(reference);
    const AddressParts parts = ReadAddress(ref);
    if (parts.scheme == "data") return "data:" + ref.substr(5);
    WebAddress address;
    if (!parts.scheme.empty()) return ParseWebAddress(ref, &address) ? FormatWebAddress(address) : std::string();
    if (!ParseWebAddress(base, &address)) return std::string();
    if (ref.compare(0, 2, "//") == 0) {
        return ParseWebAddress(address.scheme + ":" + ref, &address) ? FormatWebAddress(address) : std::string();
    }
    std::string relative = ref.substr(0, ref.find('#'));
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const std::string basePath = address.path.substr(0, address.path.find('?'));
    std::string path;
    if (relative.empty()) {
        path = address.path;
    } else if (relative[0] == '/') {
        path = relative;
    } else if (relative[0] == '?') {
        path = basePath + relative;
    } else {
        path = basePath.substr(0, basePath.rfind('/') + 1) + relative;
    }
    address.path = path;
    // Parsed again: the dot segments go, and what is left must still be a web address.
    return ParseWebAddress(FormatWebAddress(address), &address) ? FormatWebAddress(address) : std::string();
}

std::string RedirectTarget(const std::string& from, const std::string& location) {
    std::string next = ResolveAddress(from, location);
    if (next.empty() || next.compare(0, 5, "data:") == 0) return std::string();
    WebAddress source;
    WebAddress target;
    if (!ParseWebAddress(from, &source) || !ParseWebAddress(next, &target)) return std::string();
    if (source.scheme == "https" && target.scheme != "https") return std::string();
    return next;
}

std::string IconCacheName(const WebAddress& address) {
    std::string host = address.host;
    if (!host.empty() && host.back() == '.') host.pop_back();  // "example.org." is the same site
    if (host.empty() || host.size() > 200 || host.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-.") !=
                                                 std::string::npos) {
        return std::string();
    }
    if (host[0] == '.' || host.back() == '.' || host.find("..") != std::string::npos) return std::string();
    // Windows takes a name whose first part is a device name for the device, whatever follows.
    const std::string first = host.substr(0, host.find('.'));
    static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
    if (std::any_of(std::begin(kDevices), std::end(kDevices), [&](const char* device) { return first == device; })) {
        return std::string();
    }
    if (first.size() == 4 && (first.compare(0, 3, "com") == 0 || first.compare(0, 3, "lpt") == 0) &&
        first[3] >= '1' && first[3] <= '9') {
        return std::string();
    }
    if (address.port != DefaultPort(address.scheme)) host += "_" + std::to_string(address.port);
    return host + ".ico";
}

// ---- What to fetch ----

IconPlan PlanIconFetch(const IconCacheFile& file, int64_t now) {
    if (!file.exists) return IconPlan::Fetch;
    const int64_t age = now - file.modified;  // a time in the future counts as due
    if (file.size == 0) return age >= 0 && age < kIconRetrySeconds ? IconPlan::Wait : IconPlan::Fetch;
    return age >= 0 && age < kIconRefreshSeconds ? IconPlan::UseCached : IconPlan::UseCachedRefresh;
}

int64_t FailedRefreshTime(int64_t now) { return now - kIconRefreshSeconds + kIconRetrySeconds; }

std::vector<std::string> IconFilesOverLimit(std::vector<IconFolderFile> files, uint64_t limit) {
    std::sort(files.begin(), files.end(), [](const IconFolderFile& a, const IconFolderFile& b) {
        return a.modified != b.modified ? a.modified < b.modified : a.name < b.name;
    });
    uint64_t total = std::accumulate(files.begin(), files.end(), uint64_t{0},
                                     [](uint64_t sum, const IconFolderFile& file) { return sum + file.size; });
    std::vector<std::string> doomed;
    for (const IconFolderFile& file : files) {
        if (total <= limit) break;
        doomed.push_back(file.name);
        total -= file.size;
    }
    return doomed;
}

// ---- Images ----

std::vector<IconImage> ReadIconImages(const uint8_t* data, size_t size) {
    std::vector<IconImage> images;
    IconImage image;
    if (IsPng(data, size)) {
        if (ReadPng(data, size, &image)) {
            image.offset = 0;
            image.size = size;
            images.push_back(image);
        }
        return images;
    }
    if (size < 6 || U16At(data) != 0 || U16At(data + 2) != 1) return images;
    const size_t count = U16At(data + 4);
    const size_t directoryEnd = 6 + 16 * count;
    if (count == 0 || directoryEnd > size) return images;
    for (size_t i = 0; i < count && i < kIconMaxEntries && images.size() < kIconMaxImages; ++i) {
        const uint8_t* entry = data + 6 + 16 * i;
        const uint64_t length = U32At(entry + 8);
        const uint64_t offset = U32At(entry + 12);
        if (offset < directoryEnd || offset > size || length > size - offset) continue;
        // An entry sharing bytes with one already taken would copy them twice.
        const bool overlaps = std::any_of(images.begin(), images.end(), [&](const IconImage& taken) {
            return offset < taken.offset + taken.size && taken.offset < offset + length;
        });
        if (overlaps) continue;
        const uint8_t* bytes = data + offset;
        const bool read = IsPng(bytes, static_cast<size_t>(length))
                              ? ReadPng(bytes, static_cast<size_t>(length), &image)
                              : ReadIconBitmap(bytes, static_cast<size_t>(length), &image);
        if (!read) continue;
        image.offset = static_cast<size_t>(offset);
        image.size = static_cast<size_t>(length);
        images.push_back(image);
    }
    return images;
}

std::vector<uint8_t> CleanIcon(const uint8_t* data, size_t size) {
    const std::vector<IconImage> images = ReadIconImages(data, size);
    std::vector<uint8_t> icon;
    const size_t total = std::accumulate(images.begin(), images.end(), 6 + 16 * images.size(),
                                         [](size_t sum, const IconImage& image) { return sum + image.size; });
    if (images.empty() || total > kIconResponseLimit) return icon;
    icon.reserve(total);
    auto put16 = [&icon](uint32_t value) {
        icon.push_back(static_cast<uint8_t>(value));
        icon.push_back(static_cast<uint8_t>(value >> 8));
    };
    auto put32 = [&put16](uint32_t value) {
        put16(value & 0xFFFF);
        put16(value >> 16);
    };
    put16(0);
    put16(1);
    put16(static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const IconImage& image : images) {
        icon.push_back(static_cast<uint8_t>(image.width % 256));  // 256 is written as 0
        icon.push_back(static_cast<uint8_t>(image.height % 256));
        icon.push_back(0);  // colour count: taken from the image
        icon.push_back(0);
        put16(1);
        put16(static_cast<uint32_t>(image.bitsPerPixel));
        put32(static_cast<uint32_t>(image.size));
        put32(offset);
        offset += static_cast<uint32_t>(image.size);
    }
    for (const IconImage& image : images) icon.insert(icon.end(), data + image.offset, data + image.offset + image.size);
    return icon;
}

int ChooseIconImage(const std::vector<IconImage>& images, int pixels) {
    int best = -1;
    auto side = [](const IconImage& image) { return std::max(image.width, image.height); };
    // Exact first, then the smallest larger, then the largest smaller; more colours break ties.
    auto better = [&](const IconImage& a, const IconImage& b) {
        const int sa = side(a);
        const int sb = side(b);
        if (sa != sb) {
            const bool aFits = sa >= pixels;
            const bool bFits = sb >= pixels;
            if (aFits != bFits) return aFits;
            return aFits ? sa < sb : sa > sb;
        }
        return a.bitsPerPixel > b.bitsPerPixel;
    };
    for (size_t i = 0; i < images.size(); ++i) {
        if (best < 0 || better(images[i], images[static_cast<size_t>(best)])) best = static_cast<int>(i);
    }
    return best;
}

// ---- Pages ----

std::string FindIconLink(const char* html, size_t size) {
    Tags tags(html, std::min(size, kIconResponseLimit));
    std::string best;
    int bestRank = 3;
    std::string name;
    std::string value;
    while (bestRank > 0 && tags.NextLink()) {
        std::string rel;
        std::string href;
        std::string type;
        while (tags.NextAttribute(&name, &value)) {
            if (name == "rel") rel = value;
            if (name == "href") href = value;
            if (name == "type") type = value;
        }
        href = Trimmed(DecodeAmpersands(href));
        const int rank = IconRank(rel);
        if (rank < bestRank && !href.empty() && !IsSvg(type, href)) {
            best = href;
            bestRank = rank;
        }
    }
    return best;
}

// ---- Data URIs ----

bool DecodeIconDataUri(const std::string& uri, std::vector<uint8_t>* bytes) {
    bytes->clear();
    const std::string text = Trimmed(uri);
    const size_t payload = ImageDataUriPayload(text);
    if (payload == 0) return false;
    // Four characters make three bytes: anything that would decode to more than the cap is refused unread.
    if (text.size() - payload > (kIconResponseLimit / 3 + 1) * 4 + 4096) return false;
    uint32_t group = 0;
    int filled = 0;
    int padding = 0;
    for (size_t i = payload; i < text.size(); ++i) {
        const char c = text[i];
        if (IsSpace(c)) continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || padding > 0) return false;
        group = (group << 6) | static_cast<uint32_t>(value);
        if (++filled == 4) {
            bytes->push_back(static_cast<uint8_t>(group >> 16));
            bytes->push_back(static_cast<uint8_t>(group >> 8));
            bytes->push_back(static_cast<uint8_t>(group));
            group = 0;
            filled = 0;
        }
    }
    if (filled == 1 || padding > 2 || (padding > 0 && filled + padding != 4)) return false;
    if (filled == 2) bytes->push_back(static_cast<uint8_t>(group >> 4));
    if (filled == 3) {
        bytes->push_back(static_cast<uint8_t>(group >> 10));
        bytes->push_back(static_cast<uint8_t>(group >> 2));
    }
    return !bytes->empty() && bytes->size() <= kIconResponseLimit;
}

std::string IconDataUri(const std::vector<uint8_t>& icon) {
    std::string uri = "data:image/x-icon;base64,";
    for (size_t i = 0; i < icon.size(); i += 3) {
        const size_t left = icon.size() - i;
        const uint32_t group = (static_cast<uint32_t>(icon[i]) << 16) | (left > 1 ? icon[i + 1] << 8 : 0) |
                               (left > 2 ? icon[i + 2] : 0);
        uri += kBase64[(group >> 18) & 63];
        uri += kBase64[(group >> 12) & 63];
        uri += left > 1 ? kBase64[(group >> 6) & 63] : '=';
        uri += left > 2 ? kBase64[group & 63] : '=';
    }
    return uri;
}
