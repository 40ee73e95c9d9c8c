#include "dialogs/table_edits.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include "store/platform_seam.h"
#include "store/text_encoding.h"
#include "store/web_address.h"

EditorResult g_editorResult;

namespace {

// Room for every record while sorting; static, like the table itself.
ButtonRecord g_sortScratch[kMaxButtons];

// The five fields an insert or a delete moves; the legacy value and the reserved bytes stay
// with their slot.
void MoveEditableFields(ButtonRecord& to, const ButtonRecord& from) {
    std::memcpy(to.name, from.name, sizeof to.name);
    std::memcpy(to.url, from.url, sizeof to.url);
    to.ownFont = from.ownFont;
    to.hasOwnFont = from.hasOwnFont;
    to.newWindow = from.newWindow;
}

unsigned char FoldCase(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Whether the `length` characters at text end in `ending` (lower case), ASCII case aside.
bool EndsWithFolded(const char* text, size_t length, const char* ending) {
    const size_t size = std::strlen(ending);
    if (length < size) return false;
    for (size_t i = 0; i < size; ++i) {
        if (FoldCase(static_cast<unsigned char>(text[length - size + i])) != static_cast<unsigned char>(ending[i])) {
            return false;
        }
    }
    return true;
}

// Whether a name field holds ASCII only.
bool IsAscii(const char* name) {
    for (size_t i = 0; i < kNameSize && name[i] != '\0'; ++i) {
        if (static_cast<unsigned char>(name[i]) >= 0x80) return false;
    }
    return true;
}

int CompareAscending(const void* first, const void* second) {
    return CompareNamesFolded(static_cast<const ButtonRecord*>(first)->name,
                              static_cast<const ButtonRecord*>(second)->name);
}

int CompareDescending(const void* first, const void* second) {
    return CompareNamesFolded(static_cast<const ButtonRecord*>(second)->name,
                              static_cast<const ButtonRecord*>(first)->name);
}

}  // namespace

AddRefusal CheckAddAllowed(const ButtonTable& table, int barY) {
    if (ButtonCount(table) >= kMaxButtons) return AddRefusal::TableFull;
    // The bar's top less one button height must stay above the screen's top edge; compared
    // without the subtraction, which would overflow for a bar placed at the lowest int.
    if (barY <= 22) return AddRefusal::NoRoom;
    return AddRefusal::None;
}

bool InsertButtonAtTop(ButtonTable& table, const EditorResult& result) {
    const int count = ButtonCount(table);
    if (count >= kMaxButtons) return false;
    for (int i = count - 1; i >= 0; --i) MoveEditableFields(table.records[i + 1], table.records[i]);

    ButtonRecord& first = table.records[0];
    CopyTextToField(first.url, sizeof first.url, result.addUrl);
    CopyTextToField(first.name, sizeof first.name, result.addName);
    if (result.fontChosen == 1) {
        first.ownFont = result.chosenFont;
        first.hasOwnFont = 1;
    } else {
        first.ownFont = table.globalFont;
        first.hasOwnFont = 0;
    }
    first.newWindow = result.newWindowChoice == 1 ? 1 : 0;
    table.buttonCount = count + 1;
    return true;
}

bool DeleteButton(ButtonTable& table, int index) {
    const int count = ButtonCount(table);
    if (count <= 1 || index < 0 || index >= count) return false;
    for (int d = index; d < count; ++d) {
        // For d = count - 1 the source is the first free slot; at 100 records there is none,
        // and slot 99 simply becomes free with what it holds.
        if (d + 1 < kMaxButtons) MoveEditableFields(table.records[d], table.records[d + 1]);
    }
    table.buttonCount = count - 1;
    return true;
}

int CompareNamesFolded(const char* first, const char* second) {
    // Names beyond ASCII in the user's locale, where the platform has one: every script sorts
    // and folds its letter case as the user expects.
    int order = 0;
    if ((!IsAscii(first) || !IsAscii(second)) && g_platform.codePage != nullptr &&
        g_platform.codePage->CompareNames(ShownText(first, kNameSize).c_str(), ShownText(second, kNameSize).c_str(), &order)) {
        return order;
    }
    for (size_t i = 0; i < kNameSize; ++i) {
        const unsigned char a = FoldCase(static_cast<unsigned char>(first[i]));
        const unsigned char b = FoldCase(static_cast<unsigned char>(second[i]));
        if (a != b) return a < b ? -1 : 1;  // a terminator sorts before any character
        if (a == '\0') return 0;
    }
    return 0;
}

void SortButtons(ButtonTable& table, SortOrder order) {
    const int count = ButtonCount(table);
    if (count < 2) return;
    std::memcpy(g_sortScratch, table.records, sizeof(ButtonRecord) * static_cast<size_t>(count));
    std::qsort(g_sortScratch, static_cast<size_t>(count), sizeof(ButtonRecord),
               order == SortOrder::TopDown ? CompareAscending : CompareDescending);
    std::memcpy(table.records, g_sortScratch, sizeof(ButtonRecord) * static_cast<size_t>(count));
}

bool CanMoveButton(const ButtonTable& table, int index, int direction) {
    const int count = ButtonCount(table);
    if (index < 0 || index >= count || (direction != -1 && direction != 1)) return false;
    const int target = index + direction;
    return target >= 0 && target < count;
}

int MoveButton(ButtonTable& table, int index, int direction) {
    if (!CanMoveButton(table, index, direction)) return -1;
    const int target = index + direction;
    const ButtonRecord moved = table.records[index];
    table.records[index] = table.records[target];
    table.records[target] = moved;
    return target;
}

namespace {

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// A scheme at the start, as addresses are read. A colon followed by digits only up to the end or
// a slash is a port ("example.org:8080"), not a scheme.
bool HasScheme(const char* text) {
    const size_t scheme = ReadAddress(text).scheme.size();
    if (scheme == 0) return false;
    size_t after = scheme + 1;
    if (!IsAsciiDigit(text[after])) return true;
    while (IsAsciiDigit(text[after])) ++after;
    return !(text[after] == '\0' || text[after] == '/');
}

// Endings of program names, which look like host names but are started as programs.
bool EndsLikeAProgram(const char* host, size_t length) {
    static const char* const kProgramEndings[] = {".exe", ".bat", ".cmd", ".lnk", ".msc", ".pif", ".scr"};
    return std::any_of(std::begin(kProgramEndings), std::end(kProgramEndings),
                       [&](const char* ending) { return EndsWithFolded(host, length, ending); });
}

bool LooksLikeHostAddress(const char* text) {
    if (text[0] == '\0' || text[0] == '/' || text[0] == '.' || text[0] == '\\') return false;
    if (HasScheme(text)) return false;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\\' || static_cast<unsigned char>(*c) <= ' ') return false;
    }
    const char* slash = std::strchr(text, '/');
    const size_t hostLength = slash != nullptr ? static_cast<size_t>(slash - text) : std::strlen(text);
    bool hostHasDot = false;
    for (size_t i = 0; i < hostLength; ++i) {
        if (text[i] == '.') hostHasDot = true;
    }
    return hostHasDot && !EndsLikeAProgram(text, hostLength);
}

}  // namespace

bool CompleteTypedAddress(char* url, size_t size) {
    static const char kWebScheme[] = "http://";
    const void* end = std::memchr(url, '\0', size);
    if (end == nullptr || !LooksLikeHostAddress(url)) return false;
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - url);
    const size_t schemeLength = sizeof kWebScheme - 1;
    if (length + schemeLength + 1 > size) return false;
    std::memmove(url + schemeLength, url, length + 1);
    std::memcpy(url, kWebScheme, schemeLength);
    return true;
}

void ApplyEditResult(ButtonRecord& record, const EditorResult& result) {
    if (result.fontChosen == 1) {
        record.ownFont = result.chosenFont;
        record.hasOwnFont = 1;
    }
    record.newWindow = result.newWindowChoice == 1 ? 1 : 0;
}

void StoreFavouriteUrl(ButtonTable& table, const char* text) {
    StoreShownText(table.favouriteUrl, sizeof table.favouriteUrl, text);
}

int SelectedRecord(const ButtonTable& table, int selectedIndex) {
    return (selectedIndex >= 0 && selectedIndex < ButtonCount(table)) ? selectedIndex : 0;
}

bool ApplyButtonFileExtension(char* path, size_t size) {
    static const char kExtension[] = ".bklt";
    const void* end = std::memchr(path, '\0', size);
    if (end == nullptr) return false;  // not a terminated path
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - path);
    if (EndsWithFolded(path, length, kExtension)) return true;
    if (length + sizeof kExtension > size) return false;
    std::memcpy(path + length, kExtension, sizeof kExtension);
    return true;
}
