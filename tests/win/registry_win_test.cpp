// The settings operations against the real registry: every key the tests touch is put back as
// it was found.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include "store/settings.h"
#include "store/win_platform.h"
#include "tests/win/store_win_support.h"

namespace {

using store_win_test::KeyExists;
using store_win_test::KeySnapshot;
using store_win_test::PutRaw;
using store_win_test::PutString;
using store_win_test::QueryRaw;

const char kVantaroKey[] = "Software\\Vantaro";
const char kTestKey[] = "Software\\Vantaro\\BriskletStoreTest";

class RegistryWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = g_platform;
        savedPopup_ = g_instantPopup;
        InstallWin32Platform();
        vantaroExisted_ = KeyExists(HKEY_CURRENT_USER, kVantaroKey);
        machineVantaroExisted_ = KeyExists(HKEY_LOCAL_MACHINE, kVantaroKey);
        runKeyExisted_ = KeyExists(HKEY_CURRENT_USER, kRunKeyPath);
    }
    void TearDown() override {
        brisklet_.Restore();
        RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kTestKey) + "\\Deeper").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
        if (!vantaroExisted_) RegDeleteKeyA(HKEY_CURRENT_USER, kVantaroKey);
        run_.Restore();
        if (!runKeyExisted_) RegDeleteKeyA(HKEY_CURRENT_USER, kRunKeyPath);
        installed_.Restore();
        if (!machineVantaroExisted_) RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVantaroKey);
        g_platform = saved_;
        g_instantPopup = savedPopup_;
    }
    // The Run key itself belongs to the shell; a prefix without it gets it for the test.
    void EnsureRunKey() {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegCloseKey(key);
    }

    KeySnapshot brisklet_{HKEY_CURRENT_USER, kBriskletKeyPath};
    KeySnapshot run_{HKEY_CURRENT_USER, kRunKeyPath};
    KeySnapshot installed_{HKEY_LOCAL_MACHINE, kBriskletKeyPath};
    bool vantaroExisted_ = false;
    bool machineVantaroExisted_ = false;
    bool runKeyExisted_ = false;
    PlatformSeam saved_;
    int32_t savedPopup_ = 0;
};

TEST_F(RegistryWinTest, InstallSetsTheWin32Seams) {
    g_platform = PlatformSeam{};
    InstallWin32Platform();
    EXPECT_EQ(&Win32FileSystem(), g_platform.files);
    EXPECT_EQ(&Win32Registry(), g_platform.registry);
    EXPECT_EQ(&Win32MessageSink(), g_platform.messages);
}

TEST_F(RegistryWinTest, SetRegistryStringCreatesTheKeyAndStoresTheNul) {
    const std::string deeper = std::string(kTestKey) + "\\Deeper";
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, deeper.c_str()));
    EXPECT_TRUE(SetRegistryString(RegRoot::CurrentUser, deeper.c_str(), "Path", "C:\\a\\b.bklt"));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(QueryRaw(HKEY_CURRENT_USER, deeper.c_str(), "Path", &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(12u, bytes.size());   // 11 characters and the NUL
    EXPECT_EQ(std::string("C:\\a\\b.bklt") + '\0', bytes);
}

TEST_F(RegistryWinTest, TheCurrentFileIsReadUnderTheOtherSpellingOfItsName) {
    ASSERT_TRUE(SetRegistryString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName",
                                  "C:\\Users\\me\\Documents\\brisklet\\work.bklt"));
    char path[2048] = "previous";
    EXPECT_TRUE(ReadCurrentButtonFileName(path, sizeof path));
    EXPECT_STREQ("C:\\Users\\me\\Documents\\brisklet\\work.bklt", path);

    // Longer than 2,047 characters: the previous path is kept.
    PutString(HKEY_CURRENT_USER, kBriskletKeyPath, "CurrentButtonFileName", std::string(2048, 'L'));
    EXPECT_FALSE(ReadCurrentButtonFileName(path, sizeof path));
    EXPECT_STREQ("C:\\Users\\me\\Documents\\brisklet\\work.bklt", path);
    // Exactly 2,047 fits.
    PutString(HKEY_CURRENT_USER, kBriskletKeyPath, "CurrentButtonFileName", std::string(2047, 'M'));
    EXPECT_TRUE(ReadCurrentButtonFileName(path, sizeof path));
    EXPECT_EQ(std::string(2047, 'M'), path);

    // A missing key keeps it too.
    RegDeleteKeyA(HKEY_CURRENT_USER, kBriskletKeyPath);
    EXPECT_FALSE(ReadCurrentButtonFileName(path, sizeof path));
    EXPECT_EQ(std::string(2047, 'M'), path);
}

TEST_F(RegistryWinTest, AutoPopupReadsOnOnlyForOneAndNeedsThePerUserKey) {
    RegDeleteKeyA(HKEY_CURRENT_USER, kBriskletKeyPath);
    g_instantPopup = 0;
    EXPECT_FALSE(ReadAutoPopup());
    EXPECT_FALSE(SetAutoPopup(true));
    EXPECT_EQ(0, g_instantPopup);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kBriskletKeyPath));   // not created

    ASSERT_TRUE(SetRegistryString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", "C:\\x.bklt"));
    EXPECT_FALSE(ReadAutoPopup());   // value missing
    const DWORD two = 2;
    PutRaw(HKEY_CURRENT_USER, kBriskletKeyPath, "AutoPopup", REG_DWORD, &two, sizeof two);
    EXPECT_FALSE(ReadAutoPopup());

    EXPECT_TRUE(SetAutoPopup(true));
    EXPECT_EQ(1, g_instantPopup);
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(QueryRaw(HKEY_CURRENT_USER, kBriskletKeyPath, "AutoPopup", &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::string("\x01\0\0\0", 4), bytes);
    EXPECT_TRUE(ReadAutoPopup());

    EXPECT_TRUE(SetAutoPopup(false));
    EXPECT_EQ(0, g_instantPopup);
    EXPECT_FALSE(ReadAutoPopup());
}

TEST_F(RegistryWinTest, RunValueOfAnyTypeCountsAsPresent) {
    EnsureRunKey();
    store_win_test::DeleteValueRaw(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName);
    EXPECT_FALSE(RunValueExists());

    const DWORD number = 5;
    PutRaw(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName, REG_DWORD, &number, sizeof number);
    EXPECT_TRUE(RunValueExists());
    const std::string blob(5000, '\x01');
    PutRaw(HKEY_CURRENT_USER, kRunKeyPath, "brisklet", REG_BINARY, blob.data(), static_cast<DWORD>(blob.size()));
    EXPECT_TRUE(RunValueExists());

    const char quoted[] = "\"C:\\Program Files\\Brisklet\\brisklet.exe\"";
    EXPECT_TRUE(SetRunValue(quoted));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(QueryRaw(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName, &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string(quoted, sizeof quoted), bytes);

    EXPECT_TRUE(DeleteRunValue());
    EXPECT_FALSE(RunValueExists());
    EXPECT_FALSE(DeleteRunValue());
}

TEST_F(RegistryWinTest, InstalledPathIsReadFromTheMachineKey) {
    PutString(HKEY_LOCAL_MACHINE, kBriskletKeyPath, "InstalledPath", "C:\\Program Files\\Brisklet");
    char folder[1024] = "";
    EXPECT_TRUE(ReadInstalledPath(folder, sizeof folder));
    EXPECT_STREQ("C:\\Program Files\\Brisklet", folder);
    PutString(HKEY_LOCAL_MACHINE, kBriskletKeyPath, "InstalledPath", std::string(1024, 'i'));
    EXPECT_FALSE(ReadInstalledPath(folder, sizeof folder));
}

TEST_F(RegistryWinTest, HelpControlLocationMatchesTheClassKey) {
    DWORD type = 0;
    std::string bytes;
    const bool registered = QueryRaw(HKEY_CLASSES_ROOT, kHtmlHelpClsidKeyPath, "", &type, &bytes);
    char path[260] = "";
    EXPECT_EQ(registered && bytes.size() <= sizeof path, ReadHtmlHelpLocation(path, sizeof path));
    if (registered) EXPECT_STREQ(bytes.c_str(), path);
}

}  // namespace
