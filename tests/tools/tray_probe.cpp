// Looks at the running Brisklet from inside the same desktop (a Wine virtual desktop hides its
// windows from processes outside it) and writes what it saw to a result file, for shell-driven
// tests that cannot call Win32 themselves.
//
//   tray_probe.exe RESULT-FILE status   ->  "bar=B visible=V icon=I"
//   tray_probe.exe RESULT-FILE close    ->  "closed=C icon=I"   (E&xit, answered Yes)
//
// B, V, I and C are 0 or 1: the bar exists, the bar is visible, its tray icon 108 is present,
// the bar closed within ten seconds.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

HWND FindBar() { return FindWindowA("BRISKLET", "Brisklet"); }

bool IconPresent(HWND bar) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = bar;
    data.uID = 108;
    return bar != nullptr && Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

bool WaitFor(bool (*condition)(HWND), HWND hwnd, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition(hwnd)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

std::string Status() {
    HWND bar = FindBar();
    return std::string("bar=") + (bar ? "1" : "0") + " visible=" + (bar && IsWindowVisible(bar) ? "1" : "0") +
           " icon=" + (IconPresent(bar) ? "1" : "0");
}

std::string Close() {
    HWND bar = FindBar();
    if (bar == nullptr) return "closed=0 icon=0";
    PostMessageA(bar, WM_COMMAND, 105, 0);
    static HWND box;
    const bool asked = WaitFor([](HWND) { return (box = FindWindowA("#32770", "Brisklet")) != nullptr; }, nullptr, 10000);
    if (asked) PostMessageA(box, WM_COMMAND, IDYES, 0);
    const bool closed = asked && WaitFor([](HWND h) { return !IsWindow(h); }, bar, 10000);
    return std::string("closed=") + (closed ? "1" : "0") + " icon=" + (IconPresent(bar) ? "1" : "0");
}

// Written under a temporary name and moved into place, so a reader never sees half a line.
void WriteResult(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string line = text + "\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 3) return 2;
    const std::string path = __argv[1];
    const std::string command = __argv[2];
    if (command == "status") WriteResult(path, Status());
    else if (command == "close") WriteResult(path, Close());
    else return 2;
    return 0;
}
