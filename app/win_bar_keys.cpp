#include "app/win_bar_keys.h"

#include <commctrl.h>
#include <cstdint>

#include "app/shared_state.h"
#include "app/tray_logic.h"
#include "app/win_bar.h"
#include "app/win_bar_filter.h"
#include "app/win_state.h"
#include "res/resource.h"
#include "store/button_table.h"
#include "store/settings.h"

static_assert(kKeyTab == VK_TAB && kKeyReturn == VK_RETURN && kKeyEscape == VK_ESCAPE && kKeySpace == VK_SPACE &&
                  kKeyEnd == VK_END && kKeyHome == VK_HOME && kKeyUp == VK_UP && kKeyDown == VK_DOWN,
              "bar keys");
static_assert(kHotKeyFShift == HOTKEYF_SHIFT && kHotKeyFControl == HOTKEYF_CONTROL && kHotKeyFAlt == HOTKEYF_ALT &&
                  kHotKeyFExt == HOTKEYF_EXT,
              "hotkey control modifiers");
static_assert(MOD_ALT == 1 && MOD_CONTROL == 2 && MOD_SHIFT == 4, "RegisterHotKey modifiers");

namespace {

constexpr int kPopupHotKeyId = 1;
constexpr int kProbeHotKeyId = 2;
// Holding the hotkey down sends it once (Windows 7 and later; older systems refuse the flag and
// the registration is made again without it).
constexpr UINT kModNoRepeat = 0x4000;

// The hotkey registered on the bar now; 0 when none is.
uint32_t s_registeredHotKey;
// The button that takes the focus once the bar is activated (the hotkey's), -1 for none.
int s_focusOnActivate = -1;

bool RegisterHotKeyOn(HWND window, int id, uint32_t hotKey) {
    const HotKeyRegistration key = ToHotKeyRegistration(hotKey);
    if (key.virtualKey == 0) return false;
    if (RegisterHotKey(window, id, key.modifiers | kModNoRepeat, key.virtualKey)) return true;
    if (GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED) return false;
    return RegisterHotKey(window, id, key.modifiers, key.virtualKey) != FALSE;
}

int ButtonIndexOf(HWND window) {
    if (window == nullptr || GetParent(window) != g_hwndBar) return -1;
    const int index = GetDlgCtrlID(window) - IDC_BUTTON_FIRST;
    if (index < 0 || index >= ButtonCount(g_buttonTable) || index >= kMaxButtons) return -1;
    return g_buttonWindows[index] == window ? index : -1;
}

// The focused button is the bar's default push button, drawn with the heavier frame; every other
// one is a plain push button.
void MarkFocusedButton(int focused) {
    const int count = ButtonCount(g_buttonTable);
    for (int i = 0; i < count && i < kMaxButtons; ++i) {
        HWND button = g_buttonWindows[i];
        if (button == nullptr) continue;
        const LONG style = GetWindowLongA(button, GWL_STYLE);
        const LONG wanted = i == focused ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        if ((style & BS_TYPEMASK) != wanted) SendMessageA(button, BM_SETSTYLE, static_cast<WPARAM>(wanted), TRUE);
    }
}

void FocusButton(int index) {
    if (index < 0 || index >= ButtonCount(g_buttonTable) || index >= kMaxButtons) return;
    HWND button = g_buttonWindows[index];
    if (button == nullptr) return;
    // Focus rectangles show from now on, as after any key press in a dialog.
    SendMessageA(g_hwndBar, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    ScrollSlotIntoView(index);
    // The mark first: whoever sees the focus move sees the mark already on its button.
    MarkFocusedButton(index);
    SetFocus(button);
}

bool OnBarKeyDown(const MSG& message) {
    if (GetKeyState(VK_CONTROL) < 0) return false;  // Ctrl with a key is never the bar's
    if (FilterKeyDown(message)) return true;        // the typed text and the matches first
    const BarKeyAction action =
        ClassifyBarKey(static_cast<unsigned>(message.wParam), GetKeyState(VK_SHIFT) < 0);
    const int current = ButtonIndexOf(GetFocus());
    switch (action) {
        case BarKeyAction::None: return false;
        case BarKeyAction::Hide: HideBar(); return true;
        case BarKeyAction::Open:
            // A held key opens once; a launch goes exactly the way of a click.
            if ((message.lParam & 0x40000000) == 0 && current >= 0) {
                SendMessageA(g_hwndBar, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_FIRST + current, BN_CLICKED),
                             reinterpret_cast<LPARAM>(g_buttonWindows[current]));
            }
            return true;
        default:
            FocusButton(MoveBarFocus(action, current, ButtonCount(g_buttonTable)));
            return true;
    }
}

// A typed character filters the bar (a single letter puts the focus on the first button whose
// name begins with it, as it always did).
bool OnBarCharacter(const MSG& message) {
    return FilterCharacter(message);
}

}  // namespace

bool IsBarWindow(HWND window) {
    return g_hwndBar != nullptr && window != nullptr && (window == g_hwndBar || IsChild(g_hwndBar, window));
}

void ReleasePopupHotKey(HWND bar) {
    if (s_registeredHotKey != 0) UnregisterHotKey(bar, kPopupHotKeyId);
    s_registeredHotKey = 0;
}

void RegisterPopupHotKey(HWND bar) {
    ReleasePopupHotKey(bar);
    g_popupHotKeyInUse = 0;
    const uint32_t hotKey = ReadPopupHotKey();
    if (hotKey == 0) return;
    if (RegisterHotKeyOn(bar, kPopupHotKeyId, hotKey)) {
        s_registeredHotKey = hotKey;
    } else {
        g_popupHotKeyInUse = 1;
    }
}

bool PopupHotKeyHeldElsewhere(HWND probe, uint32_t hotKey) {
    const HotKeyRegistration wanted = ToHotKeyRegistration(hotKey);
    if (wanted.virtualKey == 0) return false;
    const HotKeyRegistration ours = ToHotKeyRegistration(s_registeredHotKey);
    if (wanted.virtualKey == ours.virtualKey && wanted.modifiers == ours.modifiers) return false;
    if (!RegisterHotKeyOn(probe, kProbeHotKeyId, hotKey)) return true;
    UnregisterHotKey(probe, kProbeHotKeyId);
    return false;
}

void OnPopupHotKey(HWND bar, WPARAM id) {
    if (id != kPopupHotKeyId) return;
    if (!IsWindowEnabled(bar)) {
        // A dialog of the bar is open: it comes to the front instead.
        SetForegroundWindow(GetLastActivePopup(bar));
        return;
    }
    if (IsWindowVisible(bar) && GetForegroundWindow() == bar) {
        HideBar();
        return;
    }
    // As a left click on the tray icon shows it, then the focus on the top button.
    s_focusOnActivate = 0;
    ShowWindow(bar, SW_SHOWNORMAL);
    UpdateWindow(bar);
    SetActiveWindow(bar);
    SetForegroundWindow(bar);
    if (GetActiveWindow() == bar) {
        s_focusOnActivate = -1;
        FocusButton(0);
    }
}

LRESULT OnBarActivate(HWND bar, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = DefWindowProcA(bar, WM_ACTIVATE, wParam, lParam);
    if (LOWORD(wParam) == WA_INACTIVE) return result;
    if (s_focusOnActivate >= 0) {
        const int index = s_focusOnActivate;
        s_focusOnActivate = -1;
        FocusButton(index);
    } else {
        // Shown some other way: the mark goes where the focus now is (on no button, mostly).
        MarkFocusedButton(ButtonIndexOf(GetFocus()));
    }
    return result;
}

bool HandleBarKeyMessage(const MSG& message) {
    if (!IsBarWindow(message.hwnd)) return false;
    switch (message.message) {
        case WM_KEYDOWN: return OnBarKeyDown(message);
        case WM_CHAR: return OnBarCharacter(message);
        case WM_LBUTTONDOWN: {
            // A click moves the focus to the clicked button: the mark follows it.
            const int clicked = ButtonIndexOf(message.hwnd);
            if (clicked >= 0) MarkFocusedButton(clicked);
            return false;
        }
        default: return false;
    }
}
