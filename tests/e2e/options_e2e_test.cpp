#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "res/resource.h"
#include "tests/e2e/harness.h"

// The Options dialog of the running program, opened from the bar's menu command 148 and closed
// by OK, Esc or the close box, checked against the per-user registry it reads and writes.
namespace {

constexpr UINT kOptionsCommand = 148;
constexpr int kAutoStartBox = 1024;
constexpr int kInstantPopupBox = 1026;
constexpr int kHotKeyControl = 1042;
constexpr int kHotKeyInUse = 1043;
constexpr WORD kAltShiftB = ((HOTKEYF_ALT | HOTKEYF_SHIFT) << 8) | 'B';
constexpr WORD kAltShiftK = ((HOTKEYF_ALT | HOTKEYF_SHIFT) << 8) | 'K';
constexpr UINT kTrayMessage = WM_USER + 300;  // the bar's tray callback message
const char kUserKey[] = "Software\\Vantaro\\Brisklet";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

enum class Close { Ok, Escape, CloseBox };

const char* Name(Close how) {
    switch (how) {
    case Close::Ok: return "OK";
    case Close::Escape: return "Esc";
    case Close::CloseBox: return "the close box";
    }
    return "?";
}

// Every value of a key: name (as stored) -> type and data.
using KeyValues = std::map<std::string, std::pair<DWORD, std::vector<unsigned char>>>;

KeyValues Snapshot(const char* keyPath) {
    KeyValues values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        std::vector<unsigned char> data(8192);
        DWORD dataSize = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS) break;
        data.resize(dataSize);
        values[name] = {type, data};
    }
    RegCloseKey(key);
    return values;
}

// The Run key is never created by the program; a fresh prefix may lack it.
void EnsureRunKey() {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegCloseKey(key);
}

void WriteRunValue(DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Brisklet", 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
}

std::string QuotedProgramPath() { return "\"" + e2e::BriskletExe() + "\""; }

bool IsChecked(HWND dialog, int id) {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A click on a check box (BM_CLICK posted: the box toggles itself as under the mouse).
void Toggle(HWND dialog, int id) {
    const bool before = IsChecked(dialog, id);
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return IsChecked(dialog, id) != before; }, 5000))
        << "check box " << id << " did not toggle";
}

WORD HotKeyShown(HWND dialog) {
    return static_cast<WORD>(SendMessageA(GetDlgItem(dialog, kHotKeyControl), HKM_GETHOTKEY, 0, 0));
}

// A new key put into the hotkey control, as typing it there would leave it.
void SetHotKeyShown(HWND dialog, WORD hotKey) {
    HWND control = GetDlgItem(dialog, kHotKeyControl);
    SendMessageA(control, HKM_SETHOTKEY, hotKey, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kHotKeyControl, EN_CHANGE), reinterpret_cast<LPARAM>(control));
}

// Alt+Shift and the key, pressed and let go.
void PressAltShift(WORD vk) { e2e::PressKeys({VK_MENU, VK_SHIFT, vk}); }

class OptionsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        e2e::ResetState();
        EnsureRunKey();
    }
    void TearDown() override {
        if (process_.running()) {
            HWND dialog = e2e::FindDialog("Options");
            if (dialog != nullptr) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            e2e::CloseBrisklet(process_);
        }
        e2e::ResetState();
    }

    void Start() {
        process_ = e2e::StartBrisklet();
        bar_ = e2e::FindBar();
        ASSERT_NE(nullptr, bar_);
        // Start-up's first save creates the per-user key; "AutoPopup" can be written from then on.
        std::string current;
        ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ReadUserString("CurrentButtonFileName", &current); }))
            << "start-up did not record the current Button file";
    }

    HWND Open() {
        PostMessageA(bar_, WM_COMMAND, kOptionsCommand, 0);
        HWND dialog = e2e::WaitForDialog("Options");
        EXPECT_NE(nullptr, dialog) << "the Options dialog did not open";
        return dialog;
    }

    void CloseBy(HWND dialog, Close how) {
        switch (how) {
        case Close::Ok:
            e2e::PressButton(dialog, IDOK);
            break;
        case Close::Escape:
            // The dialog's own message loop turns the key into IDCANCEL.
            PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYUP, VK_ESCAPE, 0xC0010001);
            break;
        case Close::CloseBox:
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        }
        ASSERT_TRUE(e2e::WaitForWindowGone(dialog)) << "the dialog did not close by " << Name(how);
        e2e::Sync(bar_);
    }

    bool BarVisible() const { return IsWindowVisible(bar_) != FALSE; }
    bool BarActive() const { return BarVisible() && GetForegroundWindow() == bar_; }
    // A mouse move over the tray icon, as the shell reports it (handled before SendMessage returns).
    void Hover() { SendMessageA(bar_, kTrayMessage, 108, WM_MOUSEMOVE); }

    e2e::Process process_;
    HWND bar_ = nullptr;
};

TEST_F(OptionsDialog, TemplateShowsTheControlsInTabOrderCentredAndOwnedByTheBar) {
    ASSERT_NO_FATAL_FAILURE(Start());
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(bar_, GetWindow(dialog, GW_OWNER));

    std::vector<int> ids;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        ids.push_back(GetDlgCtrlID(child));
    EXPECT_EQ((std::vector<int>{IDOK, kAutoStartBox, kInstantPopupBox, IDC_OPTIONS_SITE_ICONS, -1, kHotKeyControl,
                                kHotKeyInUse}),
              ids);
    EXPECT_EQ("Show site &icons", e2e::ControlText(dialog, IDC_OPTIONS_SITE_ICONS));
    EXPECT_EQ("&OK", e2e::ControlText(dialog, IDOK));
    char hotKeyClass[64] = "";
    GetClassNameA(GetDlgItem(dialog, kHotKeyControl), hotKeyClass, sizeof hotKeyClass);
    EXPECT_STREQ(HOTKEY_CLASSA, hotKeyClass);
    EXPECT_EQ("Show the Button bar with:", e2e::ControlText(dialog, -1));
    EXPECT_EQ(kAltShiftB, HotKeyShown(dialog)) << "nothing stored: the default";
    EXPECT_EQ("", e2e::ControlText(dialog, kHotKeyInUse));
    // The hotkey control lies under the two check boxes; they and OK keep their places.
    const auto rectOf = [&](int id) {
        RECT r{};
        GetWindowRect(GetDlgItem(dialog, id), &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    // Dialog units from the auto-start box (16, 8, 133 x 10 units): OK stays at (103, 40).
    const RECT box = rectOf(kAutoStartBox);
    const double unitX = (box.right - box.left) / 133.0;
    const double unitY = (box.bottom - box.top) / 10.0;
    EXPECT_NEAR(103 * unitX, rectOf(IDOK).left, 2.0);
    EXPECT_NEAR(40 * unitY, rectOf(IDOK).top, 2.0);
    EXPECT_NEAR(16 * unitX, box.left, 2.0);
    EXPECT_GT(rectOf(kHotKeyControl).top, rectOf(kInstantPopupBox).bottom);
    EXPECT_EQ("Automatically run Brisklet at startup", e2e::ControlText(dialog, kAutoStartBox));
    EXPECT_EQ("Instant popup without clicking", e2e::ControlText(dialog, kInstantPopupBox));
    const auto style = [&](int id) { return GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE); };
    EXPECT_EQ(BS_DEFPUSHBUTTON, style(IDOK) & BS_TYPEMASK);
    EXPECT_EQ(BS_AUTOCHECKBOX, style(kAutoStartBox) & BS_TYPEMASK);
    EXPECT_EQ(BS_AUTOCHECKBOX, style(kInstantPopupBox) & BS_TYPEMASK);
    for (int id : {IDOK, kAutoStartBox, kInstantPopupBox}) EXPECT_TRUE(style(id) & WS_TABSTOP) << id;
    const LONG dialogStyle = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION), dialogStyle & WS_CAPTION);
    EXPECT_TRUE(dialogStyle & WS_SYSMENU);

    RECT rect;
    GetWindowRect(dialog, &rect);
    const e2e::Metrics screen = e2e::ScreenMetricsNow();
    EXPECT_EQ((screen.cx + rect.left - rect.right) / 2, rect.left);
    EXPECT_EQ((screen.cy + rect.top - rect.bottom) / 2, rect.top);

    EXPECT_FALSE(IsChecked(dialog, kAutoStartBox));
    EXPECT_FALSE(IsChecked(dialog, kInstantPopupBox));
    e2e::SaveScreenshot("options");
    CloseBy(dialog, Close::Ok);
}

// Opening and closing without touching anything writes nothing, whichever way it is closed, and
// whatever the boxes show.
TEST_F(OptionsDialog, ClosingUntouchedLeavesTheRegistryAsItWas) {
    ASSERT_NO_FATAL_FAILURE(Start());
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            // Second round: both switches on, set by someone else.
            const std::string path = QuotedProgramPath();
            WriteRunValue(REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
            ASSERT_TRUE(e2e::WriteUserDword("AutoPopup", 1));
        }
        for (Close how : {Close::Ok, Close::Escape, Close::CloseBox}) {
            const KeyValues userBefore = Snapshot(kUserKey);
            const KeyValues runBefore = Snapshot(kRunKey);
            HWND dialog = Open();
            ASSERT_NE(nullptr, dialog);
            EXPECT_EQ(round == 1, IsChecked(dialog, kAutoStartBox));
            EXPECT_EQ(round == 1, IsChecked(dialog, kInstantPopupBox));
            ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, how));
            EXPECT_EQ(userBefore, Snapshot(kUserKey)) << "closed by " << Name(how) << ", round " << round;
            EXPECT_EQ(runBefore, Snapshot(kRunKey)) << "closed by " << Name(how) << ", round " << round;
        }
    }
}

TEST_F(OptionsDialog, AutoPopupTwoReadsAsOffAndIsReplacedOnlyWhenCheckedOn) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(e2e::WriteUserDword("AutoPopup", 2));

    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(IsChecked(dialog, kInstantPopupBox)) << "only 1 means on";
    ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, Close::Ok));
    DWORD value = 0;
    ASSERT_TRUE(e2e::ReadUserDword("AutoPopup", &value));
    EXPECT_EQ(2u, value) << "closing unchecked must leave the 2 in place";

    dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(IsChecked(dialog, kInstantPopupBox));
    Toggle(dialog, kInstantPopupBox);
    ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, Close::CloseBox));
    ASSERT_TRUE(e2e::ReadUserDword("AutoPopup", &value));
    EXPECT_EQ(1u, value);
}

// A "Brisklet" Run value of someone else's making counts as auto-start on, of whatever type, and
// is kept as it is while the box stays checked.
TEST_F(OptionsDialog, ForeignRunValueShowsCheckedAndIsKept) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::string foreign = "\"C:\\Elsewhere\\brisklet.exe\" /tray";
    WriteRunValue(REG_SZ, foreign.c_str(), static_cast<DWORD>(foreign.size() + 1));

    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(IsChecked(dialog, kAutoStartBox));
    ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, Close::Ok));
    std::string value;
    DWORD type = 0;
    ASSERT_TRUE(e2e::ReadRunValue(&value, &type));
    EXPECT_EQ(foreign, value);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

    const DWORD number = 7;
    WriteRunValue(REG_DWORD, &number, sizeof number);
    const KeyValues runBefore = Snapshot(kRunKey);
    dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(IsChecked(dialog, kAutoStartBox)) << "a value of any type counts as present";
    ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, Close::Escape));
    EXPECT_EQ(runBefore, Snapshot(kRunKey));
}

TEST_F(OptionsDialog, SwitchingAutoStartOnAndOffWritesAndDeletesTheRunValue) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const KeyValues userBefore = Snapshot(kUserKey);

    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    Toggle(dialog, kAutoStartBox);
    ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, Close::Ok));
    std::string value;
    DWORD type = 0;
    ASSERT_TRUE(e2e::ReadRunValue(&value, &type)) << "switching auto-start on wrote no Run value";
    EXPECT_EQ(QuotedProgramPath(), value);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    const KeyValues run = Snapshot(kRunKey);
    ASSERT_EQ(1u, run.count("Brisklet"));
    EXPECT_EQ(QuotedProgramPath().size() + 1, run.at("Brisklet").second.size())
        << "the stored path includes its terminating NUL";
    EXPECT_EQ(userBefore, Snapshot(kUserKey)) << "auto-start touches the Run key only";

    dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(IsChecked(dialog, kAutoStartBox));
    Toggle(dialog, kAutoStartBox);
    ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, Close::Escape));
    EXPECT_FALSE(e2e::ReadRunValue(&value)) << "switching auto-start off left the Run value: " << value;
    EXPECT_EQ(userBefore, Snapshot(kUserKey));
}

// The switch reaches the tray through the instant popup flag at once: no restart.
TEST_F(OptionsDialog, InstantPopupTakesEffectOnTheNextHover) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_FALSE(BarVisible()) << "a plain start leaves the bar hidden";
    Hover();
    EXPECT_FALSE(BarVisible()) << "with instant popup off a hover must not show the bar";

    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(IsChecked(dialog, kInstantPopupBox));
    Toggle(dialog, kInstantPopupBox);
    ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, Close::Ok));
    DWORD value = 0;
    ASSERT_TRUE(e2e::ReadUserDword("AutoPopup", &value));
    EXPECT_EQ(1u, value);
    ASSERT_FALSE(BarVisible());
    Hover();
    EXPECT_TRUE(e2e::WaitUntil([&] { return BarVisible(); }, 5000)) << "the hover did not pop the bar up";

    // And off again: hide the bar, switch off, hover; the bar stays hidden.
    PostMessageA(bar_, WM_COMMAND, 144, 0);  // "&Hide"
    ASSERT_TRUE(e2e::WaitUntil([&] { return !BarVisible(); }, 5000));
    dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(IsChecked(dialog, kInstantPopupBox));
    Toggle(dialog, kInstantPopupBox);
    ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, Close::CloseBox));
    ASSERT_TRUE(e2e::ReadUserDword("AutoPopup", &value));
    EXPECT_EQ(0u, value);
    EXPECT_FALSE(BarVisible()) << "closing the dialog showed the bar";
    Hover();
    EXPECT_FALSE(BarVisible()) << "instant popup switched off still popped the bar up";
}

// Without the per-user key the switch cannot be stored; the flag must not change either, so the
// next hover still does nothing, and the next opening shows the switch as not taken.
TEST_F(OptionsDialog, InstantPopupWithoutTheUserKeyIsSilentlyNotTaken) {
    ASSERT_NO_FATAL_FAILURE(Start());
    e2e::DeleteUserKey();
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    Toggle(dialog, kInstantPopupBox);
    ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, Close::Ok));
    EXPECT_EQ(nullptr, e2e::FindDialog("Brisklet")) << "no message is shown";
    DWORD value = 0;
    EXPECT_FALSE(e2e::ReadUserDword("AutoPopup", &value));
    Hover();
    EXPECT_FALSE(BarVisible());
    dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(IsChecked(dialog, kInstantPopupBox));
    ASSERT_NO_FATAL_FAILURE(CloseBy(dialog, Close::Ok));
}

// A hotkey chosen here is stored in the control's format, works as soon as the dialog closes,
// and the one it replaced no longer does. Emptying the control stores 0: no hotkey at all.
TEST_F(OptionsDialog, AHotKeySetHereIsStoredWorksAtOnceAndTheOldOneNoLongerDoes) {
    ASSERT_NO_FATAL_FAILURE(Start());
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    SetHotKeyShown(dialog, kAltShiftK);
    CloseBy(dialog, Close::Ok);
    DWORD stored = 0;
    ASSERT_TRUE(e2e::ReadUserDword("PopupHotKey", &stored));
    EXPECT_EQ(static_cast<DWORD>(kAltShiftK), stored);

    // The old key first, then the new one: had the old one still worked, the new one would have
    // hidden the bar it showed. Stay on top is a marker behind both in the bar's queue.
    ASSERT_FALSE(BarVisible());
    PressAltShift('B');
    PressAltShift('K');
    ASSERT_TRUE(e2e::WaitUntil([&] { return BarActive(); }, 5000)) << "the new hotkey did not show the bar";
    PostMessageA(bar_, WM_COMMAND, 32774 /* Stay on top */, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return (GetWindowLongA(bar_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }));
    EXPECT_TRUE(BarActive()) << "the old hotkey still toggles the bar";
    PressAltShift('K');
    ASSERT_TRUE(e2e::WaitUntil([&] { return !BarVisible(); }, 5000)) << "the new hotkey did not hide the bar";

    // Reopened, the control shows the stored key; emptied, no hotkey is left.
    dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(kAltShiftK, HotKeyShown(dialog));
    SetHotKeyShown(dialog, 0);
    CloseBy(dialog, Close::Escape);
    ASSERT_TRUE(e2e::ReadUserDword("PopupHotKey", &stored));
    EXPECT_EQ(0u, stored);
    PressAltShift('K');
    PostMessageA(bar_, WM_COMMAND, 32774 /* Stay on top, off again */, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return (GetWindowLongA(bar_, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0; }));
    EXPECT_FALSE(BarVisible()) << "an emptied hotkey control leaves no hotkey";
}

// A hotkey another program holds: start-up says nothing, Options says so beside the control
// and no longer once another key is chosen.
TEST_F(OptionsDialog, AHotKeyHeldByAnotherProgramIsReportedHereAndNowhereElse) {
    ASSERT_TRUE(RegisterHotKey(nullptr, 77, MOD_ALT | MOD_SHIFT, 'B')) << "this test could not hold Alt+Shift+B";
    struct Release {
        ~Release() { UnregisterHotKey(nullptr, 77); }
    } release;
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(nullptr, e2e::FindDialog("Brisklet")) << "start-up shows no message about the hotkey";
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(kAltShiftB, HotKeyShown(dialog));
    EXPECT_EQ("In use by another program", e2e::ControlText(dialog, kHotKeyInUse));
    SetHotKeyShown(dialog, kAltShiftK);
    EXPECT_EQ("", e2e::ControlText(dialog, kHotKeyInUse));
    SetHotKeyShown(dialog, kAltShiftB);
    EXPECT_EQ("In use by another program", e2e::ControlText(dialog, kHotKeyInUse));
    CloseBy(dialog, Close::Ok);
    DWORD stored = 0;
    EXPECT_FALSE(e2e::ReadUserDword("PopupHotKey", &stored)) << "the default is never written unchanged";
}

}  // namespace
