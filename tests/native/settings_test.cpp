#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>
#include "store/native_registry.h"
#include "store/settings.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = g_platform;
        g_platform.registry = &registry_;
        g_instantPopup = 0;
    }
    void TearDown() override {
        // Every operation closes what it opened.
        EXPECT_EQ(0, registry_.OpenHandles());
        g_platform = saved_;
        g_instantPopup = 0;
    }
    void MakeRunKey() { registry_.Put(RegRoot::CurrentUser, kRunKeyPath, "Other", kRegSz, "x", 2); }

    NativeRegistry registry_;
    PlatformSeam saved_;
};

TEST_F(SettingsTest, SetRegistryStringCreatesTheKeyAndStoresTheTerminator) {
    ASSERT_FALSE(registry_.HasKey(RegRoot::CurrentUser, kBriskletKeyPath));
    EXPECT_TRUE(SetRegistryString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName",
                                  "C:\\a\\b.bklt"));
    EXPECT_TRUE(registry_.HasKey(RegRoot::CurrentUser, "Software\\Vantaro"));
    const NativeRegistry::Value* value =
        registry_.Get(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName");
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(kRegSz, value->type);
    EXPECT_EQ(std::string("C:\\a\\b.bklt") + '\0', value->bytes);   // 11 characters and the NUL
    EXPECT_GE(registry_.Flushes(), 1);
    // Same key, other root: a different key.
    EXPECT_FALSE(registry_.HasKey(RegRoot::LocalMachine, kBriskletKeyPath));
}

TEST_F(SettingsTest, TheCurrentFileIsReadUnderTheOtherSpellingOfItsName) {
    ASSERT_TRUE(SetRegistryString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName",
                                  "C:\\Users\\me\\brisklet\\work.bklt"));
    char path[2048] = "previous";
    EXPECT_TRUE(ReadCurrentButtonFileName(path, sizeof path));
    EXPECT_STREQ("C:\\Users\\me\\brisklet\\work.bklt", path);
    // The key path itself is also matched without regard to case.
    registry_.PutString(RegRoot::CurrentUser, "SOFTWARE\\vantaro\\BRISKLET", "currentbuttonfilename", "D:\\x.bklt");
    EXPECT_TRUE(ReadCurrentButtonFileName(path, sizeof path));
    EXPECT_STREQ("D:\\x.bklt", path);
}

TEST_F(SettingsTest, AMissingOrOverlongCurrentFileKeepsThePreviousPath) {
    char path[2048] = "C:\\previous.bklt";
    EXPECT_FALSE(ReadCurrentButtonFileName(path, sizeof path));   // no key
    EXPECT_STREQ("C:\\previous.bklt", path);
    registry_.PutString(RegRoot::CurrentUser, kBriskletKeyPath, "AutoPopup", "x");
    EXPECT_FALSE(ReadCurrentButtonFileName(path, sizeof path));   // key, no value
    EXPECT_STREQ("C:\\previous.bklt", path);

    // 2,048 characters do not fit with their NUL; the fake store scribbles over a short buffer
    // as the registry may, so a direct query would have destroyed the previous path.
    const std::string overlong(2048, 'L');
    registry_.PutString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", overlong.c_str());
    EXPECT_FALSE(ReadCurrentButtonFileName(path, sizeof path));
    EXPECT_STREQ("C:\\previous.bklt", path);

    // 2,048 bytes stored without a terminator: no room to add one, so also too long.
    registry_.Put(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", kRegSz, overlong.data(), 2048);
    EXPECT_FALSE(ReadCurrentButtonFileName(path, sizeof path));
    EXPECT_STREQ("C:\\previous.bklt", path);

    // 2,047 characters fit exactly.
    const std::string longest(2047, 'M');
    registry_.PutString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", longest.c_str());
    EXPECT_TRUE(ReadCurrentButtonFileName(path, sizeof path));
    EXPECT_EQ(longest, path);

    // A value stored without its NUL but with room to spare is terminated.
    std::memset(path, 'Q', sizeof path);
    registry_.Put(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", kRegSz, "E:\\y.bklt", 9);
    EXPECT_TRUE(ReadCurrentButtonFileName(path, sizeof path));
    EXPECT_STREQ("E:\\y.bklt", path);
}

TEST_F(SettingsTest, AutoPopupReadsOnOnlyForTheNumberOne) {
    EXPECT_FALSE(ReadAutoPopup());   // no key
    registry_.PutString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", "p");
    EXPECT_FALSE(ReadAutoPopup());   // no value
    const struct {
        uint32_t number;
        bool on;
    } cases[] = {{0, false}, {1, true}, {2, false}, {0x101, false}};
    for (const auto& c : cases) {
        registry_.PutDword(RegRoot::CurrentUser, kBriskletKeyPath, "AutoPopup", c.number);
        EXPECT_EQ(c.on, ReadAutoPopup()) << "AutoPopup " << c.number;
    }
    // More than four bytes: the query fails, which reads as off.
    registry_.Put(RegRoot::CurrentUser, kBriskletKeyPath, "AutoPopup", 3, "\x01\0\0\0\0\0\0\0", 8);
    EXPECT_FALSE(ReadAutoPopup());
}

TEST_F(SettingsTest, SetAutoPopupNeedsThePerUserKeyAndSetsTheFlag) {
    g_instantPopup = 0;
    EXPECT_FALSE(SetAutoPopup(true));
    EXPECT_EQ(0, g_instantPopup);
    EXPECT_FALSE(registry_.HasKey(RegRoot::CurrentUser, kBriskletKeyPath));   // not created

    ASSERT_TRUE(SetRegistryString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", "p"));
    EXPECT_TRUE(SetAutoPopup(true));
    EXPECT_EQ(1, g_instantPopup);
    const NativeRegistry::Value* value = registry_.Get(RegRoot::CurrentUser, kBriskletKeyPath, "autopopup");
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(kRegDword, value->type);
    EXPECT_EQ(std::string("\x01\0\0\0", 4), value->bytes);
    EXPECT_TRUE(ReadAutoPopup());

    EXPECT_TRUE(SetAutoPopup(false));
    EXPECT_EQ(0, g_instantPopup);
    EXPECT_EQ(std::string("\0\0\0\0", 4), registry_.Get(RegRoot::CurrentUser, kBriskletKeyPath, "AutoPopup")->bytes);
    EXPECT_FALSE(ReadAutoPopup());
}

TEST_F(SettingsTest, ShowSiteIconsIsOnUnlessItHoldsTheNumberZero) {
    EXPECT_TRUE(ReadShowSiteIcons());  // no key
    const struct {
        uint32_t type;
        std::string bytes;
        bool on;
    } cases[] = {{kRegDword, std::string(4, '\0'), false}, {kRegDword, std::string("\x02\0\0\0", 4), true},
                 {kRegSz, std::string("0\0\0\0", 4), true}, {kRegDword, std::string(8, '\0'), true}};
    for (const auto& c : cases) {
        registry_.Put(RegRoot::CurrentUser, kBriskletKeyPath, "ShowSiteIcons", c.type, c.bytes.data(), c.bytes.size());
        EXPECT_EQ(c.on, ReadShowSiteIcons()) << c.type << " of " << c.bytes.size() << " bytes";
    }
    registry_.Put(RegRoot::CurrentUser, kBriskletKeyPath, "ShowSiteIcons", kRegSz, "x", 2);
    EXPECT_TRUE(SetShowSiteIcons(false));  // replaces a value of any type with the number
    EXPECT_EQ(0, g_showSiteIcons);
    EXPECT_EQ(std::string(4, '\0'), registry_.Get(RegRoot::CurrentUser, kBriskletKeyPath, "showsiteicons")->bytes);
    EXPECT_FALSE(ReadShowSiteIcons());
    EXPECT_TRUE(SetShowSiteIcons(true));
    EXPECT_EQ(1, g_showSiteIcons);
}

TEST_F(SettingsTest, RunValueNeedsAnExistingRunKey) {
    EXPECT_FALSE(SetRunValue("\"C:\\Program Files\\Brisklet\\brisklet.exe\""));
    EXPECT_FALSE(registry_.HasKey(RegRoot::CurrentUser, kRunKeyPath));   // never created
    EXPECT_FALSE(DeleteRunValue());
    EXPECT_FALSE(RunValueExists());
}

TEST_F(SettingsTest, RunValueIsStoredWithItsNulDeletedAndFoundWhateverItsType) {
    MakeRunKey();
    EXPECT_FALSE(RunValueExists());
    const char quoted[] = "\"C:\\Program Files\\Brisklet\\brisklet.exe\"";
    EXPECT_TRUE(SetRunValue(quoted));
    const NativeRegistry::Value* value = registry_.Get(RegRoot::CurrentUser, kRunKeyPath, "Brisklet");
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(kRegSz, value->type);
    EXPECT_EQ(std::string(quoted, sizeof quoted), value->bytes);
    EXPECT_TRUE(RunValueExists());

    EXPECT_TRUE(DeleteRunValue());
    EXPECT_FALSE(RunValueExists());
    EXPECT_FALSE(DeleteRunValue());   // nothing left to delete
    EXPECT_NE(nullptr, registry_.Get(RegRoot::CurrentUser, kRunKeyPath, "Other"));   // neighbours stay

    // Any type and any size counts as present: the query asks for presence only.
    registry_.PutDword(RegRoot::CurrentUser, kRunKeyPath, "BRISKLET", 7);
    EXPECT_TRUE(RunValueExists());
    const std::string big(10000, 'b');
    registry_.Put(RegRoot::CurrentUser, kRunKeyPath, "brisklet", 3, big.data(), static_cast<uint32_t>(big.size()));
    EXPECT_TRUE(RunValueExists());
}

TEST_F(SettingsTest, InstalledPathAndHelpControlAreReadFromTheirRoots) {
    char folder[1024] = "unchanged";
    EXPECT_FALSE(ReadInstalledPath(folder, sizeof folder));
    registry_.PutString(RegRoot::CurrentUser, kBriskletKeyPath, "InstalledPath", "C:\\wrong root");
    EXPECT_FALSE(ReadInstalledPath(folder, sizeof folder));
    registry_.PutString(RegRoot::LocalMachine, kBriskletKeyPath, "InstalledPath", "C:\\Program Files\\Brisklet");
    EXPECT_TRUE(ReadInstalledPath(folder, sizeof folder));
    EXPECT_STREQ("C:\\Program Files\\Brisklet", folder);
    // Longer than the 1,024-byte buffer: a failed read.
    registry_.PutString(RegRoot::LocalMachine, kBriskletKeyPath, "InstalledPath", std::string(1024, 'i').c_str());
    EXPECT_FALSE(ReadInstalledPath(folder, sizeof folder));

    char help[260] = "";
    EXPECT_FALSE(ReadHtmlHelpLocation(help, sizeof help));
    registry_.PutString(RegRoot::ClassesRoot, kHtmlHelpClsidKeyPath, "", "C:\\Windows\\System32\\hhctrl.ocx");
    EXPECT_TRUE(ReadHtmlHelpLocation(help, sizeof help));
    EXPECT_STREQ("C:\\Windows\\System32\\hhctrl.ocx", help);
}

TEST_F(SettingsTest, WritesThroughAKeyOpenedForReadingAreRefused) {
    // The store itself keeps creating and opening apart, and read-only handles read-only.
    RegistryApi::Key key = nullptr;
    EXPECT_FALSE(registry_.OpenKey(RegRoot::CurrentUser, "Software\\New", true, &key));
    EXPECT_EQ(nullptr, key);
    ASSERT_TRUE(registry_.CreateKey(RegRoot::CurrentUser, "Software\\New", &key));
    registry_.Close(key);
    ASSERT_TRUE(registry_.OpenKey(RegRoot::CurrentUser, "software\\NEW", false, &key));
    const uint32_t one = 1;
    EXPECT_FALSE(registry_.SetValue(key, "v", kRegDword, &one, 4));
    EXPECT_FALSE(registry_.DeleteValue(key, "v"));
    registry_.Close(key);
}

TEST_F(SettingsTest, PopupHotKeyDefaultsToAltShiftBIsStoredAsADwordAndZeroMeansNone) {
    // No key, no value: the default, Alt+Shift+B in the hotkey control's format.
    EXPECT_EQ(0x0542u, kDefaultPopupHotKey);
    EXPECT_EQ(kDefaultPopupHotKey, ReadPopupHotKey());
    registry_.PutString(RegRoot::CurrentUser, kBriskletKeyPath, "Other", "x");
    EXPECT_EQ(kDefaultPopupHotKey, ReadPopupHotKey());

    EXPECT_TRUE(SetPopupHotKey(0x0670));  // Ctrl+Alt+F1
    const NativeRegistry::Value* value = registry_.Get(RegRoot::CurrentUser, kBriskletKeyPath, "PopupHotKey");
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(kRegDword, value->type);
    EXPECT_EQ(std::string("\x70\x06\0\0", 4), value->bytes);
    EXPECT_EQ(0x0670u, ReadPopupHotKey());
    EXPECT_GE(registry_.Flushes(), 1);

    EXPECT_TRUE(SetPopupHotKey(0));
    EXPECT_EQ(0u, ReadPopupHotKey()) << "0 is no hotkey, not the default";
    registry_.PutDword(RegRoot::CurrentUser, kBriskletKeyPath, "popuphotkey", 0x0500);  // modifiers, no key
    EXPECT_EQ(0u, ReadPopupHotKey());
    registry_.PutDword(RegRoot::CurrentUser, kBriskletKeyPath, "PopupHotKey", 0xABCD0243);  // stray high bytes
    EXPECT_EQ(0x0243u, ReadPopupHotKey());
    // A value of another type or size is no hotkey the control wrote: the default.
    registry_.PutString(RegRoot::CurrentUser, kBriskletKeyPath, "PopupHotKey", "B");
    EXPECT_EQ(kDefaultPopupHotKey, ReadPopupHotKey());
    registry_.Put(RegRoot::CurrentUser, kBriskletKeyPath, "PopupHotKey", kRegDword, "\x42\x05", 2);
    EXPECT_EQ(kDefaultPopupHotKey, ReadPopupHotKey());
}

TEST(HotKeyRegistration, ControlModifiersBecomeRegisterHotKeyModifiers) {
    // The control has Shift 1 and Alt 4; RegisterHotKey has Alt 1 and Shift 4.
    const HotKeyRegistration altShiftB = ToHotKeyRegistration(kDefaultPopupHotKey);
    EXPECT_EQ(0x5u, altShiftB.modifiers);
    EXPECT_EQ(static_cast<uint32_t>('B'), altShiftB.virtualKey);
    EXPECT_EQ(0x1u, ToHotKeyRegistration((kHotKeyFAlt << 8) | 'K').modifiers);
    EXPECT_EQ(0x4u, ToHotKeyRegistration((kHotKeyFShift << 8) | 'K').modifiers);
    EXPECT_EQ(0x2u, ToHotKeyRegistration((kHotKeyFControl << 8) | 'K').modifiers);
    // The extended-key bit (arrows, Insert ...) carries no modifier.
    const HotKeyRegistration ctrlHome = ToHotKeyRegistration(((kHotKeyFControl | kHotKeyFExt) << 8) | 0x24);
    EXPECT_EQ(0x2u, ctrlHome.modifiers);
    EXPECT_EQ(0x24u, ctrlHome.virtualKey);
    const HotKeyRegistration none = ToHotKeyRegistration(kHotKeyFAlt << 8);
    EXPECT_EQ(0u, none.modifiers);
    EXPECT_EQ(0u, none.virtualKey);
}

}  // namespace

namespace {

TEST_F(SettingsTest, DeclinedConflictCopiesAreKeptInOrderAndTheOldestGoWhenTheListIsFull) {
    EXPECT_TRUE(ReadDeclinedCopies().empty());
    EXPECT_TRUE(AddDeclinedCopy("C:\\b\\links-LAPTOP.bklt"));
    EXPECT_TRUE(AddDeclinedCopy("C:\\b\\links (1).bklt"));
    EXPECT_EQ((std::vector<std::string>{"C:\\b\\links-LAPTOP.bklt", "C:\\b\\links (1).bklt"}), ReadDeclinedCopies());
    const std::string longPath = "C:\\" + std::string(1000, 'x') + ".bklt";
    EXPECT_TRUE(AddDeclinedCopy(longPath.c_str()));
    EXPECT_TRUE(AddDeclinedCopy(longPath.c_str()));
    // All four would pass 2,047 bytes: the oldest went.
    EXPECT_EQ((std::vector<std::string>{"C:\\b\\links (1).bklt", longPath, longPath}), ReadDeclinedCopies());
}

}  // namespace
