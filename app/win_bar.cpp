// The Button bar window: layout, button windows, fonts, menu commands, the private messages and
// the help command. The window procedure is a dispatch list of small handlers below.
#include "app/win_bar.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/bar_messages.h"
#include "app/layout.h"
#include "app/shared_state.h"
#include "app/startup_rules.h"
#include "app/win_bar_filter.h"
#include "app/win_bar_keys.h"
#include "app/win_button_face.h"
#include "app/win_dpi.h"
#include "app/win_file_sync.h"
#include "app/win_glyph_fonts.h"
#include "app/win_site_icons.h"
#include "app/win_state.h"
#include "app/win_tray.h"
#include "dialogs/win_dialogs.h"
#include "res/resource.h"
#include "store/button_files.h"
#include "store/button_table.h"
#include "store/settings.h"

namespace {

// WM_DPICHANGED, which the Windows headers define only for newer targets than this program's.
constexpr UINT kWmDpiChanged = 0x02E0;
// WM_MOUSEHWHEEL (Vista and later), likewise.
constexpr UINT kWmMouseHWheel = 0x020E;

// How far the bar's columns are scrolled to the right, in pixels; 0 while they all show.
int s_scrollX;

// The bar served by the procedure. g_hwndBar is only set once creation has finished, but the
// bar's own handlers (WM_CREATE first of all) need the handle before that.
HWND s_bar;

// Fonts made for buttons whose record has its own font, and what each was made from (the
// record's font at the bar's DPI then). A font is kept across rebuilds while its record asks for
// the same font at the same DPI, and released once no button uses it any more.
HFONT s_buttonFonts[kMaxButtons];
FontDesc s_buttonFontMadeFrom[kMaxButtons];

// The bar font this file made last, and from what (the global font at the bar's DPI). g_barFont is replaced by others too (the
// Setup dialog's global font); a bar font not made here is never taken for an unchanged one.
HFONT s_barFontMade;
FontDesc s_barFontMadeFrom;

// Fonts the buttons stop using in one step, deleted once every button has its new font.
class RetiredFonts {
public:
    RetiredFonts() = default;
    RetiredFonts(const RetiredFonts&) = delete;
    RetiredFonts& operator=(const RetiredFonts&) = delete;
    ~RetiredFonts() {
        for (int i = 0; i < count_; ++i) DeleteObject(fonts_[i]);
    }
    void Add(HFONT font) {
        if (font == nullptr) return;
        for (int i = 0; i < count_; ++i)
            if (fonts_[i] == font) return;
        if (count_ < kCapacity) fonts_[count_++] = font;
    }

private:
    static constexpr int kCapacity = kMaxButtons + 2;  // every own font and two bar fonts
    HFONT fonts_[kCapacity] = {};
    int count_ = 0;
};

// The HTML Help control, loaded on first use.
using HtmlHelpEntry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
HMODULE s_helpModule;
HtmlHelpEntry s_helpEntry;
int s_helpFailed;

HMENU BarMenu() {
    return g_hMenu != nullptr ? g_hMenu : GetMenu(s_bar);
}

constexpr size_t kShownNameSize = ShownSize(kNameSize);

// A record's name as the button shows it, bounded by its field even when a loaded table left it
// unterminated.
void RecordName(int index, char (&name)[kShownNameSize]) {
    CopyTextToField(name, sizeof name, ShownField(g_buttonTable.records[index].name));
}

// Whether hwnd is the button window this program made for slot index and still exists.
bool IsOurButton(HWND hwnd, int index) {
    return hwnd != nullptr && IsWindow(hwnd) && GetParent(hwnd) == s_bar &&
           GetDlgCtrlID(hwnd) == IDC_BUTTON_FIRST + index;
}

// Only a name that differs is set: a button redraws itself at once when its text is set, even to
// the same text, which made every paint of a full bar cost tens of milliseconds. The buffer holds
// one character more than a name, so a longer text never compares equal.
// Answers whether the text changed.
bool ShowName(HWND button, const char* name) {
    char shown[kShownNameSize + 1] = "";
    GetWindowTextA(button, shown, sizeof shown);
    if (std::strcmp(shown, name) == 0) return false;
    SetWindowTextA(button, name);
    return true;
}

// A button's rectangle in the bar's client area.
RECT RectInBar(HWND button) {
    RECT rect;
    GetWindowRect(button, &rect);
    MapWindowPoints(nullptr, s_bar, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The part of the bar a rebuild has changed, drawn again once the buttons are in place; a
// button left as it was is not drawn again.
class ChangedArea {
public:
    void Add(const RECT& rect) {
        RECT both;
        UnionRect(&both, &area_, &rect);
        area_ = both;
    }
    void Redraw() const {
        if (IsRectEmpty(&area_) == FALSE)
            RedrawWindow(s_bar, &area_, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

private:
    RECT area_ = {};
};

// Moves a kept button to its place in the bar's client area unless it is there already; the
// place it leaves is marked for drawing. Answers whether it moved.
bool PlaceButton(HWND button, const RECT& place, ChangedArea& changed) {
    const RECT now = RectInBar(button);
    if (EqualRect(&now, &place) != FALSE) return false;
    changed.Add(now);
    SetWindowPos(button, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

// The bar font for the table's global font: the one made last time while neither the global
// font, the bar's DPI nor g_barFont has changed since, else a new one; the font it replaces is
// retired. The font scratch gets the global font as it is shown, at the bar's DPI.
void SettleBarFont(int dpi, RetiredFonts& retired) {
    const FontDesc shown = FontAtDpi(g_buttonTable.globalFont, dpi);
    g_fontScratch = ToLogFont(shown);
    if (g_barFont != nullptr && g_barFont == s_barFontMade && SameFont(s_barFontMadeFrom, shown)) return;
    retired.Add(g_barFont);
    retired.Add(s_barFontMade);
    g_barFont = CreateFontIndirectA(&g_fontScratch);
    s_barFontMade = g_barFont;
    s_barFontMadeFrom = shown;
}

// The font button slot `index` shows: its own font, kept or made anew, or the bar font. An own
// font the slot no longer uses is retired.
HFONT SettleSlotFont(int index, int dpi, RetiredFonts& retired) {
    HFONT& own = s_buttonFonts[index];
    const SlotFont step =
        SlotFontStep(g_buttonTable, index, own != nullptr ? &s_buttonFontMadeFrom[index] : nullptr, dpi);
    if (step == SlotFont::KeepOwn) return own;
    retired.Add(own);
    own = nullptr;
    if (step == SlotFont::BarFont) return g_barFont;
    s_buttonFontMadeFrom[index] = FontAtDpi(g_buttonTable.records[index].ownFont, dpi);
    const LOGFONTA wanted = ToLogFont(s_buttonFontMadeFrom[index]);
    own = CreateFontIndirectA(&wanted);
    return own;
}

// A button is told of a font only when it shows another one; answers whether it was.
bool SetButtonFont(HWND button, HFONT font) {
    if (button == nullptr || reinterpret_cast<HFONT>(SendMessageA(button, WM_GETFONT, 0, 0)) == font) return false;
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
    return true;
}

void PostToBar(UINT message) {
    PostMessageA(s_bar, message, 0, 0);
}

// Relayout as WM_BAR_RELAYOUT does it: new place and size, the buttons brought in line, what
// changed painted, and the font step queued behind. The rebuild marks what it changed for
// drawing, so the bar is not invalidated as a whole: that would draw every button again.
void Relayout() {
    ComputeLayout();
    RECT before;
    GetWindowRect(s_bar, &before);
    MoveBarToLayout();
    RECT after;
    GetWindowRect(s_bar, &after);
    CreateButtonWindows();
    // A bar that moved or changed its size draws its kept buttons again: the platform does not
    // keep what they showed (a reload with more buttons left them blank).
    if (EqualRect(&before, &after) == FALSE) RedrawWindow(s_bar, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
    UpdateWindow(s_bar);
    PostToBar(WM_BAR_APPLYFONTS);
}

void RebuildButtons() {
    CreateButtonWindows();
    PostToBar(WM_BAR_APPLYFONTS);
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
// The buttons stay until the relayout that follows takes them over for the new file.
void ReloadCurrentFile(const char* handedOver) {
    if (handedOver != nullptr) {
        CopyTextToField(g_currentButtonFile, sizeof g_currentButtonFile, handedOver);
    } else {
        ReadCurrentButtonFileName(g_currentButtonFile, sizeof g_currentButtonFile);
    }
    // The second start waits in its SendMessage until this returns. The path is taken, so it
    // is let go now: a message box of the load (a file that is not a Button file, or cannot be
    // read) must not hold it until the user answers. TRUE is what WM_COPYDATA answers on success.
    if (InSendMessage() != FALSE) ReplyMessage(TRUE);
    // Another file becomes current: the text goes, and the other files are not the same ones.
    ClearFilter();
    NoteButtonFolderChanged();
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

int ClientWidth() {
    RECT client;
    GetClientRect(s_bar, &client);
    return client.right;
}

// The scroll bar shows while the columns are wider than the bar and says what part shows.
void UpdateScrollBar() {
    ShowScrollBar(s_bar, SB_HORZ, g_layout.scrolls ? TRUE : FALSE);
    const int width = ClientWidth();
    const int limit = ScrollLimit(g_layout, width);
    s_scrollX = s_scrollX < 0 ? 0 : (s_scrollX > limit ? limit : s_scrollX);
    if (!g_layout.scrolls) return;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = limit + width - 1;
    info.nPage = static_cast<UINT>(width);
    info.nPos = s_scrollX;
    SetScrollInfo(s_bar, SB_HORZ, &info, TRUE);
}

// Scrolls the columns so that `x` is the left edge shown; the buttons move with the view.
void ScrollBarTo(int x) {
    const int limit = ScrollLimit(g_layout, ClientWidth());
    x = x < 0 ? 0 : (x > limit ? limit : x);
    if (x == s_scrollX) return;
    const int delta = s_scrollX - x;
    s_scrollX = x;
    SetScrollPos(s_bar, SB_HORZ, x, TRUE);
    ScrollWindowEx(s_bar, delta, 0, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

LRESULT OnHorizontalScroll(WPARAM wParam) {
    const int page = ClientWidth();
    int x = s_scrollX;
    switch (LOWORD(wParam)) {
        case SB_LINELEFT: x -= g_layout.columnPitch; break;
        case SB_LINERIGHT: x += g_layout.columnPitch; break;
        case SB_PAGELEFT: x -= page; break;
        case SB_PAGERIGHT: x += page; break;
        case SB_LEFT: x = 0; break;
        case SB_RIGHT: x = ScrollLimit(g_layout, page); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_TRACKPOS;
            GetScrollInfo(s_bar, SB_HORZ, &info);
            x = info.nTrackPos;
            break;
        }
        default: return 0;
    }
    ScrollBarTo(x);
    return 0;
}

// A notch of the wheel moves one column: down or right is on, up or left back. `towardsEnd` is
// the sign of a wheel that moves toward the last column when it turns forward.
LRESULT OnWheel(WPARAM wParam, int towardsEnd) {
    if (!g_layout.scrolls) return 0;
    const int delta = GET_WHEEL_DELTA_WPARAM(wParam) * towardsEnd;
    int notches = delta / WHEEL_DELTA;
    if (notches == 0) notches = delta > 0 ? 1 : -1;
    ScrollBarTo(s_scrollX + notches * g_layout.columnPitch);
    return 0;
}

// ---- message handlers -------------------------------------------------------------------

LRESULT OnCreate(HWND hwnd) {
    // The buttons are made by CreateButtonBar, once the tray icon has gone up.
    s_bar = hwnd;
    return 0;
}

LRESULT OnDestroy(HWND hwnd) {
    StopFileSync();
    RemoveTrayIcon(hwnd);
    PostQuitMessage(0);
    OleUninitialize();
    return 0;
}

LRESULT OnSize(WPARAM wParam) {
    if (wParam == SIZE_MINIMIZED) HideBar();
    return 0;
}

// The bar draws its buttons that are due for drawing into its own paint, and takes them off the
// platform's list of windows to draw: a platform that draws each child window in a paint of its
// own costs a good part of a millisecond per button in that alone (under Wine: 0.5 ms of each
// 0.7 ms a button took), which made a bar of 100 buttons take 70 ms to draw. Each button draws
// itself all the same (WM_PRINTCLIENT), into the bar's device context moved to its place and cut
// to its rectangle, so what it shows is what its own paint would show. A button that asks for
// drawing on its own (hot, pushed, focused) draws itself as always.
void DrawButtonsInPaint(HDC dc, HRGN due, const RECT& area) {
    HRGN part = CreateRectRgn(0, 0, 0, 0);
    const int count = ButtonCount(g_buttonTable);
    for (int i = 0; i < count; ++i) {
        HWND button = g_buttonWindows[i];
        if (button == nullptr || (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE) == 0) continue;
        const RECT place = RectInBar(button);
        RECT both;
        if (IntersectRect(&both, &place, &area) == FALSE || RectInRegion(due, &place) == FALSE) continue;
        const int saved = SaveDC(dc);
        SetViewportOrgEx(dc, place.left, place.top, nullptr);
        IntersectClipRect(dc, 0, 0, place.right - place.left, place.bottom - place.top);
        SendMessageA(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        RestoreDC(dc, saved);
        CombineRgn(part, due, nullptr, RGN_COPY);
        OffsetRgn(part, -place.left, -place.top);
        ValidateRgn(button, part);
    }
    DeleteObject(part);
}

LRESULT OnPaint(HWND hwnd) {
    // What is due is asked for before BeginPaint takes it.
    HRGN due = CreateRectRgn(0, 0, 0, 0);
    const bool known = GetUpdateRgn(hwnd, due, FALSE) > NULLREGION;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    const int count = ButtonCount(g_buttonTable);
    for (int i = 0; i < count; ++i) {
        // A hidden button (the typed text does not match it) is given its name when it shows.
        if ((GetWindowLongA(g_buttonWindows[i], GWL_STYLE) & WS_VISIBLE) == 0) continue;
        char name[kShownNameSize];
        RecordName(i, name);
        ShowName(g_buttonWindows[i], name);
    }
    if (known) DrawButtonsInPaint(dc, due, paint.rcPaint);
    DrawFilterItems(dc, paint.rcPaint);
    EndPaint(hwnd, &paint);
    DeleteObject(due);
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
    if (command >= IDC_OTHER_FIRST && command <= IDC_OTHER_LAST) {
        LaunchOtherMatch(command - IDC_OTHER_FIRST);
        return 0;
    }
    switch (command) {
        case IDM_ABOUT: RunAboutDialog(hwnd); return 0;
        case IDM_EXIT: return OnExitCommand(hwnd);
        case IDM_ADD_TRAY_ICON: OnAddTrayIcon(hwnd); return 0;
        case IDM_SETUP:
            // Setup edits the table by its indexes: the bar shows all its buttons again first.
            ClearFilter();
            RunSetupDialog(hwnd);
            return 0;
        case IDM_HIDE: HideBar(); return 0;
        case IDM_OPTIONS: RunOptionsDialog(hwnd); return 0;
        case IDM_IMPORT_BOOKMARKS: RunImportBookmarks(hwnd); return 0;
        case IDM_EXPORT_BOOKMARKS: RunExportBookmarks(hwnd); return 0;
        case IDM_HELP: ShowHelpFile(); return 0;
        case IDM_DESTROY_BUTTONS: PostToBar(WM_BAR_DESTROYBUTTONS); return 0;
        case IDM_STAY_ON_TOP: ToggleStayOnTop(); return 0;
        default: return DefWindowProcA(hwnd, WM_COMMAND, wParam, lParam);
    }
}

// The Options dialog's requests about the popup hotkey.
LRESULT OnHotKeyRequest(HWND hwnd, WPARAM request, LPARAM hotKey) {
    switch (request) {
        case kHotKeyRelease: ReleasePopupHotKey(hwnd); return 0;
        case kHotKeyApply: RegisterPopupHotKey(hwnd); return 0;
        case kHotKeyProbe: return PopupHotKeyHeldElsewhere(hwnd, static_cast<uint32_t>(hotKey)) ? 1 : 0;
        default: return 0;
    }
}

// Shown, the bar searches the other Button files as they are now; hidden, it forgets the text.
LRESULT OnShowWindow(HWND hwnd, WPARAM shown, LPARAM lParam) {
    if (shown != FALSE) {
        NoteBarShown();
    } else if (FilterActive()) {
        PostToBar(WM_BAR_CLEARFILTER);
    }
    return DefWindowProcA(hwnd, WM_SHOWWINDOW, shown, lParam);
}

LRESULT OnTimer(WPARAM timerId) {
    if (timerId == IDT_COUNTDOWN) OnCountdownTick();
    OnFileSyncTimer(timerId);
    return 0;
}

// The bar has been moved to a display of another scale (or the scale changed): it lays itself
// out again at the new DPI, which also makes the fonts again.
LRESULT OnDpiChanged() {
    Relayout();
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
        case WM_SHOWWINDOW: return OnShowWindow(hwnd, wParam, lParam);
        case WM_BAR_CLEARFILTER:
            if (IsWindowVisible(hwnd) == FALSE) ClearFilter();
            return 0;
        case WM_PARENTNOTIFY: return OnParentNotify(wParam);
        case WM_THEMECHANGED:
        case WM_SYSCOLORCHANGE:
            ForgetButtonFaces();
            return DefWindowProcA(hwnd, message, wParam, lParam);
        case WM_NOTIFY:
            if (reinterpret_cast<const NMHDR*>(lParam)->code == NM_CUSTOMDRAW)
                return DrawButtonLabel(*reinterpret_cast<const NMCUSTOMDRAW*>(lParam));
            return DefWindowProcA(hwnd, message, wParam, lParam);
        case WM_HOTKEY: OnPopupHotKey(hwnd, wParam); return 0;
        case WM_ACTIVATE: return OnBarActivate(hwnd, wParam, lParam);
        case kWmDpiChanged: return OnDpiChanged();
        case WM_HSCROLL: return OnHorizontalScroll(wParam);
        case WM_MOUSEMOVE:
        case WM_MOUSELEAVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_CAPTURECHANGED:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            // The other files' matches the filtered bar draws are pressed and focused here.
            if (FilterMouseAndFocus(message, lParam)) return 0;
            return DefWindowProcA(hwnd, message, wParam, lParam);
        case WM_MOUSEWHEEL: return OnWheel(wParam, -1);
        case kWmMouseHWheel: return OnWheel(wParam, 1);
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
        case WM_BAR_ICONREADY: OnIconReady(lParam); return 0;
        case WM_BAR_FOLDERCHANGED: OnFolderChanged(lParam); return 0;
        case WM_BAR_HOTKEY: return OnHotKeyRequest(hwnd, wParam, lParam);
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
    const int dpi = WindowDpi(s_bar);
    ScreenMetrics metrics{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), MetricForDpi(SM_CYMENU, dpi),
                          MetricForDpi(SM_CYSIZE, dpi), dpi};
    // The bar is placed from the primary screen's corner, so it keeps to that monitor's work area.
    RECT work{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor) != FALSE) {
        work = monitor.rcWork;
    } else {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    }
    metrics.workLeft = work.left;
    metrics.workTop = work.top;
    metrics.workRight = work.right;
    metrics.workBottom = work.bottom;
    metrics.scrollBarHeight = MetricForDpi(SM_CYHSCROLL, dpi);
    return metrics;
}

// A filtered bar may show more slots than the file has buttons (the field, the other files'
// matches); it never shrinks below the file's own size while a text is typed.
void ComputeLayout() {
    g_layout = LayoutForCount(ReadScreenMetrics(), g_buttonTable, std::max(ButtonCount(g_buttonTable), FilterSlotCount()));
}

void MoveBarToLayout() {
    MoveWindow(s_bar, g_layout.barX, g_layout.barY, g_layout.barWidth, g_layout.barHeight, TRUE);
    UpdateScrollBar();
}

int BarClientWidth() { return ClientWidth(); }

RECT SlotRect(int slot, int clientWidth) {
    const ButtonPlace place = PlaceSlot(g_layout, slot, clientWidth, s_scrollX);
    return RECT{place.x, place.y, place.x + g_layout.buttonWidth, place.y + g_layout.buttonHeight};
}

void ScrollSlotIntoView(int slot) {
    ScrollBarTo(ScrollToShow(g_layout, slot, ClientWidth(), s_scrollX));
}

// Brings the button windows in line with the table: slot i keeps the window it has and gets
// record i's name, place and font where they differ; windows are made for slots that have none
// and destroyed beyond the count. A shown bar draws nothing until every button is in place and
// then draws, once, only what changed, so no frame mixes old and new buttons.
void CreateButtonWindows() {
    const bool hold = IsWindowVisible(s_bar) != FALSE;  // WM_SETREDRAW TRUE would show a hidden bar
    if (hold) SendMessageA(s_bar, WM_SETREDRAW, FALSE, 0);
    RECT client;
    GetClientRect(s_bar, &client);
    const int count = ButtonCount(g_buttonTable);
    ChangedArea changed;
    const int dpi = WindowDpi(s_bar);
    RetiredFonts retired;  // deleted on leaving, after the buttons have their new fonts
    SettleBarFont(dpi, retired);
    for (int i = 0; i < kMaxButtons; ++i) {
        HWND& button = g_buttonWindows[i];
        const bool ours = IsOurButton(button, i);
        const HFONT font = SettleSlotFont(i, dpi, retired);
        if (i >= count) {
            if (ours) {
                changed.Add(RectInBar(button));
                DestroyWindow(button);
            }
            button = nullptr;
            continue;
        }
        char name[kShownNameSize];
        RecordName(i, name);
        // A button the typed text does not match keeps its place, hidden.
        const int slotIndex = FilterSlotOfButton(i);
        const bool shown = slotIndex >= 0;
        const ButtonPlace slot = PlaceSlot(g_layout, shown ? slotIndex : i, client.right, s_scrollX);
        const int x = client.left + slot.x;
        const int y = client.top + slot.y;
        const RECT place = {x, y, x + g_layout.buttonWidth, y + g_layout.buttonHeight};
        bool redraw = !ours;
        if (ours) {
            if (((GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE) != 0) != shown) {
                changed.Add(RectInBar(button));
                ShowWindow(button, shown ? SW_SHOWNA : SW_HIDE);
                redraw = true;
            }
            if (ShowName(button, name)) redraw = true;
            // A hidden one is moved once it is shown again.
            if (shown && PlaceButton(button, place, changed)) redraw = true;
        } else {
            button = CreateWindowExA(0, "button", name, WS_CHILD | (shown ? WS_VISIBLE : 0), x, y, g_layout.buttonWidth,
                                     g_layout.buttonHeight, s_bar,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_BUTTON_FIRST + i)),
                                     g_hInstance, nullptr);
        }
        if (SetButtonFont(button, FontWithGlyphs(font, name))) redraw = true;
        if (redraw) changed.Add(place);
    }
    if (PlaceFilterWindows(client.right, s_scrollX)) changed.Add(client);
    for (int i : ShowButtonIcons()) changed.Add(RectInBar(g_buttonWindows[i]));
    if (hold) {
        SendMessageA(s_bar, WM_SETREDRAW, TRUE, 0);
        changed.Redraw();
    }
}

// Every button goes, whatever the table's count has become since the buttons were made.
void DestroyButtonWindows() {
    for (int i = 0; i < kMaxButtons; ++i) {
        if (IsOurButton(g_buttonWindows[i], i)) DestroyWindow(g_buttonWindows[i]);
        g_buttonWindows[i] = nullptr;
    }
}

// Sets the bar font, and each record's own font where it has one, on the buttons, making only
// the fonts that changed since the last time, then saves.
void ApplyFonts() {
    {
        const int dpi = WindowDpi(s_bar);
        RetiredFonts retired;
        SettleBarFont(dpi, retired);
        const int count = ButtonCount(g_buttonTable);
        for (int i = 0; i < kMaxButtons; ++i) {
            const HFONT font = SettleSlotFont(i, dpi, retired);
            if (i >= count) continue;
            char name[kShownNameSize];
            RecordName(i, name);
            SetButtonFont(g_buttonWindows[i], FontWithGlyphs(font, name));
        }
    }
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
