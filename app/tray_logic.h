// What the tray icon and the Button bar's buttons do, decided without any window: the picture
// the tray shows, whether and how the bar comes up, the five-second popup countdown after a
// right click, and how an address is opened. The Win32 layer (app/win_tray.cpp) turns the calls
// on TrayPlatform into the real ones; tests fill it with a recorder.
#pragma once

#include <cstdint>
#include <string>
#include "store/button_table.h"

// Mouse messages the shell puts into the tray callback's lParam (same numbers as Windows).
constexpr unsigned kTrayMouseMove = 0x0200;     // WM_MOUSEMOVE
constexpr unsigned kTrayLeftDown = 0x0201;      // WM_LBUTTONDOWN
constexpr unsigned kTrayLeftUp = 0x0202;        // WM_LBUTTONUP
constexpr unsigned kTrayRightDown = 0x0204;     // WM_RBUTTONDOWN

// Show commands handed to ShowWindow (same numbers as Windows).
constexpr int kShowHide = 0;          // SW_HIDE
constexpr int kShowNormal = 1;        // SW_SHOWNORMAL
constexpr int kShowRestore = 9;       // SW_RESTORE

constexpr int32_t kPopupCountdownSeconds = 5;
constexpr unsigned kCountdownTimerId = 1;
constexpr unsigned kCountdownIntervalMs = 1000;

extern const char kLaunchErrorText[];     // "Error opening Web Browser or program."
extern const char kLaunchErrorCaption[];  // "Launch Error"

enum class TrayPicture { Normal, Alternate };

// The calls the tray and the launcher make on the platform, one method per Win32 call.
class TrayPlatform {
public:
    virtual ~TrayPlatform() = default;
    // SetTrayIcon with the normal or the alternate icon (also refreshes the tip).
    virtual void SetTrayPicture(TrayPicture picture) = 0;
    // ShowWindow on the bar with the given show command.
    virtual void ShowBar(int showCommand) = 0;
    virtual void UpdateBar() = 0;           // UpdateWindow
    virtual void ActivateBar() = 0;         // SetActiveWindow
    virtual void BringBarToFront() = 0;     // SetForegroundWindow
    // ShellExecuteA(no owner, "open", file, parameters, no directory, SW_SHOWNORMAL); parameters
    // is nullptr for none. Returns the call's result as a signed number.
    virtual intptr_t ShellOpen(const char* file, const char* parameters) = 0;
    // MessageBoxA owned by the bar, MB_OK.
    virtual void ShowBarMessage(const char* text, const char* caption) = 0;
    virtual void StartCountdownTimer() = 0;  // SetTimer(bar, 1, 1000, no procedure)
    virtual void StopCountdownTimer() = 0;   // KillTimer(bar, 1)
};

// The popup countdown: idle (0, not running) or counting (1..5, timer running).
struct TrayState {
    int32_t popupCountdown = 0;     // seconds left during which hovering does not pop the bar up
    uint8_t countdownRunning = 0;   // 1 while timer 1 runs on the bar
};

extern TrayState g_trayState;

// Back to idle, as before the icon is first added. Stops no timer.
void ResetTrayState(TrayState& state);

// The settings the tray reads and does not own.
struct TrayContext {
    int32_t instantPopup;        // only 1 enables the hover popup
    int32_t stayOnTop;           // 0 = off; any other value keeps the bar shown
    const char* favouriteUrl;
};

// A mouse message over the tray icon.
void HandleTrayMouse(TrayState& state, TrayPlatform& platform, unsigned mouseMessage,
                     const TrayContext& context);

// One tick of timer 1.
void HandleCountdownTick(TrayState& state, TrayPlatform& platform);

// How a button's address is opened.
struct LaunchRequest {
    const char* file = "";    // what ShellExecuteA opens
    std::string parameters;   // the Browser program's: the URL as one quoted argument
    bool withParameters = false;
    // A new-window address the browser cannot be given as one plain argument: it holds a double
    // quote or a line break, or it would read as a switch (it starts with '-' or '/').
    bool refused = false;
    const char* Parameters() const { return withParameters ? parameters.c_str() : nullptr; }
};
// Record i opens in the Browser program when its new-window flag is exactly 1, its URL the one
// quoted argument (backslashes before the closing quote doubled, so that they stay what they
// are); through the shell's own handling of the URL, unchanged, otherwise.
LaunchRequest PlanLaunch(const ButtonRecord& record, const char* browserProgram);

// ShellExecuteA reports failure as a value of 32 or less.
inline bool LaunchFailed(intptr_t result) { return result <= 32; }

// A click on button `index` of the bar. An index outside 0 .. count - 1 does nothing.
void HandleLaunchButton(const ButtonTable& table, int index, const char* browserProgram,
                        int32_t stayOnTop, TrayPlatform& platform);

// ---- The bar from the keyboard ----

// Keys the bar answers while it is active (same numbers as the Windows virtual-key codes).
constexpr unsigned kKeyTab = 0x09;     // VK_TAB
constexpr unsigned kKeyReturn = 0x0D;  // VK_RETURN
constexpr unsigned kKeyEscape = 0x1B;  // VK_ESCAPE
constexpr unsigned kKeySpace = 0x20;   // VK_SPACE
constexpr unsigned kKeyEnd = 0x23;     // VK_END
constexpr unsigned kKeyHome = 0x24;    // VK_HOME
constexpr unsigned kKeyUp = 0x26;      // VK_UP
constexpr unsigned kKeyDown = 0x28;    // VK_DOWN

enum class BarKeyAction { None, Next, Previous, First, Last, Open, Hide };

// What a key pressed on the bar does: Down and Tab go to the next button, Up and Shift+Tab to
// the previous one, Home and End to the first and last, Enter and Space open the focused one,
// Esc hides the bar. Any other key is not the bar's.
BarKeyAction ClassifyBarKey(unsigned virtualKey, bool shiftDown);

// The button the focus goes to for a moving action, from `current` (-1 when no button has it)
// among `count` buttons, wrapping at both ends; -1 when there is no button or no move.
int MoveBarFocus(BarKeyAction action, int current, int count);

// A typed character moves the focus to the next button after `current` whose name starts with
// it, ignoring the case of ASCII letters, wrapping round to the top; -1 when the character is
// no letter or digit or no name starts with it. `current` itself is found again last.
int JumpToButtonByLetter(const ButtonTable& table, int current, char typed);
