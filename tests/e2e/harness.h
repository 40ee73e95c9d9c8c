// End-to-end harness: starts the real brisklet.exe (built next to this test program) under the
// same Wine prefix and drives it from outside, as a user and as Windows would.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/layout.h"
#include "store/button_table.h"

namespace e2e {

// Folder holding e2e_tests.exe and the helper programs (no trailing backslash).
std::string BuildFolder();
// Folder holding the brisklet.exe under test: BRISKLET_E2E_TARGET when set (the 32-bit build's
// folder, as a Windows path), else BuildFolder(). "InstalledPath" names it.
std::string TargetFolder();
std::string BriskletExe();
// Whether the brisklet.exe under test is a 32-bit program. It then reads the 32-bit registry view
// of HKLM, and runs in Wine's WoW64 mode.
bool Target32Bit();
// The user's documents folder and its "\brisklet" Button folder, as the program sees them.
std::string DocumentsFolder();
std::string ButtonFolder();
std::string DefaultButtonFile();
// The legacy data file's folder (application-data folder + "\\brisklet") and the file in it.
std::string LegacyFolder();
std::string LegacyFile();
// A fresh, empty scratch folder for one test (under %TEMP%).
std::string ScratchFolder(const std::string& name);

// Text between UTF-8 and UTF-16, for the cases in scripts this process's code page lacks.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const wchar_t* wide);
// A control's text set and read in UTF-16, given and returned as UTF-8.
void SetControlTextUtf8(HWND dialog, int id, const std::string& utf8);
std::string ControlTextUtf8(HWND dialog, int id);
// A file written under a UTF-8 path.
bool WriteFileUtf8Path(const std::string& utf8Path, const void* data, size_t size);
std::vector<unsigned char> ReadFileUtf8Path(const std::string& utf8Path);

// Polls cond every 20 ms until it holds or timeoutMs passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& cond, int timeoutMs = 10000);

// A started process. Destroying it ends the process if it still runs.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    ~Process();

    // Starts `exe` with the given argument text (appended after the quoted program name), in
    // `workingFolder` (the build folder when empty). The texts are UTF-8 (ASCII is the same),
    // so arguments may name files in any script.
    static Process Start(const std::string& exe, const std::string& arguments = "",
                         const std::string& workingFolder = "");
    bool running() const;
    // Waits for the end; true when it ended in time. exitCode() is valid then.
    bool WaitForExit(int timeoutMs = 10000);
    DWORD exitCode() const;
    DWORD id() const { return info_.dwProcessId; }
    HANDLE handle() const { return info_.hProcess; }
    void Kill();

private:
    PROCESS_INFORMATION info_{};
};

// Resets the machine state every test starts from: no Brisklet running, "InstalledPath" naming
// the build folder, no per-user key "Software\Vantaro\Brisklet", no Run value, an empty Button
// folder, no cached site icons. The system proxy is set to a closed port on 127.0.0.1 for every
// address but 127.0.0.1 itself, so that whatever a program under test asks for never leaves this
// machine.
void ResetState();

// Starts brisklet.exe and waits until its start-up has run to the end and the bar has handled
// what start-up queued. Fails the current test on a time-out.
Process StartBrisklet(const std::string& arguments = "");
// The running bar: class "BRISKLET", title "Brisklet"; null when none.
HWND FindBar();
HWND WaitForBar(int timeoutMs = 10000);
// Whether the tray icon 108 of the bar is present (NIM_MODIFY succeeds only then).
bool TrayIconPresent(HWND bar);
// Ends Brisklet the way a user would (E&xit, answer Yes) and waits for the process.
bool CloseBrisklet(Process& process, int timeoutMs = 10000);
// Whether start-up has registered everything, the tray icon and the drop target: its last step,
// the font step with the first save, is then queued.
bool StartedUp(HWND bar);
// Two SendMessage round trips with the bar's thread. A sent message overtakes posted ones, so
// this settles what the bar does in one go, not a queue of posted steps behind it.
void Sync(HWND bar);

// Button windows of the bar (children with ids 2000 + i), in id order.
struct ButtonInfo {
    HWND hwnd;
    int id;
    std::string text;   // in this process's code page
    std::string utf8;   // the same text as UTF-8, every character kept
    RECT clientRect;  // position within the bar's client area
};
std::vector<ButtonInfo> BarButtons(HWND bar);

// Dialogs and message boxes (class "#32770") of any process on this desktop.
HWND FindDialog(const char* caption);
HWND WaitForDialog(const char* caption, int timeoutMs = 10000);
// The text of a message box (its static control), or of a dialog control.
std::string MessageBoxText(HWND box);
std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::string& text);
// Presses a dialog's button: WM_COMMAND with BN_CLICKED posted to the dialog, so it never blocks
// on the modal loop the button may open.
void PressButton(HWND dialog, int id);
// Clicks a control as the mouse would (BM_CLICK posted): check boxes toggle.
void ClickControl(HWND dialog, int id);
// Selects item `index` of a dialog's drop-down list as a user would: the list changes and tells
// the dialog (CBN_SELCHANGE).
void SelectInList(HWND dialog, int listId, int index);
// Whether a dialog's check box is checked.
bool IsChecked(HWND dialog, int id);
// Waits for a message box with this caption, checks its text (when non-null), presses id.
// Returns the text seen ("" when no box came).
std::string AnswerMessageBox(const char* caption, int buttonId, int timeoutMs = 10000);
bool WaitForWindowGone(HWND hwnd, int timeoutMs = 10000);

// A barrier in the bar's message queue: everything posted to the bar before it has been
// handled once the bar's visibility flips (a posted show or hide). Two flips, so that whatever a
// handler running at the first one posts afterwards is behind the second. The Button file is
// read only after this: a save that finds the file held open by a reader fails under Wine.
void Settle(HWND bar);
// The file name box of the common Save As / Open dialog.
HWND FileNameBox(HWND fileDialog);
// Types a path into the common Open or Save As dialog with this caption and presses its OK
// button.
void ChooseInFileDialog(const char* caption, const std::string& path);

// A fixture: Brisklet started on a Button file of its own in a fresh scratch folder, the bar
// shown. TearDown cancels the dialogs named in dialogsToCancel_ that are open, then ends
// Brisklet with E&xit and Yes.
class ShownBarTest : public ::testing::Test {
protected:
    void StartOn(const std::string& folderName, const std::vector<std::pair<std::string, std::string>>& buttons);
    void TearDown() override;
    void CloseBar();
    // A point of the bar's client area above its first button.
    POINT DropPoint() const;
    // drag_source.exe with these arguments dropped on DropPoint(); its exit code. log_ names
    // its report.
    DWORD Drag(const std::string& what);

    Process process_;
    HWND bar_ = nullptr;
    std::string folder_;
    std::string file_;
    std::string log_;
    std::vector<const char*> dialogsToCancel_;
};

// What the program says about a file whose size is neither 64,996 bytes nor 0: that it is not a
// Button file and where its copy is kept; or, when no copy could be made, that it was left alone
// and which Button file is used now.
std::string KeptCopyMessage(const std::string& file, size_t size, const std::string& copy);
std::string NotCopiedMessage(const std::string& file, size_t size, const std::string& now);

// Registry (the same prefix as the program).
bool SetInstalledPath(const std::string& folder);
void DeleteInstalledPath();
void DeleteUserKey();
bool ReadUserString(const char* valueName, std::string* value);
bool WriteUserString(const char* valueName, const std::string& value);
bool ReadUserDword(const char* valueName, DWORD* value);
bool WriteUserDword(const char* valueName, DWORD value);
bool ReadRunValue(std::string* value, DWORD* type = nullptr);
void DeleteRunValue();

// Files.
bool FileExists(const std::string& path);
std::vector<unsigned char> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const void* data, size_t size);
void DeleteTree(const std::string& folder);

// A Button file image with `count` buttons named and addressed by the caller (the rest of the
// table as a default file has it: width 140, "System" bold).
std::vector<unsigned char> MakeButtonFile(const std::vector<std::pair<std::string, std::string>>& buttons,
                                          int buttonWidth = 140, bool wide = false);

// `count` buttons named `prefix` 1, `prefix` 2, ... with the addresses http://<prefix>1.example/ ...
std::vector<std::pair<std::string, std::string>> NumberedButtons(int count, const std::string& prefix = "B");

// The table a Button file holds (all zero when the file is missing or not a whole image).
std::unique_ptr<ButtonTable> ReadButtonTable(const std::string& path);

// The window that has the foreground now, for a failure's text: its class, caption and process
// ("nothing" when none has).
std::string ForegroundWindowText();
// Presses the keys in order and lets them go in the reverse order (a chord such as Alt+Shift+B).
void PressKeys(const std::vector<WORD>& keys);
// Alt with the key that types `ch` (Shift too where it needs it); false when no key types it.
bool PressAltWith(char ch);

// Screen metrics as the program reads them.
struct Metrics { int cx, cy, menu, caption; };
Metrics ScreenMetricsNow();
// The same at another DPI, as a program shown at that DPI reads them (GetSystemMetricsForDpi).
Metrics ScreenMetricsAt(int dpi);
// Everything the bar's layout is worked out from at 96 DPI, the work area included.
ScreenMetrics LayoutMetricsNow();

// Where the bar must stand and how big it and its buttons must be, worked out here from the bar's
// rules and not by the program's layout code: 22-pixel buttons 5 apart, right edge 10 inside the
// screen, bottom edge at screen height - 4 menu heights + caption height + 10. Pixel constants
// are scaled by dpi / 96 (the metrics given are those at that DPI).
struct BarPlace { int x, y, width, height, buttonWidth, buttonHeight, gap; };
BarPlace ExpectedBarPlace(const Metrics& m, int tableWidth, bool wide, int count, int dpi = 96);

// Live GDI objects of a process, read from its GDI handle table (Wine 8 and 10, 64-bit process
// only), their counts by type in `types` where given; -1 when it cannot be read.
int LiveGdiObjects(HANDLE process, std::map<int, int>* types = nullptr);
// Which types changed from one count by type to another ("font +3, DC +1"), for a failure's text.
std::string GdiTypesGrown(const std::map<int, int>& then, const std::map<int, int>& now);
// GDI objects of a process: as Windows counts them (GetGuiResources), or where that answers 0
// (Wine keeps no counts), from its handle table as LiveGdiObjects reads it; -1 when neither can
// be had.
int GdiObjects(HANDLE process, std::map<int, int>* types = nullptr);

// The DPI every program started from now on sees: "LogPixels" of HKCU\Control Panel\Desktop,
// which Wine reads when a process starts, applied to the display (this program is per-monitor
// aware, so it sees the others' windows as they are). Leaving the
// scope ends any running Brisklet and puts the value back as it was (none: 96 DPI), so no later
// test runs at the changed DPI. A test that uses it belongs to a suite named *DisplayScale: the
// test runner runs those last, in a Wine session of their own, because Wine 10 does not give its
// desktop back the whole screen for finding windows under the pointer once a larger scale has
// been applied and taken back.
class ScopedDpi {
public:
    explicit ScopedDpi(int dpi);
    ~ScopedDpi();
    ScopedDpi(const ScopedDpi&) = delete;
    ScopedDpi& operator=(const ScopedDpi&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    bool had_ = false;
    DWORD previous_ = 0;
};

// ---- Site icons ----

// The program's icon cache, %LOCALAPPDATA%\Brisklet\icons.
std::string IconCacheFolder();
// A 16-pixel square icon of one colour, as an ICO file.
std::vector<unsigned char> SquareIcon(COLORREF colour);
// A window, or a rectangle of the screen, as the screen shows it, row by row, 0xRRGGBB.
std::vector<DWORD> ScreenPixels(HWND window);
std::vector<DWORD> ScreenPixels(const RECT& rect);
// How many pixels of the button, or of a rectangle of the screen, have this colour.
int ButtonPixels(HWND button, COLORREF colour);
int RectPixels(const RECT& rect, COLORREF colour);
// The icon the bar draws on a button (its property "BriskletIcon"; handles of icons are the
// same in every process).
HANDLE ButtonImage(HWND button);

// What the test server answers for one path.
struct HttpReply {
    int status = 200;
    std::string headers;   // more header lines, each ending in "\r\n"
    std::string body;
    bool never = false;    // takes the request and never answers it
    size_t endless = 0;    // announces this many bytes and sends them as long as they are read
};

// An HTTP server on 127.0.0.1, on a free port, serving fixed replies (404 for any other path) to
// at most 200 requests, for at most two minutes; stopped when it goes out of scope.
class HttpServer {
public:
    explicit HttpServer(std::map<std::string, HttpReply> routes);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    std::string CacheFile() const { return IconCacheFolder() + "\\127.0.0.1_" + std::to_string(port_) + ".ico"; }
    // Requests taken for the path, or for all paths when it is "".
    int Requests(const std::string& path = "") const;

private:
    void Serve();
    void Answer(uintptr_t client);
    std::map<std::string, HttpReply> routes_;
    uintptr_t listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::vector<std::string> seen_;
    std::vector<uintptr_t> held_;
    std::thread thread_;
};

// Saves the whole screen as BMP in the screenshots folder (BRISKLET_SCREENSHOTS, converted to
// PNG by the test runner). Returns the path written, "" on failure.
std::string SaveScreenshot(const std::string& name);
// Colour of a screen pixel.
COLORREF ScreenPixel(int x, int y);

}  // namespace e2e
