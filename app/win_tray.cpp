// The tray icon and the launcher on Win32: one process-wide NOTIFYICONDATAA in its first form,
// filled afresh before every Shell_NotifyIconA call, and the Win32 side of TrayPlatform.
#include "app/win_tray.h"

#include <shellapi.h>

#include "app/shared_state.h"
#include "app/tray_logic.h"
#include "app/win_dpi.h"
#include "app/win_state.h"
#include "app/bar_messages.h"
#include "res/resource.h"
#include "store/button_table.h"
#include "store/settings.h"

// The first form of the record: what every shell understands, 88 bytes in the 32-bit build.
#if !defined(_WIN64)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first NOTIFYICONDATAA form is 88 bytes");
#endif
static_assert(NOTIFYICONDATAA_V1_SIZE <= sizeof(NOTIFYICONDATAA), "first form is a prefix");

namespace {

constexpr UINT kTrayAddFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;   // 7
constexpr UINT kTrayChangeFlags = NIF_ICON | NIF_TIP;              // 6
static_assert(kTrayAddFlags == 7 && kTrayChangeFlags == 6, "tray record flags");
static_assert(NIM_ADD == 0 && NIM_MODIFY == 1 && NIM_DELETE == 2, "tray operations");

HICON g_normalTrayIcon;
HICON g_alternateTrayIcon;
HICON g_currentTrayIcon;
NOTIFYICONDATAA g_trayRecord;
// Registered at start-up; 0 when the registration failed.
UINT g_taskbarCreatedMessage;

void FillTrayRecord(HWND bar, UINT flags) {
    ZeroMemory(&g_trayRecord, sizeof g_trayRecord);
    g_trayRecord.cbSize = NOTIFYICONDATAA_V1_SIZE;
    g_trayRecord.hWnd = bar;
    g_trayRecord.uID = IDT_TRAY_ICON;
    g_trayRecord.uFlags = flags;
    g_trayRecord.uCallbackMessage = WM_BAR_TRAYICON;
    g_trayRecord.hIcon = g_currentTrayIcon;
    // lstrcpynA ends the copy with a NUL within the limit; szTip and the tip text are both 64 bytes.
    // cppcheck-suppress lstrcpynACalled
    lstrcpynA(g_trayRecord.szTip, g_trayTip, 64);
}

// The notification area shows small icons: 16 pixels at 96 DPI, more at a larger scale.
HICON LoadTrayIcon(HINSTANCE instance, int id) {
    return LoadSmallIconAtBarDpi(instance, id);
}

class WinTrayPlatform : public TrayPlatform {
public:
    void SetTrayPicture(TrayPicture picture) override {
        SetTrayIcon(picture == TrayPicture::Alternate ? g_alternateTrayIcon : g_normalTrayIcon);
    }
    void ShowBar(int showCommand) override { ShowWindow(g_hwndBar, showCommand); }
    void UpdateBar() override { UpdateWindow(g_hwndBar); }
    void ActivateBar() override { SetActiveWindow(g_hwndBar); }
    void BringBarToFront() override { SetForegroundWindow(g_hwndBar); }
    intptr_t ShellOpen(const char* file, const char* parameters) override {
        HINSTANCE result = ShellExecuteA(nullptr, "open", file, parameters, nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<intptr_t>(result);
    }
    void ShowBarMessage(const char* text, const char* caption) override {
        MessageBoxA(g_hwndBar, text, caption, MB_OK);
    }
    void StartCountdownTimer() override {
        SetTimer(g_hwndBar, kCountdownTimerId, kCountdownIntervalMs, nullptr);
    }
    void StopCountdownTimer() override { KillTimer(g_hwndBar, kCountdownTimerId); }
};

static_assert(kShowHide == SW_HIDE && kShowNormal == SW_SHOWNORMAL && kShowRestore == SW_RESTORE,
              "show commands");
static_assert(kTrayMouseMove == WM_MOUSEMOVE && kTrayLeftDown == WM_LBUTTONDOWN &&
              kTrayLeftUp == WM_LBUTTONUP && kTrayRightDown == WM_RBUTTONDOWN,
              "tray mouse messages");
static_assert(kCountdownTimerId == IDT_COUNTDOWN, "countdown timer id");

WinTrayPlatform g_winTray;

TrayContext CurrentTrayContext() {
    return TrayContext{g_instantPopup, g_stayOnTop, ShownField(g_buttonTable.favouriteUrl)};
}

}  // namespace

void PrepareTray(HINSTANCE instance) {
    g_normalTrayIcon = LoadTrayIcon(instance, IDI_TRAY_NORMAL);
    g_alternateTrayIcon = LoadTrayIcon(instance, IDI_TRAY_PRESSED);
    UpdateTrayTip();
    g_trayState.countdownRunning = 0;
    g_currentTrayIcon = g_normalTrayIcon;
    // When the shell restarts, the notification area comes back empty and says so with this
    // message; the bar adds its icon again then, or the program could not be reached.
    g_taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
}

void AddTrayIcon(HWND bar) {
    FillTrayRecord(bar, kTrayAddFlags);
    Shell_NotifyIconA(NIM_ADD, &g_trayRecord);
}

bool IsTaskbarCreatedMessage(UINT message) {
    return g_taskbarCreatedMessage != 0 && message == g_taskbarCreatedMessage;
}

void SetTrayIcon(HICON icon) {
    g_currentTrayIcon = icon;
    FillTrayRecord(g_hwndBar, kTrayChangeFlags);
    Shell_NotifyIconA(NIM_MODIFY, &g_trayRecord);
}

void RemoveTrayIcon(HWND bar) {
    FillTrayRecord(bar, 0);
    Shell_NotifyIconA(NIM_DELETE, &g_trayRecord);
}

void OnTrayNotify(LPARAM mouseMessage) {
    // The first form of the record gets the bare mouse message; anything wider is no mouse message
    // and must not alias one by truncation.
    const unsigned message =
        (mouseMessage >= 0 && mouseMessage <= 0xFFFF) ? static_cast<unsigned>(mouseMessage) : 0u;
    HandleTrayMouse(g_trayState, g_winTray, message, CurrentTrayContext());
}

void OnCountdownTick() {
    HandleCountdownTick(g_trayState, g_winTray);
}

void LaunchButton(int index) {
    LaunchRecordOf(g_buttonTable, index);
}

void LaunchRecordOf(const ButtonTable& table, int index) {
    HandleLaunchButton(table, index, g_browserProgram, g_stayOnTop, g_winTray);
}
