#include "tests/e2e/recorder.h"

#include <windows.h>
#include <tlhelp32.h>

#include "tests/e2e/harness.h"

namespace e2e {

namespace {

const char kProgId[] = "BriskletRecorder.htm";

bool SetDefault(HKEY root, const std::string& path, const char* name, const std::string& value) {
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

std::string HandlerCommand(const char* via) {
    return "\"" + RecorderExe() + "\" --via=" + via + " \"%1\"";
}

// One classes tree: root + prefix ("Software\Classes\" under HKCU, "" under HKEY_CLASSES_ROOT).
bool RegisterUnder(HKEY root, const std::string& prefix) {
    bool ok = true;
    for (const char* protocol : {"http", "https"}) {
        const std::string key = prefix + protocol;
        ok &= SetDefault(root, key, nullptr, std::string("URL:") + protocol);
        ok &= SetDefault(root, key, "URL Protocol", "");
        // A DDE conversation would take precedence over the command; none is offered.
        RegDeleteKeyA(root, (key + "\\shell\\open\\ddeexec\\Application").c_str());
        RegDeleteKeyA(root, (key + "\\shell\\open\\ddeexec\\Topic").c_str());
        RegDeleteKeyA(root, (key + "\\shell\\open\\ddeexec").c_str());
        ok &= SetDefault(root, key + "\\shell\\open\\command", nullptr, HandlerCommand(protocol));
    }
    ok &= SetDefault(root, prefix + ".htm", nullptr, kProgId);
    ok &= SetDefault(root, prefix + kProgId + "\\shell\\open\\command", nullptr, HandlerCommand("htm"));
    return ok;
}

}  // namespace

std::string RecorderExe() { return BuildFolder() + "\\url_recorder.exe"; }

std::string LaunchLogPath() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "brisklet-launches.txt";
}

bool InstallRecorder() {
    const bool perUser = RegisterUnder(HKEY_CURRENT_USER, "Software\\Classes\\");
    const bool classesRoot = RegisterUnder(HKEY_CLASSES_ROOT, "");
    return perUser && classesRoot && FileExists(RecorderExe());
}

Launch ParseLaunch(const std::string& commandLine) {
    Launch launch;
    launch.commandLine = commandLine;
    size_t end;
    if (!commandLine.empty() && commandLine[0] == '"') {
        end = commandLine.find('"', 1);
        if (end == std::string::npos) end = commandLine.size();
        launch.program = commandLine.substr(1, end - 1);
        if (end < commandLine.size()) ++end;
    } else {
        end = commandLine.find_first_of(" \t");
        if (end == std::string::npos) end = commandLine.size();
        launch.program = commandLine.substr(0, end);
    }
    const size_t rest = commandLine.find_first_not_of(" \t", end);
    if (rest != std::string::npos) launch.arguments = commandLine.substr(rest);
    return launch;
}

std::vector<Launch> ReadLaunches() {
    const std::vector<unsigned char> bytes = ReadFileBytes(LaunchLogPath());
    std::vector<Launch> launches;
    std::string line;
    for (unsigned char c : bytes) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            launches.push_back(ParseLaunch(line));
            line.clear();
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    return launches;   // a line still being written (no newline yet) is left out
}

void ClearLaunches() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (DeleteFileA(LaunchLogPath().c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
        Sleep(20);
    }
}

std::vector<Launch> SettledLaunches(HWND bar, int timeoutMs) {
    Sync(bar);
    const auto noRecorderRuns = [] {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return false;
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        bool found = false;
        for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
            found = lstrcmpiA(entry.szExeFile, "url_recorder.exe") == 0;
        }
        CloseHandle(snapshot);
        return !found;
    };
    EXPECT_TRUE(WaitUntil(noRecorderRuns, timeoutMs)) << "a recorder is still running";
    return ReadLaunches();
}

bool WaitForLaunch(const std::string& text, Launch* found, int timeoutMs) {
    return WaitUntil(
        [&] {
            for (const Launch& launch : ReadLaunches()) {
                if (launch.commandLine.find(text) != std::string::npos) {
                    if (found != nullptr) *found = launch;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

}  // namespace e2e
