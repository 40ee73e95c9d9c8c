#include "store/button_table.h"

#include <cstring>
#include <string>
#include "store/text_encoding.h"

ButtonTable g_buttonTable;
int32_t g_defaultFontHeight = 0;
char g_trayTip[64];

const char kHomePageUrl[] = "http://www.brisklet.example/";
const char kDefaultFavouriteUrl[] = "http://www.example.com/";

void CopyTextToField(char* field, size_t fieldSize, const char* text) {
    if (fieldSize == 0) return;
    size_t length = 0;
    while (length < fieldSize && text[length] != '\0') ++length;
    length = CutLength(text, length, fieldSize - 1);  // between two characters
    std::memmove(field, text, length);
    field[length] = '\0';
}

void ApplyButtonDefaults() {
    ButtonTable& t = g_buttonTable;
    t.globalFont.lfHeight = g_defaultFontHeight;
    t.globalFont.lfWeight = 700;
    t.globalFont.lfOutPrecision = 0;
    t.globalFont.lfClipPrecision = 0;
    t.globalFont.lfPitchAndFamily = 0;
    std::memcpy(t.globalFont.lfFaceName, "System", 7);  // the rest of the field stays as it is

    t.buttonWidth = 140;
    t.buttonCount = 1;
    CopyTextToField(t.favouriteUrl, sizeof t.favouriteUrl, kDefaultFavouriteUrl);

    ButtonRecord& first = t.records[0];
    CopyTextToField(first.name, sizeof first.name, "Brisklet");
    CopyTextToField(first.url, sizeof first.url, kHomePageUrl);
    first.ownFont = t.globalFont;
    first.hasOwnFont = 0;
    first.newWindow = 0;

    t.sameFont = 0;
}

void UpdateTrayTip() {
    // Bounded by the field: an unterminated URL counts as the whole field, and is cut.
    const std::string url = ShownText(g_buttonTable.favouriteUrl);
    if (url.size() >= 64) {
        const size_t length = CutLength(url.data(), url.size(), 60);
        std::memcpy(g_trayTip, url.data(), length);
        std::memcpy(g_trayTip + length, "...", 4);
    } else {
        std::memcpy(g_trayTip, url.data(), url.size());
        g_trayTip[url.size()] = '\0';
    }
}

namespace {

// Terminates a field that holds no NUL at all; a field with a terminator is left alone,
// whatever follows the terminator.
bool TerminateField(char* field, size_t size) {
    if (std::memchr(field, '\0', size) != nullptr) return false;
    field[size - 1] = '\0';
    return true;
}

}  // namespace

bool RepairLoadedTable(ButtonTable& table) {
    bool changed = false;
    if (table.buttonCount < 0) {
        table.buttonCount = 0;
        changed = true;
    } else if (table.buttonCount > kMaxButtons) {
        table.buttonCount = kMaxButtons;
        changed = true;
    }
    changed |= TerminateField(table.favouriteUrl, sizeof table.favouriteUrl);
    // Every slot, free ones too: a delete moves the first free slot into use.
    for (ButtonRecord& record : table.records) {
        changed |= TerminateField(record.name, sizeof record.name);
        changed |= TerminateField(record.url, sizeof record.url);
        changed |= TerminateField(record.ownFont.lfFaceName, sizeof record.ownFont.lfFaceName);
    }
    changed |= TerminateField(table.globalFont.lfFaceName, sizeof table.globalFont.lfFaceName);
    return changed;
}

int ButtonCount(const ButtonTable& table) {
    if (table.buttonCount < 0) return 0;
    if (table.buttonCount > kMaxButtons) return kMaxButtons;
    return table.buttonCount;
}

bool UsesOwnFont(const ButtonTable& table, int index) {
    if (index < 0 || index >= ButtonCount(table)) return false;
    return table.sameFont != 1 && table.records[index].hasOwnFont == 1;
}
