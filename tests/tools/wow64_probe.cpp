// Tells whether something that Wine 8's WoW64 mode cannot do in a 32-bit process works in the
// process of this build: exit code 0 when it works, 1 when it fails, 2 for an unknown question.
//
//   wow64_canary.exe combo-box   a bare combo box is created
//   wow64_canary.exe gdi         GDI objects are deleted, a DC takes a text colour, a memory DC
//                                is made and a system icon is loaded
//   wow64_canary.exe menu-bar    a narrow captioned window's menu bar of three short items
//                                takes one line, as AdjustWindowRectEx reckons it
//
// Built for both processors; the end-to-end tests run the build of the program under test.
#include <windows.h>

#include <cstring>

namespace {

bool ComboBoxWorks(HINSTANCE instance) {
    HWND combo = CreateWindowA("COMBOBOX", "", WS_POPUP | CBS_DROPDOWNLIST, 0, 0, 100, 100, nullptr, nullptr,
                               instance, nullptr);
    if (combo == nullptr) return false;
    DestroyWindow(combo);
    return true;
}

bool GdiWorks() {
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    const bool deleted = brush != nullptr && DeleteObject(brush) != FALSE && GetObjectType(brush) == 0;
    HDC screen = GetDC(nullptr);
    const bool coloured = SetTextColor(screen, RGB(0, 0, 255)) != CLR_INVALID && GetTextColor(screen) == RGB(0, 0, 255);
    HDC memory = CreateCompatibleDC(screen);
    if (memory != nullptr) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    const bool icon = LoadIconA(nullptr, IDI_APPLICATION) != nullptr;
    return deleted && coloured && memory != nullptr && icon;
}

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool MenuBarWorks(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "Wow64CanaryMenuBar";
    RegisterClassExA(&windowClass);
    HMENU menu = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, 1, "E&xit");
    HMENU help = CreatePopupMenu();
    AppendMenuA(help, MF_STRING, 2, "&About ...");
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(menu, MF_STRING, 3, "&Hide");
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Canary", style, 100, 100, 160, 78, nullptr, menu,
                                  instance, nullptr);
    if (window == nullptr) return false;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, TRUE, 0);
    RECT outer;
    GetWindowRect(window, &outer);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const bool oneLine = origin.y - outer.top == -frame.top;
    DestroyWindow(window);
    return oneLine;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    if (std::strcmp(commandLine, "combo-box") == 0) return ComboBoxWorks(instance) ? 0 : 1;
    if (std::strcmp(commandLine, "gdi") == 0) return GdiWorks() ? 0 : 1;
    if (std::strcmp(commandLine, "menu-bar") == 0) return MenuBarWorks(instance) ? 0 : 1;
    return 2;
}
