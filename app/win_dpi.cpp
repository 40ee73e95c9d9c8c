#include "app/win_dpi.h"

#include "app/layout.h"
#include "app/win_state.h"

namespace {

using GetDpiForWindowEntry = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiEntry = int(WINAPI*)(int, UINT);

// user32 is always loaded; a name it lacks is simply not there on that Windows.
template <typename Entry>
Entry User32Entry(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    FARPROC proc = user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
    // void(*)() is the neutral function pointer type between two unrelated ones.
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(proc));
}

GetDpiForWindowEntry DpiForWindow() {
    static const GetDpiForWindowEntry entry = User32Entry<GetDpiForWindowEntry>("GetDpiForWindow");
    return entry;
}

GetSystemMetricsForDpiEntry MetricsForDpi() {
    static const GetSystemMetricsForDpiEntry entry =
        User32Entry<GetSystemMetricsForDpiEntry>("GetSystemMetricsForDpi");
    return entry;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kBaseDpi;
}

HICON LoadIconSized(HINSTANCE instance, int id, int widthMetric, int heightMetric) {
    const int dpi = BarDpi();
    return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                         MetricForDpi(widthMetric, dpi), MetricForDpi(heightMetric, dpi), 0));
}

}  // namespace

int WindowDpi(HWND window) {
    if (window != nullptr && DpiForWindow() != nullptr) {
        const UINT dpi = DpiForWindow()(window);
        if (dpi != 0) return static_cast<int>(dpi);
    }
    return ScreenDpi();
}

int BarDpi() {
    return WindowDpi(g_hwndBar);
}

int MetricForDpi(int index, int dpi) {
    if (MetricsForDpi() != nullptr) return MetricsForDpi()(index, static_cast<UINT>(dpi));
    return GetSystemMetrics(index);
}

LOGFONTA LogFontAtBarDpi(const FontDesc& stored) {
    return ToLogFont(FontAtDpi(stored, BarDpi()));
}

FontDesc StoredFontFromBarDpi(const LOGFONTA& shown) {
    return FontAtBaseDpi(FromLogFont(shown), BarDpi());
}

HICON LoadSmallIconAtBarDpi(HINSTANCE instance, int id) {
    return LoadIconSized(instance, id, SM_CXSMICON, SM_CYSMICON);
}

HICON LoadLargeIconAtBarDpi(HINSTANCE instance, int id) {
    return LoadIconSized(instance, id, SM_CXICON, SM_CYICON);
}
