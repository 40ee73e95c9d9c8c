// The rules of the buttons' icons, without any window or network: what a button's address is,
// which site it belongs to and what that site's icon file is called, whether the icon is fetched,
// the checks every byte a server sends passes before anything else reads it (ICO and PNG, the
// page's icon link), and the icon data URIs of bookmark files. The Win32 layer
// (app/win_site_icons.cpp) does the fetching, the files and the windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Every response, page or image, is cut here; so is a decoded data URI.
constexpr size_t kIconResponseLimit = size_t{256} * 1024;
// The largest image side an icon may have.
constexpr int kIconMaxPixels = 256;
// The icon folder holds at most this many bytes; the oldest files go first.
constexpr uint64_t kIconFolderLimit = 5000000;
// A cached icon older than this is fetched again; a site that had none is asked again after a day.
constexpr int64_t kIconRefreshSeconds = int64_t{30} * 24 * 60 * 60;
constexpr int64_t kIconRetrySeconds = int64_t{24} * 60 * 60;
// Redirects followed for one request.
constexpr int kIconMaxRedirects = 5;
// A cleaned icon keeps at most this many images (the sizes Windows draws), and no directory
// entry past the first kIconMaxEntries is looked at.
constexpr size_t kIconMaxImages = 16;
constexpr size_t kIconMaxEntries = 256;

// ---- Addresses ----

enum class ButtonAddressKind { Web, Path, Other };

// A button's address: an http or https address that names a host, a file system path (a drive
// letter with a backslash or slash, or any path that starts with two backslashes: a network
// path "\\server\...", "\\?\..." and "\\.\..." forms), or anything else.
ButtonAddressKind ClassifyButtonAddress(const char* address);

// The kind of a drive as the system reports it (the values of GetDriveTypeA).
enum class DriveKind { Unknown = 0, NoRoot = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };

// Where a path's icon comes from. The shell opens the file to find its own icon, so only a file
// on a local fixed or removable drive is asked about; any other path (network and device paths,
// the "\\?\" and "\\.\" forms, a drive the system maps to a network share, a CD) shows the
// icon of its extension alone, which touches nothing.
enum class PathIconSource { Shell, Extension };

// The drive letter of "X:\..." or "X:/...", in upper case; 0 for any other address.
char PathDriveLetter(const char* address);
// The source of a path's icon; `drive` is the kind of PathDriveLetter's drive (any value when
// it has none).
PathIconSource ChoosePathIconSource(const char* address, DriveKind drive);
// What the shell is asked about for the icon of a path's extension: "file" and the extension of
// the path's last component when it is a dot and 1 to 16 letters or digits, else "file".
std::string ExtensionIconName(const char* address);

struct WebAddress {
    std::string scheme;  // "http" or "https", lower case
    std::string host;    // lower case, without user name or port
    int port = 0;        // the explicit port, or the scheme's (80, 443)
    std::string path;    // path and query, starting with '/'; no fragment
};

// Parses an http or https address (spaces around it are ignored); false for anything else, an
// empty host or a port outside 1 ... 65535.
bool ParseWebAddress(const std::string& text, WebAddress* address);
// The address as text, the port left out when it is the scheme's.
std::string FormatWebAddress(const WebAddress& address);
// "/favicon.ico" of the address's scheme, host and port.
std::string FaviconAddress(const WebAddress& address);
// A reference found on a page or in a redirect, made absolute against the page's address, dot
// segments removed, the fragment dropped. A data URI comes back as it is, its "data:" in lower
// case; "" when the result is no http or https address.
std::string ResolveAddress(const std::string& base, const std::string& reference);
// Where a redirect from `from` to its Location header leads: the resolved http or https
// address; "" for anything else, for a data URI, and for a step down from https to http.
std::string RedirectTarget(const std::string& from, const std::string& location);

// The cache file of the address's site: the host, and "_port" when the port is not the scheme's,
// with ".ico": "example.org.ico", "127.0.0.1_8080.ico". "" when the host is no safe file name
// (anything but letters, digits, '-' and '.', an empty label, a device name such as "con").
std::string IconCacheName(const WebAddress& address);

// ---- What to fetch ----

// The cache file of a site as the folder shows it. A file of 0 bytes records that the site had
// no icon when it was last asked.
struct IconCacheFile {
    bool exists = false;
    uint64_t size = 0;
    int64_t modified = 0;  // seconds, on the same clock as `now`
};

enum class IconPlan {
    UseCached,         // the cached icon, nothing fetched
    UseCachedRefresh,  // the cached icon now, fetched again in the background
    Fetch,             // nothing usable cached: fetched in the background
    Wait,              // the site had no icon less than a day ago: the built-in icon, no request
};
IconPlan PlanIconFetch(const IconCacheFile& file, int64_t now);

// The time a cached icon whose refresh failed is given, so that it is asked again in a day.
int64_t FailedRefreshTime(int64_t now);

struct IconFolderFile {
    std::string name;
    uint64_t size = 0;
    int64_t modified = 0;
};
// The files to delete, oldest first, so that the rest fit in `limit` bytes.
std::vector<std::string> IconFilesOverLimit(std::vector<IconFolderFile> files, uint64_t limit = kIconFolderLimit);

// ---- Images ----

struct IconImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;  // 32 for PNG
    bool png = false;
    size_t offset = 0;     // within the data
    size_t size = 0;
};

// The images of ICO or PNG data that are sound: each lies wholly within the data, is at most
// 256 pixels a side and is either a complete PNG (signature, header, chunks up to its end) or an
// uncompressed bitmap whose header, colours, pixels and mask fit its entry. Each byte of the data
// belongs to at most one of them: an entry that overlaps or repeats one taken before is passed
// over, and at most kIconMaxImages are taken, from the first kIconMaxEntries entries. Empty for
// anything else: HTML, a truncated file, a directory that does not fit, a 100,000-pixel PNG.
std::vector<IconImage> ReadIconImages(const uint8_t* data, size_t size);
// An ICO holding only those images, as the cache keeps it; empty when there is none or when it
// would be larger than kIconResponseLimit. It is never larger than the data, but for the
// 22 bytes of directory a bare PNG is given.
std::vector<uint8_t> CleanIcon(const uint8_t* data, size_t size);
// The image to show at `pixels` a side: that size, else the nearest larger one, else the largest;
// of equal sizes the one with more colours. -1 when there is none.
int ChooseIconImage(const std::vector<IconImage>& images, int pixels);

// ---- Pages ----

// The icon link of the first 256 KiB of an HTML page: the href of the first <link rel="icon">,
// else of the first "shortcut icon", else of the first "apple-touch-icon"; links to SVG images
// are passed over. "" when there is none.
std::string FindIconLink(const char* html, size_t size);

// ---- Data URIs (bookmark files) ----

// The bytes of "data:image/...;base64,..." (read by ImageDataUriPayload; spaces around it and
// in its base64 text are passed over), at most 256 KiB once decoded; false for anything else.
// They still have to pass CleanIcon.
bool DecodeIconDataUri(const std::string& uri, std::vector<uint8_t>* bytes);
// A cached icon as "data:image/x-icon;base64,...".
std::string IconDataUri(const std::vector<uint8_t>& icon);
