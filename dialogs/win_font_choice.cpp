#include "dialogs/win_font_choice.h"

#include <commdlg.h>
#include "app/win_state.h"
#include "dialogs/win_dialogs.h"

static_assert((CF_SCREENFONTS | CF_ENABLEHOOK | CF_INITTOLOGFONTSTRUCT) == 0x49, "font dialog flags");
static_assert(SCREEN_FONTTYPE == 0x2000, "screen font type");
#if !defined(_WIN64)
static_assert(sizeof(CHOOSEFONTA) == 60, "CHOOSEFONTA is 60 bytes in the 32-bit build");
#endif

UINT_PTR CALLBACK CentringHook(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    CentreOnScreen(dialog);
    return TRUE;
}

void RunFontChoice(HWND owner) {
    CHOOSEFONTA choice;
    ZeroMemory(&choice, sizeof choice);
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = owner;
    choice.hDC = nullptr;
    choice.lpLogFont = &g_fontScratch;
    choice.iPointSize = g_defaultFontHeight;  // not read by the font dialog
    choice.Flags = CF_SCREENFONTS | CF_ENABLEHOOK | CF_INITTOLOGFONTSTRUCT;
    choice.rgbColors = 0;
    choice.lCustData = 0;
    choice.lpfnHook = CentringHook;
    choice.lpTemplateName = nullptr;
    choice.hInstance = nullptr;
    choice.lpszStyle = nullptr;
    choice.nFontType = SCREEN_FONTTYPE;
    choice.nSizeMin = 0;
    choice.nSizeMax = 0;
    ChooseFontA(&choice);
}
