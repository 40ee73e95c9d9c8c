// The Button bar window: layout, button windows, fonts, menu commands, the private messages and
// the help command. The window procedure is a dispatch list of small handlers below.
#include "app/win_bar.h"

#include <cstring>

#include "app/bar_messages.h"
#include "app/layout.h"
#include "app/shared_state.h"
#include "app/startup_rules.h"
#include "app/win_bar_keys.h"
#include "app/win_state.h"
#include "app/win_tray.h"
#include "dialogs/win_dialogs.h"
#include "res/resource.h"
#include "store/button_files.h"
#include "store/button_table.h"
#include "store/settings.h"

namespace {

// The bar served by the procedure. g_hwndBar is only set once creation has finished, but the
// bar's own handlers (WM_CREATE first of all) need the handle before that.
HWND s_bar;

// Fonts made for buttons whose record has its own font, kept while those buttons use them and
// released by the next ApplyFonts once the new fonts are set.
HFONT s_buttonFonts[kMaxButtons];

// The HTML Help control, loaded on first use.
using HtmlHelpEntry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
HMODULE s_helpModule;
HtmlHelpEntry s_helpEntry;
int s_helpFailed;

HMENU BarMenu() {
    return g_hMenu != nullptr ? g_hMenu : GetMenu(s_bar);
}

// A record's name, cut to its field even when a loaded table left it unterminated.
void RecordName(int index, char (&name)[kNameSize]) {
    CopyTextToField(name, sizeof name, g_buttonTable.records[index].name);
}

// Whether hwnd is the button window this program made for slot index and still exists.
bool IsOurButton(HWND hwnd, int index) {
    return hwnd != nullptr && IsWindow(hwnd) && GetParent(hwnd) == s_bar &&
           GetDlgCtrlID(hwnd) == IDC_BUTTON_FIRST + index;
}

void PostToBar(UINT message) {
    PostMessageA(s_bar, message, 0, 0);
}

// Relayout as WM_BAR_RELAYOUT does it: new place and size, new buttons, repaint, and the font
// step queued behind.
void Relayout() {
    ComputeLayout();
    MoveBarToLayout();
    CreateButtonWindows();
    UpdateWindow(s_bar);
    InvalidateRect(s_bar, nullptr, TRUE);
    PostToBar(WM_BAR_APPLYFONTS);
}

void RebuildButtons() {
    CreateButtonWindows();
    PostToBar(WM_BAR_APPLYFONTS);
    InvalidateRect(s_bar, nullptr, TRUE);
    SaveButtonFile();
}

void ActivateBar() {
    ShowWindow(s_bar, SW_SHOWNORMAL);
    SetActiveWindow(s_bar);
    SetForegroundWindow(s_bar);
}

// A second start hands over its Button file. The path comes with the request when the second
// start sends it (WM_COPYDATA tagged WM_BAR_RELOADFILE); otherwise it is read from the registry
// value the second start wrote, which a save of this bar may have overwritten in between.
void ReloadCurrentFile(const char* handedOver) {
    DestroyButtonWindows();
    if (handedOver != nullptr) {
        CopyTextToField(g_currentButtonFile, sizeof g_currentButtonFile, handedOver);
    } else {
        ReadCurrentButtonFileName(g_currentButtonFile, sizeof g_currentButtonFile);
    }
    ReloadButtonFile();
    PostToBar(WM_BAR_SHOWRELAID);
}

LRESULT OnCopyData(const COPYDATASTRUCT* data) {
    // Only a terminated path that fits is taken; anything else is not ours to handle.
    if (data == nullptr || data->dwData != WM_BAR_RELOADFILE || data->lpData == nullptr || data->cbData == 0 ||
        data->cbData > sizeof g_currentButtonFile || std::memchr(data->lpData, '\0', data->cbData) == nullptr) {
        return FALSE;
    }
    ReloadCurrentFile(static_cast<const char*>(data->lpData));
    return TRUE;
}

void ShowRelaid() {
    ShowWindow(s_bar, SW_SHOWNORMAL);
    Relayout();
    PostToBar(WM_BAR_ACTIVATE);
}

HtmlHelpEntry LoadHtmlHelp() {
    if (s_helpModule == nullptr && s_helpFailed == 0) {
        char location[260] = "";
        if (ReadHtmlHelpLocation(location, sizeof location)) s_helpModule = LoadLibraryA(location);
        if (s_helpModule == nullptr) s_helpModule = LoadLibraryA("hhctrl.ocx");
        if (s_helpModule == nullptr) {
            s_helpFailed = 1;
            return nullptr;
        }
    }
    if (s_helpModule == nullptr) return nullptr;
    if (s_helpEntry == nullptr) {
        FARPROC proc = GetProcAddress(s_helpModule, MAKEINTRESOURCEA(14));
        if (proc == nullptr) {
            s_helpFailed = 1;
            return nullptr;
        }
        // void(*)() is the neutral function pointer type between two unrelated ones.
        s_helpEntry = reinterpret_cast<HtmlHelpEntry>(reinterpret_cast<void (*)()>(proc));
    }
    return s_helpEntry;
}

HWND CallHtmlHelp(HWND owner, LPCSTR file, UINT command, DWORD_PTR data) {
    if (s_helpFailed != 0) return nullptr;
    HtmlHelpEntry entry = LoadHtmlHelp();
    return entry != nullptr ? entry(owner, file, command, data) : nullptr;
}

// ---- message handlers -------------------------------------------------------------------

LRESULT OnCreate(HWND hwnd) {
    s_bar = hwnd;
    CreateButtonWindows();
    PostToBar(WM_BAR_APPLYFONTS);
    return 0;
}

LRESULT OnDestroy(HWND hwnd) {
    RemoveTrayIcon(hwnd);
    PostQuitMessage(0);
    OleUninitialize();
    return 0;
}

LRESULT OnSize(WPARAM wParam) {
    if (wParam == SIZE_MINIMIZED) HideBar();
    return 0;
}

LRESULT OnPaint(HWND hwnd) {
    PAINTSTRUCT paint;
    BeginPaint(hwnd, &paint);
    const int count = ButtonCount(g_buttonTable);
    for (int i = 0; i < count; ++i) {
        char name[kNameSize];
        RecordName(i, name);
        // Only a name that differs is set: a button redraws itself at once when its text is set,
        // even to the same text, which made every paint of a full bar cost tens of milliseconds.
        // The buffer holds one character more than a name, so a longer text never compares equal.
        char shown[kNameSize + 1] = "";
        GetWindowTextA(g_buttonWindows[i], shown, sizeof shown);
        if (std::strcmp(shown, name) != 0) SetWindowTextA(g_buttonWindows[i], name);
    }
    EndPaint(hwnd, &paint);
    return 0;
}

LRESULT OnClose(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    if (MessageBoxA(hwnd, "Close Brisklet?", "Exit Brisklet", MB_YESNO) == IDYES) {
        return DefWindowProcA(hwnd, WM_CLOSE, wParam, lParam);
    }
    return 0;
}

LRESULT OnExitCommand(HWND hwnd) {
    if (MessageBoxA(hwnd, "Close Brisklet?", "Brisklet", MB_YESNO) == IDYES) DestroyWindow(hwnd);
    return 0;
}

// The tray icon is up: the popup hotkey comes next.
void OnAddTrayIcon(HWND hwnd) {
    AddTrayIcon(hwnd);
    RegisterPopupHotKey(hwnd);
}

LRESULT OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    const int command = LOWORD(wParam);
    if (command >= IDC_BUTTON_FIRST && command <= IDC_BUTTON_LAST) {
        LaunchButton(command - IDC_BUTTON_FIRST);  // an index with no button launches nothing
        return 0;
    }
    switch (command) {
        case IDM_ABOUT: RunAboutDialog(hwnd); return 0;
        case IDM_EXIT: return OnExitCommand(hwnd);
        case IDM_ADD_TRAY_ICON: OnAddTrayIcon(hwnd); return 0;
        case IDM_SETUP: RunSetupDialog(hwnd); return 0;
        case IDM_HIDE: HideBar(); return 0;
        case IDM_OPTIONS: RunOptionsDialog(hwnd); return 0;
        case IDM_HELP: ShowHelpFile(); return 0;
        case IDM_DESTROY_BUTTONS: PostToBar(WM_BAR_DESTROYBUTTONS); return 0;
        case IDM_STAY_ON_TOP: ToggleStayOnTop(); return 0;
        default: return DefWindowProcA(hwnd, WM_COMMAND, wParam, lParam);
    }
}

LRESULT OnTimer(WPARAM timerId) {
    if (timerId == IDT_COUNTDOWN) OnCountdownTick();
    return 0;
}

LRESULT OnParentNotify(WPARAM wParam) {
    // A right button pressed on any button opens the Setup dialog.
    if (LOWORD(wParam) == WM_RBUTTONDOWN) PostMessageA(s_bar, WM_COMMAND, IDM_SETUP, 0);
    return 0;
}

LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate(hwnd);
        case WM_DESTROY: return OnDestroy(hwnd);
        case WM_SIZE: return OnSize(wParam);
        case WM_PAINT: return OnPaint(hwnd);
        case WM_CLOSE: return OnClose(hwnd, wParam, lParam);
        case WM_COMMAND: return OnCommand(hwnd, wParam, lParam);
        case WM_TIMER: return OnTimer(wParam);
        case WM_PARENTNOTIFY: return OnParentNotify(wParam);
        case WM_HOTKEY: OnPopupHotKey(hwnd, wParam); return 0;
        case WM_ACTIVATE: return OnBarActivate(hwnd, wParam, lParam);
        case WM_BAR_TRAYICON: OnTrayNotify(lParam); return 0;
        case WM_BAR_REBUILD:
        case WM_BAR_CREATEBUTTONS: RebuildButtons(); return 0;  // the same rebuild, from Add or Delete
        case WM_BAR_APPLYFONTS: ApplyFonts(); return 0;
        case WM_BAR_RELAYOUT: Relayout(); return 0;
        case WM_BAR_DESTROYBUTTONS: DestroyButtonWindows(); return 0;
        case WM_BAR_ACTIVATE: ActivateBar(); return 0;
        case WM_BAR_RELOADFILE: ReloadCurrentFile(nullptr); return 0;
        case WM_COPYDATA: return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_BAR_SHOWRELAID: ShowRelaid(); return 0;
        default:
            if (IsTaskbarCreatedMessage(message)) {
                AddTrayIcon(hwnd);
                return 0;
            }
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace

LRESULT CALLBACK BarWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return Dispatch(hwnd, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

ScreenMetrics ReadScreenMetrics() {
    return ScreenMetrics{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CYMENU),
                         GetSystemMetrics(SM_CYSIZE)};
}

void ComputeLayout() { g_layout = ComputeLayout(ReadScreenMetrics(), g_buttonTable); }

void MoveBarToLayout() {
    MoveWindow(s_bar, g_layout.barX, g_layout.barY, g_layout.barWidth, g_layout.barHeight, TRUE);
}

void CreateButtonWindows() {
    RECT client;
    GetClientRect(s_bar, &client);
    const int count = ButtonCount(g_buttonTable);
    for (int i = 0; i < count; ++i) {
        // A button still standing in this slot (a rebuild nobody cleared first) goes, so two
        // sets of buttons never pile up on the bar.
        if (IsOurButton(g_buttonWindows[i], i)) DestroyWindow(g_buttonWindows[i]);
        char name[kNameSize];
        RecordName(i, name);
        g_buttonWindows[i] = CreateWindowExA(
            0, "button", name, WS_CHILD | WS_VISIBLE, client.left + ButtonX(client.right, g_layout.buttonWidth),
            client.top + ButtonY(i), g_layout.buttonWidth, g_layout.buttonHeight, s_bar,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_BUTTON_FIRST + i)), g_hInstance, nullptr);
    }
}

void DestroyButtonWindows() {
    const int count = ButtonCount(g_buttonTable);
    for (int i = 0; i < count; ++i) {
        if (g_buttonWindows[i] != nullptr) DestroyWindow(g_buttonWindows[i]);
        g_buttonWindows[i] = nullptr;
    }
}

void ApplyFonts() {
    HFONT previousBarFont = g_barFont;
    g_fontScratch = ToLogFont(g_buttonTable.globalFont);
    g_barFont = CreateFontIndirectA(&g_fontScratch);

    HFONT newFonts[kMaxButtons] = {};
    const int count = ButtonCount(g_buttonTable);
    for (int i = 0; i < count; ++i) {
        HFONT font = g_barFont;
        if (UsesOwnFont(g_buttonTable, i)) {
            const LOGFONTA own = ToLogFont(g_buttonTable.records[i].ownFont);
            newFonts[i] = CreateFontIndirectA(&own);
            font = newFonts[i];
        }
        SendMessageA(g_buttonWindows[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
    }

    // The buttons now use the new fonts: the ones they used before can go.
    for (int i = 0; i < kMaxButtons; ++i) {
        if (s_buttonFonts[i] != nullptr) DeleteObject(s_buttonFonts[i]);
        s_buttonFonts[i] = newFonts[i];
    }
    if (previousBarFont != nullptr && previousBarFont != g_barFont) DeleteObject(previousBarFont);

    SaveButtonFile();
}

void HideBar() {
    CheckMenuItem(BarMenu(), IDM_STAY_ON_TOP, MF_BYCOMMAND | MF_UNCHECKED);
    // The window leaves the topmost band with the flag, so the bar never stays on top while
    // its menu says it does not.
    if (g_stayOnTop != 0) SetWindowPos(s_bar, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    g_stayOnTop = 0;
    ShowWindow(s_bar, SW_HIDE);
    UpdateWindow(s_bar);
}

void ToggleStayOnTop() {
    if (g_stayOnTop == 0) {
        CheckMenuItem(BarMenu(), IDM_STAY_ON_TOP, MF_BYCOMMAND | MF_CHECKED);
        g_stayOnTop = 1;
        SetWindowPos(s_bar, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    } else {
        CheckMenuItem(BarMenu(), IDM_STAY_ON_TOP, MF_BYCOMMAND | MF_UNCHECKED);
        g_stayOnTop = 0;
        SetWindowPos(s_bar, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
}

void ShowHelpFile() {
    char helpPath[kInstallPathSize];
    if (!BuildHelpPath(g_installFolder, helpPath, sizeof helpPath)) return;
    CallHtmlHelp(nullptr, helpPath, 0 /* HH_DISPLAY_TOPIC */, 0);
}
