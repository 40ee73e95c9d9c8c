#include "app/win_bar_filter.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/button_filter.h"
#include "app/layout.h"
#include "app/tray_logic.h"
#include "app/win_bar.h"
#include "app/win_button_face.h"
#include "app/win_state.h"
#include "app/win_tray.h"
#include "res/resource.h"
#include "store/button_files.h"
#include "store/button_table.h"
#include "store/folder_watch.h"
#include "store/text_encoding.h"
#include "store/win_folder_watch.h"

namespace {

// At most this many other Button files are searched, and this many of their matches shown.
constexpr size_t kMaxOtherFiles = 64;
constexpr int kMaxOtherMatches = IDC_OTHER_LAST - IDC_OTHER_FIRST + 1;

// Another Button file of the Button folder, read once and folded for searching.
struct OtherFile {
    std::string label;
    std::unique_ptr<ButtonTable> table;
    std::vector<SearchText> texts;
};
std::vector<OtherFile> s_others;
bool s_othersStale = true;

// What a filtered bar shows in its slots: slot 0 the field, then this file's matches, then for
// each other file with matches its name and its matches.
struct Shown {
    int file;    // -1 for this Button file, else an index into s_others
    int record;
    int slot;
    int other;   // for another file's match, its k in IDC_OTHER_FIRST + k
    std::string name;  // another file's match: the name it shows
};
std::string s_text;
FilterQuery s_query;
std::vector<Shown> s_shown;
int s_buttonSlot[kMaxButtons];
struct Label {
    int slot;
    std::string text;
};
std::vector<Label> s_labels;
int s_slotCount;

// The field is the one window only a filtered bar has, made when first needed and kept. The other
// files' names and matches are drawn by the bar in their slots, with no window of their own:
// under some platforms a child window costs a quarter of a millisecond to show and as much again
// to draw, which made a key that shows 100 matches of other files take 90 ms. Each match is
// drawn, pressed and focused as a push button is; while one has the focus, the bar itself has
// the keyboard focus.
HWND s_field;
int s_focusedOther = -1;  // the index in s_shown of the drawn match with the focus, or -1
int s_hotOther = -1;      // the one under the mouse
int s_pressedOther = -1;  // the one the left mouse button went down on
bool s_drawnChanged;      // the names and matches drawn changed since they were last placed
// The layout the drawn names and matches were last placed in.
struct DrawnPlacement {
    int clientWidth, scrollX, rows, columnPitch, contentWidth, buttonWidth, buttonHeight, dpi;
    bool operator==(const DrawnPlacement& o) const {
        return clientWidth == o.clientWidth && scrollX == o.scrollX && rows == o.rows && columnPitch == o.columnPitch &&
               contentWidth == o.contentWidth && buttonWidth == o.buttonWidth && buttonHeight == o.buttonHeight &&
               dpi == o.dpi;
    }
};
DrawnPlacement s_placedIn;

std::string FullPath(const char* path) {
    char full[MAX_PATH * 2] = "";
    const DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full) : std::string(path);
}

// The folder watcher's word that a Button file changed: the others are read again before the
// next search.
class OtherFilesListener : public ButtonFolderListener {
public:
    void ButtonFileChanged(const char* /*folder*/, const char* /*name*/) override { NoteButtonFolderChanged(); }
};
OtherFilesListener s_othersListener;

// The Button files of the Button folder other than the current one, in the order of their names.
void ReadOtherFiles() {
    static bool listening = false;
    if (!listening) {
        AddButtonFolderListener(&s_othersListener);
        listening = true;
    }
    s_others.clear();
    s_othersStale = false;
    const std::string folder = g_buttonFolder;
    if (folder.empty()) return;
    std::vector<std::string> names = ButtonFileNamesIn(folder, 4 * kMaxOtherFiles);
    // A file named only ".bklt" has no name to show.
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& name) { return ButtonFileLabel(name) == name; }),
                names.end());
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    const std::string current = LowerUtf8(FullPath(g_currentButtonFile));
    for (const std::string& name : names) {
        if (s_others.size() >= kMaxOtherFiles) break;
        std::string path = folder;
        path += '\\';
        path += name;
        if (LowerUtf8(FullPath(path.c_str())) == current) continue;
        OtherFile other;
        other.table = std::make_unique<ButtonTable>();
        if (!ReadWholeButtonFile(path.c_str(), other.table.get())) continue;
        other.label = ButtonFileLabel(name);
        other.texts = SearchTexts(*other.table);
        s_others.push_back(std::move(other));
    }
}

bool IsDrawn(int index) {
    return index >= 0 && index < static_cast<int>(s_shown.size()) && s_shown[static_cast<size_t>(index)].file >= 0;
}

void InvalidateShown(int index) {
    if (!IsDrawn(index)) return;
    const RECT rect = SlotRect(s_shown[static_cast<size_t>(index)].slot, BarClientWidth());
    InvalidateRect(g_hwndBar, &rect, TRUE);
}

// The drawn matches lose the focus, the mouse and the press (they are about to be replaced).
void ForgetDrawnStates() {
    s_focusedOther = s_hotOther = -1;
    if (s_pressedOther >= 0) {
        s_pressedOther = -1;
        ReleaseCapture();
    }
}

// Works out what the filtered bar shows for the text typed now.
void MatchText() {
    ForgetDrawnStates();
    s_drawnChanged = true;
    s_shown.clear();
    s_labels.clear();
    std::fill(std::begin(s_buttonSlot), std::end(s_buttonSlot), -1);
    s_slotCount = 0;
    if (s_text.empty()) return;
    if (s_othersStale) ReadOtherFiles();
    s_query = MakeFilterQuery(s_text);
    int slot = 1;  // slot 0 is the field
    for (const int i : MatchingEntries(SearchTexts(g_buttonTable), s_query)) {
        s_buttonSlot[i] = slot;
        s_shown.push_back(Shown{-1, i, slot++, -1, std::string()});
    }
    int other = 0;
    for (size_t f = 0; f < s_others.size() && other < kMaxOtherMatches; ++f) {
        const std::vector<int> matches = MatchingEntries(s_others[f].texts, s_query);
        if (matches.empty()) continue;
        s_labels.push_back(Label{slot++, s_others[f].label});
        for (const int record : matches) {
            if (other >= kMaxOtherMatches) break;
            char name[ShownSize(kNameSize)];
            CopyTextToField(name, sizeof name, ShownField(s_others[f].table->records[record].name));
            s_shown.push_back(Shown{static_cast<int>(f), record, slot++, other++, name});
        }
    }
    s_slotCount = slot;
}

// The push button of one of this file's matches (none for a drawn match).
HWND WindowOf(const Shown& shown) {
    if (shown.file < 0) return shown.record < kMaxButtons ? g_buttonWindows[shown.record] : nullptr;
    return nullptr;
}

const SearchText* TextOf(const Shown& shown, const std::vector<SearchText>& current) {
    if (shown.file < 0) return &current[static_cast<size_t>(shown.record)];
    return &s_others[static_cast<size_t>(shown.file)].texts[static_cast<size_t>(shown.record)];
}

// cppcheck-suppress constParameter ; a window handle is compared, never written through
int ShownIndexOf(HWND window) {
    if (window == nullptr) return -1;
    if (window == g_hwndBar) return s_focusedOther;
    const auto found = std::find_if(s_shown.begin(), s_shown.end(), [window](const Shown& s) { return WindowOf(s) == window; });
    return found == s_shown.end() ? -1 : static_cast<int>(found - s_shown.begin());
}

// The focused match is the bar's default push button, as the focused button is without a text.
void FocusShown(int index) {
    if (index < 0 || index >= static_cast<int>(s_shown.size())) {
        SetFocus(g_hwndBar);
        return;
    }
    const bool drawn = IsDrawn(index);
    HWND window = drawn ? g_hwndBar : WindowOf(s_shown[static_cast<size_t>(index)]);
    if (window == nullptr) return;
    ScrollSlotIntoView(s_shown[static_cast<size_t>(index)].slot);
    SendMessageA(g_hwndBar, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (s_focusedOther != (drawn ? index : -1)) {
        InvalidateShown(s_focusedOther);
        s_focusedOther = drawn ? index : -1;
        InvalidateShown(s_focusedOther);
    }
    // The mark first: whoever sees the focus move sees the mark already on its button.
    for (const Shown& shown : s_shown) {
        HWND button = WindowOf(shown);
        if (button == nullptr) continue;
        const LONG wanted = button == window ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        if ((GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) != wanted)
            SendMessageA(button, BM_SETSTYLE, static_cast<WPARAM>(wanted), TRUE);
    }
    SetFocus(window);
}

// The bar laid out for what it shows now: moved only when its place or size changes.
void ShowMatches() {
    const BarLayout before = g_layout;
    ComputeLayout();
    if (before.barX != g_layout.barX || before.barY != g_layout.barY || before.barWidth != g_layout.barWidth ||
        before.barHeight != g_layout.barHeight || before.scrolls != g_layout.scrolls) {
        MoveBarToLayout();
    }
    CreateButtonWindows();
}

// The text changed: the matches are shown and the focus goes to the chosen one.
void TextChanged() {
    MatchText();
    ShowMatches();
    if (s_text.empty()) return;
    const std::vector<SearchText> current = SearchTexts(g_buttonTable);
    std::vector<const SearchText*> texts(s_shown.size());
    std::transform(s_shown.begin(), s_shown.end(), texts.begin(), [&](const Shown& shown) { return TextOf(shown, current); });
    FocusShown(FocusedMatch(texts, s_query));
}

HWND MakeChild(const char* windowClass, DWORD style, int id) {
    HWND child = CreateWindowExA(0, windowClass, "", WS_CHILD | style, 0, 0, 0, 0, g_hwndBar,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_hInstance, nullptr);
    if (child != nullptr) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_barFont), 0);
    return child;
}

// Puts a filter window at a slot with a text, or hides it (slot -1). Answers whether it changed.
bool PlaceChild(HWND child, int slot, const std::string& text, int clientWidth, int scrollX) {
    if (child == nullptr) return false;
    const bool visible = (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) != 0;
    if (slot < 0) {
        if (visible) ShowWindow(child, SW_HIDE);
        return visible;
    }
    bool changed = !visible;
    if (reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)) != g_barFont) {
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_barFont), 0);
        changed = true;
    }
    char shownText[kNameSize + 1] = "";
    GetWindowTextA(child, shownText, sizeof shownText);
    if (text != shownText) {
        SetWindowTextA(child, text.c_str());
        changed = true;
    }
    const ButtonPlace place = PlaceSlot(g_layout, slot, clientWidth, scrollX);
    RECT now;
    GetWindowRect(child, &now);
    MapWindowPoints(nullptr, g_hwndBar, reinterpret_cast<POINT*>(&now), 2);
    const RECT wanted = {place.x, place.y, place.x + g_layout.buttonWidth, place.y + g_layout.buttonHeight};
    const bool moved = EqualRect(&now, &wanted) == FALSE;
    if (moved) changed = true;
    if (!visible || moved)
        SetWindowPos(child, nullptr, wanted.left, wanted.top, g_layout.buttonWidth, g_layout.buttonHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return changed;
}

}  // namespace

bool FilterActive() { return !s_text.empty(); }

int FilterSlotCount() { return s_slotCount; }

int FilterSlotOfButton(int index) {
    if (s_text.empty()) return index;
    return index >= 0 && index < kMaxButtons ? s_buttonSlot[index] : -1;
}

bool PlaceFilterWindows(int clientWidth, int scrollX) {
    const bool active = !s_text.empty();
    bool changed = false;
    if (active && s_field == nullptr) s_field = MakeChild("EDIT", WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, IDC_FILTER_FIELD);
    changed |= PlaceChild(s_field, active ? 0 : -1, s_text, clientWidth, scrollX);
    // The drawn names and matches are drawn again where they changed or the layout moved them.
    const DrawnPlacement placement{clientWidth,          scrollX,           g_layout.rows,         g_layout.columnPitch,
                                   g_layout.contentWidth, g_layout.buttonWidth, g_layout.buttonHeight, g_layout.dpi};
    const int drawn = static_cast<int>(std::count_if(s_shown.begin(), s_shown.end(), [](const Shown& x) { return x.file >= 0; }));
    if (s_drawnChanged || (!(placement == s_placedIn) && (drawn > 0 || !s_labels.empty()))) changed = true;
    s_drawnChanged = false;
    s_placedIn = placement;
    // How many matches of other files the bar shows, for whoever looks at it from outside. The
    // property is named by an atom of the program's own (one named by a string adds a reference
    // to the string's atom each time it is set), and set only when the count changes: every
    // rebuild of the bar passes here.
    static const ATOM property = GlobalAddAtomA("BriskletOtherMatches");
    static int said = -1;
    if (drawn != said) SetPropA(g_hwndBar, MAKEINTATOM(property), reinterpret_cast<HANDLE>(static_cast<INT_PTR>(drawn)));
    said = drawn;
    return changed;
}

void DrawFilterItems(HDC dc, const RECT& area) {
    if (s_labels.empty()) return;
    const int width = BarClientWidth();
    const HGDIOBJ oldFont = SelectObject(dc, g_barFont);
    SetBkMode(dc, TRANSPARENT);
    RECT both;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (const Label& label : s_labels) {
        RECT rect = SlotRect(label.slot, width);
        if (IntersectRect(&both, &rect, &area) == FALSE) continue;
        DrawTextA(dc, label.text.c_str(), -1, &rect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    const bool focusShows = GetFocus() == g_hwndBar &&
                            (SendMessageA(g_hwndBar, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
    const int edge = 3;  // the face's frame and a pixel of air
    FacePainter faces(dc);
    for (size_t i = 0; i < s_shown.size(); ++i) {
        const Shown& shown = s_shown[i];
        if (shown.file < 0) continue;
        const RECT rect = SlotRect(shown.slot, width);
        if (IntersectRect(&both, &rect, &area) == FALSE) continue;
        const int index = static_cast<int>(i);
        FaceState state = FaceState::Normal;
        if (index == s_pressedOther && index == s_hotOther) state = FaceState::Pressed;
        else if (index == s_hotOther) state = FaceState::Hot;
        else if (index == s_focusedOther) state = FaceState::Defaulted;
        faces.Draw(rect, state);
        RECT caption = rect;
        InflateRect(&caption, -edge, 0);
        SetTextColor(dc, ButtonCaptionColour(state));
        DrawTextA(dc, shown.name.c_str(), -1, &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (index == s_focusedOther && focusShows) {
            RECT focus = rect;
            InflateRect(&focus, -edge, -edge);
            DrawFocusRect(dc, &focus);
        }
    }
    SelectObject(dc, oldFont);
}

namespace {

// The drawn match at a point of the bar's client area, or -1.
int DrawnAt(LPARAM lParam) {
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const int width = BarClientWidth();
    for (size_t i = 0; i < s_shown.size(); ++i) {
        if (s_shown[i].file < 0) continue;
        const RECT rect = SlotRect(s_shown[i].slot, width);
        if (PtInRect(&rect, point) != FALSE) return static_cast<int>(i);
    }
    return -1;
}

void SetHot(int index) {
    if (index == s_hotOther) return;
    InvalidateShown(s_hotOther);
    s_hotOther = index;
    InvalidateShown(s_hotOther);
    if (index < 0) return;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = g_hwndBar;
    TrackMouseEvent(&track);
}

void OpenShown(int index) {
    if (index < 0 || index >= static_cast<int>(s_shown.size())) return;
    const Shown& shown = s_shown[static_cast<size_t>(index)];
    const int id = shown.file < 0 ? IDC_BUTTON_FIRST + shown.record : IDC_OTHER_FIRST + shown.other;
    SendMessageA(g_hwndBar, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(WindowOf(shown)));
}

}  // namespace

bool FilterMouseAndFocus(UINT message, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEMOVE: SetHot(DrawnAt(lParam)); return s_hotOther >= 0 || s_pressedOther >= 0;
        case WM_MOUSELEAVE: SetHot(-1); return false;
        case WM_LBUTTONDOWN: {
            const int index = DrawnAt(lParam);
            if (index < 0) return false;
            FocusShown(index);
            s_pressedOther = index;
            SetCapture(g_hwndBar);
            InvalidateShown(index);
            return true;
        }
        case WM_LBUTTONUP: {
            const int pressed = s_pressedOther;
            if (pressed < 0) return false;
            s_pressedOther = -1;
            ReleaseCapture();
            InvalidateShown(pressed);
            if (DrawnAt(lParam) == pressed) OpenShown(pressed);
            return true;
        }
        case WM_RBUTTONDOWN:
            // As on any button of the bar, the right button opens the Setup dialog.
            if (DrawnAt(lParam) < 0) return false;
            PostMessageA(g_hwndBar, WM_COMMAND, IDM_SETUP, 0);
            return true;
        case WM_CAPTURECHANGED:
            if (s_pressedOther >= 0) InvalidateShown(s_pressedOther);
            s_pressedOther = -1;
            return false;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: InvalidateShown(s_focusedOther); return false;
        default: return false;
    }
}

bool FilterKeyDown(const MSG& message) {
    if (GetKeyState(VK_CONTROL) < 0) return false;
    const auto key = static_cast<unsigned>(message.wParam);
    if (key == VK_BACK) {
        if (!EraseFromFilter(s_text)) return false;
        TextChanged();
        if (s_text.empty()) SetFocus(g_buttonWindows[0] != nullptr ? g_buttonWindows[0] : g_hwndBar);
        return true;
    }
    if (s_text.empty()) return false;
    if (key == VK_ESCAPE) {
        ClearFilter();
        SetFocus(g_buttonWindows[0] != nullptr ? g_buttonWindows[0] : g_hwndBar);
        return true;
    }
    if (key == VK_SPACE) {
        // Between words a blank is typed; the key itself does not press the focused button.
        if (TypeIntoFilter(s_text, ' ')) TextChanged();
        return true;
    }
    const BarKeyAction action = ClassifyBarKey(key, GetKeyState(VK_SHIFT) < 0);
    const int current = ShownIndexOf(GetFocus());
    switch (action) {
        case BarKeyAction::None:
        case BarKeyAction::Hide: return false;
        case BarKeyAction::Open:
            if ((message.lParam & 0x40000000) == 0) OpenShown(current);
            return true;
        default:
            FocusShown(MoveBarFocus(action, current, static_cast<int>(s_shown.size())));
            return true;
    }
}

bool FilterCharacter(const MSG& message) {
    if (!TypeIntoFilter(s_text, static_cast<unsigned char>(message.wParam))) return false;
    TextChanged();
    return true;
}

void ClearFilter() {
    if (s_text.empty() && s_slotCount == 0) return;
    s_text.clear();
    TextChanged();
}

void LaunchOtherMatch(int k) {
    const auto found = std::find_if(s_shown.begin(), s_shown.end(), [k](const Shown& s) { return s.file >= 0 && s.other == k; });
    if (found != s_shown.end()) LaunchRecordOf(*s_others[static_cast<size_t>(found->file)].table, found->record);
}

void NoteButtonFolderChanged() { s_othersStale = true; }

void NoteBarShown() {
    // A watched Button folder reports every change to its files; any other is looked at again.
    if (LowerUtf8(WatchedFolder()) != LowerUtf8(g_buttonFolder)) s_othersStale = true;
}
