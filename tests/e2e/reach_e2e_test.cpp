// Every button within reach: a full bar in columns inside the work area, scrolling at a high
// scale, and typing to find buttons of this and the other Button files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/recorder.h"

namespace {

using e2e::Process;

RECT WorkArea() {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

RECT ScreenRectOf(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

void ClickAt(int x, int y, bool right = false) {
    SetCursorPos(x, y);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof input[0]);
}

// A bar started on `path`, shown, kept on top so that launches leave it where it is.
HWND StartShownOnTop(Process& process, const std::string& path) {
    process = e2e::StartBrisklet("\"" + path + "\"");
    HWND bar = e2e::FindBar();
    if (bar == nullptr || !e2e::WaitUntil([&] { return IsWindowVisible(bar) != FALSE; })) return nullptr;
    PostMessageA(bar, WM_COMMAND, IDM_STAY_ON_TOP, 0);
    e2e::WaitUntil([&] { return (GetWindowLongA(bar, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; });
    e2e::Sync(bar);
    return bar;
}

std::string WriteFile(const std::string& folder, const std::string& name,
                      const std::vector<std::pair<std::string, std::string>>& buttons) {
    const std::string path = folder + "\\" + name;
    const auto image = e2e::MakeButtonFile(buttons);
    EXPECT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size()));
    return path;
}

// 100 buttons: the bar and every button lie inside the work area, in columns filled top to
// bottom from the left, and a real mouse click on each one opens its address.
TEST(BarColumns, HundredButtonsInsideTheWorkAreaEachClickedByTheMouse) {
    e2e::ResetState();
    ASSERT_TRUE(e2e::InstallRecorder());
    e2e::ClearLaunches();
    const std::string path = WriteFile(e2e::ScratchFolder("columns"), "hundred.bklt", e2e::NumberedButtons(100));
    Process process;
    HWND bar = StartShownOnTop(process, path);
    ASSERT_NE(nullptr, bar);
    const RECT work = WorkArea();
    EXPECT_TRUE(Inside(ScreenRectOf(bar), work));
    const auto buttons = e2e::BarButtons(bar);
    ASSERT_EQ(100u, buttons.size());
    std::vector<RECT> places;
    for (size_t i = 0; i < buttons.size(); ++i) {
        const RECT rect = ScreenRectOf(buttons[i].hwnd);
        EXPECT_TRUE(Inside(rect, work)) << i;
        EXPECT_TRUE(IsWindowVisible(buttons[i].hwnd) != FALSE) << i;
        if (i > 0) EXPECT_TRUE(rect.top > places.back().top || rect.left > places.back().left) << "file order at " << i;
        places.push_back(rect);
    }
    EXPECT_GT(places.back().left, places.front().left) << "one column cannot hold 100 buttons on this display";
    // The bar draws all its buttons in its own paint: each is drawn whole, the built-in icon (no
    // site is reachable here) and its caption.
    const COLORREF webIconBlue = RGB(16, 64, 160);
    for (size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_TRUE(e2e::WaitUntil([&] {
            return e2e::ButtonPixels(buttons[i].hwnd, webIconBlue) >= 50 && e2e::ButtonPixels(buttons[i].hwnd, RGB(0, 0, 0)) >= 20;
        })) << "button " << i + 1 << " is not drawn whole";
    }
    for (size_t i = 0; i < places.size(); ++i) {
        const std::string host = "B" + std::to_string(i + 1) + ".example/";
        ClickAt((places[i].left + places[i].right) / 2, (places[i].top + places[i].bottom) / 2);
        ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ReadLaunches().size() == i + 1; }))
            << "the click on button " << i + 1 << " opened nothing";
        EXPECT_NE(std::string::npos, e2e::ReadLaunches().back().commandLine.find("//" + host)) << i;
    }
    e2e::SaveScreenshot("bar-100");
    EXPECT_TRUE(e2e::CloseBrisklet(process));
}

// The texts of the bar's shown children of one class ("Button", "Edit", "Static"), column by
// column and top to bottom.
std::vector<std::string> Shown(HWND bar, const char* windowClass) {
    struct Item {
        RECT rect;
        std::string text;
    };
    struct Collector {
        HWND bar;
        const char* windowClass;
        std::vector<Item> items;
    } c{bar, windowClass, {}};
    EnumChildWindows(
        bar,
        [](HWND child, LPARAM param) -> BOOL {
            auto* c = reinterpret_cast<Collector*>(param);
            char name[32] = "", text[256] = "";
            GetClassNameA(child, name, sizeof name);
            if (lstrcmpiA(name, c->windowClass) != 0 || !IsWindowVisible(child)) return TRUE;
            // Asked of the control itself: an edit control keeps its text to itself.
            DWORD_PTR length = 0;
            SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &length);
            c->items.push_back({ScreenRectOf(child), text});
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&c));
    std::sort(c.items.begin(), c.items.end(), [](const Item& a, const Item& b) {
        return a.rect.left != b.rect.left ? a.rect.left < b.rect.left : a.rect.top < b.rect.top;
    });
    std::vector<std::string> texts;
    for (const Item& item : c.items) texts.push_back(item.text);
    return texts;
}

// The focused button's text; a match of another file, which the bar draws, has the focus while
// the bar itself has it.
std::string FocusText(HWND bar) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(bar, nullptr), &info) || info.hwndFocus == nullptr) return "";
    if (info.hwndFocus == bar) return "(drawn match)";
    char text[256] = "";
    GetWindowTextA(info.hwndFocus, text, sizeof text);
    return text;
}

using Texts = std::vector<std::string>;

// How many matches of other Button files the bar draws (they have no windows of their own).
int DrawnMatches(HWND bar) { return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(bar, "BriskletOtherMatches"))); }

// Keys typed, then the bar awaited with these buttons of this file shown, `drawn` matches of
// the other files, and the focus on `focused`.
::testing::AssertionResult TypeAndSee(HWND bar, const std::vector<WORD>& keys, const Texts& buttons,
                                      const std::string& focused, int drawn = 0) {
    for (const WORD key : keys) e2e::PressKeys({key});
    if (e2e::WaitUntil([&] { return Shown(bar, "Button") == buttons && FocusText(bar) == focused && DrawnMatches(bar) == drawn; }, 5000))
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "in front " << e2e::ForegroundWindowText() << ", focus on \""
                                                 << FocusText(bar) << "\", " << DrawnMatches(bar)
                                                 << " other files' matches, shown:";
    for (const std::string& text : Shown(bar, "Button")) failure << " \"" << text << "\"";
    return failure;
}

// The screen rectangle of the bar's shown button with this text.
RECT ShownButtonRect(HWND bar, const std::string& text) {
    for (const e2e::ButtonInfo& button : e2e::BarButtons(bar)) {
        if (button.text == text && IsWindowVisible(button.hwnd)) return ScreenRectOf(button.hwnd);
    }
    return RECT{};
}

// How many of a screen rectangle's pixels are not the bar's background (the window colour).
int MarkedPixels(const RECT& rect) {
    const std::vector<DWORD> pixels = e2e::ScreenPixels(rect);
    const COLORREF back = GetSysColor(COLOR_WINDOW);
    const DWORD background = (GetRValue(back) << 16) | (GetGValue(back) << 8) | GetBValue(back);
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), [&](DWORD p) { return p != background; }));
}

// The filter: typed words in any order in name or address, Backspace, Esc twice, and Enter on a
// match from another Button file of the folder, which opens it and keeps the current file.
TEST(BarFilter, TypedKeysBackspaceEscEnterAndAMatchFromAnotherFile) {
    e2e::ResetState();
    ASSERT_TRUE(e2e::InstallRecorder());
    e2e::ClearLaunches();
    const std::string folder = e2e::ButtonFolder();
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string main = WriteFile(folder, "main.bklt",
                                       {{"News", "http://news.example/"}, {"Weather", "http://weather.example/"},
                                        {"Cafe Creme", "http://cafe.example/"}, {"Crete trip", "http://crete.example/"},
                                        {"Mail", "http://mail.example/"}});
    WriteFile(folder, "work.bklt", {{"Wiki", "http://wiki.example/"}, {"Crew rota", "http://rota.example/"}});
    Process process = e2e::StartBrisklet("\"" + main + "\"");
    HWND bar = e2e::FindBar();
    ASSERT_NE(nullptr, bar);
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(bar) && GetForegroundWindow() == bar; }));
    const Texts all = {"News", "Weather", "Cafe Creme", "Crete trip", "Mail"};

    const Texts matches = {"Cafe Creme", "Crete trip"};
    EXPECT_TRUE(TypeAndSee(bar, {'C', 'R'}, matches, "Crete trip", 1)) << "the first name beginning with the text has the focus";
    EXPECT_EQ(Texts{"cr"}, Shown(bar, "Edit"));
    // Under the matches the other file's name, then its match drawn as a button, in the slots
    // below: the name is text on the bar's background, the match a face with its caption.
    const RECT cafe = ShownButtonRect(bar, "Cafe Creme");
    RECT label = ShownButtonRect(bar, "Crete trip");
    const int pitch = label.top - cafe.top;
    ASSERT_GT(pitch, 0);
    OffsetRect(&label, 0, pitch);
    RECT other = label;
    OffsetRect(&other, 0, pitch);
    // A face's frame alone marks more than twice the slot's width in pixels; a name, less than it.
    const int width = other.right - other.left;
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::RectPixels(label, RGB(0, 0, 0)) >= 10 && MarkedPixels(label) < width; }))
        << "the other file's name \"work\" under this file's matches";
    EXPECT_TRUE(e2e::WaitUntil([&] { return MarkedPixels(other) > 2 * width && e2e::RectPixels(other, RGB(0, 0, 0)) >= 20; }))
        << "the other file's match \"Crew rota\" drawn as a button";
    e2e::SaveScreenshot("bar-filtered");
    EXPECT_TRUE(TypeAndSee(bar, {VK_DOWN}, matches, "(drawn match)", 1)) << "the arrow reaches the other file's match";
    EXPECT_TRUE(TypeAndSee(bar, {VK_SPACE, 'R', 'O'}, {}, "(drawn match)", 1)) << "a second word";
    EXPECT_TRUE(TypeAndSee(bar, {VK_BACK, VK_BACK, VK_BACK}, matches, "Crete trip", 1));
    EXPECT_TRUE(TypeAndSee(bar, {'E', 'M', 'E', VK_SPACE, 'C', 'A'}, {"Cafe Creme"}, "Cafe Creme")) << "\"creme ca\": words in any order";
    EXPECT_TRUE(TypeAndSee(bar, {VK_ESCAPE}, all, "News")) << "Esc clears the text";
    EXPECT_TRUE(Shown(bar, "Edit").empty());

    // Enter on the other file's match opens it; the bar hides and the current file stays.
    EXPECT_TRUE(TypeAndSee(bar, {'W', 'I'}, {}, "(drawn match)", 1));
    e2e::PressKeys({VK_RETURN});
    EXPECT_TRUE(e2e::WaitForLaunch("wiki.example"));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(bar); }));
    std::string current;
    EXPECT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &current));
    EXPECT_EQ(main, current);

    // Shown again, the bar has all its buttons; the second Esc hides it.
    e2e::PressKeys({VK_MENU, VK_SHIFT, 'B'});
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(bar) && Shown(bar, "Button") == all; }));
    EXPECT_TRUE(TypeAndSee(bar, {'M', 'A', 'I'}, {"Mail"}, "Mail"));
    EXPECT_TRUE(TypeAndSee(bar, {VK_ESCAPE}, all, "News"));
    e2e::PressKeys({VK_ESCAPE});
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(bar); })) << "the second Esc hides the bar";
    EXPECT_EQ(1u, e2e::ReadLaunches().size());

    // The real mouse on the other file's match: the right button opens Setup, as on any button
    // (the bar shows all its buttons again), and a click opens the match.
    e2e::PressKeys({VK_MENU, VK_SHIFT, 'B'});
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(bar) && Shown(bar, "Button") == all; }));
    EXPECT_TRUE(TypeAndSee(bar, {'C', 'R'}, matches, "Crete trip", 1));
    ClickAt((other.left + other.right) / 2, (other.top + other.bottom) / 2, true);
    HWND setup = e2e::WaitForDialog("Brisklet Setup");
    ASSERT_NE(nullptr, setup) << "a right click on the other file's match did not open Setup";
    e2e::PressButton(setup, IDCANCEL);
    ASSERT_TRUE(e2e::WaitForWindowGone(setup));
    EXPECT_TRUE(TypeAndSee(bar, {'C', 'R'}, matches, "Crete trip", 1));
    ClickAt((other.left + other.right) / 2, (other.top + other.bottom) / 2);
    EXPECT_TRUE(e2e::WaitForLaunch("rota.example"));
    EXPECT_EQ(2u, e2e::ReadLaunches().size());
    EXPECT_TRUE(e2e::CloseBrisklet(process));
}

// At 192 DPI on the 1024 x 768 display 100 buttons are wider than the screen: the bar scrolls
// by wheel and keyboard, and a button scrolled into view is clicked by the mouse.
TEST(BarReachDisplayScale, At192DpiTheBarScrolls) {
    e2e::ResetState();
    ASSERT_TRUE(e2e::InstallRecorder());
    e2e::ClearLaunches();
    ASSERT_TRUE(e2e::WriteUserDword("ShowSiteIcons", 0));
    const std::string path = WriteFile(e2e::ScratchFolder("scroll"), "hundred.bklt", e2e::NumberedButtons(100));
    e2e::ScopedDpi scale(192);
    ASSERT_TRUE(scale.ok());
    Process process;
    HWND bar = StartShownOnTop(process, path);
    ASSERT_NE(nullptr, bar);
    ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == bar; }));
    EXPECT_NE(0, GetWindowLongA(bar, GWL_STYLE) & WS_HSCROLL);
    const RECT work = WorkArea();
    EXPECT_TRUE(Inside(ScreenRectOf(bar), work));
    RECT client{};
    GetClientRect(bar, &client);
    MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const auto buttons = e2e::BarButtons(bar);
    ASSERT_EQ(100u, buttons.size());
    const auto showsWhole = [&](int i) { return Inside(ScreenRectOf(buttons[static_cast<size_t>(i)].hwnd), client); };
    EXPECT_TRUE(showsWhole(0));
    EXPECT_FALSE(showsWhole(99));

    // The wheel turned toward the user moves the columns to the left.
    const LONG first = ScreenRectOf(buttons[0].hwnd).left;
    SetCursorPos((client.left + client.right) / 2, (client.top + client.bottom) / 2);
    INPUT wheel{};
    wheel.type = INPUT_MOUSE;
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = static_cast<DWORD>(-WHEEL_DELTA);
    SendInput(1, &wheel, sizeof wheel);
    EXPECT_TRUE(e2e::WaitUntil([&] { return ScreenRectOf(buttons[0].hwnd).left < first; })) << "the wheel did not scroll";

    // End puts the focus on the last button, scrolled into view, where the mouse clicks it.
    e2e::PressKeys({VK_END});
    ASSERT_TRUE(e2e::WaitUntil([&] { return showsWhole(99); })) << "the focused button was not scrolled into view";
    const RECT last = ScreenRectOf(buttons[99].hwnd);
    ClickAt((last.left + last.right) / 2, (last.top + last.bottom) / 2);
    EXPECT_TRUE(e2e::WaitForLaunch("B100.example"));
    e2e::PressKeys({VK_HOME});
    EXPECT_TRUE(e2e::WaitUntil([&] { return showsWhole(0); }));
    e2e::SaveScreenshot("bar-192dpi-scrolled");
    EXPECT_TRUE(e2e::CloseBrisklet(process));
}

}  // namespace
