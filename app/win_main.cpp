// Program entry: start-up in its fixed order, the hand-over to a running instance, and the
// message loop.
#include <windows.h>
#include <commctrl.h>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "app/bar_messages.h"
#include "app/shared_state.h"
#include "app/startup_rules.h"
#include "app/win_bar_keys.h"
#include "app/win_startup.h"
#include "app/win_state.h"
#include "res/resource.h"
#include "store/button_files.h"
#include "store/button_table.h"
#include "store/settings.h"
#include "store/win_platform.h"

namespace {

const char kBarClass[] = "BRISKLET";
const char kBarTitle[] = "Brisklet";

int InstallationFailure() {
    MessageBoxA(nullptr, "Installed path not found - Please re-install Brisklet", "Brisklet Not Installed Properly",
                MB_OK);
    return 0;
}

// Reads "InstalledPath" and builds the quoted program path. A folder too long for the paths
// built from it counts as missing.
bool ReadInstallation() {
    if (!ReadInstalledPath(g_installFolder, sizeof g_installFolder)) return false;
    if (!InstallFolderUsable(g_installFolder)) {
        g_installFolder[0] = '\0';
        return false;
    }
    return BuildQuotedProgramPath(g_installFolder, g_quotedProgramPath, sizeof g_quotedProgramPath);
}

// Step 8. Returns true when start-up has to end here (with exit code 0).
bool HandleCommandLine(int argumentCount, char** arguments) {
    const char* argument = argumentCount == 1 ? arguments[1] : nullptr;
    switch (ClassifyCommandLine(argumentCount, argument)) {
        case CommandLineRequest::BadExtension:
            MessageBoxA(nullptr, "Invalid button file or bklt file extension missing.", "Brisklet", MB_OK);
            return true;
        case CommandLineRequest::OpenButtonFile: {
            CopyTextToField(g_currentButtonFile, sizeof g_currentButtonFile, argument);
            SetRegistryString(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName", argument);
            g_showOnStart = 1;
            HWND running = FindWindowA(kBarClass, kBarTitle);
            if (running == nullptr) return false;
            // The path goes with the request: the registry value written above may be overwritten
            // by a save of the running bar before the bar reads it. A bar that does not take the
            // path reads the value as before. (OpenButtonFile comes only with an argument; the
            // analyser cannot see that from here.)
            // NOLINTNEXTLINE(clang-analyzer-unix.cstring.NullArg)
            COPYDATASTRUCT data{WM_BAR_RELOADFILE, static_cast<DWORD>(std::strlen(argument) + 1),
                                const_cast<char*>(argument)};
            if (SendMessageA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) == FALSE) {
                SendMessageA(running, WM_BAR_RELOADFILE, 0, 0);
            }
            return true;
        }
        case CommandLineRequest::Activate: {
            HWND running = FindWindowA(kBarClass, kBarTitle);
            if (running == nullptr) return false;
            SendMessageA(running, WM_BAR_ACTIVATE, 0, 0);
            SetActiveWindow(running);
            SetForegroundWindow(running);
            return true;
        }
        case CommandLineRequest::Ignore:
            return false;
    }
    return false;
}

void SettleCurrentButtonFile() {
    ReadCurrentButtonFileName(g_currentButtonFile, sizeof g_currentButtonFile);
    if (g_currentButtonFile[0] == '\0') TakeDefaultButtonFile();
}

int RunMessageLoop(HINSTANCE instance) {
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Keys pressed on a button belong to the bar: its accelerators work wherever the focus
        // is inside it.
        const HWND target = IsBarWindow(message.hwnd) ? g_hwndBar : message.hwnd;
        if (TranslateAcceleratorA(target, accelerators, &message) == 0 && !HandleBarKeyMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

#if defined(__GLIBCXX__)
// An exception that nothing catches ends the program at once. The C++ library's own handler would
// first print the exception's demangled type to a console this program does not have; its
// demangler alone was 45 KiB of the executable. (No exception leaves a window procedure: this is
// the last resort.)
namespace __gnu_cxx {  // NOLINT(bugprone-reserved-identifier): the library's name, replaced here
void __verbose_terminate_handler() { std::abort(); }  // NOLINT(bugprone-reserved-identifier)
}  // namespace __gnu_cxx

// The library's string and container checks report through these. Its own versions build
// std::logic_error and the like, which pull in a second, reference-counted string class and its
// random-device machinery (30 KiB of the executable). These throw the same way, with an
// exception that carries the library's message without a string: every handler that caught
// the library's exceptions (catch (...), or std::exception) still catches them, and an
// allocation that fails is still std::bad_alloc.
namespace {
class LibraryError : public std::exception {
public:
    explicit LibraryError(const char* what) : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};
}  // namespace

namespace std {  // NOLINT(cert-dcl58-cpp): the library's hooks, replaced here
void __throw_bad_alloc() { throw bad_alloc(); }  // NOLINT(bugprone-reserved-identifier)
void __throw_bad_array_new_length() { throw bad_array_new_length(); }  // NOLINT(bugprone-reserved-identifier)
void __throw_length_error(const char* what) { throw LibraryError(what); }  // NOLINT(bugprone-reserved-identifier)
void __throw_logic_error(const char* what) { throw LibraryError(what); }  // NOLINT(bugprone-reserved-identifier)
void __throw_out_of_range(const char* what) { throw LibraryError(what); }  // NOLINT(bugprone-reserved-identifier)
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl50-cpp): the library's signature
void __throw_out_of_range_fmt(const char* what, ...) { throw LibraryError(what); }
}  // namespace std
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    InstallWin32Platform();

    // 1. Fixed start values.
    g_showOnStart = 0;
    g_dropPending = 0;
    g_stayOnTop = 0;

    // 2-3. The installation folder and the quoted program path.
    if (!ReadInstallation()) return InstallationFailure();

    // 4. Instant popup.
    g_instantPopup = ReadAutoPopup() ? 1 : 0;
    g_showSiteIcons = ReadShowSiteIcons() ? 1 : 0;

    // 5-6. Shell folders and the paths built from them.
    ReadShellFolders();
    BuildStorePaths();

    // 7. Legacy data file, before the command line is looked at; once only, even when it could
    // not be deleted.
    if (LegacyMigrationDue()) MigrateLegacyDataFile();

    // 8. Command line and hand-over to a running instance.
    if (HandleCommandLine(__argc - 1, __argv)) return 0;

    // 9-10. The current Button file.
    SettleCurrentButtonFile();

    // 12. Default font height (a missing Button file is created with it).
    ComputeDefaultFontHeight();

    // 13. Load the table (a missing file is created; one that cannot be read is left alone).
    ReloadButtonFile();

    // 15. Title and class name.
    LoadStringA(instance, IDS_APP_TITLE, g_windowTitle, sizeof g_windowTitle);
    LoadStringA(instance, IDS_WINDOW_CLASS, g_windowClass, sizeof g_windowClass);

    // 17, 19-20. Window classes, layout, and the bar with its tray icon: the icon and its tip need
    // nothing more, so they come before the rest. The buttons follow the icon, with the font
    // scratch and the bar font (14), which the buttons make as they need them.
    RegisterWindowClasses(instance);
    ComputeLayout();
    if (!CreateButtonBar(instance)) return 0;

    // 11. The Browser program.
    FindBrowserProgram();

    // 16, 18. OLE and the common controls, then the drop target, before the message loop lets
    // anyone show the bar.
    OleInitialize(nullptr);
    InitCommonControls();
    FinishButtonBar();

    // 21-22. Accelerators and the message loop.
    return RunMessageLoop(instance);
}
