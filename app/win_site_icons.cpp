// The bar's side of the buttons' icons. Icons are kept per site (or path), never per button: a
// delivery is shown on whichever buttons have its address when it arrives, so a rebuild, a sort
// or a delete while a fetch runs shows nothing on the wrong button. An icon is destroyed only
// once no button shows it. The buttons' captions are drawn here too, with their icons or, while
// the icons are off, alone.
#include "app/win_site_icons.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/site_icons.h"
#include "app/win_button_face.h"
#include "app/win_dpi.h"
#include "app/win_icon_worker.h"
#include "app/win_state.h"
#include "res/resource.h"
#include "store/button_table.h"
#include "store/settings.h"

namespace {

// A site's (or a path's) icon, as far as it is known.
struct KnownIcon {
    std::vector<uint8_t> bytes;  // a site's checked ICO; empty for a path or while none has come
    HICON icon = nullptr;        // made at s_pixels from bytes, or the shell's for a path
    DWORD askedAt = 0;           // GetTickCount when the worker was last asked
    unsigned shownIn = 0;        // the last walk over the buttons that wanted it
};

std::map<std::string, KnownIcon> s_known;
// Icons of sites no button shows are kept up to this many, for a reload that brings them back.
constexpr size_t kKeptIcons = size_t{2} * kMaxButtons;
constexpr DWORD kAskAgainMs = 24 * 60 * 60 * 1000;

int s_pixels = 0;               // the small-icon size the icons are made at
HICON s_webIcon = nullptr;      // the built-in icon, at s_pixels
HICON s_pathIcon = nullptr;     // the shell's icon for a file, until a path's own comes
unsigned s_walk = 0;
// The icon key of each button as the last walk found it ("" for none): what a delivery is matched
// against, without reading every button's address again.
std::string s_slotKey[kMaxButtons];

using IdnToAsciiEntry = int(WINAPI*)(DWORD, LPCWSTR, int, LPWSTR, int);

// IdnToAscii is kernel32's from Windows 7 on and normaliz.dll's before; a Windows with neither
// names no site whose host is outside ASCII.
IdnToAsciiEntry IdnEntry() {
    static const IdnToAsciiEntry entry = [] {
        HMODULE module = GetModuleHandleA("kernel32.dll");
        FARPROC proc = module != nullptr ? GetProcAddress(module, "IdnToAscii") : nullptr;
        if (proc == nullptr) {
            module = LoadLibraryA("normaliz.dll");
            proc = module != nullptr ? GetProcAddress(module, "IdnToAscii") : nullptr;
        }
        // void(*)() is the neutral function pointer type between two unrelated ones.
        return reinterpret_cast<IdnToAsciiEntry>(reinterpret_cast<void (*)()>(proc));
    }();
    return entry;
}

}  // namespace

std::string AsciiHost(const std::string& host) {
    if (std::all_of(host.begin(), host.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return host;
    }
    const IdnToAsciiEntry idnToAscii = IdnEntry();
    const int size = static_cast<int>(host.size());
    const int wide = idnToAscii != nullptr ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, host.data(), size, nullptr, 0) : 0;
    if (wide <= 0) return std::string();
    // A vector, not a std::wstring: this is the program's one wide string, and the string class
    // would add 20 KB to the executable.
    std::vector<WCHAR> unicode(static_cast<size_t>(wide));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, host.data(), size, unicode.data(), wide);
    WCHAR ascii[256];  // a host name is at most 253 characters
    const int length = idnToAscii(0, unicode.data(), wide, ascii, 256);
    if (length <= 0) return std::string();
    std::string result;
    for (int i = 0; i < length; ++i) {
        const WCHAR c = ascii[i];
        if (c == 0 || c >= 0x80) return std::string();
        result += static_cast<char>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
    }
    return result;
}

bool IconJobFor(const char* address, IconJob* job) {
    switch (ClassifyButtonAddress(address)) {
        case ButtonAddressKind::Web: {
            WebAddress web;
            ParseWebAddress(address, &web);
            // The network and the cache folder take the host's ASCII form, never its raw bytes.
            web.host = AsciiHost(web.host);
            job->path = false;
            job->cacheName = IconCacheName(web);
            job->key = "site:" + job->cacheName;
            job->address = FormatWebAddress(web);
            return !job->cacheName.empty();
        }
        case ButtonAddressKind::Path: {
            job->path = true;
            job->address = address;
            std::string folded = job->address;  // paths name the same file in any letter case
            CharLowerBuffA(folded.data(), static_cast<DWORD>(folded.size()));
            job->key = "path:" + folded;
            return true;
        }
        case ButtonAddressKind::Other: break;
    }
    return false;
}

namespace {

HICON IconFromBytes(const std::vector<uint8_t>& bytes, int pixels) {
    const std::vector<IconImage> images = ReadIconImages(bytes.data(), bytes.size());
    const int chosen = ChooseIconImage(images, pixels);
    if (chosen < 0) return nullptr;
    const IconImage& image = images[static_cast<size_t>(chosen)];
    // CreateIconFromResourceEx does not write through the pointer.
    auto* data = const_cast<PBYTE>(bytes.data() + image.offset);
    return CreateIconFromResourceEx(data, static_cast<DWORD>(image.size), TRUE, 0x00030000, pixels, pixels,
                                    LR_DEFAULTCOLOR);
}

// The icon each button shows, drawn by the bar itself (DrawButtonLabel): a button is given no
// image of its own, which under some platforms costs a good part of a millisecond to set and
// twice a plain button's time to draw. The window is kept with it, so a button made anew in the
// slot is given the icon anew. The icon is also the button's property "BriskletIcon", for anyone
// outside the process who wants to know what a button shows.
struct ButtonIcon {
    HWND window = nullptr;
    HICON icon = nullptr;
};
ButtonIcon s_buttonIcon[kMaxButtons];

// The property's name as an atom of the program's own: a property named by a string adds a
// reference to the string's atom each time it is set, which a button destroyed with it never
// gives back; one named by an atom adds none.
LPCSTR IconProperty() {
    static const ATOM atom = GlobalAddAtomA("BriskletIcon");
    return MAKEINTATOM(atom);
}

// Answers whether button `index`'s icon changed. The caller draws a changed button again: a
// rebuild draws what changed once, for all buttons together.
bool SetButtonIcon(int index, HICON icon) {
    HWND button = g_buttonWindows[index];
    ButtonIcon& shown = s_buttonIcon[index];
    if (button == nullptr || (shown.window == button && shown.icon == icon)) return false;
    shown.window = button;
    shown.icon = icon;
    if (icon != nullptr) {
        SetPropA(button, IconProperty(), icon);
    } else {
        RemovePropA(button, IconProperty());
    }
    return true;
}

void RedrawButton(int index) { InvalidateRect(g_buttonWindows[index], nullptr, TRUE); }

// Icons that buttons may still show: destroyed once every button has its new one.
class RetiredIcons {
public:
    RetiredIcons() = default;
    RetiredIcons(const RetiredIcons&) = delete;
    RetiredIcons& operator=(const RetiredIcons&) = delete;
    ~RetiredIcons() {
        for (HICON icon : icons_) DestroyIcon(icon);
    }
    void Add(HICON icon) {
        if (icon != nullptr) icons_.push_back(icon);
    }

private:
    std::vector<HICON> icons_;
};

// The built-in icons and the sites' icons at the small-icon size of the bar's DPI; made again
// when the DPI has changed.
void SettleIconSize(RetiredIcons& retired) {
    const int pixels = MetricForDpi(SM_CXSMICON, BarDpi());
    if (pixels == s_pixels && s_webIcon != nullptr) return;
    s_pixels = pixels;
    retired.Add(s_webIcon);
    s_webIcon = static_cast<HICON>(
        LoadImageA(g_hInstance, MAKEINTRESOURCEA(IDI_WEB), IMAGE_ICON, pixels, pixels, LR_DEFAULTCOLOR));
    for (auto& known : s_known) {
        if (known.second.bytes.empty()) continue;
        retired.Add(known.second.icon);
        known.second.icon = IconFromBytes(known.second.bytes, pixels);
    }
}

// The shell's icon for any file, from its type alone (no disk is touched), made when a path
// first needs it: asking the shell for it costs megabytes of its icon machinery.
HICON PathPlaceholder() {
    if (s_pathIcon == nullptr) {
        SHFILEINFOA info{};
        if (SHGetFileInfoA("file", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                           SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON) != 0) {
            s_pathIcon = info.hIcon;
        }
    }
    return s_pathIcon != nullptr ? s_pathIcon : s_webIcon;
}

HICON ShownIcon(const IconJob& job, bool hasJob) {
    if (hasJob) {
        auto found = s_known.find(job.key);
        if (found != s_known.end() && found->second.icon != nullptr) return found->second.icon;
    }
    return hasJob && job.path ? PathPlaceholder() : s_webIcon;
}

// Icons of sites no button wants any more are kept, up to as many as two full bars show, for a
// reload or a switch of Button files that brings them back; past that, the ones unshown longest
// go first.
void ForgetUnshown() {
    if (s_known.size() <= kKeptIcons) return;
    std::vector<std::map<std::string, KnownIcon>::iterator> unshown;
    for (auto it = s_known.begin(); it != s_known.end(); ++it) {
        // cppcheck-suppress useStlAlgorithm ; it collects the map's iterators, not its elements
        if (it->second.shownIn != s_walk) unshown.push_back(it);
    }
    std::stable_sort(unshown.begin(), unshown.end(),
                     [](const auto& a, const auto& b) { return a->second.shownIn < b->second.shownIn; });
    for (auto it : unshown) {
        if (s_known.size() <= kKeptIcons) break;
        if (it->second.icon != nullptr) DestroyIcon(it->second.icon);
        s_known.erase(it);
    }
}

}  // namespace

std::vector<int> ShowButtonIcons() {
    std::vector<int> changed;
    if (g_showSiteIcons == 0) return changed;
    RetiredIcons retired;  // after every button has its new icon
    SettleIconSize(retired);
    ++s_walk;
    const int count = ButtonCount(g_buttonTable);
    const DWORD now = GetTickCount();
    for (int i = 0; i < count; ++i) {
        const char* address = ShownField(g_buttonTable.records[i].url);
        IconJob job;
        const bool hasJob = IconJobFor(address, &job);
        s_slotKey[i] = hasJob ? job.key : std::string();
        if (hasJob) {
            auto inserted = s_known.emplace(job.key, KnownIcon{});
            KnownIcon& known = inserted.first->second;
            known.shownIn = s_walk;
            // Asked once, and again a day later in a bar that runs that long.
            if (inserted.second || now - known.askedAt >= kAskAgainMs) {
                known.askedAt = now;
                QueueIconJob(job);
            }
        }
        if (SetButtonIcon(i, ShownIcon(job, hasJob))) changed.push_back(i);
    }
    for (int i = count; i < kMaxButtons; ++i) s_buttonIcon[i] = ButtonIcon{};
    ForgetUnshown();
    return changed;
}

namespace {

// The state a push button's caption colour is asked for, from its custom-draw item state.
FaceState CaptionState(HWND button, UINT itemState) {
    if ((itemState & CDIS_DISABLED) != 0) return FaceState::Disabled;
    if ((itemState & CDIS_SELECTED) != 0) return FaceState::Pressed;
    if ((itemState & CDIS_HOT) != 0) return FaceState::Hot;
    if ((GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return FaceState::Defaulted;
    return FaceState::Normal;
}

}  // namespace

LRESULT DrawButtonLabel(const NMCUSTOMDRAW& draw) {
    if (draw.dwDrawStage != CDDS_PREPAINT) return CDRF_DODEFAULT;
    const INT_PTR index = static_cast<INT_PTR>(draw.hdr.idFrom) - IDC_BUTTON_FIRST;
    if (index < 0 || index >= kMaxButtons) return CDRF_DODEFAULT;
    HWND button = draw.hdr.hwndFrom;
    if (button != g_buttonWindows[index]) return CDRF_DODEFAULT;
    const ButtonIcon& shown = s_buttonIcon[index];
    const bool withIcon = shown.icon != nullptr && shown.window == button && s_pixels != 0;
    // The button has drawn its face; the icon and the caption go on it as a pair, centred, the
    // caption cut with an ellipsis where the pair is wider than the face. A button without an
    // icon gets its caption the same way: a push button would take an "&" in a name ("Q&A",
    // "AT&T") for the mark of an underlined key, which the bar does not have, and leave it out.
    HDC dc = draw.hdc;
    char text[ShownSize(kNameSize) + 1] = "";
    GetWindowTextA(button, text, sizeof text);
    const auto cues = static_cast<UINT>(SendMessageA(button, WM_QUERYUISTATE, 0, 0));
    const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(button, WM_GETFONT, 0, 0)));
    const int edge = 3;  // the face's frame and a pixel of air
    const int pixels = withIcon ? s_pixels : 0;
    const int gap = withIcon ? MulDiv(2, BarDpi(), 96) : 0;
    SIZE measured = {0, 0};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &measured);
    const int room = static_cast<int>(draw.rc.right - draw.rc.left) - 2 * edge;
    const int left = draw.rc.left + edge + std::max(0, (room - (pixels + gap + static_cast<int>(measured.cx))) / 2);
    if (withIcon)
        DrawIconEx(dc, left, draw.rc.top + (draw.rc.bottom - draw.rc.top - pixels) / 2, shown.icon, pixels, pixels, 0,
                   nullptr, DI_NORMAL);
    RECT caption = {left + pixels + gap, draw.rc.top, draw.rc.right - edge, draw.rc.bottom};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ButtonCaptionColour(CaptionState(button, draw.uItemState)));
    DrawTextA(dc, text, -1, &caption, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT | DT_END_ELLIPSIS);
    if ((draw.uItemState & CDIS_FOCUS) != 0 && (cues & UISF_HIDEFOCUS) == 0) {
        RECT focus = draw.rc;
        InflateRect(&focus, -edge, -edge);
        DrawFocusRect(dc, &focus);
    }
    SelectObject(dc, oldFont);
    return CDRF_SKIPDEFAULT;
}

void StartButtonIcons() {
    if (g_showSiteIcons != 0) StartIconWorker(g_hwndBar);
}

void OnIconReady(LPARAM lParam) {
    std::unique_ptr<IconDelivery> delivery(reinterpret_cast<IconDelivery*>(lParam));
    if (delivery == nullptr) return;
    auto found = s_known.find(delivery->key);
    if (g_showSiteIcons == 0 || found == s_known.end() || s_pixels == 0) {
        // Switched off, or no button has wanted it for a while.
        if (delivery->shellIcon != nullptr) DestroyIcon(delivery->shellIcon);
        return;
    }
    KnownIcon& known = found->second;
    HICON icon = delivery->shellIcon != nullptr ? delivery->shellIcon : IconFromBytes(delivery->icon, s_pixels);
    if (icon == nullptr) return;  // the platform could not draw it: the built-in icon stays
    RetiredIcons retired;
    retired.Add(known.icon);
    known.icon = icon;
    known.bytes = std::move(delivery->icon);
    const int count = ButtonCount(g_buttonTable);
    for (int i = 0; i < count; ++i) {
        if (s_slotKey[i] == delivery->key && SetButtonIcon(i, icon)) RedrawButton(i);
    }
}

void SwitchButtonIcons(bool on) {
    const bool was = g_showSiteIcons != 0;
    SetShowSiteIcons(on);
    if (on == was) return;
    if (on) {
        for (int i : ShowButtonIcons()) RedrawButton(i);
        StartButtonIcons();
        return;
    }
    ClearIconJobs();
    for (int i = 0; i < kMaxButtons; ++i) {
        if (SetButtonIcon(i, nullptr)) RedrawButton(i);
    }
    for (auto& known : s_known) {
        if (known.second.icon != nullptr) DestroyIcon(known.second.icon);
    }
    s_known.clear();
    for (std::string& key : s_slotKey) key.clear();
}

void KeepCarriedIcons(const std::vector<std::pair<std::string, std::string>>& carried) {
    if (g_showSiteIcons == 0) return;
    for (const auto& icon : carried) {
        IconJob job;
        if (icon.second.empty() || !IconJobFor(icon.first.c_str(), &job) || job.path) continue;
        job.carried = icon.second;
        QueueIconJob(job);
    }
}

std::vector<std::string> ButtonIconUris() {
    const int count = ButtonCount(g_buttonTable);
    std::vector<std::string> uris(static_cast<size_t>(count));
    if (g_showSiteIcons == 0) return uris;
    for (int i = 0; i < count; ++i) {
        const char* address = ShownField(g_buttonTable.records[i].url);
        IconJob job;
        if (IconJobFor(address, &job) && !job.path) uris[static_cast<size_t>(i)] = CachedIconUri(job.cacheName);
    }
    return uris;
}
