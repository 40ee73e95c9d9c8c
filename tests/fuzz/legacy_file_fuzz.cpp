// Any bytes as the legacy data file. The input is the file, found at start-up and migrated into
// the default Button file; the result is checked against what the file alone says the table must
// hold, and against what the files and the registry must look like afterwards (a second start
// must not migrate again over buttons that reached the Button file). Bytes past the 213,656 of
// a legacy file steer the run: files already there, and which file operations fail.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "store/button_files.h"
#include "store/settings.h"
#include "tests/fuzz/fuzz_harnesses.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::ByteReader;
using fuzz::CutText;
using fuzz::FieldText;
using fuzz::SameBytes;

// The table a migration of `legacy` must give on a fresh start: the defaults, with the width,
// the count brought into 0..100, the Favourite URL and, for each record in use, the name, URL
// and legacy value of the legacy file, cut to their fields.
void ExpectedTable(const LegacyDataFile& legacy, ButtonTable& expected) {
    std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
    ApplyButtonDefaults();
    expected = g_buttonTable;
    std::memset(&g_buttonTable, 0, sizeof g_buttonTable);

    expected.buttonWidth = legacy.buttonWidth;
    expected.buttonCount = std::min(std::max(legacy.buttonCount, 0), kMaxButtons);
    const std::string favourite = CutText(FieldText(legacy.favouriteUrl, sizeof legacy.favouriteUrl), kUrlSize);
    std::memcpy(expected.favouriteUrl, favourite.c_str(), favourite.size() + 1);
    for (int i = 0; i < expected.buttonCount; ++i) {
        ButtonRecord& record = expected.records[i];
        const LegacyRecord& old = legacy.records[i];
        const std::string name = CutText(FieldText(old.name, sizeof old.name), kNameSize);
        const std::string url = CutText(FieldText(old.url, sizeof old.url), kUrlSize);
        std::memcpy(record.name, name.c_str(), name.size() + 1);
        std::memcpy(record.url, url.c_str(), url.size() + 1);
        record.legacyValue = old.legacyValue;
    }
}

std::string Join(const std::string& folder, const char* name) { return folder + "\\" + name; }

}  // namespace

int FuzzLegacyFile(const uint8_t* data, size_t size) {
    fuzz::Platform platform;
    MemoryFileSystem& files = platform.files;
    const std::string legacyFolder = Join(fuzz::kAppDataFolder, "brisklet");
    const std::string legacyPath = Join(legacyFolder, "brisklet.dat");
    const std::string buttonFolder = Join(fuzz::kDocumentsFolder, "brisklet");
    const std::string buttonPath = Join(buttonFolder, "brisklet.bklt");
    const std::string backupPath = Join(buttonFolder, "original_buttons.bklt");
    files.MakeFolder(legacyFolder);
    files.PutFile(legacyPath, data, size);
    FUZZ_CHECK(legacyPath == g_legacyDataFile, "the legacy data file is where start-up looks");

    const size_t controlSize = size > sizeof(LegacyDataFile) ? size - sizeof(LegacyDataFile) : 0;
    ByteReader control(data + (size - controlSize), controlSize);
    const uint8_t setting = control.Byte();
    // An earlier file at the default path that is not a Button file by its size (nor empty) is
    // the user's: migration may write over it only once it is copied, and says so.
    bool oldNotButtonFile = false;
    if (setting & 1) {
        const std::string old = control.Text(kButtonTableSize + 16);
        files.MakeFolder(buttonFolder);
        files.PutFile(buttonPath, old.data(), old.size());
        files.GuardUserFile(buttonPath);
        oldNotButtonFile = !old.empty() && old.size() != kButtonTableSize;
    }
    if (setting & 2) files.PutFile(Join(legacyFolder, "other.txt"), "x", 1);
    if (setting & 4) files.PutFile(legacyPath + ".migrated", "old", 3);
    const bool legacyLocked = (setting & 16) != 0;
    if (legacyLocked) files.MakeUnreadable(legacyPath);
    if (setting & 8) SetRegistryString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", "D:\\elsewhere.bklt");
    FaultPlan plan;
    plan.kinds = control.U32();
    plan.bits = control.U64();

    static LegacyDataFile legacy;
    std::memset(&legacy, 0, sizeof legacy);
    std::memcpy(&legacy, data, std::min(size, sizeof legacy));
    static ButtonTable expected;
    ExpectedTable(legacy, expected);

    // Start-up, step by step as the program takes it.
    FUZZ_CHECK(LegacyMigrationDue(), "a legacy data file is migrated");
    files.plan = plan;
    files.injected = 0;
    const std::vector<uint8_t> buttonFileBefore = files.Get(buttonPath) ? *files.Get(buttonPath) : std::vector<uint8_t>();
    const std::string recordedBefore = fuzz::RecordedButtonFile(platform.registry);
    FUZZ_CHECK(MigrateLegacyDataFile() == 1, "migration returns 1");
    files.plan = FaultPlan();
    const uint32_t injected = files.injected;
    fuzz::CheckTableSound(g_buttonTable, "after migration");

    const std::vector<uint8_t>* saved = files.Get(buttonPath);
    if (saved != nullptr && !(setting & 1) && (injected & FaultPlan::Delete) == 0) {
        FUZZ_CHECK(saved->size() == kButtonTableSize, "a Button file is whole or absent, never cut short");
    }
    if ((injected & FaultPlan::Delete) == 0) {
        FUZZ_CHECK(files.CountFilesEndingWith(".saving") == 0, "no temporary file is left behind");
    }
    const bool savedTable = saved != nullptr && saved->size() == kButtonTableSize &&
                            SameBytes(saved->data(), &g_buttonTable, kButtonTableSize);

    if (injected == 0 && !legacyLocked) {
        FUZZ_CHECK(SameBytes(&expected, &g_buttonTable, kButtonTableSize),
                   "the migrated table is the defaults with the legacy buttons, and nothing else");
        FUZZ_CHECK(savedTable, "the default Button file holds the migrated table");
        const std::vector<uint8_t>* backup = files.Get(backupPath);
        FUZZ_CHECK(backup != nullptr && fuzz::SameContent(*backup, *saved), "the backup is a copy of it");
        FUZZ_CHECK(g_currentButtonFile == buttonPath && fuzz::RecordedButtonFile(platform.registry) == buttonPath,
                   "the default Button file is current and recorded");
        FUZZ_CHECK(files.Get(legacyPath) == nullptr, "the legacy data file is gone");
        FUZZ_CHECK(files.HasFolder(legacyFolder) == ((setting & 6) != 0), "its folder goes when nothing else is in it");
        FUZZ_CHECK(platform.messages.count == platform.messages.notButtonFile,
                   "a migration without faults says nothing but where a copy is kept");
        FUZZ_CHECK(platform.messages.notButtonFile == (oldNotButtonFile ? 1 : 0), "a copy is made once, when needed");
        if (oldNotButtonFile) {
            const std::vector<uint8_t>* copy = files.Get(buttonPath + ".orig");
            FUZZ_CHECK(copy != nullptr && fuzz::SameContent(*copy, buttonFileBefore), "the earlier file is kept whole");
        }
    }
    if (legacyLocked) {
        // The legacy file could not be opened: nothing of the user's is touched.
        static const ButtonTable zero = {};
        FUZZ_CHECK(SameBytes(&zero, &g_buttonTable, kButtonTableSize), "an unreadable legacy file changes no table");
        FUZZ_CHECK((saved == nullptr && buttonFileBefore.empty()) || (saved != nullptr && fuzz::SameContent(*saved, buttonFileBefore)),
                   "an unreadable legacy file changes no Button file");
        FUZZ_CHECK(fuzz::RecordedButtonFile(platform.registry) == recordedBefore, "nor the recorded one");
        const std::vector<uint8_t>* left = files.Get(legacyPath);
        FUZZ_CHECK(left != nullptr && fuzz::SameContent(*left, data, size), "nor the legacy file");
        files.ClearUnreadable();
    }

    // The next start: migration again only when the buttons never reached the Button file.
    const bool dueAgain = LegacyMigrationDue();
    const int failureMessages = platform.messages.count - platform.messages.notButtonFile;
    if (dueAgain && !legacyLocked && (injected & FaultPlan::OpenRead) == 0) {
        FUZZ_CHECK(failureMessages > 0, "a legacy file is kept only when the save failed, and the user is told");
    }
    if (savedTable && failureMessages == 0) {
        FUZZ_CHECK(!dueAgain, "migrated buttons are never migrated over again");
    }

    // The next start loads the recorded file: with no fault, the migrated table again.
    static ButtonTable migrated;
    migrated = g_buttonTable;
    std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
    g_currentButtonFile[0] = '\0';
    ReadCurrentButtonFileName(g_currentButtonFile, sizeof g_currentButtonFile);
    if (g_currentButtonFile[0] == '\0') TakeDefaultButtonFile();
    if (!dueAgain) {
        ReloadButtonFile();
        fuzz::CheckTableSound(g_buttonTable, "after the next start");
        if (injected == 0) {
            FUZZ_CHECK(SameBytes(&migrated, &g_buttonTable, kButtonTableSize), "the next start has the migrated buttons");
        }
    }
    return 0;
}
