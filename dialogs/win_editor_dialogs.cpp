#include "dialogs/win_editor_dialogs.h"

#include "app/shared_state.h"
#include "app/win_dpi.h"
#include "app/win_state.h"
#include "dialogs/table_edits.h"
#include "dialogs/win_dialogs.h"
#include "dialogs/win_font_choice.h"
#include "res/resource.h"
#include "store/button_files.h"
#include "store/text_encoding.h"

#include <string>

namespace {

// The editors' four text boxes and how many bytes each may hold; typing, a paste or a program's
// text stops at the limit, between two characters.
struct TextLimit {
    int id;
    size_t limit;
};
constexpr TextLimit kTextLimits[] = {{IDC_EDIT_URL, kUrlSize - 1},
                                     {IDC_EDIT_NAME, kEditorNameLimit},
                                     {IDC_ADD_URL, kAddUrlLimit},
                                     {IDC_ADD_NAME, kEditorNameLimit}};
// What each box held when it last kept to its limit.
std::string s_accepted[sizeof kTextLimits / sizeof kTextLimits[0]];

std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) * 3 + 4, '\0');
    const int length = GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

// Sets a box's text without the limit getting in the way: what a record holds is shown whole.
void SetControlText(HWND dialog, int id, const char* text) {
    for (size_t i = 0; i < sizeof kTextLimits / sizeof kTextLimits[0]; ++i) {
        if (kTextLimits[i].id == id) s_accepted[i] = text;
    }
    SetDlgItemTextA(dialog, id, text);
}

// EN_CHANGE of a limited box: an edit that went past the limit is taken back to what fits.
void KeepToLimit(HWND dialog, int id) {
    for (size_t i = 0; i < sizeof kTextLimits / sizeof kTextLimits[0]; ++i) {
        if (kTextLimits[i].id != id) continue;
        const std::string typed = ControlText(dialog, id);
        size_t caret = 0;
        const std::string kept = FitEditedText(s_accepted[i], typed, kTextLimits[i].limit, &caret);
        s_accepted[i] = kept;
        if (kept == typed) return;
        HWND control = GetDlgItem(dialog, id);
        SetWindowTextA(control, kept.c_str());  // its EN_CHANGE finds the text fits
        const int position = MultiByteToWideChar(CP_ACP, 0, kept.data(), static_cast<int>(caret), nullptr, 0);
        SendMessageA(control, EM_SETSEL, static_cast<WPARAM>(position), static_cast<LPARAM>(position));
        return;
    }
}

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
    SetControlText(dialog, IDC_EDIT_URL, ShownField(record.url));
    SetControlText(dialog, IDC_EDIT_NAME, ShownField(record.name));
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

// The texts go into the record before they are checked; a refused OK leaves them there. A text
// left as the record showed it keeps its bytes.
void OnEditOk(HWND dialog) {
    ButtonRecord& record = SelectedButton();
    char url[ShownSize(kUrlSize)];
    CopyTextToField(url, sizeof url, ControlText(dialog, IDC_EDIT_URL).c_str());
    CompleteTypedAddress(url, kUrlSize);  // "news.example.org" opens as a web address
    StoreShownText(record.url, sizeof record.url, url);
    StoreShownText(record.name, sizeof record.name, ControlText(dialog, IDC_EDIT_NAME).c_str(), kEditorNameLimit);
    if (ReportEmptyField(dialog, record.url, record.name)) return;
    g_editorResult.newWindowChoice = CheckedAsChoice(dialog);
    // Saved by Setup once the box and the font are applied too: one write for the whole edit.
    EndDialog(dialog, IDOK);
}

INT_PTR OnEditCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDC_EDITOR_NEW_WINDOW: g_editorResult.newWindowChoice = CheckedAsChoice(dialog); return TRUE;
    case IDC_EDITOR_FONT: OnEditFont(); return TRUE;
    case IDC_EDIT_URL:
    case IDC_EDIT_NAME:
        if (HIWORD(wParam) == EN_CHANGE) KeepToLimit(dialog, LOWORD(wParam));
        return FALSE;
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
        SetControlText(dialog, IDC_ADD_URL, g_droppedText);
        g_dropPending = 0;
    } else {
        SetControlText(dialog, IDC_ADD_URL, "http://");
    }
    SetControlText(dialog, IDC_ADD_NAME, "");
    return TRUE;
}

void OnAddOk(HWND dialog) {
    CopyTextToField(g_editorResult.addUrl, kAddUrlLimit + 1, ControlText(dialog, IDC_ADD_URL).c_str());
    CompleteTypedAddress(g_editorResult.addUrl, sizeof g_editorResult.addUrl);
    CopyTextToField(g_editorResult.addName, kEditorNameLimit + 1, ControlText(dialog, IDC_ADD_NAME).c_str());
    if (ReportEmptyField(dialog, g_editorResult.addUrl, g_editorResult.addName)) return;
    g_editorResult.newWindowChoice = CheckedAsChoice(dialog);
    EndDialog(dialog, IDOK);
}

INT_PTR OnAddCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDC_EDITOR_NEW_WINDOW: g_editorResult.newWindowChoice = CheckedAsChoice(dialog); return TRUE;
    case IDC_EDITOR_FONT: ChooseEditorFont(); return TRUE;  // the scratch as it stands
    case IDC_ADD_URL:
    case IDC_ADD_NAME:
        if (HIWORD(wParam) == EN_CHANGE) KeepToLimit(dialog, LOWORD(wParam));
        return FALSE;
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
