#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <utility>
#include <vector>

#include "store/button_table.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/recorder.h"

// The tray icon and the bar's buttons of the running program, with the URL recorder standing in
// for the web browser: what opens, what shows and what hides.
namespace {

constexpr UINT kTrayMessage = WM_USER + 300;   // the bar's tray callback message, 1324
constexpr WPARAM kTrayId = 108;
constexpr WPARAM kStayOnTopCommand = 32774;
constexpr WPARAM kHideCommand = 144;
const char kFavourite[] = "http://favourite.example/";   // what MakeButtonFile gives every table

// One button file with a new-window flag per button.
struct ButtonSpec {
    std::string name;
    std::string url;
    bool newWindow = false;
};

class TrayE2E : public ::testing::Test {
protected:
    void SetUp() override {
        e2e::ResetState();
        ASSERT_TRUE(e2e::InstallRecorder()) << "cannot register " << e2e::RecorderExe();
        e2e::ClearLaunches();
    }

    // Ended without the closing question: under Wine on a display without a window manager a
    // regular close waits seconds for windows to be withdrawn, and nothing here depends on it.
    void TearDown() override {
        if (process_.running()) {
            DismissLaunchErrors();
            process_.Kill();
        }
        e2e::ResetState();
        e2e::ClearLaunches();
    }

    // Starts Brisklet hidden in the tray over a Button file of these buttons.
    void Start(const std::vector<ButtonSpec>& buttons, bool instantPopup = false) {
        std::vector<std::pair<std::string, std::string>> pairs;
        for (const ButtonSpec& b : buttons) pairs.emplace_back(b.name, b.url);
        std::vector<unsigned char> image = e2e::MakeButtonFile(pairs);
        auto* table = reinterpret_cast<ButtonTable*>(image.data());
        for (size_t i = 0; i < buttons.size(); ++i) table->records[i].newWindow = buttons[i].newWindow ? 1 : 0;
        const std::string path = e2e::ScratchFolder("tray") + "\\tray.bklt";
        ASSERT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size()));
        ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", path));
        if (instantPopup) ASSERT_TRUE(e2e::WriteUserDword("AutoPopup", 1));
        process_ = e2e::StartBrisklet();
        bar_ = e2e::FindBar();
        ASSERT_NE(nullptr, bar_);
        ASSERT_FALSE(IsWindowVisible(bar_)) << "a plain start keeps the bar in the tray";
    }

    // A mouse event over the tray icon, as the shell reports it.
    void Tray(UINT mouseMessage) { SendMessageA(bar_, kTrayMessage, kTrayId, mouseMessage); }

    void ShowByLeftClick() {
        Tray(WM_LBUTTONDOWN);
        Tray(WM_LBUTTONUP);
        ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(bar_) != FALSE; }, 5000)) << "the bar did not show";
    }

    void ClickButton(int index) {
        const std::vector<e2e::ButtonInfo> buttons = e2e::BarButtons(bar_);
        ASSERT_LT(index, static_cast<int>(buttons.size()));
        ASSERT_EQ(2000 + index, buttons[index].id);
        // Posted: a failing launch holds the bar's thread in its message box.
        PostMessageA(buttons[index].hwnd, BM_CLICK, 0, 0);
    }

    bool WaitHidden(int timeoutMs = 5000) {
        return e2e::WaitUntil([&] { return !IsWindowVisible(bar_); }, timeoutMs);
    }

    void DismissLaunchErrors() {
        for (HWND box; (box = e2e::FindDialog("Launch Error")) != nullptr;) {
            e2e::PressButton(box, IDOK);
            if (!e2e::WaitForWindowGone(box, 5000)) break;
        }
    }

    static std::string ShellOpened(const std::string& url) { return "--via=http \"" + url + "\""; }

    e2e::Process process_;
    HWND bar_ = nullptr;
};

TEST_F(TrayE2E, ClickingAButtonOpensItsUrlThroughTheShellAndHidesTheBar) {
    ASSERT_NO_FATAL_FAILURE(Start({{"Zero", "http://zero.example/"},
                                   {"One", "http://one.example/a?b=1&c=two"},
                                   {"Two", "https://two.example/"}}));
    ASSERT_NO_FATAL_FAILURE(ShowByLeftClick());
    ASSERT_NO_FATAL_FAILURE(ClickButton(1));
    e2e::Launch launch;
    ASSERT_TRUE(e2e::WaitForLaunch("one.example", &launch)) << "button 1 opened nothing";
    EXPECT_EQ(ShellOpened("http://one.example/a?b=1&c=two"), launch.arguments);
    EXPECT_TRUE(WaitHidden()) << "the bar stayed up after the launch";

    ASSERT_NO_FATAL_FAILURE(ShowByLeftClick());
    ASSERT_NO_FATAL_FAILURE(ClickButton(2));
    ASSERT_TRUE(e2e::WaitForLaunch("two.example", &launch));
    EXPECT_EQ("--via=https \"https://two.example/\"", launch.arguments);
    EXPECT_TRUE(WaitHidden());
    e2e::Sync(bar_);
    EXPECT_EQ(2u, e2e::ReadLaunches().size()) << "one launch per click";
    EXPECT_EQ(nullptr, e2e::FindDialog("Launch Error"));
}

TEST_F(TrayE2E, NewWindowRecordStartsTheBrowserProgramWithTheUrlAsItsOneQuotedArgument) {
    ASSERT_NO_FATAL_FAILURE(Start({{"Shell", "http://shell.example/"},
                                   {"Window", "http://window.example/p?q=1&r=two words --new-tab", true}}));
    ASSERT_NO_FATAL_FAILURE(ShowByLeftClick());
    ASSERT_NO_FATAL_FAILURE(ClickButton(1));
    e2e::Launch launch;
    ASSERT_TRUE(e2e::WaitForLaunch("window.example", &launch)) << "the new-window launch reached no program";
    EXPECT_EQ(0, lstrcmpiA(e2e::RecorderExe().c_str(), launch.program.c_str()))
        << "started " << launch.program << ", not the program found for .htm pages";
    EXPECT_EQ("\"http://window.example/p?q=1&r=two words --new-tab\"", launch.arguments);
    // Read back as the browser's C runtime reads it: one argument, the URL unchanged.
    const std::wstring wide(launch.commandLine.begin(), launch.commandLine.end());
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(wide.c_str(), &count);
    ASSERT_NE(nullptr, arguments);
    EXPECT_EQ(2, count) << launch.commandLine;
    if (count == 2) EXPECT_EQ(L"http://window.example/p?q=1&r=two words --new-tab", std::wstring(arguments[1]));
    LocalFree(arguments);
    EXPECT_TRUE(WaitHidden());
}

// An address in any script reaches the browser exactly, through the shell and as the Browser
// program's parameters (the recorder writes what it was given in UTF-8).
TEST_F(TrayE2E, AnAddressInAnyScriptReachesTheBrowserExactly) {
    const std::string address =
        "http://\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD0\xB8\xD1\x81\xD0\xBF\xD1\x8B\xD1\x82\xD0\xB0"
        "\xD0\xBD\xD0\xB8\xD0\xB5/\xD0\xBF\xD1\x83\xD1\x82\xD1\x8C";  // http://пример.испытание/путь
    ASSERT_NO_FATAL_FAILURE(Start({{"Shell", address}, {"Window", address + "?w=1", true}}));
    ASSERT_NO_FATAL_FAILURE(ShowByLeftClick());
    ASSERT_NO_FATAL_FAILURE(ClickButton(0));
    e2e::Launch launch;
    ASSERT_TRUE(e2e::WaitForLaunch(address, &launch)) << "the shell launch reached no browser";
    EXPECT_EQ(ShellOpened(address), launch.arguments);
    EXPECT_TRUE(WaitHidden());
    e2e::ClearLaunches();
    ASSERT_NO_FATAL_FAILURE(ShowByLeftClick());
    ASSERT_NO_FATAL_FAILURE(ClickButton(1));
    ASSERT_TRUE(e2e::WaitForLaunch(address + "?w=1", &launch)) << "the new-window launch reached no program";
    EXPECT_EQ("\"" + address + "?w=1\"", launch.arguments) << "one quoted argument, its bytes unchanged";
}

TEST_F(TrayE2E, AFailedLaunchShowsTheMessageThenTheBarHides) {
    ASSERT_NO_FATAL_FAILURE(Start({{"Nowhere", "C:\\no\\such\\folder\\page.none"}}));
    ASSERT_NO_FATAL_FAILURE(ShowByLeftClick());
    ASSERT_NO_FATAL_FAILURE(ClickButton(0));
    HWND box = e2e::WaitForDialog("Launch Error");
    ASSERT_NE(nullptr, box) << "no message for a launch that cannot work";
    EXPECT_EQ("Error opening Web Browser or program.", e2e::MessageBoxText(box));
    EXPECT_EQ(bar_, GetWindow(box, GW_OWNER)) << "the message belongs to the bar";
    EXPECT_NE(nullptr, GetDlgItem(box, IDOK));
    EXPECT_EQ(nullptr, GetDlgItem(box, IDCANCEL)) << "an OK button only";
    EXPECT_TRUE(IsWindowVisible(bar_)) << "the bar hides only after the message is closed";
    e2e::PressButton(box, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(box));
    EXPECT_TRUE(WaitHidden()) << "after a failed launch the bar still hides";
    EXPECT_TRUE(e2e::SettledLaunches(bar_).empty());
}

TEST_F(TrayE2E, StayOnTopKeepsTheBarShownAfterALaunchAndARightClick) {
    ASSERT_NO_FATAL_FAILURE(Start({{"Zero", "http://zero.example/"}}));
    ASSERT_NO_FATAL_FAILURE(ShowByLeftClick());
    SendMessageA(bar_, WM_COMMAND, kStayOnTopCommand, 0);
    ASSERT_NE(0, GetWindowLongA(bar_, GWL_EXSTYLE) & WS_EX_TOPMOST) << "stay on top did not switch on";

    ASSERT_NO_FATAL_FAILURE(ClickButton(0));
    ASSERT_TRUE(e2e::WaitForLaunch("zero.example"));
    e2e::Sync(bar_);
    EXPECT_TRUE(IsWindowVisible(bar_)) << "a launch hid a bar that stays on top";

    Tray(WM_RBUTTONDOWN);
    ASSERT_TRUE(e2e::WaitForLaunch(kFavourite));
    e2e::Sync(bar_);
    EXPECT_TRUE(IsWindowVisible(bar_)) << "a right click hid a bar that stays on top";
}

// Instant popup off: only a left button down shows the bar; a right click opens the Favourite URL
// and hides it; button up, double clicks and the like change nothing.
TEST_F(TrayE2E, TrayMouseMessagesWithoutInstantPopup) {
    ASSERT_NO_FATAL_FAILURE(Start({{"Zero", "http://zero.example/"}}));
    Tray(WM_MOUSEMOVE);
    Tray(WM_LBUTTONUP);
    Tray(WM_RBUTTONUP);
    Tray(WM_LBUTTONDBLCLK);
    Tray(WM_MBUTTONDOWN);
    e2e::Sync(bar_);
    EXPECT_FALSE(IsWindowVisible(bar_)) << "only a left button down shows the bar";

    Tray(WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(bar_));
    Tray(WM_LBUTTONUP);
    EXPECT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == bar_; }, 5000))
        << "the bar did not come to the foreground";

    Tray(WM_RBUTTONDOWN);
    e2e::Launch launch;
    ASSERT_TRUE(e2e::WaitForLaunch(kFavourite, &launch)) << "the right click opened nothing";
    EXPECT_EQ(ShellOpened(kFavourite), launch.arguments);
    EXPECT_FALSE(IsWindowVisible(bar_)) << "the right click leaves the bar up";

    // During the countdown a left click still shows the bar at once.
    Tray(WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(bar_));
}

// Instant popup on: hovering shows the bar, except for five seconds after the last right click;
// a second right click two seconds into the countdown starts it over.
TEST_F(TrayE2E, HoverPopupIsHeldOffForFiveSecondsAfterTheLastRightClick) {
    ASSERT_NO_FATAL_FAILURE(Start({{"Zero", "http://zero.example/"}}, /*instantPopup=*/true));
    Tray(WM_MOUSEMOVE);
    ASSERT_TRUE(IsWindowVisible(bar_)) << "hovering with instant popup on did not show the bar";
    SendMessageA(bar_, WM_COMMAND, kHideCommand, 0);
    ASSERT_FALSE(IsWindowVisible(bar_));

    Tray(WM_RBUTTONDOWN);
    ASSERT_TRUE(e2e::WaitForLaunch(kFavourite));
    EXPECT_FALSE(IsWindowVisible(bar_));
    // Hovering right after the click, and for two seconds, leaves the bar hidden.
    const DWORD first = GetTickCount();
    while (GetTickCount() - first < 2000) {
        Tray(WM_MOUSEMOVE);
        ASSERT_FALSE(IsWindowVisible(bar_)) << "popped up " << GetTickCount() - first << " ms after a right click";
        Sleep(100);
    }
    Tray(WM_RBUTTONDOWN);
    const DWORD second = GetTickCount();
    DWORD shownAfter = 0;
    const bool shown = e2e::WaitUntil(
        [&] {
            Tray(WM_MOUSEMOVE);
            if (!IsWindowVisible(bar_)) return false;
            shownAfter = GetTickCount() - second;
            return true;
        },
        9000);
    ASSERT_TRUE(shown) << "hovering never popped the bar up again after the countdown";
    EXPECT_GE(shownAfter, 4000u) << "the second right click did not start the countdown over";
    EXPECT_LE(shownAfter, 7000u) << "the countdown ran far longer than five ticks";
    EXPECT_EQ(2u, e2e::ReadLaunches().size());
}

TEST_F(TrayE2E, CommandsBeyondTheButtonsDoNothing) {
    ASSERT_NO_FATAL_FAILURE(Start({{"Zero", "http://zero.example/"}, {"One", "http://one.example/"}}));
    ASSERT_NO_FATAL_FAILURE(ShowByLeftClick());
    for (WPARAM id : {2002, 2050, 2099}) SendMessageA(bar_, WM_COMMAND, id, 0);
    e2e::Sync(bar_);
    EXPECT_TRUE(e2e::SettledLaunches(bar_).empty());
    EXPECT_EQ(nullptr, e2e::FindDialog("Launch Error"));
    EXPECT_TRUE(IsWindowVisible(bar_)) << "a command without a button hid the bar";
}

// A shell that restarts comes back with an empty notification area and broadcasts
// "TaskbarCreated"; without its icon the program could not be reached at all.
TEST_F(TrayE2E, TheIconComesBackWhenTheShellAnnouncesANewNotificationArea) {
    ASSERT_NO_FATAL_FAILURE(Start({{"Zero", "http://zero.example/"}}));
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_NE(0u, taskbarCreated);

    // The notification area loses the icon, as when the shell ends.
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = bar_;
    icon.uID = kTrayId;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
    ASSERT_FALSE(e2e::TrayIconPresent(bar_));

    // Another message changes nothing; the shell's announcement brings the icon back.
    e2e::Sync(bar_);
    EXPECT_FALSE(e2e::TrayIconPresent(bar_));
    DWORD_PTR result = 0;
    SendMessageTimeoutA(bar_, taskbarCreated, 0, 0, SMTO_NORMAL, 5000, &result);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::TrayIconPresent(bar_); }, 5000)) << "the icon did not come back";

    // Announced again while the icon is there: nothing breaks, the icon stays.
    SendMessageTimeoutA(bar_, taskbarCreated, 0, 0, SMTO_NORMAL, 5000, &result);
    EXPECT_TRUE(e2e::TrayIconPresent(bar_));
    EXPECT_TRUE(IsWindow(bar_));
}

// Wine's shell also drops the icons of a process that has ended, so this cannot tell a removal
// by the program from the clean-up after it; tests/win checks RemoveTrayIcon with the bar alive.
TEST_F(TrayE2E, TheIconIsThereWhileRunningAndGoneAfterExit) {
    ASSERT_NO_FATAL_FAILURE(Start({{"Zero", "http://zero.example/"}}));
    const HWND bar = bar_;
    EXPECT_TRUE(e2e::TrayIconPresent(bar));
    NOTIFYICONDATAA other{};
    other.cbSize = NOTIFYICONDATAA_V1_SIZE;
    other.hWnd = bar;
    other.uID = 109;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &other)) << "the icon is known by id 108 only";
    ASSERT_TRUE(e2e::CloseBrisklet(process_));
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr) {
        GTEST_SKIP() << "Wine removes the icon of an ended program itself: its own removal is checked in win_tests";
    }
    EXPECT_FALSE(e2e::TrayIconPresent(bar)) << "the tray icon outlived the program";
}

}  // namespace
