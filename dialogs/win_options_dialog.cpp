// The Options dialog: auto-start at logon (the per-user Run value), instant popup ("AutoPopup"),
// the buttons' site icons ("ShowSiteIcons") and the popup hotkey ("PopupHotKey"). The controls are the dialog's only state; they are
// filled from the registry when it opens and written back, where the registry differs, when it
// closes.
#include "dialogs/win_dialogs.h"

#include <commctrl.h>

#include "app/bar_messages.h"
#include "app/shared_state.h"
#include "app/win_site_icons.h"
#include "app/win_state.h"
#include "res/resource.h"
#include "store/settings.h"

namespace {

void SetCheck(HWND dialog, int id, bool checked) {
    SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

const char kHotKeyInUseText[] = "In use by another program";

// The hotkey as the control holds it, in the "PopupHotKey" format; 0 when it is empty.
uint32_t ShownHotKey(HWND dialog) {
    const uint32_t hotKey = static_cast<uint32_t>(SendDlgItemMessageA(dialog, IDC_OPTIONS_HOTKEY, HKM_GETHOTKEY, 0, 0));
    return (hotKey & 0xFF) == 0 ? 0 : (hotKey & 0xFFFF);
}

void ShowHotKeyInUse(HWND dialog, bool inUse) {
    SetDlgItemTextA(dialog, IDC_OPTIONS_HOTKEY_IN_USE, inUse ? kHotKeyInUseText : "");
}

INT_PTR OnOptionsInit(HWND dialog) {
    CentreOnScreen(dialog);
    SetCheck(dialog, IDC_OPTIONS_AUTORUN, RunValueExists());
    SetCheck(dialog, IDC_OPTIONS_POPUP, ReadAutoPopup());
    SetCheck(dialog, IDC_OPTIONS_SITE_ICONS, ReadShowSiteIcons());
    // A key without Alt, Ctrl or Shift, or with Shift alone, would take a character from every
    // program: the control adds Alt to it.
    SendDlgItemMessageA(dialog, IDC_OPTIONS_HOTKEY, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S, MAKELPARAM(HOTKEYF_ALT, 0));
    SendDlgItemMessageA(dialog, IDC_OPTIONS_HOTKEY, HKM_SETHOTKEY, ReadPopupHotKey() & 0xFFFF, 0);
    ShowHotKeyInUse(dialog, g_popupHotKeyInUse != 0);
    return TRUE;  // let the system set the default focus
}

// A new key in the control: whether another program holds it shows at once.
void OnHotKeyChanged(HWND dialog) {
    const LRESULT held = SendMessageA(g_hwndBar, WM_BAR_HOTKEY, kHotKeyProbe, static_cast<LPARAM>(ShownHotKey(dialog)));
    ShowHotKeyInUse(dialog, held != 0);
}

// The registry is asked again at this moment rather than compared with what was shown at
// opening, so a value is touched only where it differs from its check box now. A value written
// by someone else (a Run value with another path, an "AutoPopup" of 2) stays as it is when the
// check box agrees with how it reads.
void ApplyAutoStart(HWND dialog) {
    const bool wanted = IsChecked(dialog, IDC_OPTIONS_AUTORUN);
    const bool present = RunValueExists();
    if (wanted && !present) {
        SetRunValue(g_quotedProgramPath);
    } else if (!wanted && present) {
        DeleteRunValue();
    }
}

// SetAutoPopup also sets the instant popup flag, so the tray's next mouse move sees the change.
void ApplyInstantPopup(HWND dialog) {
    const bool wanted = IsChecked(dialog, IDC_OPTIONS_POPUP);
    const bool on = ReadAutoPopup();
    if (wanted != on) SetAutoPopup(wanted);
}

// Switched icons are stored, and the buttons gain or lose theirs at once.
void ApplySiteIcons(HWND dialog) {
    const bool wanted = IsChecked(dialog, IDC_OPTIONS_SITE_ICONS);
    if (wanted != ReadShowSiteIcons() || wanted != (g_showSiteIcons != 0)) SwitchButtonIcons(wanted);
}

// A changed hotkey is stored; the bar registers it as the dialog ends.
void ApplyPopupHotKey(HWND dialog) {
    const uint32_t wanted = ShownHotKey(dialog);
    if (wanted != ReadPopupHotKey()) SetPopupHotKey(wanted);
}

INT_PTR OnOptionsCommand(HWND dialog, WPARAM wParam) {
    const int id = LOWORD(wParam);
    if (id == IDC_OPTIONS_HOTKEY) {
        OnHotKeyChanged(dialog);
        return TRUE;
    }
    if (id != IDOK && id != IDCANCEL) return FALSE;
    // Esc and the close box (IDCANCEL) apply the controls exactly as OK does.
    ApplyAutoStart(dialog);
    ApplyInstantPopup(dialog);
    ApplyPopupHotKey(dialog);
    ApplySiteIcons(dialog);
    EndDialog(dialog, id);
    return TRUE;
}

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    try {
        switch (message) {
        case WM_INITDIALOG: return OnOptionsInit(dialog);
        case WM_COMMAND:    return OnOptionsCommand(dialog, wParam);
        default:            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

void RunOptionsDialog(HWND bar) {
    // The hotkey control's class comes from the common controls.
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&controls);
    // While the dialog is open the hotkey is released, so that pressing it in the hotkey
    // control reaches the control; afterwards the stored one (maybe new) is registered, which
    // also tries again one that another program held before.
    // The bar owns the registration; it is asked, so this dialog calls none of its functions.
    SendMessageA(bar, WM_BAR_HOTKEY, kHotKeyRelease, 0);
    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_OPTIONS), bar, OptionsDialogProc, 0);
    SendMessageA(bar, WM_BAR_HOTKEY, kHotKeyApply, 0);
}
