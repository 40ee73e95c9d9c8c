// Hostile states met end to end: the real brisklet.exe started on damaged, foreign and oversized
// Button files (a file of another size than a Button file's is kept in a copy first), odd registry values, folders it cannot use, legacy data files, saves that fail,
// a burst of second starts and a long run of rebuilds. Each case checks the clear message the
// user gets, or the sound behaviour that follows instead: the bar up with the buttons the file
// really holds (0 to 100 of them), the process alive and answering, and no Button file lost.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/bar_messages.h"
#include "app/layout.h"
#include "res/resource.h"
#include "store/button_table.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/recorder.h"

namespace {

using e2e::Process;
using Bytes = std::vector<unsigned char>;
using Buttons = std::vector<std::pair<std::string, std::string>>;

const char kCannotCreatePrefix[] = "Cannot create Brisklet Button Data File in - ";
const char kWriteAccess[] = "\nPlease check that you have 'write' access to this folder";
const char kProblemAccessing[] = "Problem accessing Button file - Please re-install Brisklet";

std::string CannotCreate(const std::string& folder) { return kCannotCreatePrefix + folder + kWriteAccess; }

ButtonTable& TableIn(Bytes& image) { return *reinterpret_cast<ButtonTable*>(image.data()); }
const ButtonTable& TableIn(const Bytes& image) { return *reinterpret_cast<const ButtonTable*>(image.data()); }

// ---- The program's windows ----

DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

// A top-level window of this class and, when given, this title that belongs to pid; only a
// visible one when asked.
HWND WindowOf(DWORD pid, const char* className, const char* title, bool visibleOnly) {
    struct Search {
        DWORD pid;
        const char* className;
        const char* title;
        bool visibleOnly;
        HWND found;
    } search{pid, className, title, visibleOnly, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (ProcessOf(hwnd) != s->pid) return TRUE;
            if (s->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
            char text[64] = "";
            GetClassNameA(hwnd, text, sizeof text);
            if (std::strcmp(text, s->className) != 0) return TRUE;
            GetWindowTextA(hwnd, text, sizeof text);
            if (s->title != nullptr && std::strcmp(text, s->title) != 0) return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND BarOf(DWORD pid) { return WindowOf(pid, "BRISKLET", "Brisklet", false); }
// Any dialog or message box the process shows.
HWND MessageBoxOf(DWORD pid) { return WindowOf(pid, "#32770", nullptr, true); }

struct Box {
    std::string caption;
    std::string text;
};

std::string Describe(const std::vector<Box>& boxes) {
    std::string all;
    for (const Box& box : boxes) all += "[" + box.caption + ": " + box.text + "] ";
    return all.empty() ? "no message" : all;
}

// A started brisklet.exe with every message box it showed on the way.
struct Started {
    Process process;
    HWND bar = nullptr;
    std::vector<Box> boxes;
};

// Starts brisklet.exe and answers OK to every message box it shows, noting caption and text,
// until start-up has run to the end, the bar has handled what it queued (the first save
// included), at least `boxes` boxes have been answered and none is open, or until the process
// has ended.
Started StartAnswering(const std::string& arguments = "", const std::string& workingFolder = "",
                       size_t boxes = 0) {
    Started run;
    run.process = Process::Start(e2e::BriskletExe(), arguments, workingFolder);
    const DWORD pid = run.process.id();
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 30000) {
        if (HWND box = MessageBoxOf(pid)) {
            char caption[256] = "";
            GetWindowTextA(box, caption, sizeof caption);
            run.boxes.push_back(Box{caption, e2e::MessageBoxText(box)});
            e2e::PressButton(box, IDOK);
            EXPECT_TRUE(e2e::WaitForWindowGone(box, 5000)) << "a message box stayed: " << caption;
            continue;
        }
        if (!run.process.running()) break;
        HWND bar = BarOf(pid);
        if (bar != nullptr && e2e::StartedUp(bar)) {
            e2e::Sync(bar);
            // A box is made hidden and shown by its own message loop, which may answer Sync
            // first: a box not shown yet counts too.
            if (run.boxes.size() >= boxes && WindowOf(pid, "#32770", nullptr, false) == nullptr) {
                run.bar = bar;
                break;
            }
        }
        Sleep(20);
    }
    return run;
}

// The process runs, its bar exists and answers a message within five seconds.
::testing::AssertionResult Alive(const Started& run) {
    if (!run.process.running()) {
        return ::testing::AssertionFailure() << "brisklet.exe ended (" << run.process.exitCode() << ")";
    }
    if (run.bar == nullptr || !IsWindow(run.bar)) return ::testing::AssertionFailure() << "no Button bar";
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(run.bar, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000, &result) == 0) {
        return ::testing::AssertionFailure() << "the bar does not answer";
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::string> BarNames(HWND bar) {
    std::vector<std::string> names;
    for (const auto& button : e2e::BarButtons(bar)) names.push_back(button.text);
    return names;
}

// The names a table shows: records 0 ... count - 1, each cut to the 63 characters of its field.
std::vector<std::string> NamesIn(const ButtonTable& table, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        const char* name = table.records[i].name;
        names.emplace_back(name, strnlen(name, kNameSize - 1));
    }
    return names;
}

// Bar height for `count` buttons: 27 per button, two caption heights and three gaps. (Only for
// bars that fit the screen: the window system keeps a taller window to the screen's height.)
void ExpectBarHeightFor(HWND bar, int count) {
    ASSERT_LE(27 * count + 2 * GetSystemMetrics(SM_CYSIZE) + 15, GetSystemMetrics(SM_CYSCREEN));
    RECT rect{};
    GetWindowRect(bar, &rect);
    EXPECT_EQ(27 * count + 2 * GetSystemMetrics(SM_CYSIZE) + 15, rect.bottom - rect.top);
}

bool IsTopmost(HWND hwnd) { return (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// A barrier in the bar's message queue: "Sta&y on top" is posted four times and each switch is
// waited for, so everything posted before, and what that posted in turn, has been handled. The
// bar ends as it was; nothing the bar does by itself moves it in or out of the topmost band.
void Settle(HWND bar) {
    for (int toggle = 0; toggle < 4; ++toggle) {
        const bool topmost = IsTopmost(bar);
        PostMessageA(bar, WM_COMMAND, IDM_STAY_ON_TOP, 0);
        ASSERT_TRUE(e2e::WaitUntil([&] { return IsTopmost(bar) != topmost; }, 20000))
            << "the bar's queue did not drain";
    }
}

void Finish(Started& run) {
    if (run.process.running()) EXPECT_TRUE(e2e::CloseBrisklet(run.process));
}

std::string Recorded() {
    std::string value;
    return e2e::ReadUserString("CurrentButtonFileName", &value) ? value : std::string("<none>");
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Names of the entries of a folder, sorted.
std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string WriteButtonFile(const std::string& path, const Bytes& image) {
    EXPECT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size())) << path;
    return path;
}

// A table of `count` records named prefix00, prefix01, ... (count up to 100).
Bytes NamedTable(const std::string& prefix, int count) {
    Buttons buttons;
    for (int i = 0; i < count; ++i) {
        char name[16];
        wsprintfA(name, "%s%02d", prefix.c_str(), i);
        buttons.emplace_back(name, std::string("http://") + name + ".example/");
    }
    return e2e::MakeButtonFile(buttons);
}

// ---- The host under Wine ----

// The Unix path Wine maps a Windows path to; "" when not under Wine.
std::string UnixPath(const std::string& windowsPath) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    FARPROC proc = GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (proc == nullptr) return std::string();
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)()>(proc));
    const std::wstring wide(windowsPath.begin(), windowsPath.end());  // the test paths are ASCII
    char* unixPath = toUnix(wide.c_str());
    if (unixPath == nullptr) return std::string();
    std::string result(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// Runs a shell command of the host. Wine starts Unix programs too, but hands back no process
// handle to wait on, so the command writes its exit status to a file, which is waited for.
// Returns that status, or -1 when the command did not run or end within timeoutMs.
int RunHostCommand(const std::string& command, int timeoutMs = 10000) {
    static int serial = 0;
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string marker = std::string(temp) + "brisklet-e2e-host-" + std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(++serial) + ".status";
    DeleteFileA(marker.c_str());
    const std::string unixMarker = UnixPath(marker);
    if (unixMarker.empty()) return -1;
    std::string line = "/bin/sh -c \"" + command + "; echo $? > '" + unixMarker + ".part'; mv '" + unixMarker +
                       ".part' '" + unixMarker + "'\"";
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return -1;
    }
    if (info.hProcess != nullptr) CloseHandle(info.hProcess);
    if (info.hThread != nullptr) CloseHandle(info.hThread);
    if (!e2e::WaitUntil([&] { return e2e::FileExists(marker); }, timeoutMs)) return -1;
    const Bytes status = e2e::ReadFileBytes(marker);
    DeleteFileA(marker.c_str());
    return std::atoi(std::string(status.begin(), status.end()).c_str());
}

// A folder the kernel refuses to create, rename or delete anything in, root included: the
// Linux "immutable" attribute. Read-only attributes do not stop a process running as root, nor
// Wine on its behalf, so this is what a write-protected folder is made of here. The attribute
// goes again when the guard goes.
class ImmutableFolder {
public:
    explicit ImmutableFolder(const std::string& folder) : unixPath_(UnixPath(folder)) {
        set_ = !unixPath_.empty() && RunHostCommand("chattr +i '" + unixPath_ + "'") == 0;
    }
    ~ImmutableFolder() {
        if (set_) RunHostCommand("chattr -i '" + unixPath_ + "'");
    }
    bool set() const { return set_; }

private:
    std::string unixPath_;
    bool set_ = false;
};

// A 96 KiB file system mounted on a folder: room for one Button file and 32 KiB more, so a save
// runs out of space half-way through writing its second copy.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& folder) : unixPath_(UnixPath(folder)) {
        mounted_ = !unixPath_.empty() &&
                   RunHostCommand("mount -t tmpfs -o size=96k brisklet-small '" + unixPath_ + "'") == 0;
    }
    ~SmallDisk() {
        if (mounted_) RunHostCommand("umount -l '" + unixPath_ + "'");
    }
    bool mounted() const { return mounted_; }

private:
    std::string unixPath_;
    bool mounted_ = false;
};

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

// ---- Button files with hostile content ----

// Brisklet started on `path` as its recorded current Button file.
Started StartOnRecordedFile(const std::string& path) {
    EXPECT_TRUE(e2e::WriteUserString("CurrentButtonFileName", path));
    return StartAnswering();
}

// What a saved image may differ in from a loaded hostile one: the count, brought into 0..100,
// and the last byte of a text field that had no terminator, which becomes one. Everything else
// is written back byte for byte.
void ExpectRepairedCopy(const Bytes& loaded, const Bytes& saved) {
    ASSERT_EQ(kButtonTableSize, saved.size());
    const ButtonTable& before = TableIn(loaded);
    const ButtonTable& after = TableIn(saved);
    const int32_t count = before.buttonCount;
    EXPECT_EQ(count < 0 ? 0 : count > 100 ? 100 : count, after.buttonCount);

    std::vector<bool> mayChange(kButtonTableSize, false);
    for (size_t at = offsetof(ButtonTable, buttonCount); at < offsetof(ButtonTable, buttonCount) + 4; ++at) {
        mayChange[at] = true;
    }
    auto field = [&](const char* start, size_t size) {
        const size_t offset = static_cast<size_t>(start - reinterpret_cast<const char*>(&before));
        const char* savedField = reinterpret_cast<const char*>(&after) + offset;
        EXPECT_NE(nullptr, std::memchr(savedField, '\0', size)) << "unterminated field at " << offset;
        if (std::memchr(start, '\0', size) == nullptr) mayChange[offset + size - 1] = true;
    };
    field(before.favouriteUrl, sizeof before.favouriteUrl);
    for (const ButtonRecord& record : before.records) {
        field(record.name, sizeof record.name);
        field(record.url, sizeof record.url);
        field(record.ownFont.lfFaceName, sizeof record.ownFont.lfFaceName);
    }
    field(before.globalFont.lfFaceName, sizeof before.globalFont.lfFaceName);

    int unexpected = 0;
    for (size_t at = 0; at < kButtonTableSize; ++at) {
        if (saved[at] == loaded[at] || mayChange[at]) continue;
        if (++unexpected <= 5) {
            ADD_FAILURE() << "byte " << at << " changed from " << int(loaded[at]) << " to " << int(saved[at]);
        }
    }
    EXPECT_EQ(0, unexpected);
}

TEST(FaultButtonFile, EmptyFileGivesAnEmptyBarAndAnAllZeroTable) {
    e2e::ResetState();
    const std::string path = e2e::ScratchFolder("fault-empty") + "\\empty.bklt";
    ASSERT_TRUE(e2e::WriteFileBytes(path, "", 0));
    Started run = StartOnRecordedFile(path);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_TRUE(e2e::BarButtons(run.bar).empty());
    ExpectBarHeightFor(run.bar, 0);
    // Nothing was read and nothing invented: the table that started all zero is saved whole.
    EXPECT_EQ(Bytes(kButtonTableSize, 0), e2e::ReadFileBytes(path));
    EXPECT_EQ(path, Recorded());
    Finish(run);
}

TEST(FaultButtonFile, ShortFileReplacesOnlyItsLeadingBytes) {
    e2e::ResetState();
    const Bytes full = e2e::MakeButtonFile({{"One", "http://one.example/"}, {"Two", "http://two.example/"},
                                            {"Three", "http://three.example/"}});
    const Bytes head(full.begin(), full.begin() + 100);  // width, count 3, the start of the Favourite URL
    const std::string path = WriteButtonFile(e2e::ScratchFolder("fault-short") + "\\short.bklt", head);
    Started run = StartOnRecordedFile(path);
    // Not a Button file by its size: copied beside it before it is read, and the user told.
    ASSERT_EQ(1u, run.boxes.size()) << Describe(run.boxes);
    EXPECT_EQ("Brisklet", run.boxes[0].caption);
    EXPECT_EQ(e2e::KeptCopyMessage(path, 100, path + ".orig"), run.boxes[0].text);
    EXPECT_EQ(head, e2e::ReadFileBytes(path + ".orig"));
    ASSERT_TRUE(Alive(run));
    // Three buttons; their records lie beyond the 100 bytes, so they have no names.
    EXPECT_EQ((std::vector<std::string>{"", "", ""}), BarNames(run.bar));
    Bytes expected(kButtonTableSize, 0);
    std::memcpy(expected.data(), head.data(), head.size());
    EXPECT_EQ(expected, e2e::ReadFileBytes(path));
    Finish(run);
}

// A 100,000-byte file given at start-up is copied whole beside it before it is read; the save at
// start-up then writes the table (its first 64,996 bytes) over it. When it comes again (another
// program wrote it anew) with a second start, the copy goes to ".orig2": ".orig" is never
// replaced. The second start is not held while the running bar shows its message.
TEST(FaultButtonFile, OverLongArgumentIsCopiedThenReadAsItsFirst64996Bytes) {
    e2e::ResetState();
    const Bytes table = NamedTable("Long", 4);
    Bytes file = table;
    file.resize(100000, 0xEE);
    const std::string path = WriteButtonFile(e2e::ScratchFolder("fault-long") + "\\long.bklt", file);
    Started run = StartAnswering("\"" + path + "\"", "", 1);
    ASSERT_EQ(1u, run.boxes.size()) << Describe(run.boxes);
    EXPECT_EQ("Brisklet", run.boxes[0].caption);
    EXPECT_EQ(e2e::KeptCopyMessage(path, 100000, path + ".orig"), run.boxes[0].text);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ((std::vector<std::string>{"Long00", "Long01", "Long02", "Long03"}), BarNames(run.bar));
    EXPECT_EQ(file, e2e::ReadFileBytes(path + ".orig"));
    EXPECT_EQ(table, e2e::ReadFileBytes(path));
    EXPECT_EQ(path, Recorded());

    const Bytes again = NamedTable("Again", 2);
    Bytes second = again;
    second.resize(100000, 0xDD);
    WriteButtonFile(path, second);
    Process other = Process::Start(e2e::BriskletExe(), "\"" + path + "\"");
    ASSERT_TRUE(other.WaitForExit(15000)) << "the second start waits for the message";
    EXPECT_EQ(0u, other.exitCode());
    EXPECT_EQ(e2e::KeptCopyMessage(path, 100000, path + ".orig2"), e2e::AnswerMessageBox("Brisklet", IDOK, 15000));
    Settle(run.bar);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ((std::vector<std::string>{"Again00", "Again01"}), BarNames(run.bar));
    EXPECT_EQ(file, e2e::ReadFileBytes(path + ".orig")) << "the first copy is never replaced";
    EXPECT_EQ(second, e2e::ReadFileBytes(path + ".orig2"));
    EXPECT_EQ(again, e2e::ReadFileBytes(path));
    EXPECT_FALSE(e2e::FileExists(path + ".orig3"));
    Finish(run);
}

// 64,996 random bytes; with forcedCount >= 0 the count is set to it so that the records' random
// names are shown.
void RandomFileCase(unsigned seed, int forcedCount) {
    e2e::ResetState();
    std::mt19937 random(seed);
    Bytes image(kButtonTableSize);
    for (auto& byte : image) byte = static_cast<unsigned char>(random() & 0xFF);
    if (forcedCount >= 0) TableIn(image).buttonCount = forcedCount;
    const int32_t count = TableIn(image).buttonCount;
    const int shown = count < 0 ? 0 : count > 100 ? 100 : count;
    const std::string path =
        WriteButtonFile(e2e::ScratchFolder("fault-random") + "\\random" + std::to_string(seed) + ".bklt", image);

    Started run = StartOnRecordedFile(path);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run)) << "count " << count << ", width " << TableIn(image).buttonWidth;
    EXPECT_EQ(NamesIn(TableIn(image), shown), BarNames(run.bar)) << "count " << count;
    ExpectRepairedCopy(image, e2e::ReadFileBytes(path));
    Finish(run);
}

TEST(FaultButtonFile, RandomBytesWithTheirOwnCount) { RandomFileCase(20240611u, -1); }

TEST(FaultButtonFile, RandomBytesWithThirtySevenButtons) { RandomFileCase(7u, 37); }

class FaultCount : public ::testing::TestWithParam<int32_t> {};

TEST_P(FaultCount, IsBroughtIntoZeroToHundredAndNothingElseChanges) {
    e2e::ResetState();
    const int32_t count = GetParam();
    const int shown = count < 0 ? 0 : count > 100 ? 100 : count;
    Bytes image = NamedTable("C", 100);
    TableIn(image).buttonCount = count;
    const std::string path = WriteButtonFile(e2e::ScratchFolder("fault-count") + "\\count.bklt", image);
    Started run = StartOnRecordedFile(path);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ(NamesIn(TableIn(image), shown), BarNames(run.bar));
    if (shown == 0) ExpectBarHeightFor(run.bar, 0);
    Bytes expected = image;
    TableIn(expected).buttonCount = shown;
    EXPECT_EQ(expected, e2e::ReadFileBytes(path)) << "only the count changes; all 100 records stay";
    Finish(run);
}

INSTANTIATE_TEST_SUITE_P(Counts, FaultCount, ::testing::Values(-5, 0, 101, INT32_MAX),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                             return info.param < 0 ? std::string("Minus5") : "Count" + std::to_string(info.param);
                         });

TEST(FaultButtonFile, TextFieldsWithoutTerminatorAreCutToTheirFields) {
    e2e::ResetState();
    ASSERT_TRUE(e2e::InstallRecorder());
    e2e::ClearLaunches();
    Bytes image = e2e::MakeButtonFile({{"first", "http://first.example/"}, {"Second", "http://second.example/"}});
    ButtonTable& table = TableIn(image);
    std::memset(table.records[0].name, 'N', sizeof table.records[0].name);
    const std::string urlStart = "http://long.example/";
    std::memset(table.records[0].url, 'u', sizeof table.records[0].url);
    std::memcpy(table.records[0].url, urlStart.data(), urlStart.size());
    table.records[1].hasOwnFont = 1;
    std::memset(table.records[1].ownFont.lfFaceName, 'F', sizeof table.records[1].ownFont.lfFaceName);
    std::memset(table.globalFont.lfFaceName, 'G', sizeof table.globalFont.lfFaceName);
    std::memset(table.favouriteUrl, 'f', sizeof table.favouriteUrl);
    const std::string path = WriteButtonFile(e2e::ScratchFolder("fault-unterminated") + "\\open.bklt", image);

    Started run = StartOnRecordedFile(path);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ((std::vector<std::string>{std::string(63, 'N'), "Second"}), BarNames(run.bar));
    const Bytes saved = e2e::ReadFileBytes(path);
    ExpectRepairedCopy(image, saved);
    EXPECT_EQ(std::string(31, 'G'), std::string(TableIn(saved).globalFont.lfFaceName));

    // The first button opens its address as the field holds it: 511 characters.
    const std::string url511 = urlStart + std::string(511 - urlStart.size(), 'u');
    PostMessageA(run.bar, WM_COMMAND, IDC_BUTTON_FIRST, 0);
    e2e::Launch launch;
    ASSERT_TRUE(e2e::WaitForLaunch("long.example", &launch));
    EXPECT_NE(std::string::npos, launch.commandLine.find(url511));
    EXPECT_EQ(std::string::npos, launch.commandLine.find(url511 + "u"));
    ASSERT_TRUE(Alive(run));
    Finish(run);
}

TEST(FaultButtonFile, ButtonFileThatIsAFolderIsLeftAsItIs) {
    e2e::ResetState();
    const std::string folder = e2e::ScratchFolder("fault-folder") + "\\folder.bklt";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    Started run = StartOnRecordedFile(folder);
    // Whether the program says that it cannot read it or not, anything it says names it.
    for (const Box& box : run.boxes) {
        EXPECT_EQ("Brisklet", box.caption);
        EXPECT_NE(std::string::npos, box.text.find(folder)) << box.text;
    }
    ASSERT_TRUE(Alive(run));
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_TRUE(FolderEntries(folder).empty());
    EXPECT_EQ((std::vector<std::string>{"Brisklet"}), BarNames(run.bar));
    EXPECT_EQ(e2e::DefaultButtonFile(), Recorded());
    EXPECT_EQ(kButtonTableSize, e2e::ReadFileBytes(e2e::DefaultButtonFile()).size());
    Finish(run);
}

// ---- Paths and registry values ----

TEST(FaultPaths, ArgumentNamingAMissingFileCreatesItWithTheDefaults) {
    e2e::ResetState();
    const std::string path = e2e::ScratchFolder("fault-newfile") + "\\New.bklt";
    Started run = StartAnswering("\"" + path + "\"");
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_TRUE(IsWindowVisible(run.bar)) << "a start with a Button file shows the bar";
    EXPECT_EQ((std::vector<std::string>{"Brisklet"}), BarNames(run.bar));
    EXPECT_EQ(path, Recorded());
    const Bytes made = e2e::ReadFileBytes(path);
    ASSERT_EQ(kButtonTableSize, made.size());
    EXPECT_EQ(1, TableIn(made).buttonCount);
    EXPECT_FALSE(e2e::FileExists(e2e::DefaultButtonFile()));
    Finish(run);
}

TEST(FaultPaths, CurrentFileInAMissingFolderFallsBackToANewDefaultFile) {
    e2e::ResetState();
    const std::string gone = e2e::ScratchFolder("fault-gone") + "\\gone";
    const std::string path = gone + "\\sub\\lost.bklt";
    Started run = StartOnRecordedFile(path);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ((std::vector<std::string>{"Brisklet"}), BarNames(run.bar));
    EXPECT_EQ(e2e::DefaultButtonFile(), Recorded());
    EXPECT_EQ(kButtonTableSize, e2e::ReadFileBytes(e2e::DefaultButtonFile()).size());
    EXPECT_FALSE(e2e::FileExists(gone)) << "the missing folder is not made";
    Finish(run);
}

TEST(FaultPaths, CurrentFileInAMissingFolderKeepsTheUsersDefaultFile) {
    e2e::ResetState();
    ASSERT_TRUE(CreateDirectoryA(e2e::ButtonFolder().c_str(), nullptr));
    const Bytes mine = e2e::MakeButtonFile({{"Mine1", "http://mine1.example/"}, {"Mine2", "http://mine2.example/"}});
    WriteButtonFile(e2e::DefaultButtonFile(), mine);
    const std::string path = e2e::ScratchFolder("fault-stick") + "\\removed\\stick.bklt";
    Started run = StartOnRecordedFile(path);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ((std::vector<std::string>{"Mine1", "Mine2"}), BarNames(run.bar));
    EXPECT_EQ(mine, e2e::ReadFileBytes(e2e::DefaultButtonFile()))
        << "the default Button file holds the user's buttons";
    EXPECT_EQ(e2e::DefaultButtonFile(), Recorded());
    Finish(run);
}

TEST(FaultPaths, TenThousandCharacterFileNameAtStartUp) {
    e2e::ResetState();
    ASSERT_TRUE(CreateDirectoryA(e2e::ButtonFolder().c_str(), nullptr));
    const Bytes mine = NamedTable("Mine", 3);
    WriteButtonFile(e2e::DefaultButtonFile(), mine);
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", "C:\\" + std::string(9992, 'n') + ".bklt"));
    Started run = StartAnswering();
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    // Too long for the path: taken as not recorded, so the default Button file is current, and
    // the buttons it holds are the user's.
    EXPECT_EQ((std::vector<std::string>{"Mine00", "Mine01", "Mine02"}), BarNames(run.bar));
    EXPECT_EQ(mine, e2e::ReadFileBytes(e2e::DefaultButtonFile()));
    EXPECT_EQ(e2e::DefaultButtonFile(), Recorded());
    Finish(run);
}

TEST(FaultPaths, TenThousandCharacterFileNameOnReloadKeepsTheLoadedFile) {
    e2e::ResetState();
    const Bytes image = NamedTable("Keep", 3);
    const std::string path = WriteButtonFile(e2e::ScratchFolder("fault-reload-long") + "\\keep.bklt", image);
    Started run = StartOnRecordedFile(path);
    ASSERT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));

    // What a second start does, with a value no path buffer can hold.
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", "C:\\" + std::string(9992, 'r') + ".bklt"));
    DWORD_PTR result = 0;
    ASSERT_NE(0, SendMessageTimeoutA(run.bar, WM_BAR_RELOADFILE, 0, 0, SMTO_NORMAL, 10000, &result));
    Settle(run.bar);
    ASSERT_TRUE(Alive(run));
    EXPECT_TRUE(MessageBoxOf(run.process.id()) == nullptr);
    EXPECT_EQ((std::vector<std::string>{"Keep00", "Keep01", "Keep02"}), BarNames(run.bar));
    EXPECT_EQ(image, e2e::ReadFileBytes(path));
    EXPECT_EQ(path, Recorded()) << "the reload's save records the file it kept";
    Finish(run);
}

TEST(FaultPaths, InstalledPathOf1020CharactersCountsAsMissing) {
    e2e::ResetState();
    const Bytes image = NamedTable("Own", 2);
    const std::string path = WriteButtonFile(e2e::ScratchFolder("fault-install") + "\\own.bklt", image);
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", path));
    ASSERT_TRUE(e2e::SetInstalledPath("C:\\" + std::string(1017, 'i')));
    Started run = StartAnswering("", "", 1);
    e2e::SetInstalledPath(e2e::TargetFolder());
    ASSERT_EQ(1u, run.boxes.size()) << Describe(run.boxes);
    EXPECT_EQ("Brisklet Not Installed Properly", run.boxes[0].caption);
    EXPECT_EQ("Installed path not found - Please re-install Brisklet", run.boxes[0].text);
    ASSERT_TRUE(run.process.WaitForExit(10000));
    EXPECT_EQ(0u, run.process.exitCode());
    EXPECT_EQ(nullptr, run.bar);
    EXPECT_EQ(image, e2e::ReadFileBytes(path));
    EXPECT_EQ(path, Recorded());
    EXPECT_FALSE(e2e::FileExists(e2e::ButtonFolder())) << "nothing is made before the installation is found";
}

TEST(FaultPaths, InstalledPathOf1008CharactersStillStarts) {
    e2e::ResetState();
    const Bytes image = NamedTable("Own", 2);
    const std::string path = WriteButtonFile(e2e::ScratchFolder("fault-install-edge") + "\\own.bklt", image);
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", path));
    // 1,008 characters leave room for the quotes and "\brisklet.exe" in 1,024 bytes.
    ASSERT_TRUE(e2e::SetInstalledPath("C:\\" + std::string(1005, 'i')));
    Started run = StartAnswering();
    e2e::SetInstalledPath(e2e::TargetFolder());
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ((std::vector<std::string>{"Own00", "Own01"}), BarNames(run.bar));
    Finish(run);
}

TEST(FaultPaths, ArgumentOf5000CharactersIsIgnored) {
    e2e::ResetState();
    const Bytes image = NamedTable("Arg", 2);
    const std::string path = WriteButtonFile(e2e::ScratchFolder("fault-argument") + "\\own.bklt", image);
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", path));
    Started run = StartAnswering(std::string(4995, 'a') + ".bklt");
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_FALSE(IsWindowVisible(run.bar)) << "started as without argument";
    EXPECT_EQ((std::vector<std::string>{"Arg00", "Arg01"}), BarNames(run.bar));
    EXPECT_EQ(path, Recorded());
    EXPECT_EQ(image, e2e::ReadFileBytes(path));
    Finish(run);
}

// ---- Folders that cannot be used ----

TEST(FaultFolders, WriteProtectedButtonFolderKeepsTheFileAndSaysSo) {
    e2e::ResetState();
    ASSERT_TRUE(CreateDirectoryA(e2e::ButtonFolder().c_str(), nullptr));
    const Bytes image = NamedTable("P", 2);
    WriteButtonFile(e2e::DefaultButtonFile(), image);
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", e2e::DefaultButtonFile()));
    Started run;
    {
        ImmutableFolder protect(e2e::ButtonFolder());
        ASSERT_TRUE(protect.set()) << "cannot write-protect " << e2e::ButtonFolder();
        run = StartAnswering("", "", 1);
        // The file loads; the save at start-up cannot put its new copy in the folder.
        ASSERT_EQ(1u, run.boxes.size()) << Describe(run.boxes);
        EXPECT_EQ("Brisklet", run.boxes[0].caption);
        EXPECT_EQ(CannotCreate(e2e::ButtonFolder()), run.boxes[0].text);
        ASSERT_TRUE(Alive(run));
        EXPECT_EQ((std::vector<std::string>{"P00", "P01"}), BarNames(run.bar));
        Finish(run);
    }
    EXPECT_EQ(image, e2e::ReadFileBytes(e2e::DefaultButtonFile()));
    EXPECT_EQ((std::vector<std::string>{"brisklet.bklt"}), FolderEntries(e2e::ButtonFolder()));
    EXPECT_EQ(e2e::DefaultButtonFile(), Recorded());
}

// A file that is not a Button file, in a folder where no copy of it can be made: nothing is read
// from it and nothing goes over it; the user's default Button file is used instead.
TEST(FaultFolders, FileThatIsNotAButtonFileAndCannotBeCopiedIsLeftByteForByte) {
    e2e::ResetState();
    ASSERT_TRUE(CreateDirectoryA(e2e::ButtonFolder().c_str(), nullptr));
    const Bytes mine = NamedTable("Mine", 2);
    WriteButtonFile(e2e::DefaultButtonFile(), mine);
    const std::string folder = e2e::ScratchFolder("fault-nocopy");
    Bytes notes(1000);
    for (size_t i = 0; i < notes.size(); ++i) notes[i] = static_cast<unsigned char>("Some notes\r\n"[i % 12]);
    const std::string path = WriteButtonFile(folder + "\\notes.bklt", notes);
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", path));
    Started run;
    {
        ImmutableFolder protect(folder);
        ASSERT_TRUE(protect.set()) << "cannot write-protect " << folder;
        run = StartAnswering("", "", 1);
        ASSERT_EQ(1u, run.boxes.size()) << Describe(run.boxes);
        EXPECT_EQ("Brisklet", run.boxes[0].caption);
        EXPECT_EQ(e2e::NotCopiedMessage(path, 1000, e2e::DefaultButtonFile()), run.boxes[0].text);
        ASSERT_TRUE(Alive(run));
        EXPECT_EQ((std::vector<std::string>{"Mine00", "Mine01"}), BarNames(run.bar));
        EXPECT_EQ(e2e::DefaultButtonFile(), Recorded());
        Finish(run);
    }
    EXPECT_EQ(notes, e2e::ReadFileBytes(path));
    EXPECT_EQ((std::vector<std::string>{"notes.bklt"}), FolderEntries(folder));
    EXPECT_EQ(mine, e2e::ReadFileBytes(e2e::DefaultButtonFile()));
}

TEST(FaultFolders, WriteProtectedEmptyButtonFolderAtFirstStart) {
    e2e::ResetState();
    ASSERT_TRUE(CreateDirectoryA(e2e::ButtonFolder().c_str(), nullptr));
    Started run;
    {
        ImmutableFolder protect(e2e::ButtonFolder());
        ASSERT_TRUE(protect.set()) << "cannot write-protect " << e2e::ButtonFolder();
        run = StartAnswering("", "", 2);
        // No default file can be made, then the empty table cannot be saved.
        ASSERT_GE(run.boxes.size(), 2u) << Describe(run.boxes);
        EXPECT_EQ(kProblemAccessing, run.boxes.front().text);
        EXPECT_EQ(CannotCreate(e2e::ButtonFolder()), run.boxes.back().text);
        for (const Box& box : run.boxes) {
            EXPECT_EQ("Brisklet", box.caption);
            EXPECT_TRUE(box.text == kProblemAccessing || box.text == CannotCreate(e2e::ButtonFolder())) << box.text;
        }
        ASSERT_TRUE(Alive(run));
        EXPECT_TRUE(e2e::BarButtons(run.bar).empty());
        Finish(run);
    }
    EXPECT_TRUE(FolderEntries(e2e::ButtonFolder()).empty());
    EXPECT_EQ(e2e::DefaultButtonFile(), Recorded()) << "the default file is recorded before it is tried";
}

// The per-user shell folder "Personal" pointed elsewhere for one test, restored afterwards.
class DocumentsFolderMoved {
public:
    explicit DocumentsFolderMoved(const std::string& target) {
        for (int i = 0; i < 2; ++i) {
            HKEY key;
            saved_[i].present = RegOpenKeyExA(HKEY_CURRENT_USER, kKeys[i], 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS;
            if (!saved_[i].present) continue;
            DWORD size = 0;
            saved_[i].present =
                RegQueryValueExA(key, "Personal", nullptr, &saved_[i].type, nullptr, &size) == ERROR_SUCCESS;
            saved_[i].data.resize(size);
            if (saved_[i].present && size > 0) {
                RegQueryValueExA(key, "Personal", nullptr, &saved_[i].type, saved_[i].data.data(), &size);
            }
            const DWORD type = i == 0 ? REG_EXPAND_SZ : REG_SZ;
            RegSetValueExA(key, "Personal", 0, type, reinterpret_cast<const BYTE*>(target.c_str()),
                           static_cast<DWORD>(target.size() + 1));
            RegCloseKey(key);
        }
    }
    ~DocumentsFolderMoved() {
        for (int i = 0; i < 2; ++i) {
            HKEY key;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeys[i], 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) continue;
            if (saved_[i].present) {
                RegSetValueExA(key, "Personal", 0, saved_[i].type, saved_[i].data.data(),
                               static_cast<DWORD>(saved_[i].data.size()));
            } else {
                RegDeleteValueA(key, "Personal");
            }
            RegCloseKey(key);
        }
    }

private:
    static constexpr const char* kKeys[2] = {
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};
    struct Saved {
        bool present = false;
        DWORD type = REG_SZ;
        Bytes data;
    } saved_[2];
};

// With no documents folder the Button folder is "\brisklet" at the root of the drive the
// program runs on, and the default file is recorded by that drive-relative path. Started here
// from a folder on C:, that is C:\brisklet.
TEST(FaultFolders, NoDocumentsFolderPutsTheButtonFolderAtTheDriveRoot) {
    e2e::ResetState();
    const std::string documents = e2e::DocumentsFolder();
    const std::string working = e2e::ScratchFolder("fault-nodocs");
    ASSERT_EQ("C:", working.substr(0, 2));
    e2e::DeleteTree("C:\\brisklet");
    ASSERT_FALSE(e2e::FileExists("C:\\brisklet"));
    Started run;
    {
        DocumentsFolderMoved moved("C:\\no-such-documents-folder");
        ASSERT_TRUE(ShellFolder(CSIDL_PERSONAL).empty()) << "the documents folder is still found";
        run = StartAnswering("", working);
    }
    ASSERT_EQ(documents, e2e::DocumentsFolder());
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ((std::vector<std::string>{"Brisklet"}), BarNames(run.bar));
    EXPECT_EQ("\\brisklet\\brisklet.bklt", Recorded());
    EXPECT_EQ(kButtonTableSize, e2e::ReadFileBytes("C:\\brisklet\\brisklet.bklt").size());
    EXPECT_FALSE(e2e::FileExists("C:\\no-such-documents-folder"));
    Finish(run);
    e2e::DeleteTree("C:\\brisklet");
}

TEST(FaultFolders, NoDocumentsFolderAndNoUsableButtonFolder) {
    e2e::ResetState();
    const std::string working = e2e::ScratchFolder("fault-nodocs-blocked");
    e2e::DeleteTree("C:\\brisklet");
    // A file where the Button folder would go.
    ASSERT_TRUE(e2e::WriteFileBytes("C:\\brisklet", "not a folder", 12));
    Started run;
    {
        DocumentsFolderMoved moved("C:\\no-such-documents-folder");
        run = StartAnswering("", working, 2);
    }
    ASSERT_GE(run.boxes.size(), 2u) << Describe(run.boxes);
    EXPECT_EQ(kProblemAccessing, run.boxes.front().text);
    EXPECT_EQ(CannotCreate("\\brisklet"), run.boxes.back().text);
    for (const Box& box : run.boxes) {
        EXPECT_EQ("Brisklet", box.caption);
        EXPECT_TRUE(box.text == kProblemAccessing || box.text == CannotCreate("\\brisklet")) << box.text;
    }
    ASSERT_TRUE(Alive(run));
    EXPECT_TRUE(e2e::BarButtons(run.bar).empty());
    const Bytes blocker = e2e::ReadFileBytes("C:\\brisklet");
    EXPECT_EQ("not a folder", std::string(blocker.begin(), blocker.end()));
    Finish(run);
    DeleteFileA("C:\\brisklet");
}

// ---- The legacy data file ----

constexpr size_t kLegacySize = 213656;

using e2e::LegacyFile;
using e2e::LegacyFolder;

// A legacy data file image: width, count, Favourite URL and `names` records (URL per name).
Bytes LegacyImage(int32_t width, int32_t count, const std::string& favourite, const std::vector<std::string>& names) {
    Bytes image(kLegacySize, 0);
    std::memcpy(image.data(), &width, 4);
    std::memcpy(image.data() + 4, &count, 4);
    std::memcpy(image.data() + 8, favourite.c_str(), favourite.size());
    for (size_t i = 0; i < names.size() && i < 100; ++i) {
        unsigned char* record = image.data() + 2056 + 2116 * i;
        const std::string url = "http://" + names[i] + ".legacy.example/";
        std::memcpy(record, names[i].c_str(), names[i].size());
        std::memcpy(record + 64, url.c_str(), url.size());
    }
    return image;
}

// Removes the legacy folder before and after a test: a legacy file left behind would be
// migrated by every later start.
class LegacyFolderGuard {
public:
    LegacyFolderGuard() { e2e::DeleteTree(LegacyFolder()); }
    ~LegacyFolderGuard() { e2e::DeleteTree(LegacyFolder()); }
};

TEST(FaultLegacy, HundredByteLegacyFileIsMigratedOnceAndLaterButtonsStay) {
    e2e::ResetState();
    LegacyFolderGuard guard;
    ASSERT_TRUE(CreateDirectoryA(LegacyFolder().c_str(), nullptr));
    const Bytes legacy = LegacyImage(160, 2, "http://legacy-favourite.example/", {});
    WriteButtonFile(LegacyFile(), Bytes(legacy.begin(), legacy.begin() + 100));

    Started run = StartAnswering();
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    // Width and count were in the 100 bytes, the records were not: two buttons without names.
    EXPECT_EQ((std::vector<std::string>{"", ""}), BarNames(run.bar));
    Finish(run);
    const Bytes migrated = e2e::ReadFileBytes(e2e::DefaultButtonFile());
    ASSERT_EQ(kButtonTableSize, migrated.size());
    EXPECT_EQ(160, TableIn(migrated).buttonWidth);
    EXPECT_EQ(2, TableIn(migrated).buttonCount);
    EXPECT_STREQ("http://legacy-favourite.example/", TableIn(migrated).favouriteUrl);
    EXPECT_EQ(e2e::DefaultButtonFile(), Recorded());
    EXPECT_EQ(migrated, e2e::ReadFileBytes(e2e::ButtonFolder() + "\\original_buttons.bklt"));
    EXPECT_FALSE(e2e::FileExists(LegacyFile())) << "the legacy file is retired after its migration";

    // Buttons added since are kept at the next start: no second migration.
    const Bytes later = e2e::MakeButtonFile({{"Added", "http://added.example/"}, {"Later", "http://later.example/"}});
    WriteButtonFile(e2e::DefaultButtonFile(), later);
    Started again = StartAnswering();
    EXPECT_TRUE(again.boxes.empty()) << Describe(again.boxes);
    ASSERT_TRUE(Alive(again));
    EXPECT_EQ((std::vector<std::string>{"Added", "Later"}), BarNames(again.bar));
    EXPECT_EQ(later, e2e::ReadFileBytes(e2e::DefaultButtonFile()));
    Finish(again);
}

TEST(FaultLegacy, LegacyCountOf150BringsTheFirstHundredButtons) {
    e2e::ResetState();
    LegacyFolderGuard guard;
    ASSERT_TRUE(CreateDirectoryA(LegacyFolder().c_str(), nullptr));
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i) names.push_back("L" + std::to_string(100 + i).substr(1));
    WriteButtonFile(LegacyFile(), LegacyImage(150, 150, "http://fav.example/", names));

    Started run = StartAnswering();
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ(names, BarNames(run.bar));
    const Bytes migrated = e2e::ReadFileBytes(e2e::DefaultButtonFile());
    ASSERT_EQ(kButtonTableSize, migrated.size());
    EXPECT_EQ(100, TableIn(migrated).buttonCount);
    EXPECT_STREQ("http://L99.legacy.example/", TableIn(migrated).records[99].url);
    EXPECT_FALSE(e2e::FileExists(LegacyFile()));
    Finish(run);
}

// The legacy folder write-protected: the legacy file is migrated but can be neither deleted nor
// renamed. Whatever the program does about that, the next start must not migrate it again over
// the buttons changed since.
TEST(FaultLegacy, LegacyFileThatCannotBeDeletedIsNotMigratedAgain) {
    e2e::ResetState();
    LegacyFolderGuard guard;
    ASSERT_TRUE(CreateDirectoryA(LegacyFolder().c_str(), nullptr));
    WriteButtonFile(LegacyFile(), LegacyImage(140, 2, "http://fav.example/", {"Old1", "Old2"}));
    ImmutableFolder protect(LegacyFolder());
    ASSERT_TRUE(protect.set()) << "cannot write-protect " << LegacyFolder();

    Started run = StartAnswering();
    EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ((std::vector<std::string>{"Old1", "Old2"}), BarNames(run.bar));
    Finish(run);
    EXPECT_TRUE(e2e::FileExists(LegacyFile())) << "the folder lets nothing go";

    const Bytes later = e2e::MakeButtonFile({{"Added", "http://added.example/"}});
    WriteButtonFile(e2e::DefaultButtonFile(), later);
    Started again = StartAnswering();
    EXPECT_TRUE(again.boxes.empty()) << Describe(again.boxes);
    ASSERT_TRUE(Alive(again));
    EXPECT_EQ((std::vector<std::string>{"Added"}), BarNames(again.bar));
    EXPECT_EQ(later, e2e::ReadFileBytes(e2e::DefaultButtonFile()));
    Finish(again);
}

// ---- Saves that fail ----

// Drains and answers every "Brisklet" message box that comes within a short while; returns
// their texts.
std::vector<std::string> AnswerAllSaveMessages(DWORD pid) {
    std::vector<std::string> texts;
    for (;;) {
        HWND box = nullptr;
        if (!e2e::WaitUntil([&] { return (box = WindowOf(pid, "#32770", "Brisklet", true)) != nullptr; },
                            texts.empty() ? 10000 : 1500)) {
            break;
        }
        texts.push_back(e2e::MessageBoxText(box));
        e2e::PressButton(box, IDOK);
        e2e::WaitForWindowGone(box, 5000);
    }
    return texts;
}

TEST(FaultSave, TemporaryFileThatCannotBeWrittenLeavesThePreviousFileWhole) {
    e2e::ResetState();
    const std::string folder = e2e::ScratchFolder("fault-save");
    const Bytes image = NamedTable("S", 2);
    const std::string path = WriteButtonFile(folder + "\\save.bklt", image);
    Started run = StartOnRecordedFile(path);
    ASSERT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    ASSERT_EQ(image, e2e::ReadFileBytes(path));

    // A folder where the save writes its new copy first: "<file>.<process id>-<its start>.saving".
    FILETIME created{};
    FILETIME ignored{};
    ASSERT_TRUE(GetProcessTimes(run.process.handle(), &created, &ignored, &ignored, &ignored));
    char tag[32];
    std::snprintf(tag, sizeof tag, "%lu-%08lx", static_cast<unsigned long>(run.process.id()),
                  static_cast<unsigned long>(created.dwLowDateTime));
    const std::string temporaryName = std::string("save.bklt.") + tag + ".saving";
    const std::string blocker = folder + "\\" + temporaryName;
    ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), nullptr));
    PostMessageA(run.bar, WM_COMMAND, IDM_SETUP, 0);
    HWND setup = e2e::WaitForDialog("Brisklet Setup");
    ASSERT_NE(nullptr, setup);
    e2e::ClickControl(setup, IDC_SETUP_WIDE);  // a change: saved at once
    const std::vector<std::string> texts = AnswerAllSaveMessages(run.process.id());
    ASSERT_FALSE(texts.empty()) << "the failed save said nothing";
    for (const std::string& text : texts) EXPECT_EQ(CannotCreate(e2e::ButtonFolder()), text);
    Settle(run.bar);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ(image, e2e::ReadFileBytes(path)) << "the previous file stays whole";
    EXPECT_EQ((std::vector<std::string>{"save.bklt", temporaryName}), FolderEntries(folder));
    EXPECT_TRUE(FolderEntries(blocker).empty());
    EXPECT_EQ(path, Recorded());
    EXPECT_EQ((std::vector<std::string>{"S00", "S01"}), BarNames(run.bar));

    // Once the way is free, the next save (closing Setup) writes the changed table.
    ASSERT_TRUE(RemoveDirectoryA(blocker.c_str()));
    e2e::PressButton(setup, IDCANCEL);
    ASSERT_TRUE(e2e::WaitForWindowGone(setup));
    Settle(run.bar);
    const Bytes saved = e2e::ReadFileBytes(path);
    ASSERT_EQ(kButtonTableSize, saved.size());
    EXPECT_EQ(1, TableIn(saved).wide);
    EXPECT_EQ((std::vector<std::string>{"save.bklt"}), FolderEntries(folder));
    Finish(run);
}

TEST(FaultSave, DiskFullHalfWayThroughASaveLeavesThePreviousFileWhole) {
    e2e::ResetState();
    const std::string folder = e2e::ScratchFolder("fault-full") + "\\small";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const Bytes image = NamedTable("D", 3);
    const std::string path = folder + "\\full.bklt";
    Started run;
    {
        SmallDisk disk(folder);
        ASSERT_TRUE(disk.mounted()) << "cannot mount a small file system on " << UnixPath(folder);
        WriteButtonFile(path, image);
        // The save at start-up writes its copy beside the file and runs out of room.
        run = StartOnRecordedFile(path);
        ASSERT_EQ(1u, run.boxes.size()) << Describe(run.boxes);
        EXPECT_EQ("Brisklet", run.boxes[0].caption);
        EXPECT_EQ(CannotCreate(e2e::ButtonFolder()), run.boxes[0].text);
        ASSERT_TRUE(Alive(run));
        EXPECT_EQ((std::vector<std::string>{"D00", "D01", "D02"}), BarNames(run.bar));
        EXPECT_EQ(image, e2e::ReadFileBytes(path)) << "the previous file stays whole";
        EXPECT_EQ((std::vector<std::string>{"full.bklt"}), FolderEntries(folder)) << "no half-written copy is left";
        EXPECT_EQ(path, Recorded());
        Finish(run);
    }
}

// ---- Many starts, many rebuilds ----

int RunningBriskletProcesses() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "brisklet.exe") == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

TEST(FaultInstances, FiftySecondStartsLeaveOneInstanceWithTheLastFile) {
    e2e::ResetState();
    const std::string folder = e2e::ScratchFolder("fault-fifty");
    const Bytes first = NamedTable("Zero", 2);
    const std::string firstPath = WriteButtonFile(folder + "\\start.bklt", first);
    Started run = StartOnRecordedFile(firstPath);
    ASSERT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));

    std::vector<std::string> paths;
    std::vector<Bytes> images;
    for (int i = 1; i <= 50; ++i) {
        images.push_back(NamedTable("F" + std::to_string(i) + "-", 1 + i % 5));
        paths.push_back(WriteButtonFile(folder + "\\file" + std::to_string(i) + ".bklt", images.back()));
    }
    for (int i = 0; i < 50; ++i) {
        Process second = Process::Start(e2e::BriskletExe(), "\"" + paths[i] + "\"");
        ASSERT_TRUE(second.WaitForExit(20000)) << "second start " << i + 1 << " did not end";
        ASSERT_EQ(0u, second.exitCode()) << "second start " << i + 1;
    }
    Settle(run.bar);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ(1, RunningBriskletProcesses());
    EXPECT_EQ(run.bar, e2e::FindBar());
    EXPECT_TRUE(MessageBoxOf(run.process.id()) == nullptr);
    EXPECT_EQ(paths.back(), Recorded());
    EXPECT_EQ(NamesIn(TableIn(images.back()), 1 + 50 % 5), BarNames(run.bar));
    EXPECT_TRUE(IsWindowVisible(run.bar));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(images[i], e2e::ReadFileBytes(paths[i])) << paths[i];
    EXPECT_EQ(first, e2e::ReadFileBytes(firstPath));
    Finish(run);
}

// A second start hands its file over while the running bar is busy saving (here: a few hundred
// font steps queued, each of which saves the table; a slow disk or a burst of starts does the
// same). The file given must be the one loaded, whatever the bar was saving when it came.
TEST(FaultInstances, SecondStartWhileTheBarIsSavingLoadsTheGivenFile) {
    e2e::ResetState();
    const std::string folder = e2e::ScratchFolder("fault-handover");
    const Bytes running = NamedTable("Old", 2);
    const std::string runningPath = WriteButtonFile(folder + "\\old.bklt", running);
    const Bytes given = NamedTable("New", 3);
    const std::string givenPath = WriteButtonFile(folder + "\\new.bklt", given);
    Started run = StartOnRecordedFile(runningPath);
    ASSERT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));

    for (int i = 0; i < 400; ++i) PostMessageA(run.bar, WM_BAR_APPLYFONTS, 0, 0);
    Process second = Process::Start(e2e::BriskletExe(), "\"" + givenPath + "\"");
    ASSERT_TRUE(second.WaitForExit(30000));
    EXPECT_EQ(0u, second.exitCode());
    Settle(run.bar);
    ASSERT_TRUE(Alive(run));
    EXPECT_EQ((std::vector<std::string>{"New00", "New01", "New02"}), BarNames(run.bar));
    EXPECT_EQ(givenPath, Recorded());
    EXPECT_EQ(running, e2e::ReadFileBytes(runningPath));
    EXPECT_EQ(given, e2e::ReadFileBytes(givenPath));
    Finish(run);
}

// Windows of a process: its top-level windows and all their descendants. The classes of the
// top-level ones are added to *classes.
int WindowsOfProcess(DWORD pid, std::string* classes) {
    struct Counter {
        DWORD pid;
        int count;
        std::string* classes;
    } counter{pid, 0, classes};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* c = reinterpret_cast<Counter*>(param);
            if (ProcessOf(hwnd) != c->pid) return TRUE;
            ++c->count;
            char name[64] = "";
            GetClassNameA(hwnd, name, sizeof name);
            *c->classes += std::string(c->classes->empty() ? "" : ", ") + name;
            EnumChildWindows(
                hwnd, [](HWND, LPARAM inner) -> BOOL { ++*reinterpret_cast<int*>(inner); return TRUE; },
                reinterpret_cast<LPARAM>(&c->count));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&counter));
    return counter.count;
}

TEST(FaultRebuilds, GdiCounterSeesObjectsComeAndGo) {
    const int before = e2e::LiveGdiObjects(GetCurrentProcess());
    ASSERT_GE(before, 0) << "the GDI handle table cannot be read";
    std::vector<HFONT> fonts;
    for (int i = 0; i < 50; ++i) fonts.push_back(CreateFontA(-10 - i, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"));
    EXPECT_EQ(before + 50, e2e::LiveGdiObjects(GetCurrentProcess()));
    for (HFONT font : fonts) DeleteObject(font);
    EXPECT_EQ(before, e2e::LiveGdiObjects(GetCurrentProcess()));
}

TEST(FaultRebuilds, ThousandRebuildsKeepGdiObjectsAndWindowsFlat) {
    e2e::ResetState();
    // Own fonts on three records: every font step makes three fonts and must release three.
    Bytes image = NamedTable("R", 5);
    for (int i = 0; i < 3; ++i) {
        ButtonTable& table = TableIn(image);
        table.records[i].hasOwnFont = 1;
        table.records[i].ownFont.lfHeight = -12 - 2 * i;
        std::memcpy(table.records[i].ownFont.lfFaceName, "Tahoma", 7);
    }
    const std::string path = WriteButtonFile(e2e::ScratchFolder("fault-rebuild") + "\\rebuild.bklt", image);
    // Every button shows its site's icon, from the cache.
    CreateDirectoryA((e2e::IconCacheFolder() + "\\..").c_str(), nullptr);
    CreateDirectoryA(e2e::IconCacheFolder().c_str(), nullptr);
    const Bytes icon = e2e::SquareIcon(RGB(255, 0, 0));
    for (int i = 0; i < 5; ++i) {
        const std::string site = e2e::IconCacheFolder() + "\\r0" + std::to_string(i) + ".example.ico";
        ASSERT_TRUE(e2e::WriteFileBytes(site, icon.data(), icon.size()));
    }
    Started run = StartAnswering("\"" + path + "\"");  // shown, so that every rebuild paints
    ASSERT_TRUE(run.boxes.empty()) << Describe(run.boxes);
    ASSERT_TRUE(Alive(run));
    const DWORD pid = run.process.id();
    auto iconsShown = [&] {
        const auto buttons = e2e::BarButtons(run.bar);
        return std::all_of(buttons.begin(), buttons.end(),
                           [](const e2e::ButtonInfo& b) { return e2e::ButtonPixels(b.hwnd, RGB(255, 0, 0)) >= 100; });
    };
    ASSERT_TRUE(e2e::WaitUntil(iconsShown)) << "the cached icons are not shown";

    const UINT kinds[] = {WM_BAR_REBUILD, WM_BAR_CREATEBUTTONS, WM_BAR_RELAYOUT};
    auto rebuild = [&](int rounds) {
        for (int round = 0; round < rounds; ++round) {
            // Every fourth round as the Setup dialog does it, the old buttons destroyed first.
            if (round % 4 == 3) PostMessageA(run.bar, WM_BAR_DESTROYBUTTONS, 0, 0);
            PostMessageA(run.bar, kinds[round % 3], 0, 0);
            if (round % 50 == 49) Settle(run.bar);
        }
        Settle(run.bar);
        e2e::Sync(run.bar);
    };
    rebuild(30);  // caches and stock objects settle first
    std::string topLevel;
    const int gdiBefore = e2e::LiveGdiObjects(run.process.handle());
    const int windowsBefore = WindowsOfProcess(pid, &topLevel);
    ASSERT_GT(gdiBefore, 0);
    ASSERT_EQ(5u, e2e::BarButtons(run.bar).size());

    const DWORD start = GetTickCount();
    rebuild(1000);
    const DWORD elapsed = GetTickCount() - start;
    const int gdiAfter = e2e::LiveGdiObjects(run.process.handle());
    std::string ignored;
    const int windowsAfter = WindowsOfProcess(pid, &ignored);
    std::printf("1,000 rebuilds in %lu ms: GDI objects %d -> %d, windows %d -> %d (top-level: %s)\n", elapsed,
                gdiBefore, gdiAfter, windowsBefore, windowsAfter, topLevel.c_str());
    EXPECT_EQ(gdiBefore, gdiAfter);
    EXPECT_EQ(windowsBefore, windowsAfter);
    EXPECT_TRUE(e2e::WaitUntil(iconsShown));

    ASSERT_TRUE(Alive(run));
    EXPECT_EQ((std::vector<std::string>{"R00", "R01", "R02", "R03", "R04"}), BarNames(run.bar));
    ExpectBarHeightFor(run.bar, 5);
    EXPECT_EQ(image, e2e::ReadFileBytes(path)) << "thousands of saves wrote the same table";
    EXPECT_TRUE(MessageBoxOf(pid) == nullptr);
    Finish(run);
}

}  // namespace
