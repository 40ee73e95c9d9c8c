// Placeholder entry point until start-up is built: links the core and exits 0.
#include <windows.h>
#include "store/button_table.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return ButtonCount(g_buttonTable) < 0 ? 1 : 0;
}
