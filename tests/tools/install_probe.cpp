// Looks at an installed Brisklet from outside, for tests/e2e/installer.sh:
//   install_probe tray TIMEOUT_MS     waits for the Button bar and its tray icon; prints the
//                                     path of the program that owns the bar ("exe=...")
//   install_probe visible TIMEOUT_MS  waits until the Button bar is shown
//   install_probe help                sends the bar the help command (WM_COMMAND 150)
//   install_probe close TIMEOUT_MS    closes Brisklet: WM_CLOSE, answers Yes to "Close Brisklet?",
//                                     waits for the process to end and the tray icon to go
//   install_probe shortcut LNK        prints the target of a shortcut file ("target=...")
//   install_probe run TIMEOUT_MS LINE runs a command line exactly as given (the setup program's
//                                     /D= and _?= must not be quoted) and exits with its exit code;
//                                     125 when it cannot start, 124 when it is still running
//                                     after TIMEOUT_MS (it is then ended)
//   install_probe page TITLE TEXT MS  waits until the window whose title starts with TITLE shows a control whose
//                                     text contains TEXT (a page of the setup wizard)
//   install_probe checked TITLE TEXT  prints "checked=1" or "checked=0" for the check box TEXT
//   install_probe press TITLE ID      presses the button ID of the window titled TITLE
// Exit code 0 when the step succeeded, 1 otherwise; what went wrong is printed. With
// INSTALL_PROBE_OUT set, the output and a last line "rc=N" are appended to that file instead
// (for runs inside a Wine virtual desktop, started through explorer, which keeps no stdout).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // QueryFullProcessImageNameA
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const UINT kTrayIconId = 108;
const WPARAM kHelpCommand = 150;

HWND FindBar() { return FindWindowA("BRISKLET", "Brisklet"); }

// NIM_MODIFY on another process's icon succeeds only while that icon is in the tray.
bool TrayIconPresent(HWND bar) {
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = bar;
    data.uID = kTrayIconId;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

template <typename Condition>
bool WaitFor(DWORD timeoutMs, Condition condition) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(100);
    }
}

bool ProcessImageOf(HWND window, char* path, DWORD size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return false;
    const BOOL ok = QueryFullProcessImageNameA(process, 0, path, &size);
    CloseHandle(process);
    return ok != FALSE;
}

int Tray(DWORD timeoutMs) {
    HWND bar = nullptr;
    if (!WaitFor(timeoutMs, [&] { return (bar = FindBar()) != nullptr; })) {
        printf("no window of class BRISKLET titled Brisklet\n");
        return 1;
    }
    if (!WaitFor(timeoutMs, [&] { return TrayIconPresent(bar); })) {
        printf("the bar exists but has no tray icon %u\n", kTrayIconId);
        return 1;
    }
    char exe[MAX_PATH] = "";
    if (!ProcessImageOf(bar, exe, sizeof exe)) {
        printf("cannot read the program path of the bar's process\n");
        return 1;
    }
    printf("exe=%s\n", exe);
    return 0;
}

int Visible(DWORD timeoutMs) {
    if (WaitFor(timeoutMs, [] {
            HWND bar = FindBar();
            return bar && IsWindowVisible(bar);
        }))
        return 0;
    printf("the Button bar is not shown\n");
    return 1;
}

int Help() {
    HWND bar = FindBar();
    if (!bar) {
        printf("no Button bar\n");
        return 1;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(bar, WM_COMMAND, kHelpCommand, 0, SMTO_ABORTIFHUNG, 10000, &result)) {
        printf("the bar did not handle the help command within 10 s\n");
        return 1;
    }
    return 0;
}

struct BoxSearch {
    DWORD pid;
    HWND box;
};

BOOL CALLBACK FindExitBox(HWND window, LPARAM param) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(param);
    char cls[32] = "", title[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, title, sizeof title);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && strcmp(cls, "#32770") == 0 && strcmp(title, "Exit Brisklet") == 0) {
        search->box = window;
        return FALSE;
    }
    return TRUE;
}

int Close(DWORD timeoutMs) {
    HWND bar = FindBar();
    if (!bar) {
        printf("no Button bar\n");
        return 1;
    }
    BoxSearch search = {0, nullptr};
    GetWindowThreadProcessId(bar, &search.pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, search.pid);
    PostMessageA(bar, WM_CLOSE, 0, 0);
    if (!WaitFor(timeoutMs, [&] {
            EnumWindows(FindExitBox, reinterpret_cast<LPARAM>(&search));
            return search.box != nullptr;
        })) {
        printf("no \"Exit Brisklet\" question appeared\n");
        if (process) CloseHandle(process);
        return 1;
    }
    // The Yes button of a MB_YESNO box has the id IDYES.
    HWND yes = GetDlgItem(search.box, IDYES);
    if (!yes) {
        printf("the question has no Yes button\n");
        if (process) CloseHandle(process);
        return 1;
    }
    PostMessageA(search.box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(yes));
    const bool ended = process && WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    if (process) CloseHandle(process);
    if (!ended) {
        printf("Brisklet did not end after Yes\n");
        return 1;
    }
    if (TrayIconPresent(bar)) {
        printf("the tray icon is still there after Brisklet ended\n");
        return 1;
    }
    return 0;
}

int Shortcut(const char* lnk) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    int rc = 1;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, lnk, -1, wide, MAX_PATH);
            char target[MAX_PATH] = "";
            if (SUCCEEDED(file->Load(wide, STGM_READ)) &&
                SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) {
                printf("target=%s\n", target);
                rc = 0;
            } else {
                printf("cannot read the shortcut %s\n", lnk);
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return rc;
}

int Run(DWORD timeoutMs, const char* commandLine) {
    char line[4096];
    lstrcpynA(line, commandLine, sizeof line);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        printf("cannot start: %s (error %lu)\n", commandLine, GetLastError());
        return 125;
    }
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        printf("still running after %lu ms: %s\n", timeoutMs, commandLine);
        TerminateProcess(process.hProcess, 124);
        code = 124;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

struct ControlSearch {
    const char* text;
    bool exact;
    HWND found;
};

BOOL CALLBACK FindControl(HWND window, LPARAM param) {
    ControlSearch* search = reinterpret_cast<ControlSearch*>(param);
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    const bool match = search->exact ? strcmp(text, search->text) == 0 : strstr(text, search->text) != nullptr;
    if (match && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct TopSearch {
    const char* title;
    HWND found;
};

BOOL CALLBACK FindTopByTitle(HWND window, LPARAM param) {
    TopSearch* search = reinterpret_cast<TopSearch*>(param);
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    if (strncmp(title, search->title, strlen(search->title)) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The visible top-level window whose title starts with TITLE (the wizard pads its caption).
HWND FindTopLevel(const char* title) {
    TopSearch search = {title, nullptr};
    EnumWindows(FindTopByTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A visible control anywhere inside the top-level window (the wizard's pages are child dialogs).
HWND FindVisibleControl(const char* title, const char* text, bool exact) {
    HWND top = FindTopLevel(title);
    if (!top) return nullptr;
    ControlSearch search = {text, exact, nullptr};
    EnumChildWindows(top, FindControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int Page(const char* title, const char* text, DWORD timeoutMs) {
    if (WaitFor(timeoutMs, [&] { return FindVisibleControl(title, text, false) != nullptr; })) return 0;
    printf("\"%s\" shows no \"%s\"\n", title, text);
    return 1;
}

int Checked(const char* title, const char* text) {
    HWND box = FindVisibleControl(title, text, true);
    if (!box) {
        printf("\"%s\" has no check box \"%s\"\n", title, text);
        return 1;
    }
    printf("checked=%d\n", SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    return 0;
}

int Press(const char* title, int id) {
    HWND top = FindTopLevel(title);
    HWND button = top ? GetDlgItem(top, id) : nullptr;
    if (!button || !IsWindowEnabled(button)) {
        printf("\"%s\" has no enabled button %d\n", title, id);
        return 1;
    }
    PostMessageA(top, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    char outFile[MAX_PATH] = "";
    if (GetEnvironmentVariableA("INSTALL_PROBE_OUT", outFile, sizeof outFile) > 0 && outFile[0] &&
        freopen(outFile, "a", stdout) == nullptr)
        return 2;  // nowhere to write the answer
    int rc = 2;
    if (argc == 3 && strcmp(argv[1], "tray") == 0) rc = Tray(strtoul(argv[2], nullptr, 10));
    else if (argc == 3 && strcmp(argv[1], "visible") == 0) rc = Visible(strtoul(argv[2], nullptr, 10));
    else if (argc == 2 && strcmp(argv[1], "help") == 0) rc = Help();
    else if (argc == 3 && strcmp(argv[1], "close") == 0) rc = Close(strtoul(argv[2], nullptr, 10));
    else if (argc == 3 && strcmp(argv[1], "shortcut") == 0) rc = Shortcut(argv[2]);
    else if (argc == 4 && strcmp(argv[1], "run") == 0) rc = Run(strtoul(argv[2], nullptr, 10), argv[3]);
    else if (argc == 5 && strcmp(argv[1], "page") == 0) rc = Page(argv[2], argv[3], strtoul(argv[4], nullptr, 10));
    else if (argc == 4 && strcmp(argv[1], "checked") == 0) rc = Checked(argv[2], argv[3]);
    else if (argc == 4 && strcmp(argv[1], "press") == 0) rc = Press(argv[2], atoi(argv[3]));
    else printf("usage: install_probe tray MS | visible MS | help | close MS | shortcut LNK | run MS LINE |"
                " page TITLE TEXT MS | checked TITLE TEXT | press TITLE ID\n");
    if (outFile[0]) printf("rc=%d\n", rc);
    fflush(stdout);
    return rc;
}
