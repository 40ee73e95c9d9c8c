// Any bytes as a Button file. The input is the file: it is loaded as start-up loads the current
// Button file, then the table goes through what the bar, the tray and the Setup dialog do with
// it (layout, tray tip, the font of each button, both sorts, insert, delete, edits, launching,
// saves and reloads), each step checked against what it may and may not change. Bytes past the
// 64,996 of the image (a file longer than a Button file, which the load ignores) steer the run:
// screen metrics, texts of the edits, which file operations fail, and a script of further edits.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/layout.h"
#include "app/tray_logic.h"
#include "dialogs/table_edits.h"
#include "store/button_files.h"
#include "store/settings.h"
#include "store/text_encoding.h"
#include "tests/fuzz/fuzz_harnesses.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::ByteReader;
using fuzz::CutText;
using fuzz::FieldText;
using fuzz::SameBytes;

const uint8_t* Image(const ButtonTable& table) { return reinterpret_cast<const uint8_t*>(&table); }

// The text fields of the image: (offset, size).
std::vector<std::pair<size_t, size_t>> TextFields() {
    std::vector<std::pair<size_t, size_t>> fields;
    fields.emplace_back(offsetof(ButtonTable, favouriteUrl), kUrlSize);
    for (int i = 0; i < kMaxButtons; ++i) {
        const size_t base = offsetof(ButtonTable, records) + static_cast<size_t>(i) * kButtonRecordSize;
        fields.emplace_back(base + offsetof(ButtonRecord, name), kNameSize);
        fields.emplace_back(base + offsetof(ButtonRecord, url), kUrlSize);
        fields.emplace_back(base + offsetof(ButtonRecord, ownFont) + offsetof(FontDesc, lfFaceName), kFaceNameSize);
    }
    fields.emplace_back(offsetof(ButtonTable, globalFont) + offsetof(FontDesc, lfFaceName), kFaceNameSize);
    return fields;
}

// What loading `data` over `previous` must give, worked out from the file alone: the file's
// bytes over the leading part of the image, the count brought into 0..100, and each text field
// that has no terminator ended in its last byte. Nothing else may differ.
void CheckLoadedImage(const ButtonTable& previous, const uint8_t* data, size_t size) {
    static ButtonTable expected;
    std::memcpy(&expected, &previous, sizeof expected);
    std::memcpy(&expected, data, std::min(size, kButtonTableSize));
    if (expected.buttonCount < 0) expected.buttonCount = 0;
    if (expected.buttonCount > kMaxButtons) expected.buttonCount = kMaxButtons;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&expected);
    static const std::vector<std::pair<size_t, size_t>> fields = TextFields();
    for (const auto& field : fields) {
        if (std::memchr(bytes + field.first, '\0', field.second) == nullptr) bytes[field.first + field.second - 1] = 0;
    }
    FUZZ_CHECK(SameBytes(&expected, &g_buttonTable, kButtonTableSize),
               "a load changes only the count and the last byte of unterminated fields");
    ButtonTable again = g_buttonTable;
    FUZZ_CHECK(!RepairLoadedTable(again), "a repaired table needs no second repair");
}

// Every text field read as a system running the program in UTF-8 reads it, and as an older one:
// shown as valid text, and storing back what it shows changes no byte of it.
void CheckFieldTexts() {
    static Utf8CodePage utf8;
    CodePage* installed = g_platform.codePage;
    static const std::vector<std::pair<size_t, size_t>> fields = TextFields();
    static ButtonTable before;
    before = g_buttonTable;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&g_buttonTable);
    for (CodePage* codePage : {installed, static_cast<CodePage*>(&utf8)}) {
        g_platform.codePage = codePage;
        for (const auto& field : fields) {
            char* text = reinterpret_cast<char*>(bytes + field.first);
            FUZZ_CHECK(IsUtf8(FieldUtf8(text, field.second)), "a field reads as valid UTF-8");
            const std::string shown = ShownText(text, field.second);
            FUZZ_CHECK(codePage != &utf8 || IsUtf8(shown), "a UTF-8 program shows valid UTF-8");
            FUZZ_CHECK(!StoreShownText(text, field.second, shown.c_str()), "what a field shows stores as its bytes");
        }
    }
    g_platform.codePage = installed;
    FUZZ_CHECK(SameBytes(&before, &g_buttonTable, kButtonTableSize), "reading the texts changes no byte");
}

void CheckLayout(const ScreenMetrics& screen) {
    const ButtonTable& table = g_buttonTable;
    const int count = ButtonCount(table);
    const BarLayout layout = ComputeLayout(screen, table);
    const BarLayout same = LayoutForCount(screen, table, count);
    FUZZ_CHECK(layout.barX == same.barX && layout.barY == same.barY && layout.barWidth == same.barWidth &&
                   layout.barHeight == same.barHeight,
               "the layout is the one for the table's count");
    FUZZ_CHECK(layout.buttonHeight == kButtonHeight && layout.gap == kButtonGap, "fixed button height and gap");
    const int64_t width = int64_t{table.buttonWidth} + (table.wide == 1 ? 50 : 0);
    FUZZ_CHECK(layout.buttonWidth == std::min<int64_t>(width, INT32_MAX),
               "the button width is the table's, wider by 50 with the wide flag, at most the largest int");
    if (screen.captionHeight >= 0 && screen.captionHeight < 1000) {
        FUZZ_CHECK(layout.barHeight == 27 * count + 2 * screen.captionHeight + 15, "the bar is as tall as its buttons");
    }
    if (count > 0) {
        FUZZ_CHECK(ButtonY(count - 1) == 5 + 27 * (count - 1), "the last button's row");
        const int x = ButtonX(layout.barWidth, layout.buttonWidth);
        if (width >= 0 && width < 100000) FUZZ_CHECK(x == 10, "buttons are centred 10 pixels in");
    }
    g_layout = layout;
}

void CheckTrayTip() {
    std::memset(g_trayTip, 0x7f, sizeof g_trayTip);
    UpdateTrayTip();
    const std::string url = ShownText(g_buttonTable.favouriteUrl);
    FUZZ_CHECK(fuzz::Terminated(g_trayTip, sizeof g_trayTip), "the tip is terminated");
    const std::string tip(g_trayTip);
    if (url.size() >= 64) {
        FUZZ_CHECK(tip == url.substr(0, CutLength(url.data(), url.size(), 60)) + "...",
                   "a long Favourite URL is cut to 60 bytes between characters and dots");
    } else {
        FUZZ_CHECK(tip == url, "a short Favourite URL is the tip");
    }
}

void CheckFonts() {
    const ButtonTable& table = g_buttonTable;
    const int count = ButtonCount(table);
    for (int i = 0; i < count; ++i) {
        const bool own = table.sameFont != 1 && table.records[i].hasOwnFont == 1;
        FUZZ_CHECK(UsesOwnFont(table, i) == own, "own font only with has-own-font 1 and same-font not 1");
    }
    FUZZ_CHECK(!UsesOwnFont(table, -1) && !UsesOwnFont(table, count) && !UsesOwnFont(table, kMaxButtons),
               "no font is looked up outside the records in use");
}

std::string Folded(const char* name) {
    std::string text = FieldText(name, kNameSize);
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Whether records 0 .. count - 1 of the two tables are the same records in some order (by their
// hashes: a lost or changed record shows).
bool SameRecordsInAnyOrder(const ButtonTable& a, const ButtonTable& b, int count) {
    uint64_t left[kMaxButtons];
    uint64_t right[kMaxButtons];
    for (int i = 0; i < count; ++i) {
        left[i] = fuzz::Hash(&a.records[i], kButtonRecordSize);
        right[i] = fuzz::Hash(&b.records[i], kButtonRecordSize);
    }
    std::sort(left, left + count);
    std::sort(right, right + count);
    return std::equal(left, left + count, right);
}

// Bytes of the image outside records first .. last - 1.
bool SameOutsideRecords(const ButtonTable& a, const ButtonTable& b, int first, int last, bool countToo) {
    const size_t begin = offsetof(ButtonTable, records) + static_cast<size_t>(first) * kButtonRecordSize;
    const size_t end = offsetof(ButtonTable, records) + static_cast<size_t>(last) * kButtonRecordSize;
    const size_t countAt = offsetof(ButtonTable, buttonCount);
    if (!SameBytes(Image(a), Image(b), countAt)) return false;
    if (countToo && a.buttonCount != b.buttonCount) return false;
    if (!SameBytes(Image(a) + countAt + 4, Image(b) + countAt + 4, begin - countAt - 4)) return false;
    return SameBytes(Image(a) + end, Image(b) + end, kButtonTableSize - end);
}

void CheckSort(SortOrder order) {
    static ButtonTable before;
    before = g_buttonTable;
    const int count = ButtonCount(before);
    SortButtons(g_buttonTable, order);
    const ButtonTable& after = g_buttonTable;
    for (int i = 0; i + 1 < count; ++i) {
        const std::string a = Folded(after.records[i].name);
        const std::string b = Folded(after.records[i + 1].name);
        FUZZ_CHECK(order == SortOrder::TopDown ? a <= b : a >= b, "sorted by name without regard to case");
        const int forward = CompareNamesFolded(after.records[i].name, after.records[i + 1].name);
        const int backward = CompareNamesFolded(after.records[i + 1].name, after.records[i].name);
        FUZZ_CHECK((forward > 0) - (forward < 0) == -((backward > 0) - (backward < 0)), "the name order is symmetric");
    }
    FUZZ_CHECK(SameRecordsInAnyOrder(before, after, count), "a sort moves whole records, losing none");
    FUZZ_CHECK(SameOutsideRecords(before, after, 0, count, true), "a sort touches only the records in use");
}

bool SameEditableFields(const ButtonRecord& a, const ButtonRecord& b) {
    return SameBytes(a.name, b.name, kNameSize) && SameBytes(a.url, b.url, kUrlSize) &&
           SameBytes(&a.ownFont, &b.ownFont, sizeof a.ownFont) && a.hasOwnFont == b.hasOwnFont &&
           a.newWindow == b.newWindow;
}

bool SameSlotFields(const ButtonRecord& a, const ButtonRecord& b) {
    return a.legacyValue == b.legacyValue && SameBytes(a.reserved, b.reserved, sizeof a.reserved);
}

// The Add dialog's result, taken from the control bytes.
EditorResult ReadEditorResult(ByteReader& control) {
    EditorResult result;
    std::memset(&result, 0, sizeof result);
    const std::string url = control.Text(kAddUrlLimit + 100);
    const std::string name = control.Text(kEditorNameLimit + 10);
    CopyTextToField(result.addUrl, sizeof result.addUrl, url.empty() ? "http://fuzz.example/" : url.c_str());
    CopyTextToField(result.addName, sizeof result.addName, name.empty() ? "Fuzz" : name.c_str());
    const uint8_t flags = control.Byte();
    result.fontChosen = flags % 3;          // 0, 1 or a stray 2
    result.newWindowChoice = (flags / 3) % 3;
    result.chosenFont.lfHeight = control.I32();
    result.chosenFont.lfWeight = control.I32();
    result.chosenFont.lfItalic = control.Byte();
    CopyTextToField(result.chosenFont.lfFaceName, sizeof result.chosenFont.lfFaceName, "Fuzz Sans");
    return result;
}

void CheckInsert(const EditorResult& result) {
    static ButtonTable before;
    before = g_buttonTable;
    const int count = ButtonCount(before);
    const bool inserted = InsertButtonAtTop(g_buttonTable, result);
    const ButtonTable& after = g_buttonTable;
    if (count >= kMaxButtons) {
        FUZZ_CHECK(!inserted && SameBytes(&before, &after, kButtonTableSize), "a full table refuses an insert untouched");
        return;
    }
    FUZZ_CHECK(inserted && after.buttonCount == count + 1, "an insert adds one record");
    const ButtonRecord& first = after.records[0];
    FUZZ_CHECK(FieldText(first.url, kUrlSize) == CutText(result.addUrl, kUrlSize), "the new URL, cut to 511");
    FUZZ_CHECK(FieldText(first.name, kNameSize) == CutText(result.addName, kNameSize), "the new name");
    const FontDesc& font = result.fontChosen == 1 ? result.chosenFont : before.globalFont;
    FUZZ_CHECK(SameBytes(&first.ownFont, &font, sizeof font) && first.hasOwnFont == (result.fontChosen == 1 ? 1 : 0),
               "the chosen font, or a copy of the global one");
    FUZZ_CHECK(first.newWindow == (result.newWindowChoice == 1 ? 1 : 0), "the new-window byte");
    for (int i = 1; i <= count; ++i) {
        FUZZ_CHECK(SameEditableFields(after.records[i], before.records[i - 1]), "records move one slot down");
    }
    for (int i = 0; i < kMaxButtons; ++i) {
        FUZZ_CHECK(SameSlotFields(after.records[i], before.records[i]), "legacy values stay with their slot");
    }
    FUZZ_CHECK(SameOutsideRecords(before, after, 0, count + 1, false), "an insert touches only the records it moves");
}

void CheckDelete(int index) {
    static ButtonTable before;
    before = g_buttonTable;
    const int count = ButtonCount(before);
    const bool deleted = DeleteButton(g_buttonTable, index);
    const ButtonTable& after = g_buttonTable;
    if (count <= 1 || index < 0 || index >= count) {
        FUZZ_CHECK(!deleted && SameBytes(&before, &after, kButtonTableSize), "a refused delete changes nothing");
        return;
    }
    FUZZ_CHECK(deleted && after.buttonCount == count - 1, "a delete removes one record");
    for (int i = 0; i < kMaxButtons; ++i) {
        const ButtonRecord& now = after.records[i];
        FUZZ_CHECK(SameSlotFields(now, before.records[i]), "legacy values stay with their slot");
        if (i >= index && i < count && i + 1 < kMaxButtons) {
            FUZZ_CHECK(SameEditableFields(now, before.records[i + 1]), "later records move one slot up");
        } else {
            FUZZ_CHECK(SameEditableFields(now, before.records[i]), "other records stay as they were");
        }
    }
    FUZZ_CHECK(SameOutsideRecords(before, after, 0, kMaxButtons, false), "a delete touches only records");
}

// A table of 100 records: no insert, deleting the last record and one in the middle.
void CheckFullTable(const EditorResult& result, int barY) {
    static ButtonTable saved;
    saved = g_buttonTable;
    g_buttonTable.buttonCount = kMaxButtons;
    FUZZ_CHECK(CheckAddAllowed(g_buttonTable, barY) == AddRefusal::TableFull, "a full table refuses Add first");
    CheckInsert(result);
    CheckDelete(kMaxButtons - 1);
    g_buttonTable.buttonCount = kMaxButtons;
    CheckDelete(kMaxButtons / 2);
    fuzz::CheckTableSound(g_buttonTable, "after deletes at 100 records");
    g_buttonTable = saved;
}

void CheckEdit(const EditorResult& result, int selected) {
    static ButtonTable before;
    before = g_buttonTable;
    const int index = SelectedRecord(before, selected);
    FUZZ_CHECK(index == 0 || (index > 0 && index < ButtonCount(before)), "the selected record is in use, or 0");
    ButtonRecord& record = g_buttonTable.records[index];
    ApplyEditResult(record, result);
    const ButtonRecord& old = before.records[index];
    if (result.fontChosen == 1) {
        FUZZ_CHECK(SameBytes(&record.ownFont, &result.chosenFont, sizeof record.ownFont) && record.hasOwnFont == 1,
                   "a chosen font becomes the record's own");
    } else {
        FUZZ_CHECK(SameBytes(&record.ownFont, &old.ownFont, sizeof record.ownFont) && record.hasOwnFont == old.hasOwnFont,
                   "without a chosen font the record's font stays");
    }
    FUZZ_CHECK(record.newWindow == (result.newWindowChoice == 1 ? 1 : 0), "the new-window choice");
    FUZZ_CHECK(SameBytes(record.name, old.name, kNameSize) && SameBytes(record.url, old.url, kUrlSize) &&
                   SameSlotFields(record, old),
               "an edit result touches fonts and flags only");
    FUZZ_CHECK(SameOutsideRecords(before, g_buttonTable, index, index + 1, true), "an edit touches its record only");
}

void CheckFavourite(const std::string& text) {
    StoreFavouriteUrl(g_buttonTable, text.c_str());
    FUZZ_CHECK(FieldText(g_buttonTable.favouriteUrl, kUrlSize) == CutText(text, kUrlSize), "the Favourite URL, cut to 511");
    CheckTrayTip();
}

void CheckFileExtension(const std::string& text, size_t size) {
    char path[kPathSize];
    if (size == 0 || size > sizeof path) size = sizeof path;
    CopyTextToField(path, size, text.c_str());
    const std::string before(path);
    const bool applied = ApplyButtonFileExtension(path, size);
    const std::string after(path);
    FUZZ_CHECK(after.size() < size, "the name stays within its buffer");
    std::string folded = after;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    const bool ends = folded.size() >= 5 && folded.compare(folded.size() - 5, 5, ".bklt") == 0;
    if (applied) {
        FUZZ_CHECK(ends && (after == before || after == before + ".bklt"), "the name ends in .bklt, appended at most once");
    } else {
        FUZZ_CHECK(after == before && before.size() + 5 >= size, "a refused name is left as it was, for want of room");
    }
}

class LaunchRecorder : public TrayPlatform {
public:
    void SetTrayPicture(TrayPicture) override {}
    void ShowBar(int) override {}
    void UpdateBar() override {}
    void ActivateBar() override {}
    void BringBarToFront() override {}
    intptr_t ShellOpen(const char* file, const char* parameters) override {
        ++opens;
        FUZZ_CHECK(file != nullptr && fuzz::Terminated(file, kUrlSize), "what is opened is a terminated text");
        // Quotes and doubled backslashes may make the parameters at most twice the URL and two.
        FUZZ_CHECK(parameters == nullptr || fuzz::Terminated(parameters, 2 * kUrlSize + 2), "parameters are terminated");
        return result;
    }
    void ShowBarMessage(const char*, const char*) override { ++messages; }
    void StartCountdownTimer() override {}
    void StopCountdownTimer() override {}
    intptr_t result = 42;
    int opens = 0;
    int messages = 0;
};

// The arguments a program started with `parameters` reads, by the rules of the C runtime's
// command-line parser: blanks separate arguments outside quotes; 2n backslashes before a quote
// are n and the quote opens or closes, 2n + 1 are n and a plain quote; other backslashes are plain.
std::vector<std::string> ArgumentsOf(const std::string& parameters) {
    std::vector<std::string> arguments;
    size_t i = 0;
    while (i < parameters.size()) {
        while (i < parameters.size() && (parameters[i] == ' ' || parameters[i] == '\t')) ++i;
        if (i >= parameters.size()) break;
        std::string argument;
        bool quoted = false;
        for (; i < parameters.size() && (quoted || (parameters[i] != ' ' && parameters[i] != '\t')); ++i) {
            size_t backslashes = 0;
            while (i < parameters.size() && parameters[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < parameters.size() && parameters[i] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument.push_back('"');
                } else {
                    quoted = !quoted;
                }
            } else {
                argument.append(backslashes, '\\');
                if (i >= parameters.size()) break;
                if (!quoted && (parameters[i] == ' ' || parameters[i] == '\t')) break;
                argument.push_back(parameters[i]);
            }
        }
        arguments.push_back(argument);
    }
    return arguments;
}

void CheckLaunch(int index, intptr_t shellResult) {
    static const char kBrowser[] = "C:\\Browser\\browser.exe";
    LaunchRecorder platform;
    platform.result = shellResult;
    HandleLaunchButton(g_buttonTable, index, kBrowser, 0, platform);
    const bool inUse = index >= 0 && index < ButtonCount(g_buttonTable);
    if (!inUse) {
        FUZZ_CHECK(platform.opens == 0 && platform.messages == 0, "only a button in use launches");
        return;
    }
    const ButtonRecord& record = g_buttonTable.records[index];
    const LaunchRequest request = PlanLaunch(record, kBrowser);
    const std::string url = ShownText(record.url);  // a legacy address as the A calls take it
    if (record.newWindow != 1) {
        FUZZ_CHECK(url == request.file && request.Parameters() == nullptr && !request.refused,
                   "otherwise the URL itself");
    } else {
        const size_t first = url.find_first_not_of(" \t");
        const bool switchLike = first != std::string::npos && (url[first] == '-' || url[first] == '/');
        FUZZ_CHECK(request.refused == (url.find_first_of("\"\r\n") != std::string::npos || switchLike),
                   "a new window is refused exactly for a quote, a line break or a switch");
        FUZZ_CHECK(request.file == kBrowser, "new window: the Browser program");
        if (!request.refused) {
            FUZZ_CHECK(request.Parameters() != nullptr && request.parameters.front() == '"' &&
                           request.parameters.back() == '"',
                       "the URL quoted");
            FUZZ_CHECK(ArgumentsOf(request.parameters) == std::vector<std::string>{url},
                       "the browser reads the URL as its one argument, unchanged");
        }
    }
    FUZZ_CHECK(platform.opens == (request.refused ? 0 : 1), "a refused launch opens nothing");
    FUZZ_CHECK(platform.messages == (request.refused || shellResult <= 32 ? 1 : 0), "a failed launch is reported once");
}

// A save: on success the file is the table, exactly, and its path is recorded; on failure the
// file keeps its bytes, the user is told once, and no temporary file is left behind.
void CheckSave(fuzz::Platform& platform, const FaultPlan& plan) {
    const std::string path = g_currentButtonFile;
    const std::vector<uint8_t>* existing = platform.files.Get(path);
    const bool existed = existing != nullptr;
    const std::vector<uint8_t> previous = existed ? *existing : std::vector<uint8_t>();
    static ButtonTable before;
    before = g_buttonTable;
    const int messages = platform.messages.count;
    const std::string recorded = fuzz::RecordedButtonFile(platform.registry);
    static char temporaryName[kPathSize + 48];
    FUZZ_CHECK(TemporaryFileFor(path.c_str(), temporaryName, sizeof temporaryName), "a temporary name fits");
    const std::string temporary = temporaryName;
    const bool temporaryBefore = platform.files.Get(temporary) != nullptr;

    platform.files.plan = plan;
    platform.files.injected = 0;
    const bool saved = SaveButtonFile();
    platform.files.plan = FaultPlan();

    FUZZ_CHECK(SameBytes(&before, &g_buttonTable, kButtonTableSize), "a save leaves the table alone");
    const std::vector<uint8_t>* file = platform.files.Get(path);
    if (saved) {
        FUZZ_CHECK(file != nullptr && file->size() == kButtonTableSize, "a saved file is 64,996 bytes");
        FUZZ_CHECK(SameBytes(file->data(), &g_buttonTable, kButtonTableSize), "a saved file is the table");
        FUZZ_CHECK(fuzz::RecordedButtonFile(platform.registry) == path, "a save records its path");
        FUZZ_CHECK(platform.messages.count == messages, "a save that works says nothing");
    } else {
        FUZZ_CHECK(platform.files.injected != 0, "a save fails only when the disk does");
        if (existed) {
            FUZZ_CHECK(file != nullptr && fuzz::SameContent(*file, previous), "a failed save keeps the file as it was");
        } else {
            // Probing a missing file creates it empty; the failed save deletes it again, unless
            // that delete fails too.
            const bool leftEmpty = (platform.files.injected & FaultPlan::Delete) != 0 && file != nullptr && file->empty();
            FUZZ_CHECK(file == nullptr || leftEmpty, "a failed save leaves no file where there was none");
        }
        FUZZ_CHECK(fuzz::RecordedButtonFile(platform.registry) == recorded, "a failed save records nothing");
        FUZZ_CHECK(platform.messages.count == messages + 1, "a failed save is reported once");
    }
    // A save that worked has moved its temporary file into place; one that failed has removed
    // it, unless that was made to fail too, or the save never got to it and it is one an earlier
    // save's failed clean-up left.
    const bool temporaryLeft = platform.files.Get(temporary) != nullptr;
    if (saved || (!temporaryBefore && (platform.files.injected & FaultPlan::Delete) == 0)) {
        FUZZ_CHECK(!temporaryLeft, "no temporary file is left behind");
    }
}

// Loading back what was saved gives the same table, byte for byte.
void CheckReloadOfSaved(fuzz::Platform& platform) {
    const std::vector<uint8_t>* file = platform.files.Get(g_currentButtonFile);
    FUZZ_CHECK(file != nullptr && file->size() == kButtonTableSize, "the saved file is there");
    static ButtonTable saved;
    saved = g_buttonTable;
    std::memset(&g_buttonTable, 0xa5, sizeof g_buttonTable);
    FUZZ_CHECK(LoadButtonFile() == LoadResult::Loaded, "a saved file loads");
    FUZZ_CHECK(SameBytes(&saved, &g_buttonTable, kButtonTableSize), "a saved table loads back as it was");
}

// A reload under failing reads: the file that was there keeps its bytes whatever happens, the
// table stays sound, and the file in use is the one recorded.
void CheckReloadUnderFaults(fuzz::Platform& platform, const FaultPlan& plan, bool removeFirst) {
    const std::string path = g_currentButtonFile;
    if (removeFirst) platform.files.RemoveFile(path);
    const std::vector<uint8_t>* existing = platform.files.Get(path);
    const bool existed = existing != nullptr;
    const std::vector<uint8_t> previous = existed ? *existing : std::vector<uint8_t>();
    const int messages = platform.messages.count;
    platform.files.plan = plan;
    platform.files.injected = 0;
    ReloadButtonFile();
    platform.files.plan = FaultPlan();
    fuzz::CheckTableSound(g_buttonTable, "after a reload");
    if (existed) {
        const std::vector<uint8_t>* file = platform.files.Get(path);
        FUZZ_CHECK(file != nullptr && fuzz::SameContent(*file, previous), "a reload never changes a file that is there");
    }
    if (path != g_currentButtonFile) {
        FUZZ_CHECK(fuzz::RecordedButtonFile(platform.registry) == g_currentButtonFile, "a new current file is recorded");
    }
    if (platform.files.injected == 0 && !existed) {
        const std::vector<uint8_t>* file = platform.files.Get(g_currentButtonFile);
        FUZZ_CHECK(file != nullptr && SameBytes(file->data(), &g_buttonTable, kButtonTableSize),
                   "a missing file is created with the table");
        FUZZ_CHECK(g_buttonTable.buttonCount == 1 && FieldText(g_buttonTable.records[0].name, kNameSize) == "Brisklet",
                   "a missing file gets the default buttons");
    }
    if (platform.files.injected == 0) {
        FUZZ_CHECK(platform.messages.count == messages, "a reload without faults says nothing");
    }
}

FaultPlan ReadFaultPlan(ByteReader& control, uint32_t allowed) {
    FaultPlan plan;
    plan.kinds = control.U32() & allowed;
    plan.bits = control.U64();
    return plan;
}

constexpr uint32_t kWriteFaults = FaultPlan::OpenWrite | FaultPlan::ShortWrite | FaultPlan::Flush |
                                  FaultPlan::Close | FaultPlan::Replace | FaultPlan::Delete;
constexpr uint32_t kAnyFault = kWriteFaults | FaultPlan::OpenRead | FaultPlan::ShortRead | FaultPlan::Copy |
                               FaultPlan::CreateFolder;

}  // namespace

int FuzzButtonFile(const uint8_t* data, size_t size) {
    fuzz::Platform platform;
    const std::string folder = std::string(fuzz::kDocumentsFolder) + "\\brisklet";
    const std::string path = folder + "\\Buttons.bklt";
    platform.files.MakeFolder(folder);
    platform.files.PutFile(path, data, size);
    platform.files.GuardUserFile(path);
    CopyTextToField(g_currentButtonFile, sizeof g_currentButtonFile, path.c_str());
    const size_t controlSize = size > kButtonTableSize ? size - kButtonTableSize : 0;
    ByteReader control(data + (size - controlSize), controlSize);

    // Start-up: the current file is loaded over the all-zero table.
    static ButtonTable zero;
    ReloadButtonFile();
    CheckLoadedImage(zero, data, size);
    fuzz::CheckTableSound(g_buttonTable, "after the load");
    FUZZ_CHECK(fuzz::SameContent(*platform.files.Get(path), data, size), "a load leaves the file alone");
    if (size == 0 || size == kButtonTableSize) {
        FUZZ_CHECK(platform.messages.count == 0 && platform.files.Get(path + ".orig") == nullptr,
                   "a Button file or an empty file is loaded without a copy or a word");
    } else {
        // Any other size is not a Button file: a copy of it is kept first, and the user told.
        const std::vector<uint8_t>* copy = platform.files.Get(path + ".orig");
        FUZZ_CHECK(copy != nullptr && fuzz::SameContent(*copy, data, size), "a copy of the file is kept beside it");
        FUZZ_CHECK(platform.messages.count == 1 &&
                       platform.messages.lastText == path + " is not a Brisklet Button file (" + std::to_string(size) +
                                                         " bytes). Its original content is kept in - " + path + ".orig",
                   "the user is told once where the copy is");
    }

    // The bar and the tray.
    ScreenMetrics screen{1024, 768, 19, 18};
    if (controlSize != 0) screen = ScreenMetrics{control.I32(), control.I32(), control.I32(), control.I32()};
    CheckLayout(screen);
    CheckTrayTip();
    CheckFonts();
    CheckFieldTexts();

    // The Setup dialog.
    CheckSort(SortOrder::TopDown);
    CheckSort(SortOrder::BottomUp);
    const EditorResult result = ReadEditorResult(control);
    (void)CheckAddAllowed(g_buttonTable, g_layout.barY);
    CheckInsert(result);
    CheckDelete(controlSize != 0 ? control.I32() : 0);
    CheckDelete(ButtonCount(g_buttonTable) - 1);
    CheckFullTable(result, g_layout.barY);
    CheckEdit(result, control.I32());
    CheckFavourite(control.Text(700));
    CheckFileExtension(control.Text(kPathSize + 10), control.U32() % (kPathSize + 1));
    CheckLaunch(control.I32() % (kMaxButtons + 2), control.Byte());
    CheckFonts();
    fuzz::CheckTableSound(g_buttonTable, "after the edits");

    // Saving and loading back.
    CheckSave(platform, FaultPlan());
    CheckReloadOfSaved(platform);
    CheckSave(platform, ReadFaultPlan(control, kWriteFaults));
    CheckReloadUnderFaults(platform, ReadFaultPlan(control, kAnyFault), (control.Byte() & 1) != 0);

    // Further edits as the control bytes script them.
    for (int step = 0; step < 48 && !control.Empty(); ++step) {
        switch (control.Byte() % 12) {
            case 0: CheckInsert(ReadEditorResult(control)); break;
            case 1: CheckDelete(control.I32() % (kMaxButtons + 2)); break;
            case 2: CheckSort(SortOrder::TopDown); break;
            case 3: CheckSort(SortOrder::BottomUp); break;
            case 4: CheckEdit(ReadEditorResult(control), control.I32()); break;
            case 5: CheckFavourite(control.Text(700)); break;
            case 6:
                g_buttonTable.sameFont = control.Byte() % 3;
                g_buttonTable.wide = control.Byte() % 3;
                CheckFonts();
                CheckLayout(screen);
                break;
            case 7: CheckSave(platform, ReadFaultPlan(control, kWriteFaults)); break;
            case 8: CheckReloadUnderFaults(platform, ReadFaultPlan(control, kAnyFault), (control.Byte() & 1) != 0); break;
            case 9: CheckFullTable(ReadEditorResult(control), control.I32()); break;
            case 10: CheckLaunch(control.I32() % (kMaxButtons + 2), control.Byte()); break;
            default: g_buttonTable.buttonWidth = control.I32(); CheckLayout(screen); break;
        }
        fuzz::CheckTableSound(g_buttonTable, "after a scripted step");
    }
    return 0;
}
