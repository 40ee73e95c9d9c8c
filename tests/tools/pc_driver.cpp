// Uses the Brisklet of its own Wine prefix as a user would, for shell-driven tests that run one
// Brisklet per prefix (each prefix has its own server, whose windows the others cannot find).
// Prints one line: "ok" or what it saw; "fail: ..." (and exit code 1) when a step failed.
//
//   pc_driver.exe bar                 ->  the bar's button names, "|" between them
//   pc_driver.exe setup                   opens Setup
//   pc_driver.exe add NAME URL            Add in the open Setup
//   pc_driver.exe edit NAME URL           selects NAME in the open Setup, Edit, new URL
//   pc_driver.exe delete NAME             selects NAME in the open Setup, Delete, Yes
//   pc_driver.exe ok                      closes the open Setup with OK
//   pc_driver.exe answer ID SECONDS   ->  the text of a "Brisklet" message box, answered ID
//                                         ("none" when none came)
//   pc_driver.exe exit                    E&xit, Yes; waits for the bar to go
//   pc_driver.exe hold FILE MARK SECONDS  holds FILE open as a sync client does while it
//                                         uploads (others may read it, not replace it); the
//                                         file MARK exists while it is held
#include <windows.h>

#include <string>

#include "../../res/resource.h"

namespace {

HWND FindBar() { return FindWindowA("BRISKLET", "Brisklet"); }

HWND WaitForDialog(const char* caption, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND dialog = FindWindowA("#32770", caption);
        if (dialog != nullptr && IsWindowVisible(dialog)) return dialog;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(20);
    }
}

bool WaitForGone(HWND hwnd, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    while (IsWindow(hwnd)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SetText(HWND dialog, int id, const std::string& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        5000, &result);
}

std::string WindowText(HWND hwnd) {
    char text[1024] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string Bar() {
    HWND bar = FindBar();
    if (bar == nullptr) return "fail: no bar";
    std::string names;
    for (int i = 0; i < 100; ++i) {
        HWND button = GetDlgItem(bar, 2000 + i);
        if (button == nullptr) break;
        names += (i ? "|" : "") + WindowText(button);
    }
    return names;
}

// Fills an editor dialog (Add or Edit) and presses OK.
std::string Editor(const char* caption, int urlId, const std::string& url, int nameId, const std::string& name) {
    HWND editor = WaitForDialog(caption);
    if (editor == nullptr) return std::string("fail: no ") + caption;
    SetText(editor, urlId, url);
    if (nameId != 0) SetText(editor, nameId, name);
    Press(editor, IDOK);
    return WaitForGone(editor) ? "ok" : std::string("fail: ") + caption + " stayed";
}

// Selects a button of the open Setup by its name, as a pick from the list would.
bool Select(HWND setup, const std::string& name) {
    HWND list = GetDlgItem(setup, IDC_SETUP_LIST);
    DWORD_PTR index = 0;
    SendMessageTimeoutA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()),
                        SMTO_NORMAL, 5000, &index);
    if (static_cast<LRESULT>(index) == CB_ERR) return false;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(list, CB_SETCURSEL, index, 0, SMTO_NORMAL, 5000, &result);
    SendMessageTimeoutA(setup, WM_COMMAND, MAKEWPARAM(IDC_SETUP_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list),
                        SMTO_NORMAL, 5000, &result);
    return true;
}

std::string Run(int argc, char** argv) {
    const std::string command = argv[1];
    const std::string arg1 = argc > 2 ? argv[2] : "";
    const std::string arg2 = argc > 3 ? argv[3] : "";
    if (command == "bar") return Bar();
    if (command == "setup") {
        PostMessageA(FindBar(), WM_COMMAND, IDM_SETUP, 0);
        return WaitForDialog("Brisklet Setup") ? "ok" : "fail: no Setup";
    }
    if (command == "answer") {
        HWND box = WaitForDialog("Brisklet", static_cast<DWORD>(atoi(arg2.c_str())) * 1000);
        if (box == nullptr) return "none";
        const std::string text = WindowText(GetDlgItem(box, 0xFFFF));
        Press(box, atoi(arg1.c_str()));
        return WaitForGone(box) ? text : "fail: the box stayed";
    }
    if (command == "exit") {
        HWND bar = FindBar();
        PostMessageA(bar, WM_COMMAND, IDM_EXIT, 0);
        HWND box = WaitForDialog("Brisklet");
        if (box == nullptr) return "fail: no question";
        Press(box, IDYES);
        return WaitForGone(bar) ? "ok" : "fail: the bar stayed";
    }
    if (command == "hold") {
        HANDLE file = CreateFileA(arg1.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "fail: cannot open " + arg1;
        CloseHandle(CreateFileA(arg2.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        Sleep(static_cast<DWORD>(atoi(argc > 4 ? argv[4] : "0")) * 1000);
        DeleteFileA(arg2.c_str());
        CloseHandle(file);
        return "ok";
    }
    HWND setup = WaitForDialog("Brisklet Setup", 2000);
    if (setup == nullptr) return "fail: Setup is not open";
    if (command == "ok") {
        Press(setup, IDOK);
        return WaitForGone(setup) ? "ok" : "fail: Setup stayed";
    }
    if (command == "add") {
        Press(setup, IDC_SETUP_ADD);
        return Editor("Add New URL", IDC_ADD_URL, arg2, IDC_ADD_NAME, arg1);
    }
    if (!Select(setup, arg1)) return "fail: no " + arg1 + " in Setup";
    if (command == "edit") {
        Press(setup, IDC_SETUP_EDIT);
        return Editor("Edit Button (URL)", IDC_EDIT_URL, arg2, 0, "");
    }
    if (command == "delete") {
        Press(setup, IDC_SETUP_DELETE);
        HWND box = WaitForDialog("Delete Button (URL)");
        if (box == nullptr) return "fail: no question";
        Press(box, IDYES);
        return WaitForGone(box) ? "ok" : "fail: the question stayed";
    }
    return "fail: unknown command " + command;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 2) return 2;
    const std::string line = Run(__argc, __argv) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return line.compare(0, 5, "fail:") == 0 ? 1 : 0;
}
