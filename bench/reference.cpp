// The bare Win32 program the benchmark measures Brisklet against: it registers a window class,
// creates a hidden captioned window, adds a tray icon from its message queue and runs a message
// loop until the window is closed. It does the least a tray program must do, the same way the
// real program does it (ANSI calls, icon 108, callback message 1324, the icon added by a posted
// command once the loop runs), so the difference between the two is what the real program adds.
//
// Built a second time with BENCH_PLATFORM_PARTS (bench_reference_platform.exe), it also takes
// on the platform parts Brisklet cannot do without: OLE and a drop target registered on its
// window (which makes OLE marshal it and start its RPC machinery, as Brisklet's does), version 6
// of the common controls (the manifest) for its buttons, and the shell folder library. That one
// shows how much of Brisklet's cost those parts are.
//
// Both answer kRebuildMessage (wParam = a count of buttons) by doing what a rebuild of the bar
// costs the platform at least: destroy the push buttons they have, move the window, create
// `count` visible push buttons in it and set a font on each. The answer is the time it took, in
// microseconds, measured inside the process.
#include <windows.h>
#include <shellapi.h>
#if defined(BENCH_PLATFORM_PARTS)
#include <commctrl.h>
#include <ole2.h>
#endif

namespace {

const char kClassName[] = "BRISKLET_BENCH_REFERENCE";
const char kTitle[] = "Bench reference";
constexpr UINT kTrayId = 108;
constexpr UINT kTrayCallback = WM_USER + 300;
constexpr WORD kAddTrayCommand = 135;
constexpr UINT kRebuildMessage = WM_APP + 1;
constexpr UINT kShowMessage = WM_USER + 405;  // the bar's WM_BAR_ACTIVATE: show the window

HWND g_buttons[100];
int g_buttonCount = 0;
HFONT g_font = nullptr;

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

LRESULT Rebuild(HWND window, WPARAM requested) {
    const int count = requested > 100 ? 100 : static_cast<int>(requested);
    if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOWNORMAL);
    if (g_font == nullptr) g_font = CreateFontA(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "System");
    const LONGLONG started = Now();
    for (int i = 0; i < g_buttonCount; ++i) DestroyWindow(g_buttons[i]);
    // The left edge of the screen: clear of the bar, which the benchmark shows at the same time.
    MoveWindow(window, 20, 588 - 27 * count, 160, 27 * count + 51, TRUE);
    for (int i = 0; i < count; ++i) {
        g_buttons[i] = CreateWindowExA(0, "button", "Button", WS_CHILD | WS_VISIBLE, 10, 5 + 27 * i, 140, 22, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(2000 + i)),
                                       GetModuleHandleA(nullptr), nullptr);
    }
    for (int i = 0; i < count; ++i) SendMessageA(g_buttons[i], WM_SETFONT, reinterpret_cast<WPARAM>(g_font), 1);
    g_buttonCount = count;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<LRESULT>((Now() - started) * 1000000 / frequency.QuadPart);
}

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
        case kRebuildMessage:
            return Rebuild(window, wParam);
        case kShowMessage:
            ShowWindow(window, SW_SHOWNORMAL);
            SetForegroundWindow(window);
            return 0;
        case WM_DESTROY:
            RemoveTrayIcon(window);
            PostQuitMessage(0);
#if defined(BENCH_PLATFORM_PARTS)
            RevokeDragDrop(window);
            OleUninitialize();
#endif
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

#if defined(BENCH_PLATFORM_PARTS)
// A drop target that takes nothing: only its registration is the platform's cost.
class RefusingDropTarget : public IDropTarget {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IDropTarget) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override { return Refuse(effect); }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override { return Refuse(effect); }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override { return Refuse(effect); }

private:
    static HRESULT Refuse(DWORD* effect) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
};

RefusingDropTarget g_dropTarget;

void TakeOnPlatformParts() {
    OleInitialize(nullptr);
    InitCommonControls();
    HMODULE folders = LoadLibraryA("shfolder.dll");
    if (folders != nullptr) {
        char path[MAX_PATH];
        using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
        auto entry = reinterpret_cast<GetFolderPath>(
            reinterpret_cast<void (*)()>(GetProcAddress(folders, "SHGetFolderPathA")));
        if (entry != nullptr) entry(nullptr, 5, nullptr, 0, path);  // CSIDL_PERSONAL
        FreeLibrary(folders);
    }
}
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
#if defined(BENCH_PLATFORM_PARTS)
    TakeOnPlatformParts();
#endif
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
#if defined(BENCH_PLATFORM_PARTS)
    // Registered before the window can first be shown, as Brisklet does.
    RegisterDragDrop(window, &g_dropTarget);
#endif
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
