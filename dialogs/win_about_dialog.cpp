// The About box (template 103) and the hyperlink control of class "HyperClass" that it carries.
// The control keeps no data: it paints and opens one fixed address, the product's web page.
#include "dialogs/win_dialogs.h"

#include <shellapi.h>

#include "app/win_dpi.h"
#include "app/win_state.h"
#include "res/resource.h"
#include "store/button_table.h"

namespace {

// ---- About box ----

INT_PTR OnAboutInit(HWND dialog) {
    CentreOnScreen(dialog);
    return TRUE;
}

INT_PTR OnAboutCommand(HWND dialog, WPARAM wParam) {
    const int id = LOWORD(wParam);
    if (id != IDOK && id != IDCANCEL) return FALSE;
    EndDialog(dialog, id);
    return TRUE;
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    try {
        switch (message) {
        case WM_INITDIALOG: return OnAboutInit(dialog);
        case WM_COMMAND:    return OnAboutCommand(dialog, wParam);
        default:            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

// ---- Hyperlink control ----

// Holds a GDI object selected into a device context; on every path it puts the previous object
// back and then deletes its own (a selected object must not be deleted).
class SelectedGdiObject {
public:
    SelectedGdiObject(HDC dc, HGDIOBJ object)
        : dc_(dc), object_(object), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedGdiObject() {
        if (previous_) SelectObject(dc_, previous_);
        if (object_) DeleteObject(object_);
    }
    SelectedGdiObject(const SelectedGdiObject&) = delete;
    SelectedGdiObject& operator=(const SelectedGdiObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ object_;
    HGDIOBJ previous_;
};

// Ten points at the DPI the control is shown at (its monitor's, where that differs).
HFONT CreateLinkFont(HWND hwnd) {
    const int height = -MulDiv(10, WindowDpi(hwnd), 72);
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       "Verdana");
}

// One line, centred over the whole client rectangle: blue, underlined 10-point Verdana on the
// button face colour. What does not fit is clipped by the rectangle.
LRESULT OnLinkPaint(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    {
        SelectedGdiObject font(dc, CreateLinkFont(hwnd));
        SelectedGdiObject brush(dc, CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        SetTextColor(dc, RGB(0, 0, 255));
        DrawTextA(dc, kHomePageUrl, -1, &client, DT_SINGLELINE | DT_CENTER);
    }
    EndPaint(hwnd, &ps);
    return 0;
}

// Opens the address through the shell. The error box is owned by the About box, so it stays
// open behind it and one click gives one message.
void OnLinkClick(HWND hwnd) {
    const HINSTANCE result =
        ShellExecuteA(nullptr, "open", kHomePageUrl, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32) {
        MessageBoxA(GetParent(hwnd), "Error opening Web Browser.", "Launch Error", MB_OK);
    }
}

}  // namespace

void RunAboutDialog(HWND bar) {
    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), bar, AboutDialogProc, 0);
}

LRESULT CALLBACK HyperlinkWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_PAINT:
            return OnLinkPaint(hwnd);
        case WM_LBUTTONDOWN:
            OnLinkClick(hwnd);
            break;  // the click goes on to the default handling as well
        default:
            break;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
