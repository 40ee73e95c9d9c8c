// The bookmark file format that web browsers export and import: an HTML page that starts with
// `<!DOCTYPE NETSCAPE-Bookmark-file-1>`, folders as `<DT><H3>name</H3>` followed by a `<DL>` list,
// bookmarks as `<DT><A HREF="address" ICON="data:...">title</A>`, in UTF-8 with character
// references, tags in either letter case and often left unclosed. Read by a small tokenizer over
// the bytes with fixed limits (it never recurses and never looks at a byte twice), written back
// in the same shape.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Limits of reading. A file larger than kBookmarkFileMaxBytes is not read at all; past
// kMaxBookmarks bookmarks reading stops (and says so); folders past kMaxBookmarkFolders, or
// nested deeper than kMaxFolderDepth, count as the folder they are in; a folder path is cut at
// kMaxFolderPathBytes, a title at kMaxTitleBytes before it is decoded. An address longer than
// kMaxAddressBytes is too long for any button: only its beginning is kept, and it is marked so.
// An ICON value longer than kMaxIconBytes is dropped.
constexpr size_t kBookmarkFileMaxBytes = size_t{32} * 1024 * 1024;
constexpr size_t kMaxBookmarks = 20000;
constexpr size_t kMaxBookmarkFolders = 20000;
constexpr size_t kMaxFolderDepth = 64;
constexpr size_t kMaxFolderPathBytes = 255;
constexpr size_t kMaxTitleBytes = 1024;
constexpr size_t kMaxAddressBytes = 4096;
constexpr size_t kMaxIconBytes = size_t{64} * 1024;

// The separator of a folder path: "Bookmarks bar > News".
extern const char kFolderPathSeparator[];

struct ParsedBookmark {
    std::string title;            // UTF-8, decoded, white space collapsed and trimmed; may be ""
    std::string address;          // UTF-8, decoded and trimmed; "" when there is none
    bool addressTooLong = false;  // longer than kMaxAddressBytes: address holds its beginning
    std::string icon;             // the ICON attribute when it is an image data URI, else ""
    size_t folder = 0;            // index into ParsedBookmarks::folders
};

struct ParsedBookmarks {
    // Folder paths in the order the folders start; entry 0 is the top level, "".
    std::vector<std::string> folders;
    std::vector<ParsedBookmark> bookmarks;  // in file order
    bool cut = false;                       // more than kMaxBookmarks bookmarks
};

// Whether the bytes start as a bookmark file: the document type within the first kilobyte
// (after a byte-order mark, white space or a comment), in any letter case.
bool LooksLikeBookmarkFile(const char* data, size_t size);

// Reads every bookmark and folder of a bookmark file, whatever the bytes hold.
ParsedBookmarks ParseBookmarks(const char* data, size_t size);

// HTML text to valid UTF-8: character references decoded (named ones of the common set,
// decimal and hexadecimal ones; out of range ones become U+FFFD), invalid UTF-8 sequences
// become U+FFFD, control characters other than tab, line feed and carriage return are dropped.
std::string DecodeHtmlText(const char* data, size_t size);

// A title as a button shows it: a run of ASCII white space that holds a tab, a line break or a
// form feed (how text is wrapped in a file) becomes one space, while runs of plain spaces stay as
// they are (a name written with two spaces reads back with two); leading and trailing white
// space goes.
std::string TidyWhiteSpace(const std::string& text);

// An address as a link holds it: tabs and line breaks removed, leading and trailing white space
// gone, the spaces inside kept (a path may hold two in a row).
std::string TidyAddress(const std::string& text);

// Whether a value is an image data URI ("data:image/...;base64,...", as ImageDataUriPayload
// reads one) of at most kMaxIconBytes whose base64 text is only letters, digits, '+', '/' and
// '=': nothing in it needs escaping where a bookmark file holds it.
bool IsIconDataUri(const std::string& value);

// One bookmark to write, all text in UTF-8; icon "" or an image data URI.
struct BookmarkToWrite {
    std::string title;
    std::string address;
    std::string icon;
};

// A whole bookmark file holding one folder named folderName with the bookmarks in order.
// &, <, > and " are escaped everywhere; an icon that is not an image data URI is left out.
std::string WriteBookmarks(const std::string& folderName, const std::vector<BookmarkToWrite>& bookmarks);
