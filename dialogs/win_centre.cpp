#include "dialogs/win_dialogs.h"

void CentreOnScreen(HWND dialog) {
    RECT rect;
    GetWindowRect(dialog, &rect);
    const int x = (GetSystemMetrics(SM_CXSCREEN) + rect.left - rect.right) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) + rect.top - rect.bottom) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}
