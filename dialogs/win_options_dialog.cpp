// The Options dialog: auto-start at logon (the per-user Run value) and instant popup
// ("AutoPopup"). The check boxes are the dialog's only state; they are filled from the registry
// when it opens and written back, where the registry differs, when it closes.
#include "dialogs/win_dialogs.h"

#include "app/shared_state.h"
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

INT_PTR OnOptionsInit(HWND dialog) {
    CentreOnScreen(dialog);
    SetCheck(dialog, IDC_OPTIONS_AUTORUN, RunValueExists());
    SetCheck(dialog, IDC_OPTIONS_POPUP, ReadAutoPopup());
    return TRUE;  // let the system set the default focus
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

INT_PTR OnOptionsCommand(HWND dialog, WPARAM wParam) {
    const int id = LOWORD(wParam);
    if (id != IDOK && id != IDCANCEL) return FALSE;
    // Esc and the close box (IDCANCEL) apply the check boxes exactly as OK does.
    ApplyAutoStart(dialog);
    ApplyInstantPopup(dialog);
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
    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_OPTIONS), bar, OptionsDialogProc, 0);
}
