#include "dialogs/win_editor_dialogs.h"

#include "app/shared_state.h"
#include "app/win_dpi.h"
#include "app/win_state.h"
#include "dialogs/table_edits.h"
#include "dialogs/win_dialogs.h"
#include "dialogs/win_font_choice.h"
#include "res/resource.h"
#include "store/button_files.h"

namespace {

ButtonRecord& SelectedButton() {
    return g_buttonTable.records[SelectedRecord(g_buttonTable, g_selectedIndex)];
}

int CheckedAsChoice(HWND dialog) {
    return IsDlgButtonChecked(dialog, IDC_EDITOR_NEW_WINDOW) == BST_CHECKED ? 1 : 0;
}

// The editors' font button: the font dialog has no owner; whatever its result, the scratch
// becomes the chosen font.
void ChooseEditorFont() {
    RunFontChoice(nullptr);
    g_editorResult.chosenFont = StoredFontFromBarDpi(g_fontScratch);
    g_editorResult.fontChosen = 1;
}

// Shows the empty-field message for whichever of the two texts is empty; true when one was.
bool ReportEmptyField(HWND dialog, const char* url, const char* name) {
    if (url[0] == '\0') {
        MessageBoxA(dialog, "Please enter a URL", "Empty URL", MB_ICONINFORMATION);
        return true;
    }
    if (name[0] == '\0') {
        MessageBoxA(dialog, "Please enter a Button name", "Empty Name", MB_ICONINFORMATION);
        return true;
    }
    return false;
}

// ---- Edit Button (URL) ----

INT_PTR OnEditInit(HWND dialog) {
    CentreOnScreen(dialog);
    ButtonRecord& record = SelectedButton();
    SetDlgItemTextA(dialog, IDC_EDIT_URL, record.url);
    SetDlgItemTextA(dialog, IDC_EDIT_NAME, record.name);
    if (record.hasOwnFont == 1) {
        g_editorResult.chosenFont = record.ownFont;
        g_editorResult.fontChosen = 1;
    } else {
        g_editorResult.fontChosen = 0;
    }
    if (record.newWindow == 1) CheckDlgButton(dialog, IDC_EDITOR_NEW_WINDOW, BST_CHECKED);
    return TRUE;
}

void OnEditFont() {
    g_fontScratch = LogFontAtBarDpi(SelectedButton().ownFont);
    ChooseEditorFont();
}

// The texts go into the record before they are checked; a refused OK leaves them there.
void OnEditOk(HWND dialog) {
    ButtonRecord& record = SelectedButton();
    GetDlgItemTextA(dialog, IDC_EDIT_URL, record.url, static_cast<int>(sizeof record.url));
    CompleteTypedAddress(record.url, sizeof record.url);  // "news.example.org" opens as a web address
    GetDlgItemTextA(dialog, IDC_EDIT_NAME, record.name, kEditorNameLimit + 1);
    if (ReportEmptyField(dialog, record.url, record.name)) return;
    g_editorResult.newWindowChoice = CheckedAsChoice(dialog);
    // Saved by Setup once the box and the font are applied too: one write for the whole edit.
    EndDialog(dialog, IDOK);
}

INT_PTR OnEditCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDC_EDITOR_NEW_WINDOW: g_editorResult.newWindowChoice = CheckedAsChoice(dialog); return TRUE;
    case IDC_EDITOR_FONT: OnEditFont(); return TRUE;
    case IDOK: OnEditOk(dialog); return TRUE;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK EditDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    try {
        switch (message) {
        case WM_INITDIALOG: return OnEditInit(dialog);
        case WM_COMMAND: return OnEditCommand(dialog, wParam);
        default: return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

// ---- Add New URL ----

INT_PTR OnAddInit(HWND dialog) {
    CentreOnScreen(dialog);
    if (SelectedButton().newWindow == 1) CheckDlgButton(dialog, IDC_EDITOR_NEW_WINDOW, BST_CHECKED);
    g_editorResult.fontChosen = 0;
    if (g_dropPending == 1) {
        g_droppedText[sizeof g_droppedText - 1] = '\0';
        SetDlgItemTextA(dialog, IDC_ADD_URL, g_droppedText);
        g_dropPending = 0;
    } else {
        SetDlgItemTextA(dialog, IDC_ADD_URL, "http://");
    }
    return TRUE;
}

void OnAddOk(HWND dialog) {
    GetDlgItemTextA(dialog, IDC_ADD_URL, g_editorResult.addUrl, kAddUrlLimit + 1);
    CompleteTypedAddress(g_editorResult.addUrl, sizeof g_editorResult.addUrl);
    GetDlgItemTextA(dialog, IDC_ADD_NAME, g_editorResult.addName, kEditorNameLimit + 1);
    if (ReportEmptyField(dialog, g_editorResult.addUrl, g_editorResult.addName)) return;
    g_editorResult.newWindowChoice = CheckedAsChoice(dialog);
    EndDialog(dialog, IDOK);
}

INT_PTR OnAddCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDC_EDITOR_NEW_WINDOW: g_editorResult.newWindowChoice = CheckedAsChoice(dialog); return TRUE;
    case IDC_EDITOR_FONT: ChooseEditorFont(); return TRUE;  // the scratch as it stands
    case IDOK: OnAddOk(dialog); return TRUE;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK AddDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    try {
        switch (message) {
        case WM_INITDIALOG: return OnAddInit(dialog);
        case WM_COMMAND: return OnAddCommand(dialog, wParam);
        default: return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

INT_PTR RunAddDialog(HWND owner) {
    return DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ADD_BUTTON), owner, AddDialogProc, 0);
}

INT_PTR RunEditDialog(HWND owner) {
    return DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_EDIT_BUTTON), owner, EditDialogProc, 0);
}
