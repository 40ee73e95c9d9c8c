// The Setup dialog (template 140): lists the buttons and edits the Button table in place. Every
// change is saved at once and the bar is told to rebuild through its private messages, which
// this dialog's modal loop dispatches while it stays open. The bar keeps its button windows
// through a change and brings them in line with the table when it rebuilds.
#include "dialogs/win_dialogs.h"

#include <climits>

#include <commdlg.h>
#include <shellapi.h>
#include <initializer_list>
#include "app/bar_messages.h"
#include "app/layout.h"
#include "app/shared_state.h"
#include "app/win_bar.h"
#include "app/win_dpi.h"
#include "app/win_state.h"
#include "dialogs/table_edits.h"
#include "dialogs/win_editor_dialogs.h"
#include "dialogs/win_font_choice.h"
#include "res/resource.h"
#include "store/button_files.h"
#include "store/settings.h"


namespace {

// The open Setup dialog, and the message that tells it to show the table again.
HWND s_setupDialog;
constexpr UINT kRefreshMessage = WM_APP + 1;

// Emptied before each file dialog; shared by "Save current buttons..." and "Load button file...".
char g_fileDialogPath[kPathSize];

const char kButtonFileFilter[] = "Brisklet Button Files (*.bklt)\0*.bklt\0";
const char kCurrentFileValue[] = "CurrentButtonFileName";

LRESULT SendList(HWND dialog, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageA(dialog, IDC_SETUP_LIST, message, wParam, lParam);
}

void SelectListItem(HWND dialog, int index) { SendList(dialog, CB_SETCURSEL, static_cast<WPARAM>(index)); }

void AddNamesToList(HWND dialog) {
    for (int i = 0; i < ButtonCount(g_buttonTable); ++i)
        SendList(dialog, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ShownField(g_buttonTable.records[i].name)));
}

void ShowFavouriteUrl(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_SETUP_FAVOURITE, ShownField(g_buttonTable.favouriteUrl));
}

void FillList(HWND dialog) {
    AddNamesToList(dialog);
    g_selectedIndex = 0;
    SelectListItem(dialog, 0);
}

void ClearList(HWND dialog) {
    for (int i = 0; i < ButtonCount(g_buttonTable); ++i) SendList(dialog, CB_DELETESTRING, 0);
}

void SetCheck(HWND dialog, int id, uint8_t flag) {
    SendDlgItemMessageA(dialog, id, BM_SETCHECK, flag == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

// "Move up" and "Move down" are enabled where the selected record can move. A button that
// loses its enabled state while it has the focus hands the focus to the list.
void UpdateMoveButtons(HWND dialog) {
    const int index = SelectedRecord(g_buttonTable, g_selectedIndex);
    for (int id : {IDC_SETUP_MOVE_UP, IDC_SETUP_MOVE_DOWN}) {
        HWND button = GetDlgItem(dialog, id);
        const bool enabled = CanMoveButton(g_buttonTable, index, id == IDC_SETUP_MOVE_UP ? -1 : 1);
        if (!enabled && GetFocus() == button) {
            HWND other = GetDlgItem(dialog, id == IDC_SETUP_MOVE_UP ? IDC_SETUP_MOVE_DOWN : IDC_SETUP_MOVE_UP);
            HWND next = IsWindowEnabled(other) ? other : GetDlgItem(dialog, IDC_SETUP_LIST);
            SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
        }
        EnableWindow(button, enabled ? TRUE : FALSE);
    }
}

void RefreshFields(HWND dialog) {
    ShowFavouriteUrl(dialog);
    SetDlgItemTextA(dialog, IDC_SETUP_FILE_PATH, g_currentButtonFile);
    FillList(dialog);
    SetCheck(dialog, IDC_SETUP_SAME_FONT, g_buttonTable.sameFont);
    SetCheck(dialog, IDC_SETUP_WIDE, g_buttonTable.wide);
}

void PostToBar(UINT message, LPARAM lParam = 0) { PostMessageA(g_hwndBar, message, 0, lParam); }

void InvalidateBar() { InvalidateRect(g_hwndBar, nullptr, TRUE); }

// Moves the bar to where it belongs with `count` buttons (more columns, a new width, may come
// with the count).
void PlaceBarFor(int count) {
    g_layout = LayoutForCount(ReadScreenMetrics(), g_buttonTable, count);
    MoveBarToLayout();
}

// Why an Add was refused, in the program's own words; the pending drop is dropped.
void ReportAddRefusal(HWND dialog, AddRefusal refusal) {
    if (refusal == AddRefusal::TableFull) {
        MessageBoxA(dialog, "Maximum of 100 buttons reached - Please delete an existing Button",
                    "Maximum number of buttons reached", MB_OK);
    } else {
        MessageBoxA(dialog, "Not enough room - Please edit or delete an existing Button",
                    "Maximum number of buttons reached", MB_OK);
    }
    g_dropPending = 0;
}

void OnAdd(HWND dialog) {
    ComputeLayout();
    MoveBarToLayout();
    // Inside a known work area the buttons flow into columns, so one more always finds room;
    // only a bar placed without one is judged by the room above its top.
    const AddRefusal refusal = CheckAddAllowed(g_buttonTable, g_layout.inWorkArea ? INT_MAX : g_layout.barY);
    if (refusal != AddRefusal::None) {
        ReportAddRefusal(dialog, refusal);
        return;
    }
    if (RunAddDialog(dialog) != IDOK) return;

    ClearList(dialog);
    InsertButtonAtTop(g_buttonTable, g_editorResult);  // the checks above leave room for it
    AddNamesToList(dialog);
    SelectListItem(dialog, SelectedRecord(g_buttonTable, g_selectedIndex));

    PlaceBarFor(ButtonCount(g_buttonTable));
    PostToBar(WM_BAR_REBUILD);
    InvalidateBar();
    SaveButtonFile();
    ShowFavouriteUrl(dialog);
    g_selectedIndex = 0;
    SelectListItem(dialog, 0);
}

void OnDelete(HWND dialog) {
    if (ButtonCount(g_buttonTable) <= 1) {
        MessageBoxA(dialog, "Cannot delete last button. At least one button must be available.",
                    "Last Button", MB_ICONWARNING);
        return;
    }
    const int index = SelectedRecord(g_buttonTable, g_selectedIndex);
    char question[ShownSize(kNameSize) + 64];
    wsprintfA(question, "Delete - %s. Are you sure?", ShownField(g_buttonTable.records[index].name));
    if (MessageBoxA(dialog, question, "Delete Button (URL)", MB_YESNO | MB_ICONWARNING) != IDYES) return;

    ClearList(dialog);
    DeleteButton(g_buttonTable, index);
    PlaceBarFor(ButtonCount(g_buttonTable));
    PostToBar(WM_BAR_CREATEBUTTONS, 1);
    InvalidateBar();
    SaveButtonFile();
    ShowFavouriteUrl(dialog);
    FillList(dialog);
}

void OnEdit(HWND dialog) {
    if (RunEditDialog(dialog) == IDCANCEL) return;
    ClearList(dialog);
    AddNamesToList(dialog);
    const int index = SelectedRecord(g_buttonTable, g_selectedIndex);
    SelectListItem(dialog, index);
    ApplyEditResult(g_buttonTable.records[index], g_editorResult);
    SaveButtonFile();
    PostToBar(WM_BAR_RELAYOUT);
}

// "Move up" (-1) and "Move down" (+1): the selected record changes places with its neighbour,
// the table is saved, the bar rebuilt, and the moved button stays selected.
void OnMove(HWND dialog, int direction) {
    const int index = SelectedRecord(g_buttonTable, g_selectedIndex);
    if (!CanMoveButton(g_buttonTable, index, direction)) return;
    ClearList(dialog);
    g_selectedIndex = MoveButton(g_buttonTable, index, direction);
    SaveButtonFile();
    PostToBar(WM_BAR_RELAYOUT);
    AddNamesToList(dialog);
    SelectListItem(dialog, g_selectedIndex);
}

void OnTestUrl() {
    const int index = SelectedRecord(g_buttonTable, g_selectedIndex);
    ShellExecuteA(nullptr, "open", ShownField(g_buttonTable.records[index].url), nullptr, nullptr, SW_SHOWNORMAL);
}

void OnListSelChange(HWND dialog) {
    const LRESULT selection = SendList(dialog, CB_GETCURSEL);
    if (selection == CB_ERR) return;  // nothing selected: keep the record we had
    g_selectedIndex = static_cast<int32_t>(selection);
    SelectListItem(dialog, g_selectedIndex);
}

// Shows the Save As or Open dialog on the Button folder; the chosen path is in g_fileDialogPath.
bool AskForButtonFile(HWND dialog, bool forSaving) {
    g_fileDialogPath[0] = '\0';
    const DWORD flags = forSaving ? OFN_PATHMUSTEXIST : (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    return AskForFileName(dialog, forSaving, kButtonFileFilter, g_buttonFolder, nullptr, flags, g_fileDialogPath,
                          sizeof g_fileDialogPath);
}

void MakeCurrentButtonFile(const char* path) {
    CopyTextToField(g_currentButtonFile, sizeof g_currentButtonFile, path);
    SetRegistryString(RegRoot::CurrentUser, kBriskletKeyPath, kCurrentFileValue, g_currentButtonFile);
}

void OnSaveAs(HWND dialog) {
    if (!AskForButtonFile(dialog, true)) return;
    if (!ApplyButtonFileExtension(g_fileDialogPath, sizeof g_fileDialogPath)) {
        MessageBoxA(dialog, "The file name is too long - Please choose a shorter name", "Brisklet", MB_OK);
        return;
    }
    // The new file is remembered only once it is written whole (the save records it): cut off in
    // between, the next start finds the previous file, not a name with nothing behind it. A new
    // file that cannot be written leaves the previous one current.
    char previous[sizeof g_currentButtonFile];
    CopyTextToField(previous, sizeof previous, g_currentButtonFile);
    CopyTextToField(g_currentButtonFile, sizeof g_currentButtonFile, g_fileDialogPath);
    if (!SaveButtonFile()) CopyTextToField(g_currentButtonFile, sizeof g_currentButtonFile, previous);
    SetDlgItemTextA(dialog, IDC_SETUP_FILE_PATH, g_currentButtonFile);
}

void OnLoad(HWND dialog) {
    if (!AskForButtonFile(dialog, false)) return;
    MakeCurrentButtonFile(g_fileDialogPath);
    ClearList(dialog);
    ReloadButtonFile();
    RefreshFields(dialog);
    PostToBar(WM_BAR_RELAYOUT);
    SetDlgItemTextA(dialog, IDC_SETUP_FILE_PATH, g_currentButtonFile);
    SaveButtonFile();
}

void SortAndRelayout(SortOrder order) {
    SortButtons(g_buttonTable, order);
    SaveButtonFile();
    PostToBar(WM_BAR_RELAYOUT);
}

void OnSort(HWND dialog, SortOrder order) {
    ClearList(dialog);
    SortAndRelayout(order);
    FillList(dialog);
    SaveButtonFile();
}

// Either check box: the flag follows the box, and the bar is built again.
void OnDisplaySwitch(HWND dialog, int id, uint8_t& flag) {
    flag = IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
    SaveButtonFile();
    PostToBar(WM_BAR_RELAYOUT);
}

// The global font: whatever the font dialog answers, the scratch becomes the bar font and the
// table's global font. The bar deletes its font at the next ApplyFonts, not here.
void OnGlobalFont(HWND dialog) {
    RunFontChoice(dialog);
    g_barFont = CreateFontIndirectA(&g_fontScratch);
    g_buttonTable.globalFont = StoredFontFromBarDpi(g_fontScratch);
    SaveButtonFile();
    PostToBar(WM_BAR_APPLYFONTS);
}

void OnClose(HWND dialog, int id) {
    char favourite[ShownSize(kUrlSize)];
    GetDlgItemTextA(dialog, IDC_SETUP_FAVOURITE, favourite, static_cast<int>(sizeof favourite));
    StoreFavouriteUrl(g_buttonTable, favourite);
    UpdateTrayTip();
    SaveButtonFile();
    s_setupDialog = nullptr;
    EndDialog(dialog, id);
}

INT_PTR OnSetupInit(HWND dialog) {
    s_setupDialog = dialog;
    CentreOnScreen(dialog);
    RefreshFields(dialog);
    UpdateMoveButtons(dialog);
    if (g_dropPending == 1) PostMessageA(dialog, WM_COMMAND, IDC_SETUP_ADD, 0);
    return TRUE;
}

INT_PTR DispatchSetupCommand(HWND dialog, WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
    case IDC_SETUP_MOVE_UP: OnMove(dialog, -1); return TRUE;
    case IDC_SETUP_MOVE_DOWN: OnMove(dialog, 1); return TRUE;
    case IDC_SETUP_ADD: OnAdd(dialog); return TRUE;
    case IDC_SETUP_DELETE: OnDelete(dialog); return TRUE;
    case IDC_SETUP_EDIT: OnEdit(dialog); return TRUE;
    case IDC_SETUP_TEST: OnTestUrl(); return TRUE;
    case IDC_SETUP_LIST:
        if (code == CBN_SELCHANGE) OnListSelChange(dialog);
        return TRUE;
    case IDC_SETUP_SAVE_AS: OnSaveAs(dialog); return TRUE;
    case IDC_SETUP_LOAD: OnLoad(dialog); return TRUE;
    case IDC_SETUP_SORT_UP: OnSort(dialog, SortOrder::TopDown); return TRUE;
    case IDC_SETUP_SORT_DOWN: OnSort(dialog, SortOrder::BottomUp); return TRUE;
    case IDC_SETUP_SAME_FONT:
        if (code == BN_CLICKED) OnDisplaySwitch(dialog, id, g_buttonTable.sameFont);
        return TRUE;
    case IDC_SETUP_WIDE:
        if (code == BN_CLICKED) OnDisplaySwitch(dialog, id, g_buttonTable.wide);
        return TRUE;
    case IDC_SETUP_GLOBAL_FONT: OnGlobalFont(dialog); return TRUE;
    case IDOK:
    case IDCANCEL: OnClose(dialog, id); return TRUE;
    default: return FALSE;
    }
}

// The table changed under the dialog: the list, the fields and the switches show it again.
void OnRefresh(HWND dialog) {
    SendList(dialog, CB_RESETCONTENT);
    RefreshFields(dialog);
    UpdateMoveButtons(dialog);
}

INT_PTR OnSetupCommand(HWND dialog, WPARAM wParam) {
    const INT_PTR handled = DispatchSetupCommand(dialog, wParam);
    // Whatever the command changed (the selection, the count, the order), the two move buttons
    // follow it.
    if (handled != FALSE && IsWindow(dialog)) UpdateMoveButtons(dialog);
    return handled;
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    try {
        switch (message) {
        case WM_INITDIALOG: return OnSetupInit(dialog);
        case WM_COMMAND: return OnSetupCommand(dialog, wParam);
        case kRefreshMessage: OnRefresh(dialog); return TRUE;
        default: return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

void RefreshSetupDialog() {
    if (s_setupDialog != nullptr) PostMessageA(s_setupDialog, kRefreshMessage, 0, 0);
}

void RunSetupDialog(HWND bar) {
    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_SETUP), bar, SetupDialogProc, 0);
    s_setupDialog = nullptr;
}
