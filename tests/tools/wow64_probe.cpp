// Started by scripts/test.sh, built for the 32-bit processor, to find out whether the 32-bit
// build can be tested here: whether this machine runs 32-bit code at all (some kernels offer no
// 32-bit code segment, and then no Wine can start a 32-bit program), and whether this Wine's WoW64
// mode does in a 32-bit process what the program's dialogs and the tests need (Wine 8's cannot).
// Prints what it found, one line. Exit code 0 when everything works, 10 when something does not;
// a program that could not start at all ends with Wine's own code instead.
#include <windows.h>

#include <string>

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
    windowClass.lpszClassName = "Wow64ProbeMenuBar";
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
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Probe", style, 100, 100, 160, 78, nullptr, menu,
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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::string failing;
    if (!ComboBoxWorks(instance)) failing += " combo box,";
    if (!GdiWorks()) failing += " GDI,";
    if (!MenuBarWorks(instance)) failing += " menu bar,";
    std::string line = "a " + std::to_string(sizeof(void*) * 8) + "-bit process: ";
    line += failing.empty() ? "combo box, GDI and menu bar work\n" : "fails at" + failing.substr(0, failing.size() - 1) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return failing.empty() ? 0 : 10;
}
