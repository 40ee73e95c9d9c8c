// Drag-and-drop onto the running bar from another process: drag_source.exe makes a real OLE
// drag of text or files, moves the pointer onto the bar and drops; the Setup and Add dialogs
// that follow are driven from here, and the bar and its Button file are checked.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "res/resource.h"
#include "store/button_table.h"
#include "tests/e2e/harness.h"

namespace {


const char kSetupCaption[] = "Brisklet Setup";
const char kAddCaption[] = "Add New URL";

// Exit codes of drag_source.exe.
constexpr DWORD kDroppedWithCopy = 0;
constexpr DWORD kDroppedWithNoEffect = 1;  // what Wine answers when the target refused
constexpr DWORD kCancelled = 2;

std::string ReadLog(const std::string& path) {
    const auto bytes = e2e::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class DropOnBar : public e2e::ShownBarTest {
protected:
    void SetUp() override {
        dialogsToCancel_ = {kAddCaption, kSetupCaption};
        StartOn("drop", {{"Old", "http://old.example/"}});
    }
};

TEST_F(DropOnBar, DroppedTextBecomesTheUrlOfANewTopButton) {
    const std::string url = "http://dropped.example/path?q=1";
    ASSERT_EQ(kDroppedWithCopy, Drag("--text \"" + url + "\"")) << ReadLog(log_);
    EXPECT_NE(std::string::npos, ReadLog(log_).find("feedback=1")) << "the bar showed the copy effect";

    // The Setup dialog opens its Add dialog before it is first shown itself.
    HWND add = e2e::WaitForDialog(kAddCaption);
    ASSERT_NE(nullptr, add) << "the drop did not open the Add dialog";
    HWND setup = e2e::FindDialog(kSetupCaption);
    ASSERT_NE(nullptr, setup) << "the Add dialog was not opened by the Setup dialog";
    EXPECT_EQ(setup, GetWindow(add, GW_OWNER));
    EXPECT_EQ(url, e2e::ControlText(add, IDC_ADD_URL));
    e2e::SetControlText(add, IDC_ADD_NAME, "Dropped");
    e2e::PressButton(add, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(add));

    EXPECT_TRUE(e2e::WaitUntil([&] {
        const auto buttons = e2e::BarButtons(bar_);
        return buttons.size() == 2 && buttons[0].text == "Dropped" && buttons[1].text == "Old";
    })) << "the bar has no new top button";
    EXPECT_TRUE(e2e::WaitUntil([&] {
        const auto table = e2e::ReadButtonTable(file_);
        return table->buttonCount == 2 && std::string(table->records[0].name) == "Dropped" &&
               std::string(table->records[0].url) == url && std::string(table->records[1].name) == "Old";
    })) << "the Button file does not hold the new button";

    // The drop was taken: a second Add starts from the usual text.
    ASSERT_EQ(setup, e2e::WaitForDialog(kSetupCaption));
    e2e::PressButton(setup, IDC_SETUP_ADD);
    HWND again = e2e::WaitForDialog(kAddCaption);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ("http://", e2e::ControlText(again, IDC_ADD_URL));
    e2e::PressButton(again, IDCANCEL);
    EXPECT_TRUE(e2e::WaitForWindowGone(again));
    e2e::PressButton(setup, IDCANCEL);
    EXPECT_TRUE(e2e::WaitForWindowGone(setup));
}

TEST_F(DropOnBar, InternetShortcutFileHandsOverItsAddress) {
    const std::string shortcut = folder_ + "\\Example Page.url";
    const std::string content = "[InternetShortcut]\r\nURL=https://www.example.org/from-shortcut\r\n";
    ASSERT_TRUE(e2e::WriteFileBytes(shortcut, content.data(), content.size()));
    ASSERT_EQ(kDroppedWithCopy, Drag("--file \"" + shortcut + "\"")) << ReadLog(log_);

    HWND add = e2e::WaitForDialog(kAddCaption);
    ASSERT_NE(nullptr, add) << "the drop of a shortcut did not open the Add dialog";
    EXPECT_EQ("https://www.example.org/from-shortcut", e2e::ControlText(add, IDC_ADD_URL));
    e2e::SetControlText(add, IDC_ADD_NAME, "From shortcut");
    e2e::PressButton(add, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(add));
    EXPECT_TRUE(e2e::WaitUntil([&] {
        const auto table = e2e::ReadButtonTable(file_);
        return table->buttonCount == 2 &&
               std::string(table->records[0].url) == "https://www.example.org/from-shortcut";
    }));
}

TEST_F(DropOnBar, OtherFilesAreRefusedAndOpenNothing) {
    const std::string notes = folder_ + "\\notes.txt";
    const std::string content = "http://in.a.text.file.example/\r\n";
    ASSERT_TRUE(e2e::WriteFileBytes(notes, content.data(), content.size()));
    // A file list beside text is judged by the file list alone.
    const DWORD code = Drag("--file \"" + notes + "\" --text \"http://offered.too.example/\"");
    EXPECT_TRUE(code == kDroppedWithNoEffect || code == kCancelled) << "exit " << code << ": " << ReadLog(log_);
    EXPECT_NE(std::string::npos, ReadLog(log_).find("feedback=0")) << "the bar showed no drop effect";
    // Whatever the drop posted to the bar has been handled once the bar's queue has drained.
    e2e::Settle(bar_);
    EXPECT_EQ(nullptr, e2e::FindDialog(kSetupCaption)) << "a refused drop opened the Setup dialog";
    EXPECT_EQ(1, e2e::ReadButtonTable(file_)->buttonCount);
}

}  // namespace
