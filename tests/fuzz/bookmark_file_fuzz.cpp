// Any bytes as a bookmark file. The bytes are read as the tokenizer reads them; then, with the
// document type put in front when they lack it, imported beside a default table, as many rows
// as fit appended, the table exported, and the export imported into an empty table, which must
// give back every name and address in order. The icons the file carries are decoded and cleaned
// as the bar takes them into its cache.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "app/site_icons.h"
#include "store/bookmark_format.h"
#include "store/bookmark_import.h"
#include "store/button_files.h"
#include "tests/fuzz/fuzz_harnesses.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool ValidUtf8WithoutControls(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (lead < 0x20 || lead == 0x7F || (lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

// An icon a bookmark carries costs no more than its own bytes once cleaned.
void CheckCarriedIcon(const std::string& uri) {
    std::vector<uint8_t> bytes;
    if (uri.empty() || !DecodeIconDataUri(uri, &bytes)) return;
    FUZZ_CHECK(!bytes.empty() && bytes.size() <= kIconResponseLimit, "a data URI decodes to at most 256 KiB");
    const std::vector<uint8_t> icon = CleanIcon(bytes.data(), bytes.size());
    const std::vector<IconImage> images = ReadIconImages(bytes.data(), bytes.size());
    const bool barePng = images.size() == 1 && images[0].offset == 0;
    FUZZ_CHECK(icon.size() <= bytes.size() + (barePng ? 22 : 0) && icon.size() <= kIconResponseLimit,
               "a cleaned icon is no larger than what it came from");
}

// Only web, mail and local file addresses may become buttons from a file someone sent.
bool MayBeImported(const std::string& url) {
    auto starts = [&](const char* prefix) {
        const size_t length = std::strlen(prefix);
        if (url.size() < length) return false;
        for (size_t i = 0; i < length; ++i) {
            const char c = url[i];
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != prefix[i]) return false;
        }
        return true;
    };
    const bool drive = url.size() >= 3 && ((url[0] >= 'a' && url[0] <= 'z') || (url[0] >= 'A' && url[0] <= 'Z')) &&
                       url[1] == ':' && (url[2] == '\\' || url[2] == '/');
    return drive || starts("http:") || starts("https:") || starts("ftp:") || starts("mailto:") || starts("file:");
}

void CheckParsed(const ParsedBookmarks& parsed) {
    FUZZ_CHECK(parsed.bookmarks.size() <= kMaxBookmarks, "at most the bookmarks that are read");
    FUZZ_CHECK(!parsed.folders.empty() && parsed.folders.size() <= kMaxBookmarkFolders, "the folders within their limit");
    for (const std::string& folder : parsed.folders) {
        FUZZ_CHECK(folder.size() <= kMaxFolderPathBytes && ValidUtf8WithoutControls(folder), "a folder path is cut, clean UTF-8");
    }
    for (const ParsedBookmark& bookmark : parsed.bookmarks) {
        FUZZ_CHECK(bookmark.folder < parsed.folders.size(), "a bookmark's folder exists");
        FUZZ_CHECK(ValidUtf8WithoutControls(bookmark.title) && ValidUtf8WithoutControls(bookmark.address), "clean UTF-8");
        FUZZ_CHECK(TidyWhiteSpace(bookmark.title) == bookmark.title, "titles are tidied");
        FUZZ_CHECK(bookmark.address.size() <= 4 * kMaxAddressBytes, "addresses within their limit");
        FUZZ_CHECK(bookmark.icon.empty() || IsIconDataUri(bookmark.icon), "only image data URIs as icons");
        CheckCarriedIcon(bookmark.icon);
    }
}

void CheckRows(const ImportList& list, const ButtonTable& table, size_t bookmarks) {
    const size_t leftOut = std::accumulate(std::begin(list.leftOut), std::end(list.leftOut), size_t{0});
    FUZZ_CHECK(list.rows.size() + leftOut == bookmarks, "every bookmark is a row or counted as left out");
    std::unordered_set<std::string> keys;
    for (int i = 0; i < ButtonCount(table); ++i) keys.insert(AddressKey(fuzz::FieldText(table.records[i].url, kUrlSize)));
    for (const ImportRow& row : list.rows) {
        FUZZ_CHECK(!row.name.empty() && row.name.size() < kNameSize && row.name.find('\0') == std::string::npos,
                   "a name fits its field");
        FUZZ_CHECK(!row.url.empty() && row.url.size() < kUrlSize && row.url.find('\0') == std::string::npos,
                   "an address fits its field");
        FUZZ_CHECK(IsPlaceToGo(row.url) && MayBeImported(row.url), "only places to go");
        FUZZ_CHECK(keys.insert(AddressKey(row.url)).second, "no address twice, none of the bar's");
        FUZZ_CHECK(row.folder < list.folders.size(), "a row's folder exists");
    }
}

}  // namespace

int FuzzBookmarkFile(const uint8_t* data, size_t size) {
    fuzz::Platform platform;
    const char* bytes = reinterpret_cast<const char*>(data);
    CheckParsed(ParseBookmarks(bytes, size));

    std::string file(bytes, size);
    if (!LooksLikeBookmarkFile(bytes, size)) file.insert(0, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n");
    const std::string path = std::string(fuzz::kDocumentsFolder) + "\\bookmarks.html";
    platform.files.PutFile(path, file.data(), file.size());
    ApplyButtonDefaults();
    const ImportList list = BuildImportList({ImportSource{path, "", ""}}, g_buttonTable);
    const ParsedBookmarks parsed = ParseBookmarks(file.data(), file.size());
    FUZZ_CHECK(list.problems.empty() == !parsed.bookmarks.empty(), "a file without bookmarks is reported");
    CheckRows(list, g_buttonTable, parsed.bookmarks.size());

    std::vector<size_t> chosen(std::min(list.rows.size(), static_cast<size_t>(FreePlaces(g_buttonTable))));
    std::iota(chosen.begin(), chosen.end(), size_t{0});
    FUZZ_CHECK(AppendImported(g_buttonTable, list, chosen), "as many as fit are appended");
    FUZZ_CHECK(ButtonCount(g_buttonTable) == 1 + static_cast<int>(chosen.size()), "after the button there was");
    fuzz::CheckTableSound(g_buttonTable, "after an import");

    const std::string exported = std::string(fuzz::kDocumentsFolder) + "\\exported.html";
    FUZZ_CHECK(ExportBookmarks(g_buttonTable, "D:\\x\\work.bklt", exported.c_str()), "the export is written");
    const std::string text = TableAsBookmarks(g_buttonTable, "D:\\x\\work.bklt");
    FUZZ_CHECK(fuzz::SameContent(*platform.files.Get(exported), text.data(), text.size()), "the file holds the export");
    ButtonTable empty = g_buttonTable;
    empty.buttonCount = 0;
    const ImportList back = BuildImportList({ImportSource{exported, "", ""}}, empty);
    FUZZ_CHECK(back.rows.size() == static_cast<size_t>(ButtonCount(g_buttonTable)), "every button comes back");
    for (size_t i = 0; i < back.rows.size(); ++i) {
        const ButtonRecord& record = g_buttonTable.records[i];
        FUZZ_CHECK(back.rows[i].name == fuzz::FieldText(record.name, kNameSize), "its name unchanged");
        FUZZ_CHECK(back.rows[i].url == fuzz::FieldText(record.url, kUrlSize), "its address unchanged");
    }
    return 0;
}
