// The Button table: the program's whole document, held as one fixed 64,996-byte image whose
// layout is at the same time the Button file format. No Windows header here: the layout is
// spelled out field by field and checked at compile time, so every build has the same image.
#pragma once

#include <cstddef>
#include <cstdint>

// The Windows LOGFONTA record, field for field (60 bytes). The Win32 layer copies it to and
// from a real LOGFONTA with memcpy; it checks there that sizeof(LOGFONTA) is 60 too.
struct FontDesc {
    int32_t lfHeight;
    int32_t lfWidth;
    int32_t lfEscapement;
    int32_t lfOrientation;
    int32_t lfWeight;
    uint8_t lfItalic;
    uint8_t lfUnderline;
    uint8_t lfStrikeOut;
    uint8_t lfCharSet;
    uint8_t lfOutPrecision;
    uint8_t lfClipPrecision;
    uint8_t lfQuality;
    uint8_t lfPitchAndFamily;
    char lfFaceName[32];
};

constexpr int kMaxButtons = 100;
constexpr size_t kNameSize = 64;       // at most 63 characters
constexpr size_t kUrlSize = 512;       // at most 511 characters
constexpr size_t kFaceNameSize = 32;   // at most 31 characters

struct ButtonRecord {
    char name[kNameSize];
    char url[kUrlSize];
    int32_t legacyValue;   // carried over from the legacy data file; not interpreted
    FontDesc ownFont;
    uint8_t hasOwnFont;    // 1 = drawn in its own font (unless the same-font flag is 1)
    uint8_t newWindow;     // 1 = always opened in a new window of the Browser program
    uint8_t reserved[2];
};

struct ButtonTable {
    int32_t buttonWidth;
    int32_t reserved[3];
    int32_t buttonCount;
    char favouriteUrl[kUrlSize];
    ButtonRecord records[kMaxButtons];
    FontDesc globalFont;
    uint8_t sameFont;      // 1 = every button uses the global font
    uint8_t wide;          // 1 = every button is 50 pixels wider
    uint8_t reserved2[2];
};

constexpr size_t kButtonTableSize = 64996;
constexpr size_t kButtonRecordSize = 644;

static_assert(sizeof(FontDesc) == 60, "LOGFONTA image is 60 bytes");
static_assert(offsetof(FontDesc, lfWeight) == 16 && offsetof(FontDesc, lfItalic) == 20 &&
              offsetof(FontDesc, lfPitchAndFamily) == 27 && offsetof(FontDesc, lfFaceName) == 28,
              "LOGFONTA field offsets");
static_assert(sizeof(ButtonRecord) == kButtonRecordSize, "record is 644 bytes");
static_assert(offsetof(ButtonRecord, name) == 0 && offsetof(ButtonRecord, url) == 64 &&
              offsetof(ButtonRecord, legacyValue) == 576 && offsetof(ButtonRecord, ownFont) == 580 &&
              offsetof(ButtonRecord, hasOwnFont) == 640 && offsetof(ButtonRecord, newWindow) == 641 &&
              offsetof(ButtonRecord, reserved) == 642,
              "record field offsets");
static_assert(sizeof(ButtonTable) == kButtonTableSize, "table is 64,996 bytes");
static_assert(offsetof(ButtonTable, buttonWidth) == 0 && offsetof(ButtonTable, reserved) == 4 &&
              offsetof(ButtonTable, buttonCount) == 16 && offsetof(ButtonTable, favouriteUrl) == 20 &&
              offsetof(ButtonTable, records) == 532 &&
              offsetof(ButtonTable, records) + 99 * kButtonRecordSize == 64288 &&
              offsetof(ButtonTable, globalFont) == 64932 && offsetof(ButtonTable, sameFont) == 64992 &&
              offsetof(ButtonTable, wide) == 64993 && offsetof(ButtonTable, reserved2) == 64994,
              "table field offsets");

// The one process-wide table: static storage, zero at start, never allocated or freed.
extern ButtonTable g_buttonTable;

// 0 until start-up computes -MulDiv(10, LOGPIXELSY, 72); the height ApplyButtonDefaults gives
// the global font, also read by the font dialogs.
extern int32_t g_defaultFontHeight;

// Tray tip text: the Favourite URL, shortened to 60 characters and "..." when it has 64 or more.
extern char g_trayTip[64];

// The product's home page (record 0 of a default table) and the default Favourite URL.
extern const char kHomePageUrl[];
extern const char kDefaultFavouriteUrl[];

// Gives the table its default content, touching exactly the default fields and no other byte.
void ApplyButtonDefaults();

// Recomputes g_trayTip from the Favourite URL.
void UpdateTrayTip();

// Copies text into a fixed field of fieldSize bytes, cut to fieldSize - 1 bytes between two
// characters and always terminated; it reads at most fieldSize bytes of text. Every write of
// text into the table goes through this.
void CopyTextToField(char* field, size_t fieldSize, const char* text);

// The safety step every load passes through. A table read from an arbitrary file may hold a
// count outside 0..100 or strings without a terminator; this brings the count into 0..100 and
// terminates unterminated text fields in their last byte. A well-formed image is left byte for
// byte as it was. Returns true when it had to change something.
bool RepairLoadedTable(ButtonTable& table);

// Number of records in use, always within 0..100 (even before RepairLoadedTable has run).
int ButtonCount(const ButtonTable& table);

// Whether button `index` is drawn in its record's own font: only when the same-font flag is not
// 1 and the record's has-own-font byte is 1. Any other button, and an index that is not a record
// in use, is drawn in the global font.
bool UsesOwnFont(const ButtonTable& table, int index);
