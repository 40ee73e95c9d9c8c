// The Import Bookmarks dialog (template 153): a list with a check box for every bookmark that
// can become a button, ways to check all, none or one folder's bookmarks, a line with how many
// are chosen and how many places the bar has free, and a line with what was left out and why.
// OK appends the chosen ones after the buttons, saves once and has the bar rebuilt once.
#include "dialogs/win_dialogs.h"

#include <commctrl.h>

#include <iterator>
#include <numeric>
#include <string>
#include <utility>
#include <vector>
#include "app/bar_messages.h"
#include "app/win_site_icons.h"
#include "app/win_state.h"
#include "res/resource.h"
#include "store/bookmark_import.h"
#include "store/button_files.h"

namespace {

struct ImportState {
    HWND bar = nullptr;
    ImportList list;
    std::vector<std::string> folders;  // the folder choices, in the drop-down list's order
    size_t chosen = 0;
    bool settingChecks = false;        // the count is set once the whole change is made
};

const char kTopLevel[] = "(top level)";

// Null until WM_INITDIALOG has stored it.
ImportState* State(HWND dialog) { return reinterpret_cast<ImportState*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_IMPORT_LIST); }

bool CheckedState(UINT state) { return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2); }

void ShowChosen(HWND dialog, const ImportState& state) {
    SetDlgItemTextA(dialog, IDC_IMPORT_CHOSEN,
                    ChosenLine(state.chosen, state.list.rows.size(), FreePlaces(g_buttonTable)).c_str());
}

void AddColumns(HWND list) {
    RECT client;
    GetClientRect(list, &client);
    const int width = client.right - GetSystemMetrics(SM_CXVSCROLL);
    const char* const titles[] = {"Name", "Address", "Folder"};
    const int widths[] = {width * 3 / 10, width * 9 / 20, width - width * 3 / 10 - width * 9 / 20};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char*>(titles[i]);
        column.cx = widths[i];
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

// The list does not draw, nor work out its scroll bars, while many rows change: with that after
// every row, 10,000 rows took seconds to go in.
class ListFrozen {
public:
    explicit ListFrozen(HWND list) : list_(list) { SendMessageA(list_, WM_SETREDRAW, FALSE, 0); }
    ~ListFrozen() {
        SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list_, nullptr, TRUE);
    }
    ListFrozen(const ListFrozen&) = delete;
    ListFrozen& operator=(const ListFrozen&) = delete;

private:
    HWND list_;
};

// The rows' texts are asked for as they are shown (LVN_GETDISPINFO), so even a long list goes
// in quickly.
void AddRows(HWND list, const ImportState& state) {
    const ListFrozen frozen(list);
    SendMessageA(list, LVM_SETITEMCOUNT, state.list.rows.size(), 0);
    for (size_t i = 0; i < state.list.rows.size(); ++i) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = LPSTR_TEXTCALLBACKA;
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void SetCheck(HWND list, size_t row, bool checked) {
    LVITEMA item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

// Checks exactly the rows `wanted` answers true for.
template <typename Wanted>
void SetChecks(HWND dialog, ImportState& state, Wanted wanted) {
    HWND list = List(dialog);
    state.settingChecks = true;
    size_t chosen = 0;
    {
        const ListFrozen frozen(list);
        for (size_t i = 0; i < state.list.rows.size(); ++i) {
            const bool checked = wanted(i);
            SetCheck(list, i, checked);
            if (checked) ++chosen;
        }
    }
    state.settingChecks = false;
    state.chosen = chosen;
    ShowChosen(dialog, state);
}

void FillFolders(HWND dialog, ImportState& state) {
    state.folders = FolderChoices(state.list);
    for (const std::string& folder : state.folders) {
        const char* shown = folder.empty() ? kTopLevel : folder.c_str();
        SendDlgItemMessageA(dialog, IDC_IMPORT_FOLDER, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown));
    }
    EnableWindow(GetDlgItem(dialog, IDC_IMPORT_FOLDER), state.folders.size() > 1 ? TRUE : FALSE);
}

INT_PTR OnImportInit(HWND dialog, LPARAM param) {
    SetWindowLongPtrA(dialog, DWLP_USER, param);
    ImportState& state = *State(dialog);
    CentreOnScreen(dialog);
    HWND list = List(dialog);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    AddColumns(list);
    state.settingChecks = true;
    AddRows(list, state);
    state.settingChecks = false;
    const bool all = StartChecked(state.list, g_buttonTable);
    SetChecks(dialog, state, [all](size_t) { return all; });
    SetDlgItemTextA(dialog, IDC_IMPORT_LEFT_OUT, LeftOutLine(state.list).c_str());
    FillFolders(dialog, state);
    if (!state.list.rows.empty()) {
        LVITEMA item{};
        item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
        item.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    }
    SetFocus(list);
    return FALSE;  // the focus is set
}

void OnFolderChosen(HWND dialog, ImportState& state) {
    const LRESULT selection = SendDlgItemMessageA(dialog, IDC_IMPORT_FOLDER, CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR || static_cast<size_t>(selection) >= state.folders.size()) return;
    const std::string& folder = state.folders[static_cast<size_t>(selection)];
    SetChecks(dialog, state, [&](size_t row) { return RowInFolder(state.list, row, folder); });
}

void OnSelectAllOrNone(HWND dialog, ImportState& state, bool all) {
    SendDlgItemMessageA(dialog, IDC_IMPORT_FOLDER, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetChecks(dialog, state, [all](size_t) { return all; });
}

// The chosen rows go in after the buttons, or, when they do not fit, the user is told and the
// dialog stays. Nothing chosen changes nothing.
void OnImportOk(HWND dialog, ImportState& state) {
    HWND list = List(dialog);
    std::vector<size_t> chosen;
    for (size_t i = 0; i < state.list.rows.size(); ++i) {
        if (CheckedState(static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK)))) {
            chosen.push_back(i);
        }
    }
    if (!chosen.empty()) {
        if (!AppendImported(g_buttonTable, state.list, chosen)) {
            MessageBoxA(dialog, TooManyMessage(chosen.size(), FreePlaces(g_buttonTable)).c_str(), kImportCaption,
                        MB_OK | MB_ICONWARNING);
            return;
        }
        SaveButtonFile();
        // The icons the file carried reach the cache before the rebuild asks for the sites.
        std::vector<std::pair<std::string, std::string>> carried;
        for (size_t row : chosen) {
            const ImportRow& bookmark = state.list.rows[row];
            if (!bookmark.icon.empty()) carried.emplace_back(bookmark.url, bookmark.icon);
        }
        KeepCarriedIcons(carried);
        PostMessageA(state.bar, WM_BAR_RELAYOUT, 0, 0);
    }
    EndDialog(dialog, IDOK);
}

void OnRowText(const ImportState& state, NMLVDISPINFOA& info) {
    if ((info.item.mask & LVIF_TEXT) == 0 || info.item.pszText == nullptr || info.item.cchTextMax <= 0) return;
    if (info.item.iItem < 0 || static_cast<size_t>(info.item.iItem) >= state.list.rows.size()) return;
    const ImportRow& row = state.list.rows[static_cast<size_t>(info.item.iItem)];
    const std::string& text = info.item.iSubItem == 0   ? row.name
                              : info.item.iSubItem == 1 ? row.url
                                                        : state.list.folders[row.folder];
    CopyTextToField(info.item.pszText, static_cast<size_t>(info.item.cchTextMax), text.c_str());
}

// A check box the user clicked (or toggled with Space) moves the count.
void OnRowChanged(HWND dialog, ImportState& state, const NMLISTVIEW& change) {
    if (state.settingChecks || change.iItem < 0 || (change.uChanged & LVIF_STATE) == 0) return;
    const bool was = CheckedState(change.uOldState);
    const bool is = CheckedState(change.uNewState);
    if (was == is) return;
    if (is) {
        ++state.chosen;
    } else if (state.chosen > 0) {
        --state.chosen;
    }
    ShowChosen(dialog, state);
}

INT_PTR OnImportNotify(HWND dialog, const NMHDR* header) {
    ImportState* state = State(dialog);
    if (state == nullptr || header == nullptr || header->idFrom != IDC_IMPORT_LIST) return FALSE;
    if (header->code == LVN_GETDISPINFOA) {
        OnRowText(*state, *reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(header)));
    } else if (header->code == LVN_ITEMCHANGED) {
        OnRowChanged(dialog, *state, *reinterpret_cast<const NMLISTVIEW*>(header));
    }
    return FALSE;
}

INT_PTR OnImportCommand(HWND dialog, WPARAM wParam) {
    if (State(dialog) == nullptr) return FALSE;
    ImportState& state = *State(dialog);
    switch (LOWORD(wParam)) {
    case IDC_IMPORT_ALL: OnSelectAllOrNone(dialog, state, true); return TRUE;
    case IDC_IMPORT_NONE: OnSelectAllOrNone(dialog, state, false); return TRUE;
    case IDC_IMPORT_FOLDER:
        if (HIWORD(wParam) == CBN_SELCHANGE) OnFolderChosen(dialog, state);
        return TRUE;
    case IDOK: OnImportOk(dialog, state); return TRUE;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK ImportDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_INITDIALOG: return OnImportInit(dialog, lParam);
        case WM_COMMAND: return OnImportCommand(dialog, wParam);
        case WM_NOTIFY: return OnImportNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
        default: return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

void RunImportDialog(HWND bar, const std::vector<ImportSource>& sources) {
    ImportState state;
    state.bar = bar;
    state.list = BuildImportList(sources, g_buttonTable);
    for (const std::string& problem : state.list.problems) {
        MessageBoxA(bar, problem.c_str(), kImportCaption, MB_OK | MB_ICONWARNING);
    }
    const size_t leftOut = std::accumulate(std::begin(state.list.leftOut), std::end(state.list.leftOut), size_t{0});
    // Every source that gave nothing has been reported.
    if (state.list.rows.empty() && leftOut == 0) return;
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_IMPORT_BOOKMARKS), bar, ImportDialogProc,
                    reinterpret_cast<LPARAM>(&state));
}
