// Start-up pieces that touch Windows: the window classes, the creation of the Button bar, the
// shell folders, the program for .htm files and the default font height.
#include "app/win_startup.h"

#include <shlobj.h>
#include <cstdio>

#include "app/layout.h"
#include "app/shared_state.h"
#include "app/startup_rules.h"
#include "app/bar_messages.h"
#include "app/win_bar.h"
#include "app/win_bar_keys.h"
#include "app/win_dpi.h"
#include "app/win_file_sync.h"
#include "app/win_site_icons.h"
#include "app/win_state.h"
#include "app/win_tray.h"
#include "dialogs/win_dialogs.h"
#include "res/resource.h"
#include "shell/win_drop_target.h"
#include "store/button_files.h"

// The icons and the hand cursor are taken at the sizes of the screen's DPI; the images carry
// every common size, so none is stretched.
void RegisterWindowClasses(HINSTANCE instance) {
    HICON largeIcon = LoadLargeIconAtBarDpi(instance, IDI_APP);
    HICON smallIcon = LoadSmallIconAtBarDpi(instance, IDI_TRAY_NORMAL);
    const int cursorSize = MetricForDpi(SM_CXCURSOR, BarDpi());
    HCURSOR hand = static_cast<HCURSOR>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDC_HAND_CURSOR), IMAGE_CURSOR, cursorSize, cursorSize, 0));

    WNDCLASSEXA bar = {};
    bar.cbSize = sizeof bar;
    bar.style = CS_HREDRAW | CS_VREDRAW;
    bar.lpfnWndProc = BarWindowProc;
    bar.hInstance = instance;
    bar.hIcon = largeIcon;
    bar.hIconSm = smallIcon;
    bar.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    bar.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    bar.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    bar.lpszClassName = g_windowClass;
    RegisterClassExA(&bar);

    WNDCLASSEXA link = {};
    link.cbSize = sizeof link;
    link.style = CS_HREDRAW | CS_VREDRAW;
    link.lpfnWndProc = HyperlinkWindowProc;
    link.hInstance = instance;
    link.hIcon = largeIcon;
    link.hIconSm = smallIcon;
    link.hCursor = hand;
    link.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    link.lpszMenuName = nullptr;
    link.lpszClassName = "HyperClass";
    RegisterClassExA(&link);
}

bool CreateButtonBar(HINSTANCE instance) {
    g_hInstance = instance;
    HWND bar = CreateWindowExA(0, g_windowClass, g_windowTitle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                               g_layout.barX, g_layout.barY, g_layout.barWidth, g_layout.barHeight, nullptr,
                               nullptr, instance, nullptr);
    if (bar == nullptr) return false;

    g_hwndBar = bar;  // the tray icons are loaded at the bar's DPI
    PrepareTray(instance);

    g_selectedIndex = 0;
    g_hMenu = GetMenu(bar);

    // The icon and its tip need only the bar's window and the loaded table, so the icon goes up
    // now: a user sees Brisklet in the tray before the rest of start-up has run.
    AddTrayIcon(bar);
    RegisterPopupHotKey(bar);
    // The layout was worked out at the screen's DPI; a bar that opened on a display of another
    // scale is laid out again at its own before the buttons are made.
    if (WindowDpi(bar) != g_layout.dpi) ComputeLayout();
    MoveBarToLayout();  // also shows the scroll bar when the columns are wider than the screen
    // The buttons follow at once, so that whoever finds the bar finds them on it.
    CreateButtonWindows();
    return true;
}

void FinishButtonBar() {
    HWND bar = g_hwndBar;
    // The drop target is registered before the bar can first be shown: by the start itself just
    // below, or by the tray once the message loop runs.
    CreateDropTarget(bar);

    // The icons come from the background once everything else is up.
    StartButtonIcons();
    // Changes to the Button file by other programs (another PC's, through a sync client).
    StartFileSync();

    // The font step is queued last: registering the drop target may pump the thread's messages.
    PostMessageA(bar, WM_BAR_APPLYFONTS, 0, 0);

    if (g_showOnStart == 1) {
        g_showOnStart = 0;
        ShowWindow(bar, SW_SHOWNORMAL);
        UpdateWindow(bar);
    }
}

void ReadShellFolders() {
    using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    HMODULE shfolder = LoadLibraryA("shfolder.dll");
    if (shfolder == nullptr) return;
    FARPROC proc = GetProcAddress(shfolder, "SHGetFolderPathA");
    if (proc != nullptr) {
        auto getFolderPath = reinterpret_cast<GetFolderPath>(reinterpret_cast<void (*)()>(proc));
        // The call writes at most MAX_PATH bytes; both folders hold 2,048.
        static_assert(sizeof g_appDataFolder >= MAX_PATH && sizeof g_documentsFolder >= MAX_PATH,
                      "shell folder buffers");
        if (FAILED(getFolderPath(nullptr, CSIDL_APPDATA, nullptr, 0, g_appDataFolder))) g_appDataFolder[0] = '\0';
        if (FAILED(getFolderPath(nullptr, CSIDL_PERSONAL, nullptr, 0, g_documentsFolder))) {
            g_documentsFolder[0] = '\0';
        }
    }
    FreeLibrary(shfolder);
}

void FindBrowserProgram() {
    g_browserProgram[0] = '\0';
    char tempFolder[1024];
    const DWORD length = GetTempPathA(sizeof tempFolder, tempFolder);
    if (length == 0 || length >= sizeof tempFolder) return;
    char probe[1024];
    if (!BuildProbePath(tempFolder, probe, sizeof probe)) return;

    // FindExecutableA needs an existing file of the type; when none can be made, there is no
    // Browser program and start-up goes on.
    std::FILE* file = std::fopen(probe, "wb");
    if (file == nullptr) return;
    static_cast<void>(std::fclose(file));  // an empty probe: once opened, it exists

    static_assert(sizeof g_browserProgram >= MAX_PATH, "FindExecutableA writes up to MAX_PATH bytes");
    const INT_PTR result = reinterpret_cast<INT_PTR>(FindExecutableA(probe, nullptr, g_browserProgram));
    if (result <= 32) g_browserProgram[0] = '\0';
    DeleteFileA(probe);
}

// Ten points at 96 DPI (-13): a Button file holds 96-DPI sizes, whatever the display's DPI, so a
// new default file is the same on every display and its font is scaled when it is made.
void ComputeDefaultFontHeight() {
    g_defaultFontHeight = -MulDiv(10, kBaseDpi, 72);
}
