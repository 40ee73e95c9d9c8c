// Every button within reach: a full bar in columns inside the work area, scrolling at a high
// scale, and typing to find buttons of this and the other Button files.
#include <gtest/gtest.h>

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

void ClickAt(int x, int y) {
    SetCursorPos(x, y);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
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

}  // namespace
