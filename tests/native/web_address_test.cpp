#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/site_icons.h"
#include "store/bookmark_format.h"
#include "store/bookmark_import.h"
#include "store/web_address.h"

namespace {

// Each part of an address, read once for the import and the icons alike.
TEST(AddressReading, SchemeAuthorityHostPortPathAndFragment) {
    const struct {
        const char* text;
        const char* scheme;
        bool authority;
        const char* writtenHost;  // what a button without a title is named
        const char* host;
        int port;
        const char* path;
        const char* fragment;
    } cases[] = {
        // Hosts in other scripts fold to lower case; a byte that is no UTF-8 stays.
        {"HTTP://\xD0\x9F\xD0\xA0\xD0\x98\xD0\x9C\xD0\x95\xD0\xA0.\xD0\xA0\xD0\xA4:8080/\xD0\x9F?q#\xD0\x9F",  // ПРИМЕР.РФ
         "http", true, "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x9C\xD0\x95\xD0\xA0.\xD0\xA0\xD0\xA4",
         "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD1\x80\xD1\x84", 8080, "/\xD0\x9F?q", "\xD0\x9F"},
        {"https://\xCE\x95\xCE\x9B\xCE\x9B\xCE\x86\xCE\x94\xCE\x91.gr", "https", true,
         "\xCE\x95\xCE\x9B\xCE\x9B\xCE\x86\xCE\x94\xCE\x91.gr", "\xCE\xB5\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1.gr", 0, "",
         ""},
        {"http://CAF\xC9.example/", "http", true, "CAF\xC9.example", "caf\xC9.example", 0, "/", ""},
        // Ports: empty is none; zero, too large, too long or not digits is no port.
        {"http://h:/", "http", true, "h", "h", 0, "/", ""},
        {"http://h:65535", "http", true, "h", "h", 65535, "", ""},
        {"http://h:0/", "http", true, "h", "h", -1, "/", ""},
        {"http://h:65536/", "http", true, "h", "h", -1, "/", ""},
        {"http://h:000080/", "http", true, "h", "h", -1, "/", ""},
        {"http://h:8a/", "http", true, "h", "h", -1, "/", ""},
        // The user name ends at the last '@' of the authority, never at one in the path.
        {"ftp://us@er:p:w@Host.example:21/a@b", "ftp", true, "Host.example", "host.example", 21, "/a@b", ""},
        {"http://host/?to=a@b", "http", true, "host", "host", 0, "/?to=a@b", ""},
        // An IPv6 literal keeps its brackets and colons.
        {"http://[FE80::1]:8080/x", "http", true, "[FE80::1]", "[fe80::1]", 8080, "/x", ""},
        {"http://[::1]", "http", true, "[::1]", "[::1]", 0, "", ""},
        // No host; a backslash ends the authority.
        {"http:///path", "http", true, "", "", 0, "/path", ""},
        {"http://", "http", true, "", "", 0, "", ""},
        {"http://Host\\Dir\\x#f", "http", true, "Host", "host", 0, "\\Dir\\x", "f"},
        {"http://host#a#b", "http", true, "host", "host", 0, "", "a#b"},
        // Schemes without an authority, odd ones, and none.
        {"mailto:A@Example.org", "mailto", false, "", "", 0, "A@Example.org", ""},
        {"C:\\x#1", "c", false, "", "", 0, "\\x", "1"},
        {"Web+App.1-x://h", "web+app.1-x", true, "h", "h", 0, "", ""},
        {"1http://x", "", false, "", "", 0, "1http://x", ""},
        {":x", "", false, "", "", 0, ":x", ""},
        {"h\xC3\xA9:x", "", false, "", "", 0, "h\xC3\xA9:x", ""},
        {"", "", false, "", "", 0, "", ""},
    };
    for (const auto& c : cases) {
        const AddressParts parts = ReadAddress(c.text);
        EXPECT_EQ(c.scheme, parts.scheme) << c.text;
        EXPECT_EQ(c.authority, parts.hasAuthority) << c.text;
        EXPECT_EQ(c.writtenHost, HostName(c.text)) << c.text;
        EXPECT_EQ(c.host, parts.host) << c.text;
        EXPECT_EQ(c.port, parts.port) << c.text;
        EXPECT_EQ(c.path, parts.path) << c.text;
        EXPECT_EQ(c.fragment, parts.fragment) << c.text;
    }
    // Comparing addresses folds the authority only: a path after a backslash keeps its case.
    EXPECT_EQ(AddressKey("http://X.ORG\\A"), AddressKey("http://x.org\\A"));
    EXPECT_NE(AddressKey("http://x.org\\A"), AddressKey("http://x.org\\a"));
}

// One reading of image data URIs: a bookmark file keeps (and an export writes) an icon exactly
// when its header is one the icons decode.
TEST(AddressReading, ImageDataUrisAreReadAlikeByBookmarksAndIcons) {
    const struct {
        const char* uri;
        size_t payload;
        bool bookmarkIcon;  // kept as a bookmark's icon
        bool decodes;
    } cases[] = {
        {"data:image/png;base64,QUJD", 22, true, true},
        {"DATA:Image/PNG;BASE64,QUJD", 22, true, true},
        {"data:image/svg+xml;charset=utf-8;base64,QUJD", 40, true, true},
        {"data:image/png;base64,QU JD", 22, false, true},  // wrapped: decoded, never written out so
        {"data:image/png;base64,Q", 22, true, false},      // kept as it came, but no bytes
        {"data:image/png,QUJD;base64,QUJD", 0, false, false},
        {"data:image/png;name=\"a b\";base64,QUJD", 0, false, false},
        {"data:image/png;base64x,QUJD", 0, false, false},
        {"data:text/html;base64,QUJD", 0, false, false},
        {"data:image/png;base64", 0, false, false},
        {"data:image;base64,QUJD", 0, false, false},
    };
    std::vector<uint8_t> bytes;
    for (const auto& c : cases) {
        EXPECT_EQ(c.payload, ImageDataUriPayload(c.uri)) << c.uri;
        EXPECT_EQ(c.bookmarkIcon, IsIconDataUri(c.uri)) << c.uri;
        EXPECT_EQ(c.decodes, DecodeIconDataUri(c.uri, &bytes)) << c.uri;
    }
}

}  // namespace
