#include "store/bookmark_import.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include "store/bookmark_format.h"
#include "store/button_files.h"
#include "store/platform_seam.h"
#include "store/text_encoding.h"
#include "store/web_address.h"

std::vector<ImportSource> g_pendingImport;

const char kImportCaption[] = "Import Bookmarks";
const char kExportCaption[] = "Export Bookmarks";

namespace {

constexpr size_t kMaxName = kNameSize - 1;
constexpr size_t kMaxUrl = kUrlSize - 1;

bool IsSlash(char c) { return c == '/' || c == '\\'; }

bool StartsWithTwoSlashes(const std::string& text, size_t at) {
    return text.size() >= at + 2 && IsSlash(text[at]) && IsSlash(text[at + 1]);
}

// "C:\..." or "C:/..." at `at`; a file: address may write the colon as '|'.
bool IsDrivePath(const std::string& text, size_t at, bool bar = false) {
    if (text.size() < at + 3) return false;
    const char letter = LowerAscii(text[at]);
    return letter >= 'a' && letter <= 'z' && (text[at + 1] == ':' || (bar && text[at + 1] == '|')) &&
           IsSlash(text[at + 2]);
}

// The text with its %XX escapes decoded, as the shell reads a file: address.
std::string Unescaped(const std::string& text) {
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        const char lower = LowerAscii(c);
        return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// What follows "file:" names a local drive when it is a drive letter, with "//" and an empty or
// "localhost" host before it, or one slash, or none ("file:///C:/x", "file://localhost/C:/x",
// "file:/C:/x", "file:C:/x", "file://C:/x"). Escapes are decoded first, as the shell does.
LeftOutReason FileAddressReason(const std::string& escaped) {
    const std::string rest = Unescaped(escaped);
    size_t at = 0;
    if (StartsWithTwoSlashes(rest, 0)) {
        size_t end = 2;
        while (end < rest.size() && !IsSlash(rest[end])) ++end;
        std::string host = rest.substr(2, end - 2);
        std::transform(host.begin(), host.end(), host.begin(), LowerAscii);
        if (host.size() == 2 && host[0] >= 'a' && host[0] <= 'z' && (host[1] == ':' || host[1] == '|')) {
            return kLeftOutReasons;  // "file://C:/x": the drive written as the host
        }
        if (!host.empty() && host != "localhost") return kOtherComputer;
        at = end;
    }
    if (StartsWithTwoSlashes(rest, at)) return kOtherComputer;
    if (at < rest.size() && IsSlash(rest[at])) ++at;
    return IsDrivePath(rest, at, true) ? kLeftOutReasons : kOtherKind;
}

std::string Text(const std::string& utf8) {
    std::string ansi;
    g_platform.codePage->FromUtf8(utf8, &ansi);
    return ansi;
}

std::string Utf8(const std::string& ansi) {
    std::string utf8;
    g_platform.codePage->ToUtf8(ansi, &utf8);
    return utf8;
}

// An address in the code page. One with characters the code page lacks keeps them as %XX
// escapes of their UTF-8 bytes, as a browser sends them, rather than as '?'.
std::string AddressText(const std::string& utf8) {
    std::string ansi;
    if (g_platform.codePage->FromUtf8(utf8, &ansi)) return ansi;
    static const char kHex[] = "0123456789ABCDEF";
    ansi.clear();
    for (const char c : utf8) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            ansi.push_back(c);
        } else {
            ansi.push_back('%');
            ansi.push_back(kHex[byte >> 4]);
            ansi.push_back(kHex[byte & 0x0F]);
        }
    }
    return ansi;
}

void TrimSpaces(std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(0, first);
    text.erase(text.find_last_not_of(' ') + 1);
}

// A button name: without controls and direction overrides, trimmed, cut to 63 bytes between
// characters; without one, the address's host, or the address itself.
std::string ButtonName(std::string name, const std::string& url) {
    if (ProgramTextIsUtf8()) name = CleanTitle(name);
    TrimSpaces(name);
    if (name.empty()) name = HostName(url);
    if (name.empty()) name = url;
    name = CutToBytes(name, kMaxName);
    TrimSpaces(name);
    return name;
}

// Keeps the row unless its address cannot be a button's; counts it under its reason if so.
void Offer(ImportList& list, std::string name, const std::string& url, bool tooLong, size_t folder,
           const std::string& icon) {
    const LeftOutReason refused = AddressLeftOutReason(url);
    if (refused != kLeftOutReasons) {
        ++list.leftOut[refused];
        return;
    }
    if (tooLong || url.size() > kMaxUrl) {
        ++list.leftOut[kTooLong];
        return;
    }
    if (!list.seen.insert(AddressKey(url)).second) {
        ++list.leftOut[kAlreadyThere];
        return;
    }
    ImportRow row;
    row.name = ButtonName(std::move(name), url);
    row.url = url;
    row.folder = folder;
    row.icon = icon;
    list.rows.push_back(std::move(row));
}

enum class FileRead { Read, Unreadable, TooLarge, NotBookmarks };

FileRead ReadBookmarkFile(const char* path, std::vector<char>* bytes) {
    FileSystem& fs = *g_platform.files;
    uint64_t size = 0;
    if (!fs.FileSize(path, &size)) return FileRead::Unreadable;
    if (size > kBookmarkFileMaxBytes) return FileRead::TooLarge;
    FileSystem::Handle file = fs.OpenRead(path);
    if (file == nullptr) return FileRead::Unreadable;
    bytes->resize(static_cast<size_t>(size));
    const size_t read = size > 0 ? fs.Read(file, bytes->data(), bytes->size()) : 0;
    fs.Close(file);
    if (read != size) return FileRead::Unreadable;
    return LooksLikeBookmarkFile(bytes->data(), bytes->size()) ? FileRead::Read : FileRead::NotBookmarks;
}

std::string Problem(FileRead read, const std::string& path) {
    switch (read) {
    case FileRead::Unreadable: return "Cannot read the bookmark file - " + path;
    case FileRead::TooLarge: return path + " is larger than 32 MB: too large to be a bookmark file.";
    case FileRead::NotBookmarks:
        return path + " is not a bookmark file.\nExport the bookmarks from the web browser as an HTML file, "
                      "then import that file.";
    case FileRead::Read: break;
    }
    return std::string();
}

void AddFile(ImportList& list, const std::string& path) {
    std::vector<char> bytes;
    const FileRead read = ReadBookmarkFile(path.c_str(), &bytes);
    if (read != FileRead::Read) {
        list.problems.push_back(Problem(read, path));
        return;
    }
    const ParsedBookmarks parsed = ParseBookmarks(bytes.data(), bytes.size());
    if (parsed.bookmarks.empty()) {
        list.problems.push_back(path + " holds no bookmarks.");
        return;
    }
    const size_t firstFolder = list.folders.size();
    for (const std::string& folder : parsed.folders) list.folders.push_back(Text(folder));
    for (const ParsedBookmark& bookmark : parsed.bookmarks) {
        Offer(list, Text(bookmark.title), AddressText(bookmark.address), bookmark.addressTooLong,
              firstFolder + bookmark.folder, bookmark.icon);
    }
    list.cut = list.cut || parsed.cut;
}

std::string Number(size_t value) { return std::to_string(value); }

}  // namespace

std::string AddressKey(const std::string& address) {
    const size_t end = ReadAddress(address).authorityEnd;
    std::string key = LowerUtf8(address.substr(0, end)) + address.substr(end);  // a host in any script ignores case
    if (!key.empty() && key.back() == '/') key.pop_back();
    return key;
}

LeftOutReason AddressLeftOutReason(const std::string& address) {
    static const char* const kOtherPlaces[] = {"ftps", "sftp", "news",   "nntp",   "snews", "telnet",
                                               "ssh",  "irc",  "ircs",   "tel",    "sip",   "sips",
                                               "callto", "webcal", "feed", "gopher"};
    if (address.empty()) return kNoPlace;
    if (StartsWithTwoSlashes(address, 0)) return kOtherComputer;
    const std::string name = ReadAddress(address).scheme;
    if (name.empty()) return kOtherKind;  // a bare name or a relative path
    if (name.size() == 1) return IsDrivePath(address, 0) ? kLeftOutReasons : kOtherKind;
    if (name == "http" || name == "https" || name == "ftp" || name == "mailto") return kLeftOutReasons;
    if (name == "file") return FileAddressReason(address.substr(name.size() + 1));
    if (name == "smb") return kOtherComputer;
    const bool place =
        std::any_of(std::begin(kOtherPlaces), std::end(kOtherPlaces), [&](const char* other) { return name == other; });
    return place ? kOtherKind : kNoPlace;
}

bool IsPlaceToGo(const std::string& address) { return AddressLeftOutReason(address) == kLeftOutReasons; }

std::string HostName(const std::string& address) {
    const AddressParts parts = ReadAddress(address);
    return address.substr(parts.hostStart, parts.hostEnd - parts.hostStart);
}

ImportList BuildImportList(const std::vector<ImportSource>& sources, const ButtonTable& table) {
    ImportList list;
    const int count = ButtonCount(table);
    for (int i = 0; i < count; ++i) {
        const ButtonRecord& record = table.records[i];
        list.seen.insert(AddressKey(ShownText(record.url)));
    }
    for (const ImportSource& source : sources) {
        if (!source.file.empty()) {
            AddFile(list, source.file);
            continue;
        }
        if (list.folders.empty()) list.folders.emplace_back();  // shortcuts sit at the top level
        Offer(list, TidyWhiteSpace(source.shortcutName), source.shortcutUrl, false, 0, std::string());
    }
    return list;
}

std::vector<std::string> FolderChoices(const ImportList& list) {
    std::vector<std::string> choices;
    std::unordered_set<std::string> taken;
    for (const ImportRow& row : list.rows) {
        const std::string& folder = list.folders[row.folder];
        if (taken.insert(folder).second) choices.push_back(folder);
    }
    return choices;
}

bool RowInFolder(const ImportList& list, size_t row, const std::string& folder) {
    const std::string& path = list.folders[list.rows[row].folder];
    if (folder.empty() || path.size() == folder.size()) return path == folder;
    const size_t separator = std::strlen(kFolderPathSeparator);
    return path.size() > folder.size() + separator && path.compare(0, folder.size(), folder) == 0 &&
           path.compare(folder.size(), separator, kFolderPathSeparator) == 0;
}

int FreePlaces(const ButtonTable& table) { return kMaxButtons - ButtonCount(table); }

bool StartChecked(const ImportList& list, const ButtonTable& table) {
    return list.rows.size() <= static_cast<size_t>(FreePlaces(table));
}

std::string ChosenLine(size_t chosen, size_t rows, int freePlaces) {
    return "Chosen: " + Number(chosen) + " of " + Number(rows) + ". Free places on the bar: " +
           Number(static_cast<size_t>(freePlaces)) + ".";
}

std::string LeftOutLine(const ImportList& list) {
    static const char* const kReasons[kLeftOutReasons] = {
        " already on the bar or in the list", " longer than 511 characters",
        " with no place to go (scripts, queries, browser pages, empty addresses)",
        " on other computers (network paths, smb:)", " of other kinds (bare names such as calc, other schemes)"};
    std::string line;
    for (int reason = 0; reason < kLeftOutReasons; ++reason) {
        if (list.leftOut[reason] == 0) continue;
        line += line.empty() ? "Left out: " : ", ";
        line += Number(list.leftOut[reason]) + kReasons[reason];
    }
    line += line.empty() ? "Nothing left out." : ".";
    if (list.cut) line += " Only the first " + Number(kMaxBookmarks) + " bookmarks of a file were read.";
    return line;
}

std::string TooManyMessage(size_t chosen, int freePlaces) {
    return "Chosen: " + Number(chosen) + ". The bar has only " + Number(static_cast<size_t>(freePlaces)) +
           (freePlaces == 1 ? " free place" : " free places") + " (it holds at most 100 buttons).\nPlease choose fewer bookmarks.";
}

bool AppendImported(ButtonTable& table, const ImportList& list, const std::vector<size_t>& chosen) {
    const int count = ButtonCount(table);
    if (chosen.size() > static_cast<size_t>(FreePlaces(table))) return false;
    int slot = count;
    for (const size_t index : chosen) {
        if (index >= list.rows.size()) continue;
        ButtonRecord& record = table.records[slot++];
        std::memset(&record, 0, sizeof record);
        CopyTextToField(record.name, sizeof record.name, list.rows[index].name.c_str());
        CopyTextToField(record.url, sizeof record.url, list.rows[index].url.c_str());
        record.ownFont = table.globalFont;
    }
    table.buttonCount = slot;
    return true;
}

std::string ExportFolderName(const char* buttonFilePath) {
    std::string name(buttonFilePath);
    const size_t slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name.empty() ? std::string("Brisklet") : name;
}

std::string TableAsBookmarks(const ButtonTable& table, const char* buttonFilePath,
                             const std::vector<std::string>* icons) {
    std::vector<BookmarkToWrite> bookmarks;
    const int count = ButtonCount(table);
    for (int i = 0; i < count; ++i) {
        const ButtonRecord& record = table.records[i];
        BookmarkToWrite bookmark;
        bookmark.title = FieldUtf8(record.name, sizeof record.name);
        bookmark.address = FieldUtf8(record.url, sizeof record.url);
        if (icons != nullptr && static_cast<size_t>(i) < icons->size()) bookmark.icon = (*icons)[i];
        bookmarks.push_back(std::move(bookmark));
    }
    return WriteBookmarks(Utf8(ExportFolderName(buttonFilePath)), bookmarks);
}

bool ExportBookmarks(const ButtonTable& table, const char* buttonFilePath, const char* path,
                     const std::vector<std::string>* icons) {
    const std::string text = TableAsBookmarks(table, buttonFilePath, icons);
    return WriteFileSafely(path, text.data(), text.size());
}

std::string ExportFailedMessage(const char* path) {
    return std::string("Cannot write the bookmark file - ") + path +
           "\nPlease check that you have 'write' access to this folder. An existing file there is left as it was.";
}
