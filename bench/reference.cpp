// The bare Win32 program the benchmark measures Brisklet against: it registers a window class,
// creates a hidden captioned window, adds a tray icon from its message queue and runs a message
// loop until the window is closed. It does the least a tray program must do, the same way the
// real program does it (ANSI calls, icon 108, callback message 1324, the icon added by a posted
// command once the loop runs), so the difference between the two is what the real program adds.
#include <windows.h>
#include <shellapi.h>

namespace {

const char kClassName[] = "BRISKLET_BENCH_REFERENCE";
const char kTitle[] = "Bench reference";
constexpr UINT kTrayId = 108;
constexpr UINT kTrayCallback = WM_USER + 300;
constexpr WORD kAddTrayCommand = 135;

NOTIFYICONDATAA TrayData(HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = kTrayId;
    return data;
}

void AddTrayIcon(HWND window) {
    NOTIFYICONDATAA data = TrayData(window);
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = kTrayCallback;
    data.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
    lstrcpynA(data.szTip, kTitle, sizeof data.szTip);
    Shell_NotifyIconA(NIM_ADD, &data);
}

void RemoveTrayIcon(HWND window) {
    NOTIFYICONDATAA data = TrayData(window);
    Shell_NotifyIconA(NIM_DELETE, &data);
}

LRESULT CALLBACK ReferenceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kAddTrayCommand) {
                AddTrayIcon(window);
                return 0;
            }
            break;
        case WM_DESTROY:
            RemoveTrayIcon(window);
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ReferenceWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExA(&windowClass);

    HWND window = CreateWindowExA(0, kClassName, kTitle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 800, 500, 160,
                                  100, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 0;
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    PostMessageA(window, WM_COMMAND, kAddTrayCommand, 0);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
