#include "app/win_state.h"

HINSTANCE g_hInstance;
HWND g_hwndBar;
HMENU g_hMenu;
HFONT g_barFont;
LOGFONTA g_fontScratch;
HWND g_buttonWindows[kMaxButtons];
char g_windowTitle[100];
char g_windowClass[100];
