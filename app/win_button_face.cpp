#include "app/win_button_face.h"

#include <algorithm>
#include <iterator>

#include "app/win_state.h"

namespace {

constexpr int kStates = 5;

// The theme functions, asked for only where the theme library is loaded already (it is
// whenever a theme draws the buttons), so that the program does not import it.
using OpenThemeDataEntry = HANDLE(WINAPI*)(HWND, LPCWSTR);
using CloseThemeDataEntry = HRESULT(WINAPI*)(HANDLE);
using DrawThemeBackgroundEntry = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
using GetThemeColorEntry = HRESULT(WINAPI*)(HANDLE, int, int, int, COLORREF*);
struct Theme {
    bool asked = false;
    HANDLE data = nullptr;
    CloseThemeDataEntry close = nullptr;
    DrawThemeBackgroundEntry drawBackground = nullptr;
    GetThemeColorEntry getColour = nullptr;
};
Theme s_theme;

template <typename Entry>
Entry ThemeEntry(HMODULE module, const char* name) {
    // void(*)() is the neutral function pointer type between two unrelated ones.
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The push buttons' theme, or none where no theme draws them.
const Theme& ButtonTheme() {
    if (s_theme.asked) return s_theme;
    s_theme.asked = true;
    HMODULE module = GetModuleHandleA("uxtheme.dll");
    if (module == nullptr) return s_theme;
    const auto open = ThemeEntry<OpenThemeDataEntry>(module, "OpenThemeData");
    s_theme.close = ThemeEntry<CloseThemeDataEntry>(module, "CloseThemeData");
    s_theme.drawBackground = ThemeEntry<DrawThemeBackgroundEntry>(module, "DrawThemeBackground");
    s_theme.getColour = ThemeEntry<GetThemeColorEntry>(module, "GetThemeColor");
    if (open != nullptr && s_theme.close != nullptr && s_theme.drawBackground != nullptr && s_theme.getColour != nullptr)
        s_theme.data = open(g_hwndBar, L"BUTTON");
    return s_theme;
}

constexpr int kPushButton = 1;  // the theme's part

// The faces drawn so far, all of one size.
struct Faces {
    int width = 0;
    int height = 0;
    HBITMAP bitmap[kStates] = {};
};
Faces s_faces;

COLORREF s_captionColour[kStates];
bool s_captionColourKnown[kStates];

void DrawFaceAnew(HDC dc, const RECT& rect, FaceState state) {
    // A push button fills its rectangle with the button face colour before the theme's face goes
    // on it (the face's rounded corners let some of it through).
    FillRect(dc, &rect, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    const Theme& theme = ButtonTheme();
    if (theme.data != nullptr &&
        SUCCEEDED(theme.drawBackground(theme.data, dc, kPushButton, static_cast<int>(state), &rect, nullptr)))
        return;
    RECT face = rect;
    if (state == FaceState::Defaulted) {
        FrameRect(dc, &face, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&face, -1, -1);
    }
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (state == FaceState::Pressed ? DFCS_PUSHED : 0));
}

void ForgetFaceBitmaps() {
    for (HBITMAP& bitmap : s_faces.bitmap) {
        if (bitmap != nullptr) DeleteObject(bitmap);
        bitmap = nullptr;
    }
    s_faces.width = s_faces.height = 0;
}

HBITMAP FaceBitmap(HDC like, int width, int height, FaceState state) {
    if (width != s_faces.width || height != s_faces.height) {
        ForgetFaceBitmaps();
        s_faces.width = width;
        s_faces.height = height;
    }
    HBITMAP& bitmap = s_faces.bitmap[static_cast<int>(state) - 1];
    if (bitmap != nullptr) return bitmap;
    HBITMAP made = CreateCompatibleBitmap(like, width, height);
    HDC memory = CreateCompatibleDC(like);
    if (made == nullptr || memory == nullptr) {
        if (made != nullptr) DeleteObject(made);
        if (memory != nullptr) DeleteDC(memory);
        return nullptr;
    }
    bitmap = made;
    const HGDIOBJ old = SelectObject(memory, bitmap);
    const RECT whole = {0, 0, width, height};
    DrawFaceAnew(memory, whole, state);
    SelectObject(memory, old);
    DeleteDC(memory);
    return bitmap;
}

}  // namespace

FacePainter::FacePainter(HDC dc) : dc_(dc), memory_(CreateCompatibleDC(dc)) {}

FacePainter::~FacePainter() {
    if (memory_ == nullptr) return;
    if (original_ != nullptr) SelectObject(memory_, original_);
    DeleteDC(memory_);
}

void FacePainter::Draw(const RECT& rect, FaceState state) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // Faces of another size replace the ones kept: none of them may still be selected here.
    if (original_ != nullptr && (width != s_faces.width || height != s_faces.height)) {
        SelectObject(memory_, original_);
        original_ = nullptr;
    }
    HBITMAP bitmap = memory_ != nullptr && width > 0 && height > 0 ? FaceBitmap(dc_, width, height, state) : nullptr;
    if (bitmap == nullptr) {
        DrawFaceAnew(dc_, rect, state);
        return;
    }
    const HGDIOBJ old = SelectObject(memory_, bitmap);
    if (original_ == nullptr) original_ = old;
    BitBlt(dc_, rect.left, rect.top, width, height, memory_, 0, 0, SRCCOPY);
}

COLORREF ButtonCaptionColour(FaceState state) {
    const int k = static_cast<int>(state) - 1;
    COLORREF& colour = s_captionColour[k];
    if (s_captionColourKnown[k]) return colour;
    constexpr int kTextColour = 3803;  // the theme's property
    const Theme& theme = ButtonTheme();
    if (theme.data == nullptr ||
        FAILED(theme.getColour(theme.data, kPushButton, static_cast<int>(state), kTextColour, &colour)))
        colour = GetSysColor(state == FaceState::Disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    s_captionColourKnown[k] = true;
    return colour;
}

void ForgetButtonFaces() {
    ForgetFaceBitmaps();
    std::fill(std::begin(s_captionColourKnown), std::end(s_captionColourKnown), false);
    if (s_theme.data != nullptr) s_theme.close(s_theme.data);
    s_theme = Theme{};
}
