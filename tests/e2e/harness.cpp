#include <winsock2.h>  // before <windows.h>, which the harness brings

#include "tests/e2e/harness.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>
#include "res/resource.h"
#include "app/bar_messages.h"
#include "store/button_table.h"

namespace e2e {

namespace {

const char kUserKey[] = "Software\\Vantaro\\Brisklet";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Started with this argument, the program only makes the display take the DPI it read at its
// start (see ApplyDisplayScale) and ends.
const char kApplyDpiArgument[] = "--apply-display-scale";

// This program measures the windows of a per-monitor DPI-aware program at display scales set
// while it runs. Wine 10, as Windows, shows a program of another awareness every such window's
// rectangle scaled by the ratio of the two DPIs (and the system metrics at its own start-up
// DPI), so this one is per-monitor aware as well, before its first window call.
const bool g_dpiAware = [] {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const auto setContext = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    bool aware = setContext != nullptr && setContext(perMonitorV2) != FALSE;
    if (!aware) {
        using SetAware = BOOL(WINAPI*)();
        const auto setAware =
            reinterpret_cast<SetAware>(reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")));
        aware = setAware != nullptr && setAware() != FALSE;
    }
    if (std::strstr(GetCommandLineA(), kApplyDpiArgument) != nullptr) {
        ChangeDisplaySettingsExA(nullptr, nullptr, nullptr, 0, nullptr);
        ExitProcess(0);
    }
    return aware;
}();

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Deletes a key with all its subkeys (RegDeleteTree needs newer headers than this build targets).
void DeleteKeyTree(HKEY root, const char* path) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[512];
        for (;;) {
            DWORD size = sizeof name;
            if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            const std::string child = std::string(path) + "\\" + name;
            DeleteKeyTree(root, child.c_str());
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(root, path);
}

bool ReadValue(HKEY root, const char* path, const char* name, DWORD* type, std::vector<unsigned char>* data) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    // Asked again while the value grows between the two questions (the program may be writing it).
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    for (int attempt = 0; rc == ERROR_SUCCESS || (rc == ERROR_MORE_DATA && attempt < 8); ++attempt) {
        data->assign(size, 0);
        rc = RegQueryValueExA(key, name, nullptr, type, data->empty() ? nullptr : data->data(), &size);
        if (rc == ERROR_SUCCESS) break;
    }
    if (rc == ERROR_SUCCESS) data->resize(size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool WriteValue(HKEY root, const char* path, const char* name, DWORD type, const void* data, DWORD size,
                REGSAM view = 0) {
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

DWORD WindowProcessId(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

void KillProcessOf(HWND hwnd) {
    const DWORD pid = WindowProcessId(hwnd);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

}  // namespace

std::string BuildFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return FolderOf(path);
}

std::string TargetFolder() {
    char folder[MAX_PATH] = "";
    const DWORD length = GetEnvironmentVariableA("BRISKLET_E2E_TARGET", folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return BuildFolder();
    std::string target(folder);
    while (!target.empty() && (target.back() == '\\' || target.back() == '/')) target.pop_back();
    return target;
}

std::string BriskletExe() { return TargetFolder() + "\\brisklet.exe"; }

bool Target32Bit() {
    static const bool is32 = [] {
        DWORD type = 0;
        return GetBinaryTypeA(BriskletExe().c_str(), &type) && type == SCS_32BIT_BINARY;
    }();
    return is32;
}

std::string DocumentsFolder() {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, path);
    return path;
}

std::string ButtonFolder() { return DocumentsFolder() + "\\brisklet"; }
std::string DefaultButtonFile() { return ButtonFolder() + "\\brisklet.bklt"; }

std::string LegacyFolder() {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path);
    return std::string(path) + "\\brisklet";
}
std::string LegacyFile() { return LegacyFolder() + "\\brisklet.dat"; }

std::string ScratchFolder(const std::string& name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string base = std::string(temp) + "brisklet-e2e";
    CreateDirectoryA(base.c_str(), nullptr);
    const std::string folder = base + "\\" + name;
    DeleteTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool WaitUntil(const std::function<bool()>& cond, int timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (cond()) return true;
        if (static_cast<int>(GetTickCount() - start) >= timeoutMs) return cond();
        Sleep(20);
    }
}

// ---- Process ----

Process::Process(Process&& other) noexcept : info_(other.info_) { other.info_ = PROCESS_INFORMATION{}; }

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Kill();
        info_ = other.info_;
        other.info_ = PROCESS_INFORMATION{};
    }
    return *this;
}

Process::~Process() { Kill(); }

std::wstring Wide(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 1), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], size);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string Utf8(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size > 0 ? size : 1), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], size, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

void SetControlTextUtf8(HWND dialog, int id, const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_NORMAL,
                        5000, &result);
}

std::string ControlTextUtf8(HWND dialog, int id) {
    std::vector<wchar_t> buffer(8192, L'\0');
    DWORD_PTR result = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_NORMAL, 5000, &result);
    return Utf8(buffer.data());
}

bool WriteFileUtf8Path(const std::string& utf8Path, const void* data, size_t size) {
    HANDLE file = CreateFileW(Wide(utf8Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

std::vector<unsigned char> ReadFileUtf8Path(const std::string& utf8Path) {
    std::vector<unsigned char> bytes;
    HANDLE file = CreateFileW(Wide(utf8Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

Process Process::Start(const std::string& exe, const std::string& arguments, const std::string& workingFolder) {
    Process process;
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    std::wstring buffer = Wide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const std::string folder = workingFolder.empty() ? BuildFolder() : workingFolder;
    // Wine now and then fails a process start with an internal error (1359) when many start in
    // quick succession; that says nothing about the program, so the start is tried again.
    DWORD error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateProcessW(Wide(exe).c_str(), &buffer[0], nullptr, nullptr, FALSE, 0, nullptr, Wide(folder).c_str(),
                           &startup, &process.info_)) {
            return process;
        }
        error = GetLastError();
        process.info_ = PROCESS_INFORMATION{};
        if (error != ERROR_INTERNAL_ERROR) break;
        Sleep(200);
    }
    ADD_FAILURE() << "cannot start " << exe << " (error " << error << ")";
    return process;
}

bool Process::running() const {
    return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(int timeoutMs) {
    if (info_.hProcess == nullptr) return false;
    return WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}

DWORD Process::exitCode() const {
    DWORD code = STILL_ACTIVE;
    if (info_.hProcess != nullptr) GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void Process::Kill() {
    if (info_.hProcess != nullptr) {
        if (running()) {
            TerminateProcess(info_.hProcess, 1);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
    info_ = PROCESS_INFORMATION{};
}

// ---- The program ----

void ResetState() {
    for (int i = 0; i < 20; ++i) {
        HWND bar = FindBar();
        if (bar == nullptr) break;
        KillProcessOf(bar);
        WaitUntil([&] { return !IsWindow(bar); }, 5000);
    }
    SetInstalledPath(TargetFolder());
    DeleteUserKey();
    DeleteRunValue();
    DeleteTree(ButtonFolder());
    DeleteTree(IconCacheFolder());
    const char kInternet[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    const DWORD on = 1;
    WriteValue(HKEY_CURRENT_USER, kInternet, "ProxyEnable", REG_DWORD, &on, sizeof on);
    WriteValue(HKEY_CURRENT_USER, kInternet, "ProxyServer", REG_SZ, "127.0.0.1:9", 12);
    WriteValue(HKEY_CURRENT_USER, kInternet, "ProxyOverride", REG_SZ, "127.0.0.1", 10);
}

HWND FindBar() { return FindWindowA("BRISKLET", "Brisklet"); }

HWND WaitForBar(int timeoutMs) {
    HWND bar = nullptr;
    WaitUntil([&] { return (bar = FindBar()) != nullptr; }, timeoutMs);
    return bar;
}

bool TrayIconPresent(HWND bar) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = bar;
    data.uID = 108;
    data.uFlags = 0;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

bool StartedUp(HWND bar) {
    // The drop target is the last thing start-up registers (OLE keeps it in this window
    // property); the font step, with the first save, is posted right behind it.
    return TrayIconPresent(bar) && GetPropA(bar, "OleDropTargetInterface") != nullptr;
}

Process StartBrisklet(const std::string& arguments) {
    Process process = Process::Start(BriskletExe(), arguments);
    HWND bar = nullptr;
    const bool appeared = WaitUntil(
        [&] {
            bar = FindBar();
            return bar != nullptr && WindowProcessId(bar) == process.id();
        },
        15000);
    EXPECT_TRUE(appeared) << "the Button bar of brisklet.exe " << arguments << " did not appear";
    if (appeared) {
        // The tray icon goes up first and the rest of start-up follows it; Sync then lets the bar
        // handle what start-up queued.
        EXPECT_TRUE(WaitUntil([&] { return StartedUp(bar); }, 10000)) << "start-up did not finish";
        Sync(bar);
    }
    return process;
}

void Sync(HWND bar) {
    DWORD_PTR result;
    SendMessageTimeoutA(bar, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, WindowProcessId(bar));
    if (process != nullptr) {
        WaitForInputIdle(process, 2000);
        CloseHandle(process);
    }
    SendMessageTimeoutA(bar, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
}

bool CloseBrisklet(Process& process, int timeoutMs) {
    HWND bar = FindBar();
    if (bar == nullptr) return false;
    PostMessageA(bar, WM_COMMAND, 105, 0);
    HWND box = WaitForDialog("Brisklet", timeoutMs);
    if (box == nullptr) return false;
    PressButton(box, IDYES);
    return process.WaitForExit(timeoutMs);
}

std::vector<ButtonInfo> BarButtons(HWND bar) {
    struct Collector {
        HWND bar;
        std::vector<ButtonInfo> buttons;
    } collector{bar, {}};
    EnumChildWindows(
        bar,
        [](HWND child, LPARAM param) -> BOOL {
            auto* c = reinterpret_cast<Collector*>(param);
            if (GetParent(child) != c->bar) return TRUE;
            const int id = GetDlgCtrlID(child);
            if (id < 2000 || id > 2099) return TRUE;
            ButtonInfo info{child, id, std::string(), std::string(), RECT{}};
            char text[256] = "";
            GetWindowTextA(child, text, sizeof text);
            info.text = text;
            wchar_t wide[256] = L"";
            GetWindowTextW(child, wide, 256);
            info.utf8 = Utf8(wide);
            GetWindowRect(child, &info.clientRect);
            MapWindowPoints(nullptr, c->bar, reinterpret_cast<POINT*>(&info.clientRect), 2);
            c->buttons.push_back(info);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&collector));
    std::sort(collector.buttons.begin(), collector.buttons.end(),
              [](const ButtonInfo& a, const ButtonInfo& b) { return a.id < b.id; });
    return collector.buttons;
}

// ---- Dialogs ----

HWND FindDialog(const char* caption) { return FindWindowA("#32770", caption); }

HWND WaitForDialog(const char* caption, int timeoutMs) {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindDialog(caption)) != nullptr && IsWindowVisible(dialog); }, timeoutMs);
    return dialog;
}

std::string MessageBoxText(HWND box) {
    // The text of a message box is its static control 0xFFFF; fall back to the longest static.
    std::string text = ControlText(box, 0xFFFF);
    if (!text.empty()) return text;
    struct Finder {
        std::string best;
    } finder;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM param) -> BOOL {
            char cls[32] = "";
            GetClassNameA(child, cls, sizeof cls);
            if (lstrcmpiA(cls, "Static") == 0) {
                char buffer[2048] = "";
                SendMessageTimeoutA(child, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                                    5000, nullptr);
                auto* f = reinterpret_cast<Finder*>(param);
                if (std::strlen(buffer) > f->best.size()) f->best = buffer;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&finder));
    return finder.best;
}

std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return std::string();
    std::vector<char> buffer(8192, '\0');
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL,
                        5000, &result);
    return std::string(buffer.data());
}

void SetControlText(HWND dialog, int id, const std::string& text) {
    HWND control = GetDlgItem(dialog, id);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 5000, &result);
}

void PressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ClickControl(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void SelectInList(HWND dialog, int listId, int index) {
    HWND list = GetDlgItem(dialog, listId);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_NORMAL, 5000, &result);
    SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(listId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list),
                        SMTO_NORMAL, 5000, &result);
}

bool IsChecked(HWND dialog, int id) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state);
    return state == BST_CHECKED;
}

std::string AnswerMessageBox(const char* caption, int buttonId, int timeoutMs) {
    HWND box = WaitForDialog(caption, timeoutMs);
    if (box == nullptr) return std::string();
    const std::string text = MessageBoxText(box);
    PressButton(box, buttonId);
    WaitForWindowGone(box, timeoutMs);
    return text;
}

bool WaitForWindowGone(HWND hwnd, int timeoutMs) {
    return WaitUntil([&] { return !IsWindow(hwnd); }, timeoutMs);
}

std::string KeptCopyMessage(const std::string& file, size_t size, const std::string& copy) {
    return file + " is not a Brisklet Button file (" + std::to_string(size) +
           " bytes). Its original content is kept in - " + copy;
}

std::string NotCopiedMessage(const std::string& file, size_t size, const std::string& now) {
    return file + " is not a Brisklet Button file (" + std::to_string(size) +
           " bytes). Its original content could not be copied beside it, so it was not loaded and is left as it "
           "is. Brisklet now uses - " + now;
}

// ---- Bar queue, file dialogs and drags ----

// Two flips of the bar's visibility, each posted behind whatever the bar has queued. A show the
// bar had queued itself (a hand-over shows the bar, then posts its activation) can undo a hide
// between two looks, so a flip not seen is posted again, behind that show. A flip counts once the
// bar's thread is back in its message loop with the new state: while it rebuilds its buttons the
// bar holds its drawing, and a bar whose drawing is held also reads as not visible.
void Settle(HWND bar) {
    auto shows = [bar](bool visible) {
        DWORD_PTR ignored = 0;
        return (IsWindowVisible(bar) != FALSE) == visible &&
               SendMessageTimeoutA(bar, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored) != 0 &&
               (IsWindowVisible(bar) != FALSE) == visible;
    };
    for (int flip = 0; flip < 2; ++flip) {
        const bool visible = IsWindowVisible(bar) != FALSE;
        bool flipped = false;
        for (int attempt = 0; attempt < 4 && !flipped; ++attempt) {
            if (visible) {
                PostMessageA(bar, WM_COMMAND, IDM_HIDE, 0);
            } else {
                PostMessageA(bar, WM_BAR_ACTIVATE, 0, 0);
            }
            flipped = WaitUntil([&] { return shows(!visible); }, 2500);
        }
        ASSERT_TRUE(flipped) << "the bar's queue did not drain (" << (visible ? "a hide" : "a show")
                             << " was not acted on)";
    }
}

HWND FileNameBox(HWND fileDialog) {
    for (int id : {0x480 /* edt1 */, 0x47C /* cmb13 */}) {
        HWND box = GetDlgItem(fileDialog, id);
        if (box != nullptr) return box;
    }
    return nullptr;
}

void ChooseInFileDialog(const char* caption, const std::string& path) {
    HWND dialog = WaitForDialog(caption);
    ASSERT_NE(nullptr, dialog) << "no \"" << caption << "\" dialog";
    HWND box = FileNameBox(dialog);
    ASSERT_NE(nullptr, box) << "no file name box in \"" << caption << "\"";
    DWORD_PTR result = 0;
    SendMessageTimeoutA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, 5000, &result);
    PressButton(dialog, IDOK);
    EXPECT_TRUE(WaitForWindowGone(dialog)) << "\"" << caption << "\" stayed open";
}

void ShownBarTest::StartOn(const std::string& folderName,
                           const std::vector<std::pair<std::string, std::string>>& buttons) {
    ResetState();
    folder_ = ScratchFolder(folderName);
    file_ = folder_ + "\\buttons.bklt";
    log_ = folder_ + "\\drag.log";
    const auto image = MakeButtonFile(buttons);
    ASSERT_TRUE(WriteFileBytes(file_, image.data(), image.size()));
    // A start with a Button file shows the bar.
    process_ = StartBrisklet("\"" + file_ + "\"");
    bar_ = FindBar();
    ASSERT_NE(nullptr, bar_);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(bar_) != FALSE; })) << "the bar is not shown";
}

void ShownBarTest::TearDown() {
    for (const char* caption : dialogsToCancel_) {
        if (HWND dialog = FindDialog(caption)) {
            PressButton(dialog, IDCANCEL);
            WaitForWindowGone(dialog);
        }
    }
    if (process_.running()) CloseBar();
}

// E&xit and Yes, as CloseBrisklet does, with the answer sent as a command.
void ShownBarTest::CloseBar() {
    PostMessageA(bar_, WM_COMMAND, IDM_EXIT, 0);
    HWND box = WaitForDialog("Brisklet");
    ASSERT_NE(nullptr, box) << "no \"Close Brisklet?\" question";
    PressButton(box, IDYES);
    EXPECT_TRUE(process_.WaitForExit()) << "Brisklet did not end; the question is "
                                        << (IsWindow(box) ? "still open" : "gone");
}

POINT ShownBarTest::DropPoint() const {
    RECT client{};
    GetClientRect(bar_, &client);
    POINT p = {client.right / 2, 2};
    ClientToScreen(bar_, &p);
    return p;
}

DWORD ShownBarTest::Drag(const std::string& what) {
    const POINT at = DropPoint();
    DeleteFileA(log_.c_str());
    Process source = Process::Start(BuildFolder() + "\\drag_source.exe",
                                    what + " --at " + std::to_string(at.x) + " " + std::to_string(at.y) + " --log \"" +
                                        log_ + "\"");
    EXPECT_TRUE(source.WaitForExit(40000)) << "the drag did not end";
    return source.exitCode();
}

// ---- Registry ----

// The registry view of HKLM that the program under test reads.
REGSAM TargetView() { return Target32Bit() ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

bool SetInstalledPath(const std::string& folder) {
    return WriteValue(HKEY_LOCAL_MACHINE, kUserKey, "InstalledPath", REG_SZ, folder.c_str(),
                      static_cast<DWORD>(folder.size() + 1), TargetView());
}

void DeleteInstalledPath() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUserKey, 0, KEY_ALL_ACCESS | TargetView(), &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "InstalledPath");
        RegCloseKey(key);
    }
}

void DeleteUserKey() { DeleteKeyTree(HKEY_CURRENT_USER, kUserKey); }

bool ReadUserString(const char* valueName, std::string* value) {
    DWORD type = 0;
    std::vector<unsigned char> data;
    if (!ReadValue(HKEY_CURRENT_USER, kUserKey, valueName, &type, &data)) return false;
    value->assign(reinterpret_cast<const char*>(data.data()), strnlen(reinterpret_cast<const char*>(data.data()), data.size()));
    return true;
}

bool WriteUserString(const char* valueName, const std::string& value) {
    return WriteValue(HKEY_CURRENT_USER, kUserKey, valueName, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool ReadUserDword(const char* valueName, DWORD* value) {
    DWORD type = 0;
    std::vector<unsigned char> data;
    if (!ReadValue(HKEY_CURRENT_USER, kUserKey, valueName, &type, &data) || data.size() != 4) return false;
    std::memcpy(value, data.data(), 4);
    return true;
}

bool WriteUserDword(const char* valueName, DWORD value) {
    return WriteValue(HKEY_CURRENT_USER, kUserKey, valueName, REG_DWORD, &value, 4);
}

bool ReadRunValue(std::string* value, DWORD* type) {
    DWORD t = 0;
    std::vector<unsigned char> data;
    if (!ReadValue(HKEY_CURRENT_USER, kRunKey, "Brisklet", &t, &data)) return false;
    if (type != nullptr) *type = t;
    value->assign(reinterpret_cast<const char*>(data.data()), strnlen(reinterpret_cast<const char*>(data.data()), data.size()));
    return true;
}

void DeleteRunValue() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Brisklet");
        RegCloseKey(key);
    }
}

// ---- Files ----

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    const DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD read = 0;
    if (size > 0) ReadFile(file, bytes.data(), size, &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

void DeleteTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::vector<unsigned char> MakeButtonFile(const std::vector<std::pair<std::string, std::string>>& buttons,
                                          int buttonWidth, bool wide) {
    std::vector<unsigned char> image(sizeof(ButtonTable), 0);
    ButtonTable& table = *reinterpret_cast<ButtonTable*>(image.data());
    table.buttonWidth = buttonWidth;
    table.buttonCount = static_cast<int32_t>(buttons.size());
    CopyTextToField(table.favouriteUrl, sizeof table.favouriteUrl, "http://favourite.example/");
    table.globalFont.lfWeight = 700;
    std::memcpy(table.globalFont.lfFaceName, "System", 7);
    for (size_t i = 0; i < buttons.size() && i < 100; ++i) {
        ButtonRecord& record = table.records[i];
        CopyTextToField(record.name, sizeof record.name, buttons[i].first.c_str());
        CopyTextToField(record.url, sizeof record.url, buttons[i].second.c_str());
        record.ownFont = table.globalFont;
    }
    table.wide = wide ? 1 : 0;
    return image;
}

std::vector<std::pair<std::string, std::string>> NumberedButtons(int count, const std::string& prefix) {
    std::vector<std::pair<std::string, std::string>> buttons;
    for (int i = 1; i <= count; ++i) {
        const std::string n = prefix + std::to_string(i);
        buttons.emplace_back(n, "http://" + n + ".example/");
    }
    return buttons;
}

std::unique_ptr<ButtonTable> ReadButtonTable(const std::string& path) {
    auto table = std::make_unique<ButtonTable>();
    std::memset(table.get(), 0, sizeof *table);
    const auto bytes = ReadFileBytes(path);
    if (bytes.size() == sizeof *table) std::memcpy(table.get(), bytes.data(), bytes.size());
    return table;
}

namespace {
INPUT KeyInput(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}
}  // namespace

// A chord goes in as one SendInput. Sent key by key, Wine's X11 driver could take the window's
// X focus event between two of them and set the modifiers back to what the X server holds (none
// are down there), so that the letter after it came without Alt.
void PressKeys(const std::vector<WORD>& keys) {
    std::vector<INPUT> inputs;
    for (WORD vk : keys) inputs.push_back(KeyInput(vk, false));
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) inputs.push_back(KeyInput(*it, true));
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::string ForegroundWindowText() {
    HWND front = GetForegroundWindow();
    if (front == nullptr) return "nothing";
    char className[64] = "", caption[64] = "";
    GetClassNameA(front, className, sizeof className);
    GetWindowTextA(front, caption, sizeof caption);
    DWORD pid = 0;
    GetWindowThreadProcessId(front, &pid);
    return std::string("\"") + caption + "\" (class " + className + ", process " + std::to_string(pid) +
           (front == GetDesktopWindow() ? ", the desktop)" : ")");
}

bool PressAltWith(char ch) {
    const SHORT scan = VkKeyScanA(ch);
    if (scan == -1) return false;
    std::vector<WORD> keys{VK_MENU};
    if ((HIBYTE(scan) & 1) != 0) keys.push_back(VK_SHIFT);
    keys.push_back(LOBYTE(scan));
    PressKeys(keys);
    return true;
}

Metrics ScreenMetricsNow() {
    return Metrics{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CYMENU),
                   GetSystemMetrics(SM_CYSIZE)};
}

ScreenMetrics LayoutMetricsNow() {
    const Metrics m = ScreenMetricsNow();
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return ScreenMetrics{m.cx,      m.cy,     m.menu,     m.caption,   96, work.left,
                         work.top, work.right, work.bottom, GetSystemMetrics(SM_CYHSCROLL)};
}

Metrics ScreenMetricsAt(int dpi) {
    using ForDpi = int(WINAPI*)(int, UINT);
    FARPROC proc = GetProcAddress(GetModuleHandleA("user32.dll"), "GetSystemMetricsForDpi");
    if (proc == nullptr) return ScreenMetricsNow();
    const auto forDpi = reinterpret_cast<ForDpi>(reinterpret_cast<void (*)()>(proc));
    const UINT at = static_cast<UINT>(dpi);
    return Metrics{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), forDpi(SM_CYMENU, at),
                   forDpi(SM_CYSIZE, at)};
}

BarPlace ExpectedBarPlace(const Metrics& m, int tableWidth, bool wide, int count, int dpi) {
    const auto px = [dpi](int value) { return MulDiv(value, dpi, 96); };
    BarPlace bar{};
    bar.buttonWidth = px(tableWidth + (wide ? 50 : 0));
    bar.buttonHeight = px(22);
    bar.gap = px(5);
    const int pitch = bar.buttonHeight + bar.gap;
    bar.x = m.cx - bar.buttonWidth - px(30);
    bar.y = m.cy - 4 * m.menu - pitch * count - m.caption - bar.gap;
    bar.width = bar.buttonWidth + px(20);
    bar.height = pitch * count + 2 * m.caption + 3 * bar.gap;
    return bar;
}

// The process's PEB points at its GDI handle table (GdiSharedHandleTable): 65,536 entries of 24
// bytes, where the byte at offset 14 holds the object type while the handle is in use and 0 once
// it is freed.
int LiveGdiObjects(HANDLE process, std::map<int, int>* types) {
    using QueryProcess = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    FARPROC proc = GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
    if (proc == nullptr || sizeof(void*) != 8) return -1;
    auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void (*)()>(proc));
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (query(process, ProcessBasicInformation, &basic, sizeof basic, &length) != 0) return -1;
    void* table = nullptr;
    SIZE_T read = 0;
    const char* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
    if (!ReadProcessMemory(process, peb + 0xF8, &table, sizeof table, &read) || table == nullptr) return -1;
    constexpr size_t kEntries = 65536;
    constexpr size_t kEntrySize = 24;
    std::vector<unsigned char> entries(kEntries * kEntrySize);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size(), &read) || read != entries.size()) return -1;
    std::map<int, int> live;
    int total = 0;
    for (size_t i = 0; i < kEntries; ++i) {
        const unsigned char type = entries[i * kEntrySize + 14];
        if (type == 0) continue;
        ++live[type];
        ++total;
    }
    if (types != nullptr) *types = std::move(live);
    return total;
}

std::string GdiTypesGrown(const std::map<int, int>& then, const std::map<int, int>& now) {
    static const std::map<int, const char*> kNames = {
        {0x01, "DC"},   {0x04, "region"}, {0x08, "palette"}, {0x09, "bitmap"},
        {0x0a, "font"}, {0x10, "brush"},  {0x30, "pen"},     {0x50, "ext pen"}};
    std::map<int, int> delta = now;
    for (const auto& kind : then) delta[kind.first] -= kind.second;
    std::string grown;
    for (const auto& kind : delta) {
        if (kind.second == 0) continue;
        const auto name = kNames.find(kind.first);
        const std::string type = name != kNames.end() ? name->second : "type " + std::to_string(kind.first);
        grown += (grown.empty() ? "" : ", ") + type + (kind.second > 0 ? " +" : " ") + std::to_string(kind.second);
    }
    return grown.empty() ? "no type changed" : grown;
}

int GdiObjects(HANDLE process, std::map<int, int>* types) {
    const DWORD counted = GetGuiResources(process, GR_GDIOBJECTS);
    return counted != 0 ? static_cast<int>(counted) : LiveGdiObjects(process, types);
}

namespace {
const char kDesktopKey[] = "Control Panel\\Desktop";
}  // namespace

namespace {

// Wine 10 gives a per-monitor aware program the monitor's DPI, which it takes from the system DPI
// of the process that last reset the display mode, not from "LogPixels" itself. A new process
// (this program started again) reads the value and resets the mode, as Windows applies a new
// scale to the display. Under Wine 8 every program reads "LogPixels" at its start, and the reset
// changes nothing.
bool ApplyDisplayScale() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    Process helper = Process::Start(self, kApplyDpiArgument);
    return helper.WaitForExit(20000) && helper.exitCode() == 0;
}

}  // namespace

ScopedDpi::ScopedDpi(int dpi) {
    DWORD type = 0;
    std::vector<unsigned char> data;
    had_ = ReadValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", &type, &data) && data.size() == 4;
    if (had_) std::memcpy(&previous_, data.data(), 4);
    const DWORD value = static_cast<DWORD>(dpi);
    ok_ = WriteValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD, &value, 4) && ApplyDisplayScale();
}

ScopedDpi::~ScopedDpi() {
    // A program left running would keep its DPI into the next test.
    ResetState();
    if (had_) {
        WriteValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD, &previous_, 4);
    } else {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "LogPixels");
            RegCloseKey(key);
        }
    }
    ApplyDisplayScale();
}

// ---- Screen ----

namespace {

// The whole screen as 24-bit bottom-up rows.
std::vector<unsigned char> CaptureScreen(BITMAPINFOHEADER* header) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);

    *header = BITMAPINFOHEADER{};
    header->biSize = sizeof *header;
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biCompression = BI_RGB;
    const DWORD stride = ((width * 3) + 3) & ~3u;
    std::vector<unsigned char> pixels(size_t{stride} * static_cast<size_t>(height));
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

}  // namespace

std::string SaveScreenshot(const std::string& name) {
    char unixFolder[2048] = "";
    std::string folder;
    if (GetEnvironmentVariableA("BRISKLET_SCREENSHOTS", unixFolder, sizeof unixFolder) > 0) {
        folder = std::string("Z:") + unixFolder;
        for (char& c : folder)
            if (c == '/') c = '\\';
    } else {
        folder = BuildFolder() + "\\screenshots";
    }
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name + ".bmp";

    // Windows just shown may still be painting their controls: ask every visible top-level
    // window to paint now, then wait until two captures 100 ms apart are the same.
    EnumWindows(
        [](HWND hwnd, LPARAM) -> BOOL {
            if (IsWindowVisible(hwnd))
                RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
            return TRUE;
        },
        0);
    BITMAPINFOHEADER header;
    std::vector<unsigned char> pixels = CaptureScreen(&header);
    WaitUntil(
        [&] {
            Sleep(100);
            std::vector<unsigned char> again = CaptureScreen(&header);
            const bool same = again == pixels;
            pixels.swap(again);
            return same;
        },
        3000);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::vector<unsigned char> bytes(file.bfSize);
    std::memcpy(bytes.data(), &file, sizeof file);
    std::memcpy(bytes.data() + sizeof file, &header, sizeof header);
    std::memcpy(bytes.data() + file.bfOffBits, pixels.data(), pixels.size());
    return WriteFileBytes(path, bytes.data(), bytes.size()) ? path : std::string();
}

COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// ---- Site icons ----

std::string IconCacheFolder() {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path);
    return std::string(path) + "\\Brisklet\\icons";
}

std::vector<unsigned char> SquareIcon(COLORREF colour) {
    std::vector<unsigned char> ico = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
    const DWORD size = 40 + 16 * 16 * 4 + 16 * 4;
    const DWORD offset = 22;
    for (DWORD v : {size, offset})
        for (int i = 0; i < 4; ++i) ico.push_back(static_cast<unsigned char>(v >> (8 * i)));
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = 16;
    header.biHeight = 32;
    header.biPlanes = 1;
    header.biBitCount = 32;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&header);
    ico.insert(ico.end(), bytes, bytes + 40);
    for (int i = 0; i < 256; ++i) ico.insert(ico.end(), {GetBValue(colour), GetGValue(colour), GetRValue(colour), 255});
    ico.resize(ico.size() + size_t{64}, 0);  // the mask, 16 rows of 4 bytes: nothing transparent
    return ico;
}

std::vector<DWORD> ScreenPixels(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return {};
    return ScreenPixels(rect);
}

std::vector<DWORD> ScreenPixels(const RECT& rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER header{sizeof header, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

int ButtonPixels(HWND button, COLORREF colour) {
    RECT rect;
    return GetWindowRect(button, &rect) ? RectPixels(rect, colour) : 0;
}

int RectPixels(const RECT& rect, COLORREF colour) {
    const std::vector<DWORD> pixels = ScreenPixels(rect);
    const DWORD wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    return static_cast<int>(std::count(pixels.begin(), pixels.end(), wanted));
}

HANDLE ButtonImage(HWND button) { return GetPropA(button, "BriskletIcon"); }

HttpServer::HttpServer(std::map<std::string, HttpReply> routes) : routes_(std::move(routes)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "the test server cannot listen on 127.0.0.1 (error " << WSAGetLastError() << ")";
    }
    listener_ = listener;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

HttpServer::~HttpServer() {
    stop_ = true;
    thread_.join();
    for (uintptr_t client : held_) closesocket(client);
    closesocket(listener_);
}

int HttpServer::Requests(const std::string& path) const {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(std::count_if(seen_.begin(), seen_.end(), [&](const std::string& p) { return path.empty() || p == path; }));
}

void HttpServer::Serve() {
    const DWORD end = GetTickCount() + 120000;
    while (!stop_ && static_cast<LONG>(end - GetTickCount()) > 0 && Requests() < 200) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener_, &ready);
        timeval wait{0, 50000};
        if (select(0, &ready, nullptr, nullptr, &wait) != 1) continue;
        const SOCKET client = accept(listener_, nullptr, nullptr);
        if (client != INVALID_SOCKET) Answer(client);
    }
}

void HttpServer::Answer(uintptr_t client) {
    const DWORD timeout = 2000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    std::string request;
    char buffer[4096];
    int got = 0;
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384 &&
           (got = recv(client, buffer, sizeof buffer, 0)) > 0) {
        request.append(buffer, static_cast<size_t>(got));
    }
    const size_t start = request.find(' ') + 1;
    const std::string path = start > 0 ? request.substr(start, request.find(' ', start) - start) : std::string();
    {
        std::lock_guard<std::mutex> guard(lock_);
        seen_.push_back(path);
    }
    auto route = routes_.find(path);
    const HttpReply reply = route != routes_.end() ? route->second : HttpReply{404, "", "", false, 0};
    if (reply.never) {
        held_.push_back(client);
        return;
    }
    const size_t length = reply.endless > 0 ? reply.endless : reply.body.size();
    const std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Reply\r\nContent-Length: " +
                             std::to_string(length) + "\r\nConnection: close\r\n" + reply.headers + "\r\n";
    std::string out = head + reply.body;
    bool sending = send(client, out.data(), static_cast<int>(out.size()), 0) == static_cast<int>(out.size());
    const std::string block(65536, 'x');
    for (size_t sent = 0; sending && !stop_ && sent < reply.endless; sent += block.size()) {
        sending = send(client, block.data(), static_cast<int>(block.size()), 0) > 0;
    }
    shutdown(client, SD_SEND);
    closesocket(client);
}

}  // namespace e2e
