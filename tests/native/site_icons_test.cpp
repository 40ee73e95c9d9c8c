#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/site_icons.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutBig32(Bytes& out, uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Chunk(Bytes& out, const char* type, const Bytes& data) {
    PutBig32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, 0);  // CRC: left to the platform's decoder
}

// A PNG header, one data chunk and the end, `width` x `height`, 8-bit RGBA.
Bytes Png(uint32_t width, uint32_t height, bool end = true) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutBig32(header, width);
    PutBig32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", Bytes(10, 0));
    if (end) Chunk(png, "IEND", {});
    return png;
}

// An icon bitmap `side` pixels square: header, pixels and mask.
Bytes Bitmap(int side, int bits = 32, int doubleHeight = 0) {
    Bytes bmp;
    Put32(bmp, 40);
    Put32(bmp, static_cast<uint32_t>(side));
    Put32(bmp, static_cast<uint32_t>(doubleHeight != 0 ? doubleHeight : 2 * side));
    bmp.insert(bmp.end(), {1, 0, static_cast<uint8_t>(bits), 0});
    bmp.resize(40, 0);
    const size_t colours = bits <= 8 ? (size_t{1} << bits) * 4 : 0;
    const size_t rows = static_cast<size_t>(side) * (((side * bits + 31) / 32) * 4 + ((side + 31) / 32) * 4);
    bmp.resize(40 + colours + rows, 0x55);
    return bmp;
}

// An ICO of the given images; `count` overrides the number the header claims, `shift` moves the
// last entry's offset.
Bytes Ico(const std::vector<Bytes>& images, int count = -1, uint32_t shift = 0) {
    Bytes ico = {0, 0, 1, 0};
    const auto claimed = static_cast<uint32_t>(count >= 0 ? count : static_cast<int>(images.size()));
    ico.push_back(static_cast<uint8_t>(claimed));
    ico.push_back(static_cast<uint8_t>(claimed >> 8));
    auto offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        ico.insert(ico.end(), {16, 16, 0, 0, 1, 0, 32, 0});
        Put32(ico, static_cast<uint32_t>(images[i].size()));
        Put32(ico, offset + (i + 1 == images.size() ? shift : 0));
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const Bytes& image : images) ico.insert(ico.end(), image.begin(), image.end());
    return ico;
}

std::string Sides(const std::vector<IconImage>& images) {
    std::string sides;
    for (const IconImage& image : images) sides += std::to_string(image.width) + (image.png ? "p " : " ");
    return sides;
}

TEST(SiteIconImages, OnlySoundImagesAreReadAndCleanedIntoTheCache) {
    const std::string html = "<html><link rel=icon href=/a.ico></html>";
    Bytes truncated = Ico({Bitmap(16), Bitmap(32)});
    truncated.resize(truncated.size() - 1);
    struct Case {
        const char* what;
        Bytes data;
        std::string sides;
    } cases[] = {
        {"a bitmap icon", Ico({Bitmap(16)}), "16 "},
        {"sizes and depths", Ico({Bitmap(16, 4), Bitmap(48, 8), Bitmap(256, 1)}), "16 48 256 "},
        {"a PNG on its own", Png(32, 32), "32p "},
        {"a PNG inside the icon", Ico({Bitmap(16), Png(64, 64)}), "16 64p "},
        {"HTML is no icon", Bytes(html.begin(), html.end()), ""},
        {"truncated: the last image runs past the end", truncated, "16 "},
        {"an offset past the end", Ico({Bitmap(16), Bitmap(24)}, -1, 1000), "16 "},
        {"65,535 entries claimed", Ico({Bitmap(16)}, 65535), ""},
        {"no entries", Ico({}), ""},
        {"100,000 x 100,000 PNG", Png(100000, 100000), ""},
        {"257-pixel bitmap", Ico({Bitmap(257)}), ""},
        {"a PNG cut before its end", Png(16, 16, false), ""},
        {"a bitmap of an odd double height", Ico({Bitmap(16, 32, 33)}), ""},
        {"a bitmap of 7 bits per pixel", Ico({Bitmap(16, 7)}), ""},
        {"empty", Bytes(), ""},
    };
    for (const Case& c : cases) {
        const std::vector<IconImage> images = ReadIconImages(c.data.data(), c.data.size());
        EXPECT_EQ(c.sides, Sides(images)) << c.what;
        for (const IconImage& image : images) EXPECT_LE(image.offset + image.size, c.data.size()) << c.what;
        const Bytes clean = CleanIcon(c.data.data(), c.data.size());
        EXPECT_EQ(c.sides, Sides(ReadIconImages(clean.data(), clean.size()))) << c.what;
        EXPECT_EQ(clean, CleanIcon(clean.data(), clean.size())) << c.what << ": cleaning is stable";
    }
}

TEST(SiteIconImages, ACleanedIconIsNeverLargerThanWhatCameIn) {
    // 128 entries on one 1x1 bitmap, zeros up to 4,096 bytes: each entry used to be copied.
    Bytes same(4096, 0);
    const uint8_t header[] = {0, 0, 1, 0, 0x80, 0};
    const uint8_t entry[] = {1, 1, 0, 0, 1, 0, 1, 0, 0xfa, 0x07, 0, 0, 0x06, 0x08, 0, 0};
    const uint8_t bitmap[] = {0x28, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 1, 0};
    std::memcpy(same.data(), header, sizeof header);
    for (size_t i = 0; i < 128; ++i) std::memcpy(same.data() + 6 + 16 * i, entry, sizeof entry);
    std::memcpy(same.data() + 0x806, bitmap, sizeof bitmap);
    Bytes overlapping = Ico({Bitmap(16), Bitmap(16)});
    overlapping[6 + 16 + 12] -= 8;  // the second entry starts inside the first image
    std::vector<Bytes> twenty;
    for (int side = 1; side <= 20; ++side) twenty.push_back(Bitmap(side));
    Bytes atCap = Png(16, 16);  // a PNG the cache's 22 bytes of directory would take past the cap
    atCap.resize(8 + 25);       // signature and header
    Chunk(atCap, "IDAT", Bytes(kIconResponseLimit - atCap.size() - 24, 0));
    Chunk(atCap, "IEND", {});
    const struct Case {
        const char* what;
        Bytes data;
        size_t images;
        size_t cleaned;  // 0: refused
    } cases[] = {
        {"128 entries on the same bytes", same, 1, 6 + 16 + 0x7FA},
        {"an entry inside another's bytes", overlapping, 1, 6 + 16 + Bitmap(16).size()},
        {"twenty sizes", Ico(twenty), 16, Ico({twenty.begin(), twenty.begin() + 16}).size()},
        {"a PNG of the whole cap", atCap, 1, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.images, ReadIconImages(c.data.data(), c.data.size()).size()) << c.what;
        const Bytes clean = CleanIcon(c.data.data(), c.data.size());
        EXPECT_EQ(c.cleaned, clean.size()) << c.what;
        EXPECT_LE(clean.size(), c.data.size()) << c.what;
    }
}

TEST(SiteIconImages, TheSizeForTheDisplayIsChosen) {
    const Bytes ico = Ico({Bitmap(48, 8), Bitmap(16, 4), Bitmap(16, 32), Bitmap(32, 32)});
    const std::vector<IconImage> images = ReadIconImages(ico.data(), ico.size());
    ASSERT_EQ(4u, images.size());
    const struct {
        int pixels;
        int chosen;
    } cases[] = {{16, 2}, {20, 3}, {32, 3}, {40, 0}, {64, 0}, {8, 2}};
    for (const auto& c : cases) EXPECT_EQ(c.chosen, ChooseIconImage(images, c.pixels)) << c.pixels;
    EXPECT_EQ(-1, ChooseIconImage({}, 16));
}

TEST(SiteIconPages, TheIconLinkIsFoundAsBrowsersRankIt) {
    const struct {
        const char* html;
        const char* href;
    } cases[] = {
        {"<link rel=\"apple-touch-icon\" href=\"t.png\"><LINK REL='Shortcut Icon' HREF='s.ico'>"
         "<link rel=\"icon\" href=\"i.png\">",
         "i.png"},
        {"<link rel=\"apple-touch-icon\" href=\"t.png\"><link rel=\"shortcut icon\" href=\"s.ico\">", "s.ico"},
        {"<link href=/t.png rel=apple-touch-icon>", "/t.png"},
        {"<!-- <link rel=icon href=old.ico> --><link rel=icon href=new.ico>", "new.ico"},
        {"<link rel=icon type=\"image/svg+xml\" href=a.svg><link rel=icon href=\"b.svg?v=1\"><link rel=icon "
         "href=c.ico>",
         "c.ico"},
        {"<link rel=icon href=\"/i.ico?a=1&amp;b=2\">", "/i.ico?a=1&b=2"},
        {"<link rel=stylesheet href=s.css><linker rel=icon href=x>", ""},
        {"<link rel=icon href=\"never closed", ""},
        {"<link rel=icon href=", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.href, FindIconLink(c.html, std::strlen(c.html))) << c.html;
    // Only the first 256 KiB are read.
    std::string page(kIconResponseLimit - 10, ' ');
    page += "<link rel=icon href=late.ico>";
    EXPECT_EQ("", FindIconLink(page.data(), page.size()));
}

TEST(SiteIconAddresses, AddressesAreParsedResolvedAndNamed) {
    const struct {
        const char* base;
        const char* reference;
        const char* resolved;
    } resolves[] = {
        {"http://example.org/a/b/page.html?q", "icon.ico", "http://example.org/a/b/icon.ico"},
        {"http://example.org/a/b/", "../../../x/./i.png#f", "http://example.org/x/i.png"},
        {"https://example.org:443/a", "/i.ico", "https://example.org/i.ico"},
        {"http://Example.ORG:8080/a/b", "?v=2", "http://example.org:8080/a/b?v=2"},
        {"https://example.org/", "//cdn.example.net/i.ico", "https://cdn.example.net/i.ico"},
        {"http://example.org/", "HTTP://user:pw@Other.example:81/i.ico", "http://other.example:81/i.ico"},
        {"http://example.org/", "data:image/png;base64,AAAA", "data:image/png;base64,AAAA"},
        {"http://example.org/", "javascript:alert(1)", ""},
        {"http://example.org/", "ftp://example.org/i.ico", ""},
        {"http://example.org:99999/", "i.ico", ""},
        {"mailto:a@example.org", "i.ico", ""},
    };
    for (const auto& c : resolves) EXPECT_EQ(c.resolved, ResolveAddress(c.base, c.reference)) << c.reference;

    const struct {
        const char* address;
        const char* name;
    } names[] = {
        {"http://example.org/page", "example.org.ico"},
        {"https://EXAMPLE.org./", "example.org.ico"},
        {"http://127.0.0.1:8080/", "127.0.0.1_8080.ico"},
        {"https://example.org:80/", "example.org_80.ico"},
        {"http://con/", ""},
        {"http://lpt1.example.org/", ""},
        {"http://a..b/", ""},
        {"http://[::1]:8080/", ""},
        {"http://exa%6dple.org/", ""},
        {"http://a_b.example/", ""},
    };
    for (const auto& c : names) {
        WebAddress address;
        ASSERT_TRUE(ParseWebAddress(c.address, &address)) << c.address;
        EXPECT_EQ(c.name, IconCacheName(address)) << c.address;
    }
    WebAddress site;
    ASSERT_TRUE(ParseWebAddress(" http://example.org:8080/a?b#c ", &site));
    EXPECT_EQ("http://example.org:8080/favicon.ico", FaviconAddress(site));

    const struct {
        const char* address;
        ButtonAddressKind kind;
    } kinds[] = {
        {"https://example.org", ButtonAddressKind::Web}, {"C:\\Windows\\notepad.exe", ButtonAddressKind::Path},
        {"d:/music", ButtonAddressKind::Path},            {"\\\\server\\share", ButtonAddressKind::Path},
        {"notepad", ButtonAddressKind::Other},            {"mailto:a@example.org", ButtonAddressKind::Other},
        {"http://", ButtonAddressKind::Other},            {"", ButtonAddressKind::Other},
    };
    for (const auto& c : kinds) EXPECT_EQ(c.kind, ClassifyButtonAddress(c.address)) << c.address;
}

TEST(SiteIconAddresses, RedirectsNeverStepDownFromHttps) {
    const struct {
        const char* from;
        const char* location;
        const char* target;
    } cases[] = {
        {"http://example.org/favicon.ico", "https://example.org/i.ico", "https://example.org/i.ico"},
        {"http://example.org/a", "/b.ico", "http://example.org/b.ico"},
        {"https://example.org/a", "//cdn.example.net/i.ico", "https://cdn.example.net/i.ico"},
        {"https://example.org/a", "http://example.org/i.ico", ""},
        {"https://example.org/a", "HTTP://other.example/i.ico", ""},
        {"https://example.org/a", "data:image/png;base64,AAAA", ""},
        {"https://example.org/a", "file:///C:/x.ico", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.target, RedirectTarget(c.from, c.location)) << c.from << " " << c.location;
}

// The shell opens a path to find its icon: only one on a local fixed or removable drive is asked.
TEST(SiteIconAddresses, OnlyPathsOnLocalDrivesAreOpenedForTheirIcons) {
    using Kind = ButtonAddressKind;
    using Source = PathIconSource;
    const struct {
        const char* address;
        DriveKind drive;  // what the system says of the drive letter's drive
        Kind kind;
        char letter;
        Source source;
        const char* extensionName;
    } cases[] = {
        {"C:\\Users\\x\\report.pdf", DriveKind::Fixed, Kind::Path, 'C', Source::Shell, "file.pdf"},
        {" e:/Music/a.MP3", DriveKind::Removable, Kind::Path, 'E', Source::Shell, "file.MP3"},
        {"Z:\\report.pdf", DriveKind::Remote, Kind::Path, 'Z', Source::Extension, "file.pdf"},
        {"D:\\setup.exe", DriveKind::CdRom, Kind::Path, 'D', Source::Extension, "file.exe"},
        {"Q:\\x.txt", DriveKind::NoRoot, Kind::Path, 'Q', Source::Extension, "file.txt"},
        {"\\\\203.0.113.9\\share\\report.pdf", DriveKind::Fixed, Kind::Path, 0, Source::Extension, "file.pdf"},
        {"\\\\?\\UNC\\host\\x", DriveKind::Fixed, Kind::Path, 0, Source::Extension, "file"},
        {"\\\\?\\C:\\x.doc", DriveKind::Fixed, Kind::Path, 0, Source::Extension, "file.doc"},
        {"\\\\.\\pipe\\spoolss", DriveKind::Fixed, Kind::Path, 0, Source::Extension, "file"},
        {"\\\\host\\share\\a.b\\c", DriveKind::Fixed, Kind::Path, 0, Source::Extension, "file"},
        {"\\\\host\\x.<script>", DriveKind::Fixed, Kind::Path, 0, Source::Extension, "file"},
        {"docs\\report.pdf", DriveKind::Fixed, Kind::Other, 0, Source::Extension, "file.pdf"},
        {"C:report.pdf", DriveKind::Fixed, Kind::Other, 0, Source::Extension, "file.pdf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.kind, ClassifyButtonAddress(c.address)) << c.address;
        EXPECT_EQ(c.letter, PathDriveLetter(c.address)) << c.address;
        EXPECT_EQ(c.source, ChoosePathIconSource(c.address, c.drive)) << c.address;
        EXPECT_EQ(c.extensionName, ExtensionIconName(c.address)) << c.address;
    }
}

TEST(SiteIconSchedule, CachedFreshStaleMissingAndTheFolderCap) {
    const int64_t now = 1000000000;
    const int64_t day = kIconRetrySeconds;
    const struct {
        IconCacheFile file;
        IconPlan plan;
    } cases[] = {
        {{false, 0, 0}, IconPlan::Fetch},
        {{true, 900, now - 29 * day}, IconPlan::UseCached},
        {{true, 900, now - 30 * day}, IconPlan::UseCachedRefresh},
        {{true, 900, now + day}, IconPlan::UseCachedRefresh},
        {{true, 0, now - day + 1}, IconPlan::Wait},
        {{true, 0, now - day}, IconPlan::Fetch},
        {{true, 900, FailedRefreshTime(now)}, IconPlan::UseCached},
        {{true, 900, FailedRefreshTime(now - day)}, IconPlan::UseCachedRefresh},
    };
    for (const auto& c : cases) EXPECT_EQ(c.plan, PlanIconFetch(c.file, now)) << c.file.size << " " << now - c.file.modified;

    const std::vector<IconFolderFile> files = {
        {"new.ico", 2000000, now}, {"old.ico", 2000000, now - 10}, {"older.ico", 100, now - 20}, {"mid.ico", 1500000, now - 5}};
    EXPECT_EQ((std::vector<std::string>{"older.ico", "old.ico"}), IconFilesOverLimit(files));
    EXPECT_TRUE(IconFilesOverLimit(files, 6000000).empty());
}

TEST(SiteIconDataUris, BookmarkIconsDecodeUnderTheCapAndEncodeBack) {
    const Bytes ico = Ico({Bitmap(16)});
    const std::string uri = IconDataUri(ico);
    EXPECT_EQ(0u, uri.find("data:image/x-icon;base64,AAABAAEAEBAAAAEAIA"));
    Bytes decoded;
    ASSERT_TRUE(DecodeIconDataUri(uri, &decoded));
    EXPECT_EQ(ico, decoded);
    const struct {
        std::string uri;
        bool ok;
        size_t size;
    } cases[] = {
        {"DATA:image/png;base64, iVBO\nRw==", true, 4},
        {"data:image/png;base64,QUJD", true, 3},
        {"data:image/png;base64,QUI=", true, 2},
        {"data:text/html;base64,QUJD", false, 0},
        {"data:image/png,QUJD", false, 0},
        {"data:image/png;base64,QU*D", false, 0},
        {"data:image/png;base64,QUI=QUJD", false, 0},
        {"data:image/png;base64,Q", false, 0},
        {"data:image/png;base64," + std::string(kIconResponseLimit / 3 * 4 + 8, 'A'), false, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.ok, DecodeIconDataUri(c.uri, &decoded)) << c.uri.substr(0, 40);
        if (c.ok) EXPECT_EQ(c.size, decoded.size()) << c.uri;
    }
}

}  // namespace
