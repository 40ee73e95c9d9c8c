// Process-wide Win32 state: the handles of the running program. Declared here, defined in
// app/win_state.cpp. Portable state lives in app/shared_state.h and the store headers.
#pragma once

#include <windows.h>
#include <cstring>
#include "store/button_table.h"
#include "store/text_encoding.h"

extern HINSTANCE g_hInstance;
extern HWND g_hwndBar;                 // null until the bar has been created
extern HMENU g_hMenu;
extern HFONT g_barFont;                // made from the table's global font
extern LOGFONTA g_fontScratch;         // working copy every font dialog edits
extern HWND g_buttonWindows[kMaxButtons];
extern char g_windowTitle[100];        // string 103, "Brisklet"
extern char g_windowClass[100];        // string 109, "BRISKLET"

static_assert(sizeof(LOGFONTA) == sizeof(FontDesc), "LOGFONTA is 60 bytes in every build");

// The face name as the A calls take it (one written in the legacy code page converted).
inline LOGFONTA ToLogFont(const FontDesc& font) {
    LOGFONTA lf;
    std::memcpy(&lf, &font, sizeof lf);
    CopyTextToField(lf.lfFaceName, sizeof lf.lfFaceName, ShownField(font.lfFaceName));
    return lf;
}
inline FontDesc FromLogFont(const LOGFONTA& lf) {
    FontDesc font{};
    std::memcpy(&font, &lf, sizeof font);
    return font;
}
