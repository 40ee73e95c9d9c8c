#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include "store/button_files.h"
#include "store/native_registry.h"
#include "store/settings.h"
#include "tests/native/store_test_support.h"

namespace {

using store_test::FaultyFileSystem;
using store_test::FileExists;
using store_test::ReadAll;
using store_test::SameBytes;
using store_test::Slashes;
using store_test::WriteAll;
using Fault = FaultyFileSystem::Fault;

ButtonTable ButtonTableFromFile(const std::string& path) {
    ButtonTable table{};
    const std::string bytes = ReadAll(path);
    std::memcpy(&table, bytes.data(), bytes.size() < sizeof table ? bytes.size() : sizeof table);
    return table;
}

const char kSaveMessageEnd[] = "\nPlease check that you have 'write' access to this folder";

std::string TableBytes() { return std::string(reinterpret_cast<const char*>(&g_buttonTable), sizeof g_buttonTable); }

// The documents and application-data folders live in a temporary folder; the registry and the
// message boxes are the in-memory stand-ins.
class ButtonFilesTest : public store_test::StoreSeamTest<FaultyFileSystem, NativeRegistry, RecordingMessageSink> {
protected:
    void SetUp() override {
        StoreSeamTest::SetUp();
        root_ = temp_.path();
        SetPath(g_documentsFolder, root_ + "/docs");
        SetPath(g_appDataFolder, root_ + "/appdata");
        store_test::MakeFolder(root_ + "/docs");
        store_test::MakeFolder(root_ + "/appdata");
        BuildStorePaths();
    }
    void TearDown() override {
        EXPECT_EQ(0, registry_.OpenHandles());
        StoreSeamTest::TearDown();
    }

    std::string RecordedPath() const {
        const NativeRegistry::Value* value =
            registry_.Get(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName");
        return value == nullptr ? "<none>" : std::string(value->bytes.c_str());
    }
    std::string DefaultButtonFile() const { return std::string(g_buttonFolder) + "\\brisklet.bklt"; }
    // The image ApplyButtonDefaults gives a zero table, with the current default font height.
    static std::string DefaultImage() {
        const ButtonTable keep = g_buttonTable;
        std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
        ApplyButtonDefaults();
        const std::string image = TableBytes();
        g_buttonTable = keep;
        return image;
    }
    std::string SaveMessage() const {
        return "Cannot create Brisklet Button Data File in - " + std::string(g_buttonFolder) + kSaveMessageEnd;
    }

    std::string root_;
};

TEST_F(ButtonFilesTest, SaveWritesExactlyTheImageAndRecordsThePath) {
    store_test::MakeFolder(root_ + "/docs/brisklet");
    SetPath(g_currentButtonFile, std::string(g_buttonFolder) + "\\mine.bklt");
    ApplyButtonDefaults();
    g_buttonTable.reserved[1] = 0x12345678;   // reserved words travel with the image
    const std::string old(kButtonTableSize, 'o');
    WriteAll(Slashes(g_currentButtonFile), old.data(), old.size());

    EXPECT_TRUE(SaveButtonFile());

    EXPECT_TRUE(SameBytes(TableBytes(), ReadAll(g_currentButtonFile)));
    EXPECT_EQ(g_currentButtonFile, RecordedPath());
    EXPECT_FALSE(FileExists(store_test::TemporaryOf(g_currentButtonFile)));
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ButtonFilesTest, SaveIntoAWriteProtectedFolderNamesTheButtonFolderAndChangesNothing) {
    // The current file lies outside the Button folder; the message still names the Button folder.
    store_test::MakeFolder(root_ + "/elsewhere");
    SetPath(g_currentButtonFile, root_ + "\\elsewhere\\work.bklt");
    const std::string previous = "previous content";
    WriteAll(root_ + "/elsewhere/work.bklt", previous.data(), previous.size());
    registry_.PutString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", "C:\\before.bklt");
    files_.fault = Fault::DenyWrite;
    files_.faultPrefix = root_ + "/elsewhere";
    ApplyButtonDefaults();

    EXPECT_FALSE(SaveButtonFile());

    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ(SaveMessage(), messages_.shown[0].text);
    EXPECT_EQ("Brisklet", messages_.shown[0].caption);
    EXPECT_NE(std::string::npos, messages_.shown[0].text.find(root_ + "/docs\\brisklet\n"));
    EXPECT_TRUE(SameBytes(previous, ReadAll(root_ + "/elsewhere/work.bklt")));
    EXPECT_EQ("C:\\before.bklt", RecordedPath());
}

// A save that fails at any step after the file could be opened leaves the previous file exactly
// as it was, removes its temporary file and reports the failure like an open that failed.
TEST_F(ButtonFilesTest, AFailedSaveLeavesThePreviousFileWhole) {
    store_test::MakeFolder(root_ + "/docs/brisklet");
    SetPath(g_currentButtonFile, DefaultButtonFile());
    std::string previous(kButtonTableSize, '\0');
    for (size_t i = 0; i < previous.size(); ++i) previous[i] = static_cast<char>(i % 251);

    for (Fault fault : {Fault::HalfWrite, Fault::FailFlush, Fault::FailClose, Fault::FailReplace}) {
        SCOPED_TRACE(static_cast<int>(fault));
        WriteAll(Slashes(g_currentButtonFile), previous.data(), previous.size());
        registry_.PutString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", "C:\\before.bklt");
        messages_.shown.clear();
        std::memset(&g_buttonTable, 0x41, sizeof g_buttonTable);
        files_.fault = fault;
        files_.faultPrefix = root_;

        EXPECT_FALSE(SaveButtonFile());

        EXPECT_TRUE(SameBytes(previous, ReadAll(g_currentButtonFile)));
        EXPECT_FALSE(FileExists(store_test::TemporaryOf(g_currentButtonFile)));
        ASSERT_EQ(1u, messages_.shown.size());
        EXPECT_EQ(SaveMessage(), messages_.shown[0].text);
        EXPECT_EQ("C:\\before.bklt", RecordedPath());
    }

    // Without a previous file, a failed save leaves no file at all.
    ASSERT_EQ(0, std::remove(Slashes(g_currentButtonFile).c_str()));
    files_.fault = Fault::HalfWrite;
    EXPECT_FALSE(SaveButtonFile());
    EXPECT_FALSE(FileExists(g_currentButtonFile));
    EXPECT_FALSE(FileExists(store_test::TemporaryOf(g_currentButtonFile)));

    // And once the fault is gone the same save goes through.
    files_.fault = Fault::None;
    EXPECT_TRUE(SaveButtonFile());
    EXPECT_TRUE(SameBytes(TableBytes(), ReadAll(g_currentButtonFile)));
}

TEST_F(ButtonFilesTest, CreateDefaultInAMissingFolderFallsBackToTheButtonFolder) {
    SetPath(g_currentButtonFile, root_ + "\\no\\such\\folder\\lost.bklt");
    g_defaultFontHeight = -13;
    ASSERT_FALSE(FileExists(g_buttonFolder));

    CreateDefaultButtonFile();

    EXPECT_TRUE(FileExists(g_buttonFolder));
    EXPECT_EQ(DefaultButtonFile(), g_currentButtonFile);
    EXPECT_TRUE(SameBytes(DefaultImage(), ReadAll(g_currentButtonFile)));
    EXPECT_TRUE(SameBytes(DefaultImage(), TableBytes()));
    EXPECT_EQ(DefaultButtonFile(), RecordedPath());
    EXPECT_EQ(2, files_.replacedInto[Slashes(g_currentButtonFile)]);   // written twice
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_FALSE(FileExists(root_ + "/no"));
}

TEST_F(ButtonFilesTest, CreateDefaultAtAWritableCurrentPathKeepsThatPath) {
    SetPath(g_currentButtonFile, root_ + "\\own.bklt");
    // Loaded content: count 7, wide flag 1; the defaults keep the wide flag and the free slots.
    ApplyButtonDefaults();
    g_buttonTable.buttonCount = 7;
    g_buttonTable.wide = 1;
    CopyTextToField(g_buttonTable.records[5].name, kNameSize, "Stale");

    CreateDefaultButtonFile();

    EXPECT_EQ(root_ + "\\own.bklt", g_currentButtonFile);
    EXPECT_EQ(1, g_buttonTable.buttonCount);
    EXPECT_EQ(1, g_buttonTable.wide);
    EXPECT_STREQ("Stale", g_buttonTable.records[5].name);
    EXPECT_TRUE(SameBytes(TableBytes(), ReadAll(g_currentButtonFile)));
    EXPECT_EQ(root_ + "\\own.bklt", RecordedPath());
    EXPECT_FALSE(FileExists(g_buttonFolder));   // no fallback, so no Button folder
}

TEST_F(ButtonFilesTest, CreateDefaultWhereNothingCanBeWrittenLeavesTheTableAlone) {
    SetPath(g_currentButtonFile, root_ + "\\docs\\x.bklt");
    files_.fault = Fault::DenyWrite;
    files_.faultPrefix = root_;

    CreateDefaultButtonFile();

    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ("Problem accessing Button file - Please re-install Brisklet", messages_.shown[0].text);
    EXPECT_EQ("Brisklet", messages_.shown[0].caption);
    EXPECT_EQ(std::string(kButtonTableSize, '\0'), TableBytes());   // no defaults applied
    EXPECT_EQ(DefaultButtonFile(), g_currentButtonFile);
    EXPECT_EQ(DefaultButtonFile(), RecordedPath());                  // recorded before the try
    EXPECT_FALSE(FileExists(g_currentButtonFile));
    EXPECT_FALSE(FileExists(root_ + "/docs/x.bklt"));
}

TEST_F(ButtonFilesTest, CreateDefaultWhoseWritesFailLeavesNoEmptyFileBehind) {
    SetPath(g_currentButtonFile, root_ + "\\new.bklt");
    files_.fault = Fault::HalfWrite;
    files_.faultPrefix = root_;

    CreateDefaultButtonFile();

    // One message, from the save; the probe's empty file is gone again.
    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ(SaveMessage(), messages_.shown[0].text);
    EXPECT_FALSE(FileExists(root_ + "/new.bklt"));
    EXPECT_FALSE(FileExists(store_test::TemporaryOf(root_ + "\\new.bklt")));
    EXPECT_EQ("<none>", RecordedPath());

    // An existing file that cannot be rewritten stays as it was.
    const std::string mine(kButtonTableSize, 'm');
    WriteAll(root_ + "/new.bklt", mine.data(), mine.size());
    messages_.shown.clear();
    CreateDefaultButtonFile();
    EXPECT_TRUE(SameBytes(mine, ReadAll(root_ + "/new.bklt")));
    EXPECT_EQ(1u, messages_.shown.size());
}

// --- a file that is not a Button file by its size ---------------------------------------------

class ForeignFileTest : public ButtonFilesTest {
protected:
    static std::string KeptMessage(const std::string& file, size_t size, const std::string& copy) {
        return file + " is not a Brisklet Button file (" + std::to_string(size) +
               " bytes). Its original content is kept in - " + copy;
    }
    // 100 bytes: width 200, count 4, the rest 'F'.
    static std::string ShortFile() {
        std::string file(100, 'F');
        const int32_t width = 200, count = 4;
        std::memcpy(&file[0], &width, 4);
        std::memcpy(&file[16], &count, 4);
        return file;
    }
};

// The file is copied beside it before it is read; the load is the one of any file (the first
// 100 bytes replaced); the user is told once. The save after it goes over the file without a
// second copy. A later load of a file whose ".orig" is taken makes ".orig2" and leaves ".orig".
TEST_F(ForeignFileTest, A100ByteFileIsCopiedToOrigThenLoadedAndSavedOver) {
    ApplyButtonDefaults();
    for (int i = 0; i < kMaxButtons; ++i) g_buttonTable.records[i].legacyValue = i;
    const std::string before = TableBytes();
    const std::string file = ShortFile();
    const std::string path = root_ + "\\short.bklt";
    WriteAll(path, file.data(), file.size());
    SetPath(g_currentButtonFile, path);

    ReloadButtonFile();

    const std::string after = TableBytes();
    EXPECT_TRUE(SameBytes(file, after.substr(0, 100)));
    EXPECT_TRUE(SameBytes(before.substr(100), after.substr(100)));
    EXPECT_EQ(4, ButtonCount(g_buttonTable));
    EXPECT_EQ(1, files_.readCalls);   // one transfer
    EXPECT_TRUE(SameBytes(file, ReadAll(path + ".orig")));
    EXPECT_TRUE(SameBytes(file, ReadAll(path)));
    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ(KeptMessage(path, 100, path + ".orig"), messages_.shown[0].text);
    EXPECT_EQ("Brisklet", messages_.shown[0].caption);

    ASSERT_TRUE(SaveButtonFile());
    EXPECT_TRUE(SameBytes(TableBytes(), ReadAll(path)));
    EXPECT_EQ(1u, messages_.shown.size());
    EXPECT_FALSE(FileExists(path + ".orig2"));

    const std::string other(70000, 'o');
    WriteAll(path, other.data(), other.size());
    ReloadButtonFile();
    EXPECT_TRUE(SameBytes(file, ReadAll(path + ".orig")));
    EXPECT_TRUE(SameBytes(other, ReadAll(path + ".orig2")));
    ASSERT_EQ(2u, messages_.shown.size());
    EXPECT_EQ(KeptMessage(path, 70000, path + ".orig2"), messages_.shown[1].text);

    // A Button file and an empty file are loaded as they are: no copy, nothing said.
    for (size_t size : {kButtonTableSize, size_t{0}}) {
        WriteAll(path, before.data(), size);
        ReloadButtonFile();
        EXPECT_FALSE(FileExists(path + ".orig3")) << size;
        EXPECT_EQ(2u, messages_.shown.size()) << size;
    }
}

// When no copy can be made, nothing is read from the file and nothing ever goes over it: the
// default Button file is used instead, and the user is told both.
TEST_F(ForeignFileTest, AFileThatCannotBeCopiedIsNotLoadedAndNeverWrittenOver) {
    store_test::MakeFolder(root_ + "/docs/brisklet");
    ApplyButtonDefaults();
    CopyTextToField(g_buttonTable.records[0].name, kNameSize, "Default's own");
    const std::string defaults = TableBytes();
    WriteAll(DefaultButtonFile(), defaults.data(), defaults.size());
    std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
    const std::string file(100000, 'T');
    const std::string path = root_ + "\\notes.bklt";
    WriteAll(path, file.data(), file.size());
    SetPath(g_currentButtonFile, path);
    files_.fault = Fault::DenyWrite;
    files_.faultPrefix = root_ + "/notes.bklt.orig";

    ReloadButtonFile();

    EXPECT_TRUE(SameBytes(file, ReadAll(path)));
    EXPECT_FALSE(FileExists(path + ".orig"));
    EXPECT_STREQ("Default's own", g_buttonTable.records[0].name);
    EXPECT_EQ(DefaultButtonFile(), g_currentButtonFile);
    EXPECT_EQ(DefaultButtonFile(), RecordedPath());
    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ(path + " is not a Brisklet Button file (100000 bytes). Its original content could not be copied beside "
                     "it, so it was not loaded and is left as it is. Brisklet now uses - " + DefaultButtonFile(),
              messages_.shown[0].text);
    EXPECT_EQ("Brisklet", messages_.shown[0].caption);

    // A save that is asked to go over it (as "Save current buttons..." may be) is refused.
    SetPath(g_currentButtonFile, path);
    EXPECT_FALSE(SaveButtonFile());
    EXPECT_TRUE(SameBytes(file, ReadAll(path)));
    EXPECT_EQ(SaveMessage(), messages_.shown.back().text);

    // Once a copy can be made, the save keeps one first and says so.
    files_.fault = Fault::None;
    ASSERT_TRUE(SaveButtonFile());
    EXPECT_TRUE(SameBytes(file, ReadAll(path + ".orig")));
    EXPECT_TRUE(SameBytes(TableBytes(), ReadAll(path)));
    EXPECT_EQ(KeptMessage(path, 100000, path + ".orig"), messages_.shown.back().text);
}

TEST_F(ButtonFilesTest, AReloadOfAMissingFileCreatesTheDefaultFileInItsPlace) {
    SetPath(g_currentButtonFile, root_ + "\\gone.bklt");
    g_defaultFontHeight = -13;
    EXPECT_EQ(LoadResult::Missing, LoadButtonFile());
    EXPECT_FALSE(FileExists(root_ + "/gone.bklt"));   // a plain load creates nothing

    ReloadButtonFile();

    EXPECT_EQ(root_ + "\\gone.bklt", g_currentButtonFile);
    EXPECT_TRUE(SameBytes(DefaultImage(), ReadAll(root_ + "/gone.bklt")));
    EXPECT_TRUE(SameBytes(DefaultImage(), TableBytes()));
}

TEST_F(ButtonFilesTest, LoadingAHostileFileNeverLeavesTheTableOutOfBounds) {
    SetPath(g_currentButtonFile, root_ + "\\hostile.bklt");
    for (int32_t count : {-5, 0, 101, 0x7fffffff}) {
        std::string file(kButtonTableSize + 500, '\xFF');   // longer than a table, too
        std::memcpy(&file[16], &count, 4);
        WriteAll(root_ + "/hostile.bklt", file.data(), file.size());
        ASSERT_EQ(LoadResult::Loaded, LoadButtonFile());
        EXPECT_EQ(count < 0 ? 0 : count > 100 ? 100 : count, g_buttonTable.buttonCount) << count;
        EXPECT_EQ(511u, std::strlen(g_buttonTable.favouriteUrl));
        EXPECT_EQ(31u, std::strlen(g_buttonTable.globalFont.lfFaceName));
        EXPECT_EQ(63u, std::strlen(g_buttonTable.records[99].name));
        EXPECT_EQ(511u, std::strlen(g_buttonTable.records[99].url));
    }

    // A well-formed file with garbage after its terminators loads byte for byte.
    std::string good(kButtonTableSize, '\x7E');
    const int32_t count = 3;
    std::memcpy(&good[16], &count, 4);
    good[20 + 10] = '\0';
    good[64932 + 28 + 6] = '\0';
    for (int i = 0; i < kMaxButtons; ++i) {
        const size_t at = 532 + 644 * static_cast<size_t>(i);
        good[at + 1] = '\0';
        good[at + 64 + 300] = '\0';
        good[at + 580 + 28 + 31] = '\0';
    }
    WriteAll(root_ + "/hostile.bklt", good.data(), good.size());
    ASSERT_EQ(LoadResult::Loaded, LoadButtonFile());
    EXPECT_TRUE(SameBytes(good, TableBytes()));
}

// --- a Button file that is there but cannot be read ------------------------------------------

class UnreadableFileTest : public ButtonFilesTest {
protected:
    // A Button file with one button of this name, at path (backslashes).
    std::string WriteButtons(const std::string& path, const char* name) {
        const ButtonTable keep = g_buttonTable;
        std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
        ApplyButtonDefaults();
        CopyTextToField(g_buttonTable.records[0].name, kNameSize, name);
        const std::string image = TableBytes();
        g_buttonTable = keep;
        WriteAll(path, image.data(), image.size());
        return image;
    }
    std::string ReadMessage(const std::string& unreadable, const std::string& now) const {
        return "Cannot read Brisklet Button file - " + unreadable +
               "\nIt may be in use by another program. Brisklet now uses - " + now;
    }
};

TEST_F(UnreadableFileTest, TheFileKeepsItsBytesAndAnExistingDefaultFileIsLoaded) {
    store_test::MakeFolder(root_ + "/docs/brisklet");
    const std::string defaults = WriteButtons(DefaultButtonFile(), "Default's own");
    const std::string mine = WriteButtons(root_ + "\\mine.bklt", "Mine");
    SetPath(g_currentButtonFile, root_ + "\\mine.bklt");
    files_.unreadablePrefix = root_ + "/mine.bklt";

    ReloadButtonFile();

    EXPECT_TRUE(SameBytes(mine, ReadAll(root_ + "/mine.bklt")));
    EXPECT_TRUE(SameBytes(defaults, ReadAll(DefaultButtonFile())));   // loaded, not overwritten
    EXPECT_STREQ("Default's own", g_buttonTable.records[0].name);
    EXPECT_EQ(DefaultButtonFile(), g_currentButtonFile);
    EXPECT_EQ(DefaultButtonFile(), RecordedPath());
    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ(ReadMessage(root_ + "\\mine.bklt", DefaultButtonFile()), messages_.shown[0].text);
    EXPECT_EQ("Brisklet", messages_.shown[0].caption);
}

TEST_F(UnreadableFileTest, AMissingDefaultFileIsCreatedWithTheDefaults) {
    const std::string mine = WriteButtons(root_ + "\\mine.bklt", "Mine");
    SetPath(g_currentButtonFile, root_ + "\\mine.bklt");
    files_.unreadablePrefix = root_ + "/mine.bklt";
    g_defaultFontHeight = -13;

    ReloadButtonFile();

    EXPECT_TRUE(SameBytes(mine, ReadAll(root_ + "/mine.bklt")));
    EXPECT_TRUE(SameBytes(DefaultImage(), ReadAll(DefaultButtonFile())));
    EXPECT_EQ(DefaultButtonFile(), RecordedPath());
    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ(ReadMessage(root_ + "\\mine.bklt", DefaultButtonFile()), messages_.shown[0].text);
}

TEST_F(UnreadableFileTest, AnUnreadableDefaultFileGivesWayToAFreeNameBesideIt) {
    store_test::MakeFolder(root_ + "/docs/brisklet");
    const std::string defaults = WriteButtons(DefaultButtonFile(), "Default's own");
    const std::string taken = WriteButtons(std::string(g_buttonFolder) + "\\brisklet (2).bklt", "Taken");
    SetPath(g_currentButtonFile, DefaultButtonFile().c_str());
    files_.unreadablePrefix = Slashes(DefaultButtonFile());
    g_defaultFontHeight = -13;

    ReloadButtonFile();

    const std::string fresh = std::string(g_buttonFolder) + "\\brisklet (3).bklt";
    EXPECT_TRUE(SameBytes(defaults, ReadAll(DefaultButtonFile())));
    EXPECT_TRUE(SameBytes(taken, ReadAll(std::string(g_buttonFolder) + "\\brisklet (2).bklt")));
    EXPECT_EQ(fresh, g_currentButtonFile);
    EXPECT_EQ(fresh, RecordedPath());
    EXPECT_TRUE(SameBytes(DefaultImage(), ReadAll(fresh)));
    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ(ReadMessage(DefaultButtonFile(), fresh), messages_.shown[0].text);
}

TEST_F(UnreadableFileTest, WhenNothingCanBeUsedTheTableAndEveryFileStayAsTheyAre) {
    store_test::MakeFolder(root_ + "/docs/brisklet");
    const std::string mine = WriteButtons(root_ + "\\mine.bklt", "Mine");
    SetPath(g_currentButtonFile, root_ + "\\mine.bklt");
    files_.unreadablePrefix = root_ + "/mine.bklt";
    files_.fault = Fault::DenyWrite;
    files_.faultPrefix = root_ + "/docs";

    ReloadButtonFile();

    EXPECT_TRUE(SameBytes(mine, ReadAll(root_ + "/mine.bklt")));
    EXPECT_EQ(std::string(kButtonTableSize, '\0'), TableBytes());
    EXPECT_FALSE(FileExists(DefaultButtonFile()));
    ASSERT_EQ(2u, messages_.shown.size());
    EXPECT_EQ("Problem accessing Button file - Please re-install Brisklet", messages_.shown[0].text);
    EXPECT_EQ("Cannot read Brisklet Button file - " + root_ + "\\mine.bklt\nIt may be in use by another program.",
              messages_.shown[1].text);
}

TEST_F(UnreadableFileTest, AFallBackForAnUnwritableFileLoadsTheDefaultFileInsteadOfOverwritingIt) {
    store_test::MakeFolder(root_ + "/docs/brisklet");
    const std::string defaults = WriteButtons(DefaultButtonFile(), "Default's own");
    SetPath(g_currentButtonFile, root_ + "\\no\\such\\folder\\lost.bklt");

    ReloadButtonFile();

    EXPECT_TRUE(SameBytes(defaults, ReadAll(DefaultButtonFile())));
    EXPECT_STREQ("Default's own", g_buttonTable.records[0].name);
    EXPECT_EQ(DefaultButtonFile(), g_currentButtonFile);
    EXPECT_EQ(DefaultButtonFile(), RecordedPath());
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(UnreadableFileTest, WithoutARecordedFileAnExistingDefaultFileIsKeptAndAMissingOneMade) {
    store_test::MakeFolder(root_ + "/docs/brisklet");
    const std::string defaults = WriteButtons(DefaultButtonFile(), "Default's own");
    TakeDefaultButtonFile();
    EXPECT_EQ(DefaultButtonFile(), g_currentButtonFile);
    EXPECT_TRUE(SameBytes(defaults, ReadAll(DefaultButtonFile())));
    EXPECT_EQ("<none>", RecordedPath());

    std::remove(Slashes(DefaultButtonFile()).c_str());
    TakeDefaultButtonFile();
    EXPECT_TRUE(SameBytes(DefaultImage(), ReadAll(DefaultButtonFile())));
    EXPECT_EQ(DefaultButtonFile(), RecordedPath());
}

// --- migration of the legacy data file -------------------------------------------------------

class MigrationTest : public ButtonFilesTest {
protected:
    std::string LegacyFolder() const { return root_ + "/appdata/brisklet"; }
    std::string LegacyFile() const { return LegacyFolder() + "/brisklet.dat"; }
    std::string BackupFile() const { return root_ + "/docs/brisklet/original_buttons.bklt"; }

    void WriteLegacy(const LegacyDataFile& legacy, size_t size = sizeof(LegacyDataFile)) {
        store_test::MakeFolder(LegacyFolder());
        WriteAll(LegacyFile(), &legacy, size);
    }
    static LegacyDataFile* NewLegacy() {
        static LegacyDataFile legacy;
        std::memset(&legacy, 0, sizeof legacy);
        return &legacy;
    }
};

TEST_F(MigrationTest, ThreeButtonsAndALongFavouriteUrlBecomeTheDefaultButtonFile) {
    LegacyDataFile& legacy = *NewLegacy();
    legacy.buttonWidth = 180;
    legacy.buttonCount = 3;
    const std::string favourite = "http://" + std::string(593, 'f');
    ASSERT_EQ(600u, favourite.size());
    std::memcpy(legacy.favouriteUrl, favourite.c_str(), favourite.size() + 1);
    const char* names[] = {"News", "Mail", "Weather"};
    for (int i = 0; i < 3; ++i) {
        std::strcpy(legacy.records[i].name, names[i]);
        std::strcpy(legacy.records[i].url, ("http://site" + std::to_string(i) + ".example/").c_str());
        legacy.records[i].legacyValue = 1000 + i;
    }
    const std::string longUrl = "http://" + std::string(993, 'u');
    std::strcpy(legacy.records[2].url, longUrl.c_str());
    std::strcpy(legacy.records[3].name, "not in use");   // beyond the count: not copied
    WriteLegacy(legacy);
    g_defaultFontHeight = 0;   // migration runs before start-up computes it

    EXPECT_EQ(1, MigrateLegacyDataFile());

    const ButtonTable& t = g_buttonTable;
    EXPECT_EQ(3, t.buttonCount);
    EXPECT_EQ(180, t.buttonWidth);
    EXPECT_EQ(favourite.substr(0, 511), t.favouriteUrl);
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(names[i], t.records[i].name);
        EXPECT_EQ(1000 + i, t.records[i].legacyValue);
    }
    EXPECT_STREQ("http://site0.example/", t.records[0].url);
    EXPECT_STREQ("http://site1.example/", t.records[1].url);
    EXPECT_EQ(longUrl.substr(0, 511), t.records[2].url);
    EXPECT_STREQ("", t.records[3].name);
    EXPECT_EQ(0, std::memcmp(&t.records[0].ownFont, &t.globalFont, sizeof(FontDesc)));
    EXPECT_EQ(0, t.globalFont.lfHeight);
    EXPECT_EQ(700, t.globalFont.lfWeight);
    EXPECT_EQ(0, t.records[1].hasOwnFont);
    EXPECT_EQ(0, t.records[1].newWindow);

    EXPECT_EQ(DefaultButtonFile(), g_currentButtonFile);
    EXPECT_EQ(Slashes(root_ + "/appdata\\brisklet\\brisklet.dat"), Slashes(g_legacyDataFile));
    const std::string saved = ReadAll(g_currentButtonFile);
    EXPECT_TRUE(SameBytes(TableBytes(), saved));
    EXPECT_TRUE(SameBytes(saved, ReadAll(BackupFile())));
    EXPECT_EQ(DefaultButtonFile(), RecordedPath());
    EXPECT_EQ(4, files_.replacedInto[Slashes(g_currentButtonFile)]);   // defaults twice, migrated twice
    EXPECT_FALSE(FileExists(LegacyFile()));
    EXPECT_FALSE(FileExists(LegacyFolder()));
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MigrationTest, TheLegacyFolderStaysWhenSomethingElseIsInIt) {
    LegacyDataFile& legacy = *NewLegacy();
    legacy.buttonCount = 1;
    std::strcpy(legacy.records[0].name, "Only");
    WriteLegacy(legacy);
    WriteAll(LegacyFolder() + "/notes.txt", "keep", 4);

    MigrateLegacyDataFile();

    EXPECT_FALSE(FileExists(LegacyFile()));
    EXPECT_TRUE(SameBytes("keep", ReadAll(LegacyFolder() + "/notes.txt")));
    EXPECT_STREQ("Only", g_buttonTable.records[0].name);
}

TEST_F(MigrationTest, AnExistingBackupIsOverwritten) {
    store_test::MakeFolder(root_ + "/docs/brisklet");
    WriteAll(BackupFile(), "an older backup", 15);
    LegacyDataFile& legacy = *NewLegacy();
    legacy.buttonCount = 2;
    std::strcpy(legacy.records[1].name, "Second");
    WriteLegacy(legacy);

    MigrateLegacyDataFile();

    EXPECT_TRUE(SameBytes(TableBytes(), ReadAll(BackupFile())));
    EXPECT_TRUE(SameBytes(ReadAll(g_currentButtonFile), ReadAll(BackupFile())));
}

TEST_F(MigrationTest, ALegacyCountOutsideTheSlotsIsClampedAndNothingPastSlot99IsWritten) {
    for (int32_t count : {1000, 0x7fffffff, -5}) {
        SCOPED_TRACE(count);
        std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
        LegacyDataFile& legacy = *NewLegacy();
        legacy.buttonCount = count;
        // Unterminated text everywhere.
        std::memset(legacy.favouriteUrl, 'F', sizeof legacy.favouriteUrl);
        for (LegacyRecord& r : legacy.records) {
            std::memset(r.name, 'N', sizeof r.name);
            std::memset(r.url, 'U', sizeof r.url);
            r.legacyValue = 77;
        }
        WriteLegacy(legacy);

        MigrateLegacyDataFile();

        const ButtonTable& t = g_buttonTable;
        const int expected = count < 0 ? 0 : 100;
        EXPECT_EQ(expected, t.buttonCount);
        EXPECT_EQ(std::string(511, 'F'), t.favouriteUrl);
        if (expected == 100) {
            EXPECT_EQ(std::string(63, 'N'), t.records[99].name);
            EXPECT_EQ(std::string(511, 'U'), t.records[99].url);
            EXPECT_EQ(77, t.records[99].legacyValue);
        }
        // What follows the last slot is what the defaults made of it.
        EXPECT_STREQ("System", t.globalFont.lfFaceName);
        EXPECT_EQ(700, t.globalFont.lfWeight);
        EXPECT_EQ(0, t.sameFont);
        EXPECT_EQ(0, t.wide);
        EXPECT_TRUE(SameBytes(TableBytes(), ReadAll(g_currentButtonFile)));
    }
}

TEST_F(MigrationTest, AShortLegacyFileReadsAsZeroesBeyondItsEnd) {
    LegacyDataFile& legacy = *NewLegacy();
    legacy.buttonCount = 2;
    std::strcpy(legacy.records[0].name, "First");
    std::strcpy(legacy.records[1].name, "Full second");
    WriteLegacy(legacy);
    MigrateLegacyDataFile();
    ASSERT_STREQ("Full second", g_buttonTable.records[1].name);

    // The same file cut off after record 0: the previous migration's scratch content must not
    // leak into this one.
    WriteLegacy(legacy, offsetof(LegacyDataFile, records) + sizeof(LegacyRecord));
    MigrateLegacyDataFile();

    EXPECT_EQ(2, g_buttonTable.buttonCount);
    EXPECT_STREQ("First", g_buttonTable.records[0].name);
    EXPECT_STREQ("", g_buttonTable.records[1].name);
}

TEST_F(MigrationTest, ALegacyFileThatCannotBeReadChangesNothing) {
    store_test::MakeFolder(root_ + "/docs/brisklet");
    const std::string mine(kButtonTableSize, 'M');
    WriteAll(DefaultButtonFile(), mine.data(), mine.size());
    WriteLegacy(*NewLegacy());
    files_.unreadablePrefix = LegacyFile();
    SetPath(g_currentButtonFile, root_ + "\\elsewhere.bklt");

    EXPECT_EQ(1, MigrateLegacyDataFile());

    EXPECT_TRUE(SameBytes(mine, ReadAll(DefaultButtonFile())));
    EXPECT_EQ(root_ + "\\elsewhere.bklt", g_currentButtonFile);
    EXPECT_EQ("<none>", RecordedPath());
    EXPECT_TRUE(FileExists(LegacyFile()));
    EXPECT_FALSE(FileExists(BackupFile()));
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MigrationTest, ALegacyFileIsMigratedOnceEvenWhenItCannotBeDeleted) {
    LegacyDataFile& legacy = *NewLegacy();
    legacy.buttonCount = 1;
    CopyTextToField(legacy.records[0].name, sizeof legacy.records[0].name, "Old");
    enum class Stuck { Renamed, Remembered, DeleteReportsSuccess };
    for (const Stuck stuck : {Stuck::Renamed, Stuck::Remembered, Stuck::DeleteReportsSuccess}) {
        SCOPED_TRACE(static_cast<int>(stuck));
        registry_.Clear();
        WriteLegacy(legacy);
        files_.undeletablePrefix = stuck == Stuck::DeleteReportsSuccess ? "" : LegacyFile();
        files_.deceivingDeletePrefix = stuck == Stuck::DeleteReportsSuccess ? LegacyFile() : "";
        files_.unmovablePrefix = stuck == Stuck::Renamed ? "" : LegacyFile();
        ASSERT_TRUE(LegacyMigrationDue());

        MigrateLegacyDataFile();
        EXPECT_STREQ("Old", g_buttonTable.records[0].name);
        EXPECT_EQ(stuck == Stuck::Renamed, FileExists(LegacyFile() + ".migrated"));
        EXPECT_EQ(stuck != Stuck::Renamed, FileExists(LegacyFile()));

        // The user adds a button; the next start must not migrate over it.
        g_buttonTable.buttonCount = 2;
        CopyTextToField(g_buttonTable.records[1].name, kNameSize, "Added");
        ASSERT_TRUE(SaveButtonFile());
        EXPECT_FALSE(LegacyMigrationDue());
        ReloadButtonFile();
        EXPECT_EQ(2, g_buttonTable.buttonCount);
        EXPECT_STREQ("Added", ButtonTableFromFile(DefaultButtonFile()).records[1].name);
        std::remove(Slashes(LegacyFile() + ".migrated").c_str());
    }
}

TEST_F(MigrationTest, ALegacyFileStaysWhenTheMigratedButtonsCouldNotBeSaved) {
    WriteLegacy(*NewLegacy());
    files_.fault = Fault::DenyWrite;
    files_.faultPrefix = root_ + "/docs";

    MigrateLegacyDataFile();

    EXPECT_TRUE(FileExists(LegacyFile()));
    EXPECT_FALSE(FileExists(BackupFile()));
    EXPECT_TRUE(LegacyMigrationDue());
}

}  // namespace
