// The tray functions in-process against the real shell and a real window standing in for the
// bar: the icon's life (added, found by its id, gone after removal while the window lives on),
// the real timer of the popup countdown, and the launch message box with its owner.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "app/shared_state.h"
#include "app/tray_logic.h"
#include "app/win_state.h"
#include "app/win_tray.h"
#include "store/button_table.h"
#include "store/settings.h"

namespace {

bool IconPresent(HWND owner, UINT id = 108) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = id;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// Waits for a WM_TIMER of timer 1 on the window, handing it to OnCountdownTick as the bar does.
bool NextCountdownTick(HWND window, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        MSG message;
        while (PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            if (message.wParam == 1) {
                OnCountdownTick();
                return true;
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_TIMER);
    }
    return false;
}

// Answers the first message box with this caption from another thread, noting what it saw.
class BoxWatcher {
public:
    BoxWatcher(const char* caption, HWND bar) : caption_(caption), bar_(bar) {
        thread_ = std::thread([this] { Watch(); });
    }
    ~BoxWatcher() {
        stop_ = true;
        thread_.join();
    }
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    std::atomic<bool> seen{false};
    std::string text;
    HWND owner = nullptr;
    bool barVisibleWhileShown = false;
    bool hasCancel = true;

private:
    void Watch() {
        const DWORD start = GetTickCount();
        while (!stop_ && GetTickCount() - start < 10000) {
            HWND box = FindWindowA("#32770", caption_);
            if (box != nullptr && IsWindowVisible(box)) {
                char buffer[256] = "";
                GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
                text = buffer;
                owner = GetWindow(box, GW_OWNER);
                barVisibleWhileShown = IsWindowVisible(bar_) != FALSE;
                hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
                seen = true;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(20);
        }
    }
    const char* caption_;
    HWND bar_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class TrayWin : public ::testing::Test {
protected:
    // A second icon for the whole suite. Wine hides its notification window when the last icon
    // goes, and on a display without a window manager every such hide waits two seconds.
    static void SetUpTestSuite() {
        sentinel_ = CreateWindowExA(0, "STATIC", "Tray test sentinel", 0, 0, 0, 1, 1, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        NOTIFYICONDATAA data{};
        data.cbSize = NOTIFYICONDATAA_V1_SIZE;
        data.hWnd = sentinel_;
        data.uID = 1;
        data.uFlags = NIF_ICON;
        data.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));   // IDI_APPLICATION
        Shell_NotifyIconA(NIM_ADD, &data);
    }
    static void TearDownTestSuite() {
        NOTIFYICONDATAA data{};
        data.cbSize = NOTIFYICONDATAA_V1_SIZE;
        data.hWnd = sentinel_;
        data.uID = 1;
        Shell_NotifyIconA(NIM_DELETE, &data);
        DestroyWindow(sentinel_);
    }
    static inline HWND sentinel_ = nullptr;

    void SetUp() override {
        window_ = CreateWindowExA(0, "STATIC", "Tray test bar", WS_CAPTION | WS_SYSMENU, 100, 100, 160, 120,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, window_);
        savedBar_ = g_hwndBar;
        g_hwndBar = window_;
        std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
        CopyTextToField(g_buttonTable.favouriteUrl, sizeof g_buttonTable.favouriteUrl,
                        "C:\\no\\such\\favourite.none");
        g_instantPopup = 0;
        g_stayOnTop = 0;
        ResetTrayState(g_trayState);
        PrepareTray(GetModuleHandleA(nullptr));
    }
    void TearDown() override {
        KillTimer(window_, 1);
        RemoveTrayIcon(window_);
        ResetTrayState(g_trayState);
        DestroyWindow(window_);
        g_hwndBar = savedBar_;
    }

    HWND window_ = nullptr;
    HWND savedBar_ = nullptr;
};

TEST_F(TrayWin, IconIsAddedUnderItsIdAndRemovedWhileTheBarLivesOn) {
    EXPECT_FALSE(IconPresent(window_)) << "no icon before command 135";
    AddTrayIcon(window_);
    EXPECT_TRUE(IconPresent(window_));
    EXPECT_FALSE(IconPresent(window_, 109)) << "the icon is known by id 108 only";
    OnTrayNotify(WM_LBUTTONDOWN);   // swaps the picture: a modify, not a second add
    OnTrayNotify(WM_LBUTTONUP);
    EXPECT_TRUE(IconPresent(window_));

    RemoveTrayIcon(window_);
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_FALSE(IconPresent(window_)) << "the icon outlived RemoveTrayIcon";
    OnTrayNotify(WM_MOUSEMOVE);
    EXPECT_FALSE(IconPresent(window_)) << "a mouse event must not add the icon again";
}

TEST_F(TrayWin, LeftButtonShowsTheBarAndRightClickHidesIt) {
    AddTrayIcon(window_);
    OnTrayNotify(WM_MOUSEMOVE);
    EXPECT_FALSE(IsWindowVisible(window_)) << "hover with instant popup off";
    OnTrayNotify(WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window_));
    OnTrayNotify(WM_RBUTTONDOWN);   // the favourite cannot open: silently
    EXPECT_FALSE(IsWindowVisible(window_));
    g_instantPopup = 1;
    OnTrayNotify(WM_MOUSEMOVE);
    EXPECT_FALSE(IsWindowVisible(window_)) << "hover during the countdown";
}

// The real window timer: five ticks a second apart, then it stops; hovering pops up again.
TEST_F(TrayWin, CountdownRunsOnTimerOneAndStopsAfterFiveTicks) {
    AddTrayIcon(window_);
    g_instantPopup = 1;
    const DWORD start = GetTickCount();
    OnTrayNotify(WM_RBUTTONDOWN);
    ASSERT_EQ(1, g_trayState.countdownRunning);
    for (int tick = 1; tick <= 5; ++tick) {
        ASSERT_TRUE(NextCountdownTick(window_, 3000)) << "tick " << tick << " never came";
        EXPECT_EQ(5 - tick, g_trayState.popupCountdown);
    }
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 4000u) << "ticks came faster than once a second";
    EXPECT_EQ(0, g_trayState.countdownRunning);
    EXPECT_FALSE(NextCountdownTick(window_, 1500)) << "the timer still runs after the countdown ended";
    EXPECT_FALSE(KillTimer(window_, 1)) << "timer 1 was left running";
    OnTrayNotify(WM_MOUSEMOVE);
    EXPECT_TRUE(IsWindowVisible(window_));
}

TEST_F(TrayWin, FailedLaunchShowsTheBoxOwnedByTheBarThenHides) {
    g_buttonTable.buttonCount = 1;
    CopyTextToField(g_buttonTable.records[0].url, kUrlSize, "C:\\no\\such\\page.none");
    ShowWindow(window_, SW_SHOWNORMAL);
    {
        BoxWatcher watcher("Launch Error", window_);
        LaunchButton(0);   // returns once the watcher has answered the box
        ASSERT_TRUE(watcher.seen) << "no message for a launch that cannot work";
        EXPECT_EQ("Error opening Web Browser or program.", watcher.text);
        EXPECT_EQ(window_, watcher.owner);
        EXPECT_FALSE(watcher.hasCancel) << "an OK button only";
        EXPECT_TRUE(watcher.barVisibleWhileShown) << "the bar hid before the message was closed";
    }
    EXPECT_FALSE(IsWindowVisible(window_));
}

TEST_F(TrayWin, CommandsBeyondTheCountAndStayOnTopLeaveTheBarShown) {
    g_buttonTable.buttonCount = 1;
    CopyTextToField(g_buttonTable.records[0].url, kUrlSize, "C:\\no\\such\\page.none");
    ShowWindow(window_, SW_SHOWNORMAL);
    LaunchButton(1);
    LaunchButton(99);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_EQ(nullptr, FindWindowA("#32770", "Launch Error"));

    g_stayOnTop = 1;
    {
        BoxWatcher watcher("Launch Error", window_);
        LaunchButton(0);
        EXPECT_TRUE(watcher.seen);
    }
    EXPECT_TRUE(IsWindowVisible(window_)) << "stay on top: a launch does not hide the bar";
    AddTrayIcon(window_);
    OnTrayNotify(WM_RBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window_)) << "stay on top: a right click does not hide the bar";
}

}  // namespace
