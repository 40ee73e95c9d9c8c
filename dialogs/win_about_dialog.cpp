// Placeholder: the About box and the hyperlink control are filled in by the dialogs work.
#include "dialogs/win_dialogs.h"

void RunAboutDialog(HWND) {}
LRESULT CALLBACK HyperlinkWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
