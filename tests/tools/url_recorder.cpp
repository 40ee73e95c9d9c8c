// Stands in for a web browser in the end-to-end tests: appends its whole command line as one
// line to a log file and exits. The log is BRISKLET_LAUNCH_LOG when that is set, otherwise
// %TEMP%\brisklet-launches.txt. Registered as the "open" handler of http, https and .htm pages
// by tests/e2e/recorder.cpp, so that both the shell's opening of a URL and the program found
// for .htm files end up here.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string LogPath() {
    char buffer[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableA("BRISKLET_LAUNCH_LOG", buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer) return buffer;
    length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return "C:\\brisklet-launches.txt";
    return std::string(buffer) + "brisklet-launches.txt";
}

// Another launch may be writing at the same moment: retry while the file is in use.
HANDLE OpenLogForAppend(const std::string& path) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        Sleep(10);
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // In UTF-8, so that addresses in any script are recorded as they came.
    const wchar_t* wide = GetCommandLineW();
    std::string line(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &line[0], static_cast<int>(line.size()), nullptr, nullptr);
    line.resize(line.size() - 1);
    line += "\r\n";
    HANDLE file = OpenLogForAppend(LogPath());
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size() ? 0 : 1;
}
