// Button files through the Win32 file calls and the real registry, in a temporary folder.
#include <gtest/gtest.h>

#include <windows.h>

#undef CreateDirectory
#undef CopyFile
#undef DeleteFile
#undef RemoveDirectory

#include <cstring>
#include <string>
#include "store/button_files.h"
#include "store/settings.h"
#include "store/win_platform.h"
#include "tests/win/store_win_support.h"

namespace {

using store_win_test::KeySnapshot;
using store_win_test::PathExists;
using store_win_test::QueryRaw;
using store_win_test::ReadWhole;
using store_win_test::SameBytes;
using store_win_test::RecordingSink;
using store_win_test::WriteWhole;

std::string TableBytes() { return std::string(reinterpret_cast<const char*>(&g_buttonTable), sizeof g_buttonTable); }

// The Win32 file system with one fault: writes into files under a prefix stop half-way.
class HalfWritingFiles : public FileSystem {
public:
    explicit HalfWritingFiles(FileSystem& real) : real_(real) {}
    bool halfWrites = false;

    Handle OpenRead(const char* path) override { return real_.OpenRead(path); }
    Handle OpenWriteTruncate(const char* path) override { return real_.OpenWriteTruncate(path); }
    bool CanOpenForWrite(const char* path) override { return real_.CanOpenForWrite(path); }
    size_t Read(Handle file, void* buffer, size_t size) override { return real_.Read(file, buffer, size); }
    size_t Write(Handle file, const void* data, size_t size) override {
        return real_.Write(file, data, halfWrites ? size / 2 : size);
    }
    bool Flush(Handle file) override { return real_.Flush(file); }
    bool Close(Handle file) override { return real_.Close(file); }
    bool Exists(const char* path) override { return real_.Exists(path); }
    bool FileSize(const char* path, uint64_t* size) override { return real_.FileSize(path, size); }
    bool CreateDirectory(const char* path) override { return real_.CreateDirectory(path); }
    bool CopyFile(const char* from, const char* to, bool overwrite) override { return real_.CopyFile(from, to, overwrite); }
    bool DeleteFile(const char* path) override { return real_.DeleteFile(path); }
    bool RemoveDirectory(const char* path) override { return real_.RemoveDirectory(path); }
    bool ReplaceFile(const char* from, const char* to) override { return real_.ReplaceFile(from, to); }

private:
    FileSystem& real_;
};

class ButtonFilesWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(temp_.path().empty());
        saved_ = g_platform;
        vantaroExisted_ = store_win_test::KeyExists(HKEY_CURRENT_USER, "Software\\Vantaro");
        g_platform.files = &files_;
        g_platform.registry = &Win32Registry();
        g_platform.messages = &messages_;
        ResetState();
        root_ = temp_.path();
        CreateDirectoryA((root_ + "\\docs").c_str(), nullptr);
        CreateDirectoryA((root_ + "\\appdata").c_str(), nullptr);
        CopyTextToField(g_documentsFolder, kPathSize, (root_ + "\\docs").c_str());
        CopyTextToField(g_appDataFolder, kPathSize, (root_ + "\\appdata").c_str());
        BuildStorePaths();
    }
    void TearDown() override {
        brisklet_.Restore();
        if (!vantaroExisted_) RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Vantaro");
        g_platform = saved_;
        ResetState();
    }
    static void ResetState() {
        std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
        g_defaultFontHeight = 0;
        for (char* path : {g_documentsFolder, g_appDataFolder, g_buttonFolder, g_legacyDataFile, g_currentButtonFile}) {
            path[0] = '\0';
        }
    }
    static std::string RecordedPath() {
        DWORD type = 0;
        std::string bytes;
        if (!QueryRaw(HKEY_CURRENT_USER, kBriskletKeyPath, "CurrentButtonFileName", &type, &bytes)) return "<none>";
        return bytes.substr(0, bytes.find('\0'));  // the text before its NUL
    }
    static void Record(const char* path) {
        store_win_test::PutString(HKEY_CURRENT_USER, kBriskletKeyPath, "CurrentButtonFileName", path);
    }
    std::string DefaultFile() const { return root_ + "\\docs\\brisklet\\brisklet.bklt"; }

    KeySnapshot brisklet_{HKEY_CURRENT_USER, kBriskletKeyPath};
    bool vantaroExisted_ = false;
    store_win_test::TempFolder temp_;
    std::string root_;
    HalfWritingFiles files_{Win32FileSystem()};
    RecordingSink messages_;
    PlatformSeam saved_;
};

TEST_F(ButtonFilesWinTest, SaveReplacesTheFileWithTheImageAndRecordsIt) {
    CopyTextToField(g_currentButtonFile, kPathSize, (root_ + "\\mine.bklt").c_str());
    WriteWhole(g_currentButtonFile, "older", 5);
    ApplyButtonDefaults();
    g_buttonTable.reserved[0] = 0x01020304;

    ASSERT_TRUE(SaveButtonFile());
    EXPECT_TRUE(SameBytes(TableBytes(), ReadWhole(g_currentButtonFile)));
    EXPECT_EQ(g_currentButtonFile, RecordedPath());
    EXPECT_FALSE(PathExists(store_win_test::TemporaryOf(g_currentButtonFile)));
    // Five bytes are not a Button file: they were copied beside it before the save went over them.
    const std::string copy = std::string(g_currentButtonFile) + ".orig";
    EXPECT_EQ("older", ReadWhole(copy));
    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ(std::string(g_currentButtonFile) + " is not a Brisklet Button file (5 bytes). Its original content is "
                                                 "kept in - " + copy,
              messages_.shown[0].text);

    // Again over the file just written: the replacement works over an existing file.
    g_buttonTable.buttonCount = 1;
    CopyTextToField(g_buttonTable.records[0].name, kNameSize, "Renamed");
    ASSERT_TRUE(SaveButtonFile());
    EXPECT_TRUE(SameBytes(TableBytes(), ReadWhole(g_currentButtonFile)));
    EXPECT_EQ(1u, messages_.shown.size());
    EXPECT_FALSE(PathExists(copy + "2"));
}

TEST_F(ButtonFilesWinTest, ASaveThatCannotOpenItsFileNamesTheButtonFolderAndChangesNothing) {
    CopyTextToField(g_currentButtonFile, kPathSize, (root_ + "\\missing folder\\work.bklt").c_str());
    Record("C:\\before.bklt");
    ApplyButtonDefaults();

    EXPECT_FALSE(SaveButtonFile());

    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ("Cannot create Brisklet Button Data File in - " + root_ +
                  "\\docs\\brisklet\nPlease check that you have 'write' access to this folder",
              messages_.shown[0].text);
    EXPECT_EQ("Brisklet", messages_.shown[0].caption);
    EXPECT_EQ("C:\\before.bklt", RecordedPath());
    EXPECT_FALSE(PathExists(root_ + "\\missing folder"));
}

TEST_F(ButtonFilesWinTest, ASaveThatFailsHalfWayLeavesThePreviousFileByteForByte) {
    CopyTextToField(g_currentButtonFile, kPathSize, (root_ + "\\keep.bklt").c_str());
    std::string previous(kButtonTableSize, '\0');
    for (size_t i = 0; i < previous.size(); ++i) previous[i] = static_cast<char>(i * 13);
    WriteWhole(g_currentButtonFile, previous.data(), previous.size());
    Record("C:\\before.bklt");
    ApplyButtonDefaults();
    files_.halfWrites = true;

    EXPECT_FALSE(SaveButtonFile());

    EXPECT_TRUE(SameBytes(previous, ReadWhole(g_currentButtonFile)));
    EXPECT_FALSE(PathExists(store_win_test::TemporaryOf(g_currentButtonFile)));
    EXPECT_EQ(1u, messages_.shown.size());
    EXPECT_EQ("C:\\before.bklt", RecordedPath());
}

// Another program holding the Button file open (no delete sharing) for a moment must not make
// the save fail; one that keeps holding it gets the message and the file is left as it was.
// The first holder lets go only once the file calls have been refused for it, so the save
// succeeds only by trying again. A thread procedure of its own, not a lambda: the 32-bit build
// needs the system's calling convention.
struct Holder {
    HANDLE file;
    unsigned long refusalsBefore;
    bool refusalSeen;
};

DWORD WINAPI CloseOnceRefused(LPVOID param) {
    auto* holder = static_cast<Holder*>(param);
    const DWORD start = GetTickCount();
    for (;;) {
        holder->refusalSeen = SharingRefusals() > holder->refusalsBefore;
        if (holder->refusalSeen || GetTickCount() - start > 5000) break;
        Sleep(5);
    }
    CloseHandle(holder->file);
    return 0;
}

TEST_F(ButtonFilesWinTest, ASaveWaitsBrieflyForAFileHeldOpenByAnotherProgram) {
    CopyTextToField(g_currentButtonFile, kPathSize, (root_ + "\\held.bklt").c_str());
    const std::string previous(kButtonTableSize, 'p');
    WriteWhole(g_currentButtonFile, previous.data(), previous.size());
    ApplyButtonDefaults();

    // The holder's handle is the releaser's to close.
    Holder holder{CreateFileA(g_currentButtonFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
                  SharingRefusals(), false};
    ASSERT_NE(INVALID_HANDLE_VALUE, holder.file);
    HANDLE releaser = CreateThread(nullptr, 0, CloseOnceRefused, &holder, 0, nullptr);
    if (releaser == nullptr) CloseHandle(holder.file);
    ASSERT_NE(nullptr, releaser);
    EXPECT_TRUE(SaveButtonFile());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(releaser, 10000));
    CloseHandle(releaser);
    EXPECT_TRUE(holder.refusalSeen) << "the save never met the held file";
    EXPECT_TRUE(SameBytes(TableBytes(), ReadWhole(g_currentButtonFile)));
    EXPECT_TRUE(messages_.shown.empty());

    Record("C:\\before.bklt");
    const std::string saved = ReadWhole(g_currentButtonFile);
    HANDLE held = CreateFileA(g_currentButtonFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CopyTextToField(g_buttonTable.records[0].name, kNameSize, "Changed");
    EXPECT_FALSE(SaveButtonFile());
    CloseHandle(held);
    EXPECT_TRUE(SameBytes(saved, ReadWhole(g_currentButtonFile)));
    EXPECT_FALSE(PathExists(store_win_test::TemporaryOf(g_currentButtonFile)));
    EXPECT_EQ(1u, messages_.shown.size());
    EXPECT_EQ("C:\\before.bklt", RecordedPath());
}

TEST_F(ButtonFilesWinTest, AReadOnlyFileIsNotReplaced) {
    CopyTextToField(g_currentButtonFile, kPathSize, (root_ + "\\locked.bklt").c_str());
    WriteWhole(g_currentButtonFile, "locked", 6);
    ASSERT_TRUE(SetFileAttributesA(g_currentButtonFile, FILE_ATTRIBUTE_READONLY));
    // Windows refuses to open a read-only file for writing. Wine running as root opens it
    // anyway (the owner's missing write bit does not stop root), so there is nothing to test.
    HANDLE probe = CreateFileA(g_currentButtonFile, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        SetFileAttributesA(g_currentButtonFile, FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "this platform opens read-only files for writing (Wine as root)";
    }
    Record("C:\\before.bklt");
    ApplyButtonDefaults();

    EXPECT_FALSE(SaveButtonFile());

    EXPECT_TRUE(SameBytes("locked", ReadWhole(g_currentButtonFile)));
    EXPECT_FALSE(PathExists(store_win_test::TemporaryOf(g_currentButtonFile)));
    EXPECT_EQ(1u, messages_.shown.size());
    EXPECT_EQ("C:\\before.bklt", RecordedPath());
    SetFileAttributesA(g_currentButtonFile, FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ButtonFilesWinTest, CreateDefaultInAMissingFolderMakesTheButtonFolderAndRecordsIt) {
    CopyTextToField(g_currentButtonFile, kPathSize, (root_ + "\\nowhere\\x.bklt").c_str());
    g_defaultFontHeight = -13;

    CreateDefaultButtonFile();

    EXPECT_TRUE(PathExists(root_ + "\\docs\\brisklet"));
    EXPECT_EQ(DefaultFile(), g_currentButtonFile);
    EXPECT_EQ(DefaultFile(), RecordedPath());
    const std::string file = ReadWhole(DefaultFile());
    ASSERT_EQ(kButtonTableSize, file.size());
    EXPECT_TRUE(SameBytes(TableBytes(), file));
    EXPECT_EQ(-13, g_buttonTable.globalFont.lfHeight);
    EXPECT_STREQ("Brisklet", g_buttonTable.records[0].name);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ButtonFilesWinTest, AReloadOfA100ByteFileChangesOnlyTheFirst100Bytes) {
    ApplyButtonDefaults();
    for (int i = 0; i < kMaxButtons; ++i) g_buttonTable.records[i].legacyValue = 3 * i;
    const std::string before = TableBytes();
    std::string file(100, 'R');
    const int32_t count = 2;
    std::memcpy(&file[16], &count, 4);
    CopyTextToField(g_currentButtonFile, kPathSize, (root_ + "\\short.bklt").c_str());
    WriteWhole(g_currentButtonFile, file.data(), file.size());

    ReloadButtonFile();

    const std::string after = TableBytes();
    EXPECT_TRUE(SameBytes(file, after.substr(0, 100)));
    EXPECT_TRUE(SameBytes(before.substr(100), after.substr(100)));
    EXPECT_TRUE(SameBytes(file, ReadWhole(std::string(g_currentButtonFile) + ".orig")));
    EXPECT_EQ(1u, messages_.shown.size());
}

TEST_F(ButtonFilesWinTest, MigrationMovesTheLegacyFileAndOverwritesTheBackup) {
    static LegacyDataFile legacy;
    std::memset(&legacy, 0, sizeof legacy);
    legacy.buttonWidth = 160;
    legacy.buttonCount = 3;
    const std::string favourite(600, 'f');
    std::memcpy(legacy.favouriteUrl, favourite.c_str(), favourite.size() + 1);
    const char* names[] = {"One", "Two", "Three"};
    for (int i = 0; i < 3; ++i) {
        std::strcpy(legacy.records[i].name, names[i]);
        std::strcpy(legacy.records[i].url, ("http://" + std::string(names[i]) + ".example/").c_str());
    }
    const std::string legacyFolder = root_ + "\\appdata\\brisklet";
    CreateDirectoryA(legacyFolder.c_str(), nullptr);
    WriteWhole(legacyFolder + "\\brisklet.dat", &legacy, sizeof legacy);
    CreateDirectoryA((root_ + "\\docs\\brisklet").c_str(), nullptr);
    const std::string backup = root_ + "\\docs\\brisklet\\original_buttons.bklt";
    WriteWhole(backup, "old backup", 10);

    EXPECT_EQ(1, MigrateLegacyDataFile());

    EXPECT_EQ(3, g_buttonTable.buttonCount);
    EXPECT_EQ(160, g_buttonTable.buttonWidth);
    EXPECT_EQ(favourite.substr(0, 511), g_buttonTable.favouriteUrl);
    EXPECT_STREQ("Three", g_buttonTable.records[2].name);
    EXPECT_STREQ("http://Two.example/", g_buttonTable.records[1].url);
    EXPECT_EQ(0, g_buttonTable.globalFont.lfHeight);
    EXPECT_EQ(DefaultFile(), g_currentButtonFile);
    EXPECT_EQ(DefaultFile(), RecordedPath());
    EXPECT_TRUE(SameBytes(TableBytes(), ReadWhole(DefaultFile())));
    EXPECT_TRUE(SameBytes(TableBytes(), ReadWhole(backup)));
    EXPECT_FALSE(PathExists(legacyFolder + "\\brisklet.dat"));
    EXPECT_FALSE(PathExists(legacyFolder));
    // The ten bytes there were no Button file: they are kept beside it, and the user told.
    EXPECT_EQ("old backup", ReadWhole(backup + ".orig"));
    EXPECT_EQ(1u, messages_.shown.size());
}

}  // namespace
