#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/e2e/recorder.h"

// The About box of the running program, opened by real key presses on the bar, and its
// hyperlink control: painting, and a click with and without a web browser registered.
namespace {

constexpr int kLinkId = 1023;
constexpr UINT kTrayMessage = WM_USER + 300;  // the bar's tray callback message
const char kAboutCaption[] = "About Brisklet";
const char kLinkAddress[] = "http://www.brisklet.example/";

// A real left click at the centre of a window, through the system's input queue.
void ClickCentreOf(HWND hwnd) {
    RECT rect;
    GetWindowRect(hwnd, &rect);
    const int x = (rect.left + rect.right) / 2;
    const int y = (rect.top + rect.bottom) / 2;
    SetCursorPos(x, y);
    INPUT input[3]{};
    input[0].type = INPUT_MOUSE;
    input[0].mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input[0].mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].type = INPUT_MOUSE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[2].type = INPUT_MOUSE;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, input, sizeof input[0]);
}

struct Child {
    HWND hwnd;
    int id;
    std::string className;
    std::string text;
};

std::vector<Child> Children(HWND dialog) {
    std::vector<Child> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = "";
        char text[256] = "";
        GetClassNameA(child, className, sizeof className);
        GetWindowTextA(child, text, sizeof text);
        children.push_back({child, GetDlgCtrlID(child), className, text});
    }
    return children;
}

bool IsBlue(COLORREF c) { return GetBValue(c) >= 200 && GetRValue(c) <= 60 && GetGValue(c) <= 60; }

// RegCopyTreeA and RegDeleteTreeA are newer than the headers' target version; looked up by name.
using RegTreeCopy = LONG(WINAPI*)(HKEY, LPCSTR, HKEY);
using RegTreeDelete = LONG(WINAPI*)(HKEY, LPCSTR);

template <typename F>
F Advapi(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("advapi32.dll"), name)));
}

// Takes the http and https handlers away (per-user and machine-wide) and puts them back on
// destruction, so that the shell has nothing to open a web address with.
class NoWebBrowser {
public:
    NoWebBrowser() {
        const auto copyTree = Advapi<RegTreeCopy>("RegCopyTreeA");
        const auto deleteTree = Advapi<RegTreeDelete>("RegDeleteTreeA");
        if (copyTree == nullptr || deleteTree == nullptr) return;
        deleteTree(HKEY_CURRENT_USER, kBackup);
        for (const Place& place : kPlaces) {
            HKEY source;
            if (RegOpenKeyExA(place.root, place.path, 0, KEY_READ, &source) != ERROR_SUCCESS) continue;
            HKEY backup;
            const std::string backupPath = std::string(kBackup) + "\\" + place.backupName;
            if (RegCreateKeyExA(HKEY_CURRENT_USER, backupPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &backup, nullptr) == ERROR_SUCCESS) {
                if (copyTree(source, nullptr, backup) == ERROR_SUCCESS) saved_.push_back(&place);
                RegCloseKey(backup);
            }
            RegCloseKey(source);
            deleteTree(place.root, place.path);
        }
        ready_ = true;
    }
    ~NoWebBrowser() {
        const auto copyTree = Advapi<RegTreeCopy>("RegCopyTreeA");
        const auto deleteTree = Advapi<RegTreeDelete>("RegDeleteTreeA");
        if (copyTree == nullptr || deleteTree == nullptr) return;
        for (const Place* place : saved_) {
            HKEY backup, target;
            const std::string backupPath = std::string(kBackup) + "\\" + place->backupName;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, backupPath.c_str(), 0, KEY_READ, &backup) != ERROR_SUCCESS) continue;
            if (RegCreateKeyExA(place->root, place->path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target,
                                nullptr) == ERROR_SUCCESS) {
                copyTree(backup, nullptr, target);
                RegCloseKey(target);
            }
            RegCloseKey(backup);
        }
        deleteTree(HKEY_CURRENT_USER, kBackup);
    }
    NoWebBrowser(const NoWebBrowser&) = delete;
    NoWebBrowser& operator=(const NoWebBrowser&) = delete;
    bool ready() const { return ready_; }

private:
    struct Place {
        HKEY root;
        const char* path;
        const char* backupName;
    };
    static constexpr const char* kBackup = "Software\\BriskletTestBackup";
    static inline const Place kPlaces[] = {
        {HKEY_CURRENT_USER, "Software\\Classes\\http", "user-http"},
        {HKEY_CURRENT_USER, "Software\\Classes\\https", "user-https"},
        {HKEY_LOCAL_MACHINE, "Software\\Classes\\http", "machine-http"},
        {HKEY_LOCAL_MACHINE, "Software\\Classes\\https", "machine-https"},
    };
    std::vector<const Place*> saved_;
    bool ready_ = false;
};

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override { e2e::ResetState(); }
    void TearDown() override {
        if (process_.running()) {
            for (const char* caption : {"Launch Error", kAboutCaption}) {
                HWND dialog = e2e::FindDialog(caption);
                if (dialog != nullptr) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
                if (dialog != nullptr) e2e::WaitForWindowGone(dialog, 5000);
            }
            e2e::CloseBrisklet(process_);
        }
        e2e::ResetState();
    }

    void Start() {
        process_ = e2e::StartBrisklet();
        bar_ = e2e::FindBar();
        ASSERT_NE(nullptr, bar_);
    }

    // Shows the bar the way a left click on the tray icon does, which also brings it forward.
    void BringBarForward() {
        SendMessageA(bar_, kTrayMessage, 108, WM_LBUTTONDOWN);
        SendMessageA(bar_, kTrayMessage, 108, WM_LBUTTONUP);
        ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(bar_) && GetForegroundWindow() == bar_; }, 5000))
            << "the bar did not come to the foreground";
    }

    // Opens the About box from the menu command, as the "&About ..." item does.
    HWND OpenFromMenu() {
        PostMessageA(bar_, WM_COMMAND, 104, 0);
        HWND about = e2e::WaitForDialog(kAboutCaption);
        EXPECT_NE(nullptr, about) << "the About box did not open";
        return about;
    }

    e2e::Process process_;
    HWND bar_ = nullptr;
};

TEST_F(AboutBox, AltSlashAndAltQuestionMarkOpenIt) {
    ASSERT_NO_FATAL_FAILURE(Start());

    ASSERT_NO_FATAL_FAILURE(BringBarForward());
    ASSERT_TRUE(e2e::PressAltWith('/'));
    HWND about = e2e::WaitForDialog(kAboutCaption);
    ASSERT_NE(nullptr, about) << "Alt+/ did not open the About box; in front " << e2e::ForegroundWindowText();
    EXPECT_EQ(bar_, GetWindow(about, GW_OWNER));
    RECT rect;
    GetWindowRect(about, &rect);
    const e2e::Metrics screen = e2e::ScreenMetricsNow();
    EXPECT_EQ((screen.cx + rect.left - rect.right) / 2, rect.left);
    EXPECT_EQ((screen.cy + rect.top - rect.bottom) / 2, rect.top);
    e2e::PressButton(about, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(about));

    ASSERT_NO_FATAL_FAILURE(BringBarForward());
    ASSERT_TRUE(e2e::PressAltWith('?'));
    about = e2e::WaitForDialog(kAboutCaption);
    ASSERT_NE(nullptr, about) << "Alt+? did not open the About box";
    ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == about; }, 5000));
    e2e::PressKeys({VK_ESCAPE});
    EXPECT_TRUE(e2e::WaitForWindowGone(about)) << "Esc did not close the About box";
}

TEST_F(AboutBox, ShowsItsTextsAndTheHyperlinkControl) {
    ASSERT_NO_FATAL_FAILURE(Start());
    HWND about = OpenFromMenu();
    ASSERT_NE(nullptr, about);
    const std::vector<Child> children = Children(about);
    const auto hasText = [&](const std::string& text) {
        return std::any_of(children.begin(), children.end(), [&](const Child& c) { return c.text == text; });
    };
    EXPECT_TRUE(hasText("Brisklet - Version 5.1"));
    EXPECT_TRUE(hasText("A desktop productivity application from Vantaro Software."));
    EXPECT_TRUE(hasText("Vist us at:-"));
    EXPECT_TRUE(hasText("&OK"));
    EXPECT_TRUE(std::any_of(children.begin(), children.end(), [](const Child& c) {
        return c.text.find("support") != std::string::npos;
    })) << "no support-contact line";

    HWND link = GetDlgItem(about, kLinkId);
    ASSERT_NE(nullptr, link) << "no control 1023";
    char className[64] = "";
    GetClassNameA(link, className, sizeof className);
    EXPECT_STREQ("HyperClass", className);
    EXPECT_TRUE(GetWindowLongA(link, GWL_STYLE) & WS_TABSTOP);
    HWND icon = GetDlgItem(about, 130);
    ASSERT_NE(nullptr, icon);
    EXPECT_NE(0, SendMessageA(icon, STM_GETICON, 0, 0)) << "the icon control shows no icon";
    e2e::PressButton(about, IDOK);
    EXPECT_TRUE(e2e::WaitForWindowGone(about));
}

// Blue pixels in a band around a control: `margin` pixels beyond its left and right edges are
// scanned too, so that text painted outside the control would show.
struct BlueScan {
    int count = 0;         // inside the control
    int outside = 0;       // in the margins
    int minX = 0, maxX = -1;  // relative to the control's left edge
    std::vector<int> perRow;
};

BlueScan ScanBlue(const RECT& rect, int margin) {
    BlueScan scan;
    const int width = rect.right - rect.left;
    scan.minX = width;
    scan.perRow.assign(rect.bottom - rect.top, 0);
    for (int y = 0; y < rect.bottom - rect.top; ++y) {
        for (int x = -margin; x < width + margin; ++x) {
            if (!IsBlue(e2e::ScreenPixel(rect.left + x, rect.top + y))) continue;
            if (x < 0 || x >= width) {
                ++scan.outside;
                continue;
            }
            ++scan.count;
            ++scan.perRow[y];
            scan.minX = std::min(scan.minX, x);
            scan.maxX = std::max(scan.maxX, x);
        }
    }
    return scan;
}

int BandHeight(const std::vector<int>& perRow) {
    const auto first = std::find_if(perRow.begin(), perRow.end(), [](int n) { return n > 0; });
    if (first == perRow.end()) return 0;
    const auto last = std::find_if(perRow.rbegin(), perRow.rend(), [](int n) { return n > 0; });
    return static_cast<int>((perRow.rend() - last) - (first - perRow.begin()));
}

// The link is one line of blue, underlined text, centred in the control, whatever its size: the
// whole address at the About box's own size, and clipped on both sides when the control is
// narrower than the text.
TEST_F(AboutBox, LinkIsPaintedBlueUnderlinedAndCentred) {
    ASSERT_NO_FATAL_FAILURE(Start());
    HWND about = OpenFromMenu();
    ASSERT_NE(nullptr, about);
    HWND link = GetDlgItem(about, kLinkId);
    ASSERT_NE(nullptr, link);
    ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == about; }, 5000));
    RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    RECT rect;
    GetWindowRect(link, &rect);
    const int width = rect.right - rect.left;
    BlueScan scan;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (scan = ScanBlue(rect, 8)).count > 50; }, 10000))
        << "no blue text inside the link control";
    e2e::SaveScreenshot("about");

    EXPECT_GT(scan.minX, 0) << "the address does not fit in the control";
    EXPECT_LT(scan.maxX, width - 1) << "the address does not fit in the control";
    EXPECT_EQ(0, scan.outside);
    // Underlined: one row is blue across nearly the whole text width.
    const int textWidth = scan.maxX - scan.minX + 1;
    EXPECT_GE(*std::max_element(scan.perRow.begin(), scan.perRow.end()), textWidth * 9 / 10) << "no underline";
    // Centred: the margins left and right of the text differ by at most a pixel or two.
    EXPECT_LE(std::abs(scan.minX - (width - 1 - scan.maxX)), 2)
        << "text from " << scan.minX << " to " << scan.maxX << " in " << width;
    // One line: the blue rows form a single band no taller than one line of 10-point text.
    EXPECT_LE(BandHeight(scan.perRow), 20);
    // Around the text the control shows the button face.
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), e2e::ScreenPixel(rect.left + 1, rect.top + 1));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), e2e::ScreenPixel(rect.right - 2, rect.bottom - 2));

    // Narrower than the text: still one centred line, cut at both edges, nothing painted outside.
    const int narrow = textWidth / 2;
    POINT topLeft{rect.left, rect.top};
    ScreenToClient(about, &topLeft);
    ASSERT_TRUE(SetWindowPos(link, nullptr, topLeft.x + (width - narrow) / 2, topLeft.y, narrow,
                             rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE));
    RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GetWindowRect(link, &rect);
    ASSERT_EQ(narrow, rect.right - rect.left);
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            scan = ScanBlue(rect, 8);
            return scan.count > 20 && scan.outside == 0;
        },
        10000))
        << "blue outside the narrowed control: " << scan.outside << ", inside: " << scan.count;
    EXPECT_LE(scan.minX, 1) << "the text is not cut at the left edge";
    EXPECT_GE(scan.maxX, narrow - 2) << "the text is not cut at the right edge";
    EXPECT_LE(BandHeight(scan.perRow), 20) << "the text wrapped";
    EXPECT_GE(*std::max_element(scan.perRow.begin(), scan.perRow.end()), narrow * 9 / 10) << "no underline";
}

// A click on the link opens the product's web page through the shell's http handler.
TEST_F(AboutBox, LinkClickOpensTheAddress) {
    ASSERT_TRUE(e2e::InstallRecorder());
    e2e::ClearLaunches();
    ASSERT_NO_FATAL_FAILURE(Start());
    HWND about = OpenFromMenu();
    ASSERT_NE(nullptr, about);
    HWND link = GetDlgItem(about, kLinkId);
    ASSERT_NE(nullptr, link);
    ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == about; }, 5000));

    ClickCentreOf(link);
    e2e::Launch launch;
    ASSERT_TRUE(e2e::WaitForLaunch(kLinkAddress, &launch)) << "the click opened nothing";
    EXPECT_NE(std::string::npos, launch.commandLine.find("--via=http")) << launch.commandLine;
    e2e::Sync(about);
    EXPECT_EQ(1u, e2e::ReadLaunches().size()) << "one click, one launch";
    EXPECT_EQ(nullptr, e2e::FindDialog("Launch Error"));
    EXPECT_TRUE(IsWindow(about) && IsWindowVisible(about)) << "the About box closed";
    e2e::PressButton(about, IDOK);
    EXPECT_TRUE(e2e::WaitForWindowGone(about));
}

// With no web browser registered the shell cannot open the address: one message per click, and
// the About box stays open.
TEST_F(AboutBox, LinkWithoutWebBrowserReportsTheErrorOncePerClick) {
    ASSERT_NO_FATAL_FAILURE(Start());
    NoWebBrowser noBrowser;
    if (!noBrowser.ready()) GTEST_SKIP() << "the registry tree functions are missing; cannot remove the http handler";
    HWND about = OpenFromMenu();
    ASSERT_NE(nullptr, about);
    HWND link = GetDlgItem(about, kLinkId);
    ASSERT_NE(nullptr, link);
    ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == about; }, 5000));

    for (int click = 0; click < 2; ++click) {
        ClickCentreOf(link);
        HWND box = e2e::WaitForDialog("Launch Error");
        ASSERT_NE(nullptr, box) << "click " << click << " gave no error message";
        EXPECT_EQ("Error opening Web Browser.", e2e::MessageBoxText(box));
        EXPECT_EQ(about, GetWindow(box, GW_OWNER));
        e2e::PressButton(box, IDOK);
        ASSERT_TRUE(e2e::WaitForWindowGone(box));
        // No second box for the same click.
        e2e::Sync(about);
        EXPECT_EQ(nullptr, e2e::FindDialog("Launch Error")) << "more than one message for one click";
        EXPECT_TRUE(IsWindow(about) && IsWindowVisible(about)) << "the About box closed";
    }
    e2e::PressButton(about, IDOK);
    EXPECT_TRUE(e2e::WaitForWindowGone(about));
}

}  // namespace
