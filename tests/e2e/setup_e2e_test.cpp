// The Setup dialog and the Add and Edit dialogs driven through their real windows: the running
// brisklet.exe is asked for Setup as the menu and a right click ask for it, its dialogs are
// filled in and pressed from this process, and the Button file, the registry and the bar's
// windows are checked.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/bar_messages.h"
#include "res/resource.h"
#include "store/button_files.h"
#include "store/button_table.h"
#include "tests/e2e/harness.h"

namespace {

using e2e::ChooseInFileDialog;
using e2e::IsChecked;
using e2e::Process;
using e2e::Settle;
using Buttons = std::vector<std::pair<std::string, std::string>>;

const char kSetupCaption[] = "Brisklet Setup";
const char kAddCaption[] = "Add New URL";
const char kEditCaption[] = "Edit Button (URL)";

RECT WindowRectOf(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

std::vector<std::string> NamesIn(const ButtonTable& table) {
    std::vector<std::string> names;
    for (int i = 0; i < table.buttonCount && i < kMaxButtons; ++i) names.emplace_back(table.records[i].name);
    return names;
}

std::vector<std::string> BarNames(HWND bar) {
    std::vector<std::string> names;
    for (const auto& button : e2e::BarButtons(bar)) names.push_back(button.text);
    return names;
}

HWND SetupControl(HWND setup, int id) { return GetDlgItem(setup, id); }

// The names in the Setup dialog's list, in list order.
std::vector<std::string> ListNames(HWND setup) {
    HWND list = SetupControl(setup, IDC_SETUP_LIST);
    std::vector<std::string> names;
    DWORD_PTR count = 0;
    SendMessageTimeoutA(list, CB_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count);
    // Asked for in UTF-16: Wine hands CB_GETLBTEXT of another process back in UTF-16 even to
    // the ANSI call (only the first character of each name would be seen).
    for (DWORD_PTR i = 0; i < count && i < 200; ++i) {
        wchar_t wide[256] = L"";
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide), SMTO_NORMAL, 5000, &length);
        char text[512] = "";
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        names.emplace_back(text);
    }
    return names;
}

int ListSelection(HWND setup) {
    DWORD_PTR selection = 0;
    SendMessageTimeoutA(SetupControl(setup, IDC_SETUP_LIST), CB_GETCURSEL, 0, 0, SMTO_NORMAL, 5000, &selection);
    return static_cast<int>(static_cast<LRESULT>(selection));
}

// A real click on a check box: BM_CLICK toggles it and makes it send BN_CLICKED.
void ClickCheckBox(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Every dialog of the program stands in the middle of the screen.
void ExpectCentred(HWND dialog) {
    const RECT rect = WindowRectOf(dialog);
    const e2e::Metrics m = e2e::ScreenMetricsNow();
    EXPECT_EQ((m.cx - (rect.right - rect.left)) / 2, rect.left);
    EXPECT_EQ((m.cy - (rect.bottom - rect.top)) / 2, rect.top);
}

// Brisklet running on its own Button file, with the Setup dialog open.
struct Session {
    Process process;
    HWND bar = nullptr;
    HWND setup = nullptr;
    std::string file;
};

// count buttons named b0, b1, ... with addresses http://b0.example/, http://b1.example/, ...
Buttons Numbered(int count) {
    Buttons buttons;
    for (int i = 0; i < count; ++i) buttons.push_back({"b" + std::to_string(i), "http://b" + std::to_string(i) + ".example/"});
    return buttons;
}

std::string WriteButtonFile(const std::string& folder, const Buttons& buttons, bool wide = false,
                            const char* globalFace = nullptr) {
    const std::string path = e2e::ScratchFolder(folder) + "\\buttons.bklt";
    auto image = e2e::MakeButtonFile(buttons, 140, wide);
    if (globalFace != nullptr) {
        auto& font = reinterpret_cast<ButtonTable*>(image.data())->globalFont;
        CopyTextToField(font.lfFaceName, sizeof font.lfFaceName, globalFace);
    }
    EXPECT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size()));
    return path;
}

HWND OpenSetupByMenu(HWND bar) {
    PostMessageA(bar, WM_COMMAND, IDM_SETUP, 0);
    return e2e::WaitForDialog(kSetupCaption);
}

// Starts Brisklet on a file with these buttons; opens Setup through the menu command unless
// told not to.
void Start(Session& s, const std::string& folder, const Buttons& buttons, bool openSetup = true,
           const char* globalFace = nullptr) {
    e2e::ResetState();
    s.file = WriteButtonFile(folder, buttons, false, globalFace);
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", s.file));
    s.process = e2e::StartBrisklet();
    s.bar = e2e::FindBar();
    ASSERT_NE(nullptr, s.bar);
    if (!openSetup) return;
    s.setup = OpenSetupByMenu(s.bar);
    ASSERT_NE(nullptr, s.setup) << "the Setup dialog did not open";
}

// Presses Close, waits for the dialog to go and ends Brisklet.
void Finish(Session& s) {
    if (s.setup != nullptr && IsWindow(s.setup)) {
        e2e::PressButton(s.setup, IDCANCEL);
        EXPECT_TRUE(e2e::WaitForWindowGone(s.setup));
    }
    EXPECT_TRUE(e2e::CloseBrisklet(s.process));
}

// The Button file once the bar has handled everything queued so far.
std::unique_ptr<ButtonTable> SettledTable(HWND bar, const std::string& path) {
    Settle(bar);
    return e2e::ReadButtonTable(path);
}

std::vector<std::string> SettledNames(HWND bar, const std::string& path) {
    return NamesIn(*SettledTable(bar, path));
}

bool WaitForBarNames(HWND bar, const std::vector<std::string>& names) {
    return e2e::WaitUntil([&] { return BarNames(bar) == names; });
}

// Opens the Add dialog from Setup.
HWND OpenAdd(HWND setup) {
    e2e::PressButton(setup, IDC_SETUP_ADD);
    return e2e::WaitForDialog(kAddCaption);
}

// ---- Opening ----

TEST(SetupDialog, MenuCommandOpensItCentredWithTheTableInItsFields) {
    Session s;
    Start(s, "setup-open", {{"One", "http://one.example/"}, {"Two", "http://two.example/"}});
    ExpectCentred(s.setup);
    EXPECT_EQ(GetWindow(s.setup, GW_OWNER), s.bar) << "owned by the bar";
    EXPECT_EQ((std::vector<std::string>{"One", "Two"}), ListNames(s.setup));
    EXPECT_EQ(0, ListSelection(s.setup));
    EXPECT_EQ("http://favourite.example/", e2e::ControlText(s.setup, IDC_SETUP_FAVOURITE));
    EXPECT_EQ(s.file, e2e::ControlText(s.setup, IDC_SETUP_FILE_PATH));
    EXPECT_FALSE(IsChecked(s.setup, IDC_SETUP_WIDE));
    EXPECT_FALSE(IsChecked(s.setup, IDC_SETUP_SAME_FONT));
    EXPECT_EQ("Add &new URL...", e2e::ControlText(s.setup, IDC_SETUP_ADD));
    EXPECT_EQ("Use same font for all buttons (ignore individual font settings)",
              e2e::ControlText(s.setup, IDC_SETUP_SAME_FONT));
    EXPECT_FALSE(e2e::SaveScreenshot("setup").empty());
    Finish(s);
}

TEST(SetupDialog, RightClickOnAButtonOpensIt) {
    Session s;
    Start(s, "setup-rightclick", {{"One", "http://one.example/"}, {"Two", "http://two.example/"}}, false);
    SendMessageA(s.bar, WM_BAR_ACTIVATE, 0, 0);
    const auto buttons = e2e::BarButtons(s.bar);
    ASSERT_EQ(2u, buttons.size());
    RECT onScreen = WindowRectOf(buttons[1].hwnd);
    SetCursorPos((onScreen.left + onScreen.right) / 2, (onScreen.top + onScreen.bottom) / 2);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    ASSERT_EQ(2u, SendInput(2, clicks, sizeof(INPUT)));
    s.setup = e2e::WaitForDialog(kSetupCaption);
    ASSERT_NE(nullptr, s.setup) << "a right click on a button opens Setup";
    Finish(s);
}

// ---- Add ----

TEST(SetupAdd, NewButtonGoesOnTopIsSavedAndTheBarGrowsUpwards) {
    Session s;
    Start(s, "setup-add", {{"One", "http://one.example/"}, {"Two", "http://two.example/"}});
    const RECT before = WindowRectOf(s.bar);

    HWND add = OpenAdd(s.setup);
    ASSERT_NE(nullptr, add);
    ExpectCentred(add);
    EXPECT_EQ(GetWindow(add, GW_OWNER), s.setup) << "owned by the Setup dialog";
    EXPECT_EQ("http://", e2e::ControlText(add, IDC_ADD_URL));
    EXPECT_EQ("", e2e::ControlText(add, IDC_ADD_NAME));
    e2e::SetControlText(add, IDC_ADD_URL, "http://added.example/");
    e2e::SetControlText(add, IDC_ADD_NAME, "Added");
    EXPECT_FALSE(e2e::SaveScreenshot("add").empty());
    ClickCheckBox(add, IDC_EDITOR_NEW_WINDOW);
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsChecked(add, IDC_EDITOR_NEW_WINDOW); }));
    e2e::PressButton(add, IDOK);
    EXPECT_TRUE(e2e::WaitForWindowGone(add));

    ASSERT_TRUE(WaitForBarNames(s.bar, {"Added", "One", "Two"}));
    const auto table = SettledTable(s.bar, s.file);
    EXPECT_EQ((std::vector<std::string>{"Added", "One", "Two"}), NamesIn(*table));
    EXPECT_STREQ("http://added.example/", table->records[0].url);
    EXPECT_EQ(1, table->records[0].newWindow);
    EXPECT_EQ(0, table->records[0].hasOwnFont);
    EXPECT_STREQ("http://one.example/", table->records[1].url);

    const RECT after = WindowRectOf(s.bar);
    EXPECT_EQ(before.top - 27, after.top);
    EXPECT_EQ(before.bottom, after.bottom);
    EXPECT_EQ((before.bottom - before.top) + 27, after.bottom - after.top);
    EXPECT_EQ((std::vector<std::string>{"Added", "One", "Two"}), ListNames(s.setup));
    EXPECT_EQ(0, ListSelection(s.setup));
    Finish(s);
}

TEST(SetupAdd, EmptyFieldsKeepTheDialogOpenAndLongNamesAreCut) {
    Session s;
    Start(s, "setup-add-empty", {{"One", "http://one.example/"}});
    HWND add = OpenAdd(s.setup);
    ASSERT_NE(nullptr, add);

    e2e::SetControlText(add, IDC_ADD_URL, "");
    e2e::SetControlText(add, IDC_ADD_NAME, "Name");
    e2e::PressButton(add, IDOK);
    EXPECT_EQ("Please enter a URL", e2e::AnswerMessageBox("Empty URL", IDOK));
    EXPECT_TRUE(IsWindow(add)) << "the Add dialog stays open";

    e2e::SetControlText(add, IDC_ADD_URL, "http://x.example/");
    e2e::SetControlText(add, IDC_ADD_NAME, "");
    e2e::PressButton(add, IDOK);
    EXPECT_EQ("Please enter a Button name", e2e::AnswerMessageBox("Empty Name", IDOK));
    EXPECT_TRUE(IsWindow(add));

    e2e::PressButton(add, IDCANCEL);
    EXPECT_TRUE(e2e::WaitForWindowGone(add));
    EXPECT_EQ((std::vector<std::string>{"One"}), SettledNames(s.bar, s.file)) << "Cancel adds nothing";

    // A second Add starts afresh; a 70-character name keeps its first 61 characters.
    add = OpenAdd(s.setup);
    ASSERT_NE(nullptr, add);
    EXPECT_EQ("http://", e2e::ControlText(add, IDC_ADD_URL));
    const std::string longName(70, 'n');
    e2e::SetControlText(add, IDC_ADD_NAME, longName);
    e2e::PressButton(add, IDOK);
    ASSERT_TRUE(WaitForBarNames(s.bar, {longName.substr(0, 61), "One"}));
    EXPECT_EQ((std::vector<std::string>{longName.substr(0, 61), "One"}), SettledNames(s.bar, s.file));
    Finish(s);
}

// Names and addresses in any script, typed through WM_SETTEXT in UTF-16: the name box stops at
// 61 bytes between two letters (30 Cyrillic letters), an address without a scheme gets "http://",
// and the Button file holds both as UTF-8.
TEST(SetupAdd, NamesAndAddressesInAnyScriptAreKeptAndCutBetweenLetters) {
    Session s;
    Start(s, "setup-add-scripts", {{"One", "http://one.example/"}});
    HWND add = OpenAdd(s.setup);
    ASSERT_NE(nullptr, add);
    std::string letters;
    for (int i = 0; i < 40; ++i) letters += "\xD0\x96";  // Ж, two bytes each
    const std::string host = "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD0\xB8\xD1\x81\xD0\xBF\xD1\x8B"
                             "\xD1\x82\xD0\xB0\xD0\xBD\xD0\xB8\xD0\xB5";  // пример.испытание
    e2e::SetControlTextUtf8(add, IDC_ADD_URL, host + "/\xD0\xBF\xD1\x83\xD1\x82\xD1\x8C");
    e2e::SetControlTextUtf8(add, IDC_ADD_NAME, letters);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ControlTextUtf8(add, IDC_ADD_NAME) == letters.substr(0, 60); }))
        << "the name box holds " << e2e::ControlTextUtf8(add, IDC_ADD_NAME).size() << " bytes";
    e2e::PressButton(add, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(add));
    const auto table = SettledTable(s.bar, s.file);
    EXPECT_EQ(letters.substr(0, 60), table->records[0].name);
    EXPECT_EQ("http://" + host + "/\xD0\xBF\xD1\x83\xD1\x82\xD1\x8C", table->records[0].url);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::BarButtons(s.bar).size() == 2 && e2e::BarButtons(s.bar)[0].utf8 == letters.substr(0, 60); }));
    Finish(s);
}

TEST(SetupAdd, AHundredButtonsAreRefusedBeforeTheAddDialog) {
    Session s;
    Start(s, "setup-add-full", Numbered(100));
    e2e::PressButton(s.setup, IDC_SETUP_ADD);
    EXPECT_EQ("Maximum of 100 buttons reached - Please delete an existing Button",
              e2e::AnswerMessageBox("Maximum number of buttons reached", IDOK));
    EXPECT_EQ(100, SettledTable(s.bar, s.file)->buttonCount);  // past the box, the handler has run on
    EXPECT_EQ(nullptr, e2e::FindDialog(kAddCaption));
    Finish(s);
}

TEST(SetupAdd, AButtonBeyondOneColumnFlowsIntoASecondOne) {
    // The smallest count whose bar in one column leaves no room for one more button above it:
    // the Add is taken, and the bar, in two columns, stays inside the work area.
    const e2e::Metrics screen = e2e::ScreenMetricsNow();
    int count = 1;
    while (e2e::ExpectedBarPlace(screen, 140, false, count).y - 22 > 0) ++count;
    ASSERT_LT(count, 100);
    Session s;
    Start(s, "setup-add-room", Numbered(count));
    HWND add = OpenAdd(s.setup);
    ASSERT_NE(nullptr, add) << "with " << count << " buttons there is room for one more";
    e2e::SetControlText(add, IDC_ADD_URL, "http://more.example/");
    e2e::SetControlText(add, IDC_ADD_NAME, "More");
    e2e::PressButton(add, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(add));
    EXPECT_EQ(count + 1, SettledTable(s.bar, s.file)->buttonCount);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const RECT bar = WindowRectOf(s.bar);
    EXPECT_TRUE(bar.top >= work.top && bar.bottom <= work.bottom && bar.left >= work.left && bar.right <= work.right);
    const auto buttons = e2e::BarButtons(s.bar);
    ASSERT_EQ(static_cast<size_t>(count + 1), buttons.size());
    EXPECT_GT(buttons.back().clientRect.left, buttons.front().clientRect.left) << "a second column";
    Finish(s);
}

// ---- Delete ----

TEST(SetupDelete, NoKeepsYesRemovesAndTheLastButtonStays) {
    Session s;
    Start(s, "setup-delete", {{"A", "http://a.example/"}, {"B", "http://b.example/"}, {"C", "http://c.example/"}});
    const RECT before = WindowRectOf(s.bar);
    e2e::SelectInList(s.setup, IDC_SETUP_LIST, 1);

    e2e::PressButton(s.setup, IDC_SETUP_DELETE);
    EXPECT_EQ("Delete - B. Are you sure?", e2e::AnswerMessageBox("Delete Button (URL)", IDNO));
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), SettledNames(s.bar, s.file));
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), BarNames(s.bar));

    e2e::PressButton(s.setup, IDC_SETUP_DELETE);
    EXPECT_EQ("Delete - B. Are you sure?", e2e::AnswerMessageBox("Delete Button (URL)", IDYES));
    ASSERT_TRUE(WaitForBarNames(s.bar, {"A", "C"}));
    EXPECT_EQ((std::vector<std::string>{"A", "C"}), SettledNames(s.bar, s.file));
    EXPECT_EQ(before.top + 27, WindowRectOf(s.bar).top);
    EXPECT_EQ(before.bottom, WindowRectOf(s.bar).bottom);
    EXPECT_EQ((std::vector<std::string>{"A", "C"}), ListNames(s.setup));
    EXPECT_EQ(0, ListSelection(s.setup));

    e2e::PressButton(s.setup, IDC_SETUP_DELETE);
    EXPECT_EQ("Delete - A. Are you sure?", e2e::AnswerMessageBox("Delete Button (URL)", IDYES));
    ASSERT_TRUE(WaitForBarNames(s.bar, {"C"}));
    EXPECT_EQ((std::vector<std::string>{"C"}), SettledNames(s.bar, s.file));

    e2e::PressButton(s.setup, IDC_SETUP_DELETE);
    EXPECT_EQ("Cannot delete last button. At least one button must be available.",
              e2e::AnswerMessageBox("Last Button", IDOK));
    EXPECT_EQ((std::vector<std::string>{"C"}), SettledNames(s.bar, s.file));
    EXPECT_EQ((std::vector<std::string>{"C"}), BarNames(s.bar));
    Finish(s);
}

TEST(SetupDelete, TheLastOfAHundredButtonsGoesAndItsSlotKeepsItsContent) {
    Session s;
    Start(s, "setup-delete-full", Numbered(100));
    const auto before = e2e::ReadButtonTable(s.file);
    e2e::SelectInList(s.setup, IDC_SETUP_LIST, 99);

    e2e::PressButton(s.setup, IDC_SETUP_DELETE);
    EXPECT_EQ("Delete - b99. Are you sure?", e2e::AnswerMessageBox("Delete Button (URL)", IDYES));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::BarButtons(s.bar).size() == 99; })) << "the bar kept 100 buttons";

    const auto after = SettledTable(s.bar, s.file);
    EXPECT_EQ(99, after->buttonCount);
    EXPECT_EQ("b98", BarNames(s.bar).back());
    EXPECT_STREQ("b98", after->records[98].name);
    // The slot that became free keeps what it held; nothing beyond the table was read into it.
    EXPECT_EQ(0, std::memcmp(&before->records[99], &after->records[99], sizeof(ButtonRecord)));
    EXPECT_EQ(0, std::memcmp(&before->globalFont, &after->globalFont, sizeof before->globalFont));
    EXPECT_EQ(99u, ListNames(s.setup).size());
    Finish(s);
}

// ---- Edit ----

TEST(SetupEdit, ANewNameShowsOnTheBarAndTheSelectionStays) {
    Session s;
    Start(s, "setup-edit", {{"A", "http://a.example/"}, {"B", "http://b.example/"}});
    e2e::SelectInList(s.setup, IDC_SETUP_LIST, 1);
    e2e::PressButton(s.setup, IDC_SETUP_EDIT);
    HWND edit = e2e::WaitForDialog(kEditCaption);
    ASSERT_NE(nullptr, edit);
    ExpectCentred(edit);
    EXPECT_EQ("http://b.example/", e2e::ControlText(edit, IDC_EDIT_URL));
    EXPECT_EQ("B", e2e::ControlText(edit, IDC_EDIT_NAME));
    EXPECT_FALSE(IsChecked(edit, IDC_EDITOR_NEW_WINDOW));

    e2e::SetControlText(edit, IDC_EDIT_NAME, "");
    e2e::PressButton(edit, IDOK);
    EXPECT_EQ("Please enter a Button name", e2e::AnswerMessageBox("Empty Name", IDOK));
    EXPECT_TRUE(IsWindow(edit));

    e2e::SetControlText(edit, IDC_EDIT_NAME, "Renamed");
    e2e::SetControlText(edit, IDC_EDIT_URL, "http://renamed.example/");
    ClickCheckBox(edit, IDC_EDITOR_NEW_WINDOW);
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsChecked(edit, IDC_EDITOR_NEW_WINDOW); }));
    e2e::PressButton(edit, IDOK);
    EXPECT_TRUE(e2e::WaitForWindowGone(edit));

    ASSERT_TRUE(WaitForBarNames(s.bar, {"A", "Renamed"}));
    const auto table = SettledTable(s.bar, s.file);
    EXPECT_EQ((std::vector<std::string>{"A", "Renamed"}), NamesIn(*table));
    EXPECT_STREQ("http://renamed.example/", table->records[1].url);
    EXPECT_EQ(1, table->records[1].newWindow);
    EXPECT_EQ((std::vector<std::string>{"A", "Renamed"}), ListNames(s.setup));
    EXPECT_EQ(1, ListSelection(s.setup)) << "Edit keeps the selection";
    Finish(s);
}

// ---- Sorts ----

TEST(SetupSort, TopDownAndBottomUpReorderFileBarAndList) {
    Session s;
    Start(s, "setup-sort",
          {{"beta", "http://beta.example/"}, {"Alpha", "http://alpha.example/"}, {"gamma", "http://gamma.example/"}});
    e2e::PressButton(s.setup, IDC_SETUP_SORT_UP);
    ASSERT_TRUE(WaitForBarNames(s.bar, {"Alpha", "beta", "gamma"}));
    auto table = SettledTable(s.bar, s.file);
    EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "gamma"}), NamesIn(*table));
    EXPECT_STREQ("http://alpha.example/", table->records[0].url) << "whole records move";
    EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "gamma"}), ListNames(s.setup));

    e2e::PressButton(s.setup, IDC_SETUP_SORT_DOWN);
    ASSERT_TRUE(WaitForBarNames(s.bar, {"gamma", "beta", "Alpha"}));
    EXPECT_EQ((std::vector<std::string>{"gamma", "beta", "Alpha"}), SettledNames(s.bar, s.file));
    EXPECT_EQ((std::vector<std::string>{"gamma", "beta", "Alpha"}), ListNames(s.setup));
    Finish(s);
}

// ---- Move up, Move down ----

bool IsEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

TEST(SetupMove, MoveUpAndDownReorderBarListAndFileKeepTheSelectionAndStopAtTheEnds) {
    Session s;
    Start(s, "setup-move",
          {{"a", "http://a.example/"}, {"b", "http://b.example/"}, {"c", "http://c.example/"}});
    EXPECT_EQ("Move &up", e2e::ControlText(s.setup, IDC_SETUP_MOVE_UP));
    EXPECT_EQ("Move do&wn", e2e::ControlText(s.setup, IDC_SETUP_MOVE_DOWN));
    EXPECT_FALSE(IsEnabled(s.setup, IDC_SETUP_MOVE_UP)) << "the top record cannot move up";
    EXPECT_TRUE(IsEnabled(s.setup, IDC_SETUP_MOVE_DOWN));
    // Both sit right of the list; the dialog grew to the right to hold them.
    const RECT list = WindowRectOf(SetupControl(s.setup, IDC_SETUP_LIST));
    const RECT up = WindowRectOf(SetupControl(s.setup, IDC_SETUP_MOVE_UP));
    const RECT down = WindowRectOf(SetupControl(s.setup, IDC_SETUP_MOVE_DOWN));
    EXPECT_GT(up.left, list.right);
    EXPECT_GT(down.top, up.top);
    EXPECT_LT(up.right, WindowRectOf(s.setup).right);

    e2e::PressButton(s.setup, IDC_SETUP_MOVE_DOWN);
    ASSERT_TRUE(WaitForBarNames(s.bar, {"b", "a", "c"}));
    e2e::PressButton(s.setup, IDC_SETUP_MOVE_DOWN);
    ASSERT_TRUE(WaitForBarNames(s.bar, {"b", "c", "a"}));
    auto table = SettledTable(s.bar, s.file);
    EXPECT_EQ((std::vector<std::string>{"b", "c", "a"}), NamesIn(*table));
    EXPECT_STREQ("http://a.example/", table->records[2].url) << "whole records move";
    EXPECT_EQ((std::vector<std::string>{"b", "c", "a"}), ListNames(s.setup));
    EXPECT_EQ(2, ListSelection(s.setup)) << "the moved button stays selected";
    EXPECT_TRUE(IsEnabled(s.setup, IDC_SETUP_MOVE_UP));
    EXPECT_FALSE(IsEnabled(s.setup, IDC_SETUP_MOVE_DOWN)) << "the bottom record cannot move down";

    e2e::SelectInList(s.setup, IDC_SETUP_LIST, 1);
    e2e::PressButton(s.setup, IDC_SETUP_MOVE_UP);
    ASSERT_TRUE(WaitForBarNames(s.bar, {"c", "b", "a"}));
    table = SettledTable(s.bar, s.file);
    EXPECT_EQ((std::vector<std::string>{"c", "b", "a"}), NamesIn(*table));
    EXPECT_STREQ("http://c.example/", table->records[0].url);
    EXPECT_EQ(0, ListSelection(s.setup));
    EXPECT_FALSE(IsEnabled(s.setup, IDC_SETUP_MOVE_UP));
    EXPECT_TRUE(IsEnabled(s.setup, IDC_SETUP_MOVE_DOWN));
    Finish(s);
}

// ---- Typed addresses ----

TEST(SetupTypedAddress, AHostNameTypedInAddOrEditIsStoredAsAWebAddressOtherTextsAsTyped) {
    Session s;
    Start(s, "setup-typed", {{"One", "http://one.example/"}, {"Two", "http://two.example/"}});
    HWND add = OpenAdd(s.setup);
    ASSERT_NE(nullptr, add);
    e2e::SetControlText(add, IDC_ADD_URL, "news.example.org");
    e2e::SetControlText(add, IDC_ADD_NAME, "News");
    e2e::PressButton(add, IDOK);
    EXPECT_TRUE(e2e::WaitForWindowGone(add));
    ASSERT_TRUE(WaitForBarNames(s.bar, {"News", "One", "Two"}));
    auto table = SettledTable(s.bar, s.file);
    EXPECT_STREQ("http://news.example.org", table->records[0].url);

    // Edit shows the stored address; a host name typed there is completed the same way, a mail
    // address or a path is kept.
    const std::pair<const char*, const char*> edits[] = {{"www.example.org/docs", "http://www.example.org/docs"},
                                                         {"mailto:me@example.org", "mailto:me@example.org"},
                                                         {"C:\\Docs\\list.htm", "C:\\Docs\\list.htm"}};
    for (const auto& typed : edits) {
        e2e::PressButton(s.setup, IDC_SETUP_EDIT);
        HWND edit = e2e::WaitForDialog(kEditCaption);
        ASSERT_NE(nullptr, edit);
        if (std::strcmp(typed.first, edits[0].first) == 0) {
            EXPECT_EQ("http://news.example.org", e2e::ControlText(edit, IDC_EDIT_URL));
        }
        e2e::SetControlText(edit, IDC_EDIT_URL, typed.first);
        e2e::PressButton(edit, IDOK);
        ASSERT_TRUE(e2e::WaitForWindowGone(edit));
        table = SettledTable(s.bar, s.file);
        EXPECT_STREQ(typed.second, table->records[0].url) << typed.first;
    }
    Finish(s);
}

// ---- Check boxes ----

TEST(SetupSwitches, WideAndSameFontRebuildTheBar) {
    Session s;
    Start(s, "setup-switches", {{"A", "http://a.example/"}, {"B", "http://b.example/"}});
    const RECT narrow = WindowRectOf(s.bar);
    const HWND firstButton = e2e::BarButtons(s.bar).at(0).hwnd;

    ClickCheckBox(s.setup, IDC_SETUP_WIDE);
    ASSERT_TRUE(e2e::WaitUntil([&] { return WindowRectOf(s.bar).right - WindowRectOf(s.bar).left ==
                                            narrow.right - narrow.left + 50; }))
        << "the bar is 50 pixels wider";
    EXPECT_EQ(narrow.right, WindowRectOf(s.bar).right) << "the right edge stays";
    ASSERT_TRUE(WaitForBarNames(s.bar, {"A", "B"}));
    EXPECT_EQ(1, SettledTable(s.bar, s.file)->wide);
    const auto wideButtons = e2e::BarButtons(s.bar);
    EXPECT_EQ(firstButton, wideButtons[0].hwnd) << "the button window is kept and made wider";
    EXPECT_EQ(190, wideButtons[0].clientRect.right - wideButtons[0].clientRect.left);

    ClickCheckBox(s.setup, IDC_SETUP_SAME_FONT);
    EXPECT_TRUE(e2e::WaitUntil([&] {
        const auto saved = e2e::ReadButtonTable(s.file);
        return saved != nullptr && saved->sameFont == 1;
    }))
        << "the same-font switch is saved";
    EXPECT_EQ(1, SettledTable(s.bar, s.file)->sameFont);
    EXPECT_EQ(wideButtons[0].hwnd, e2e::BarButtons(s.bar).at(0).hwnd) << "the same-font switch keeps the buttons";
    EXPECT_TRUE(IsChecked(s.setup, IDC_SETUP_SAME_FONT));

    ClickCheckBox(s.setup, IDC_SETUP_WIDE);
    EXPECT_TRUE(e2e::WaitUntil([&] { return WindowRectOf(s.bar).left == narrow.left; }));
    EXPECT_TRUE(WaitForBarNames(s.bar, {"A", "B"}));
    const auto table = SettledTable(s.bar, s.file);
    EXPECT_EQ(0, table->wide);
    EXPECT_EQ(1, table->sameFont);
    Finish(s);
}

// ---- Button files ----

TEST(SetupFiles, SaveAsAndLoadGoThroughTheFileDialogs) {
    Session s;
    Start(s, "setup-files", {{"A", "http://a.example/"}, {"B", "http://b.example/"}});
    const std::string folder = e2e::ScratchFolder("setup-files-out");

    e2e::PressButton(s.setup, IDC_SETUP_SAVE_AS);
    ChooseInFileDialog("Save As", folder + "\\saved");
    const std::string saved = folder + "\\saved.bklt";
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ControlText(s.setup, IDC_SETUP_FILE_PATH) == saved; }))
        << "the extension is added to the chosen name";
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), NamesIn(*SettledTable(s.bar, saved)));
    std::string recorded;
    EXPECT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_EQ(saved, recorded);
    EXPECT_EQ(saved, e2e::ControlText(s.setup, IDC_SETUP_FILE_PATH));

    e2e::PressButton(s.setup, IDC_SETUP_SAVE_AS);
    ChooseInFileDialog("Save As", folder + "\\upper.BKLT");
    const std::string upper = folder + "\\upper.BKLT";
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ControlText(s.setup, IDC_SETUP_FILE_PATH) == upper; }))
        << "a name ending in the extension is kept as typed";
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), NamesIn(*SettledTable(s.bar, upper)));
    EXPECT_FALSE(e2e::FileExists(upper + ".bklt"));

    // A name that cannot be written (a folder stands there): the message, and the file in use stays.
    ASSERT_TRUE(CreateDirectoryA((folder + "\\taken.bklt").c_str(), nullptr));
    e2e::PressButton(s.setup, IDC_SETUP_SAVE_AS);
    ChooseInFileDialog("Save As", folder + "\\taken");
    EXPECT_EQ(0u, e2e::AnswerMessageBox("Brisklet", IDOK).find("Cannot create Brisklet Button Data File in - "));
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ControlText(s.setup, IDC_SETUP_FILE_PATH) == upper; }));
    EXPECT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_EQ(upper, recorded);

    // Load another file: the bar, the list and the current file follow it.
    const std::string other = folder + "\\other.bklt";
    const auto image = e2e::MakeButtonFile({{"X", "http://x.example/"}, {"Y", "http://y.example/"},
                                            {"Z", "http://z.example/"}});
    ASSERT_TRUE(e2e::WriteFileBytes(other, image.data(), image.size()));
    const RECT before = WindowRectOf(s.bar);
    e2e::PressButton(s.setup, IDC_SETUP_LOAD);
    ChooseInFileDialog("Open", other);
    ASSERT_TRUE(WaitForBarNames(s.bar, {"X", "Y", "Z"}));
    EXPECT_EQ(before.top - 27, WindowRectOf(s.bar).top);
    EXPECT_EQ((std::vector<std::string>{"X", "Y", "Z"}), ListNames(s.setup));
    EXPECT_EQ(other, e2e::ControlText(s.setup, IDC_SETUP_FILE_PATH));
    EXPECT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_EQ(other, recorded);
    EXPECT_EQ((std::vector<std::string>{"X", "Y", "Z"}), SettledNames(s.bar, other));
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), NamesIn(*e2e::ReadButtonTable(upper))) << "the previous file is left alone";
    Finish(s);
}

// ---- Button files that cannot be read, and the legacy data file ----

// Holds a file open the way a backup or sync tool may: no sharing at all, or reading only.
class HeldFile {
public:
    HeldFile(const std::string& path, DWORD share) {
        handle_ = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Release() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

std::string CannotReadMessage(const std::string& file, const std::string& now) {
    return "Cannot read Brisklet Button file - " + file + "\nIt may be in use by another program. Brisklet now uses - " +
           now;
}

TEST(UnreadableButtonFile, AtStartUpTheHeldFileKeepsItsBytesAndTheDefaultFileIsUsed) {
    e2e::ResetState();
    const std::string file = WriteButtonFile("unreadable-start", {{"Mine", "http://mine.example/"}});
    const auto bytes = e2e::ReadFileBytes(file);
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", file));
    HeldFile lock(file, 0);
    ASSERT_TRUE(lock.held());

    Process process = Process::Start(e2e::BriskletExe());
    EXPECT_EQ(CannotReadMessage(file, e2e::DefaultButtonFile()), e2e::AnswerMessageBox("Brisklet", IDOK, 15000));
    HWND bar = e2e::WaitForBar(15000);
    ASSERT_NE(nullptr, bar);
    // The bar's window stands before its buttons: start-up puts the tray icon up in between.
    EXPECT_TRUE(WaitForBarNames(bar, {"Brisklet"})) << "the new default file's button";
    e2e::Sync(bar);
    std::string recorded;
    EXPECT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_EQ(e2e::DefaultButtonFile(), recorded);
    lock.Release();
    EXPECT_EQ(bytes, e2e::ReadFileBytes(file)) << "the held Button file was changed";
    EXPECT_TRUE(e2e::CloseBrisklet(process));
    EXPECT_EQ(bytes, e2e::ReadFileBytes(file));
}

TEST(UnreadableButtonFile, AFileHeldForAMomentAtStartUpIsWaitedForAndLoaded) {
    e2e::ResetState();
    const std::string file = WriteButtonFile("unreadable-moment", {{"Mine", "http://mine.example/"}});
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", file));
    HeldFile lock(file, 0);
    ASSERT_TRUE(lock.held());

    Process process = Process::Start(e2e::BriskletExe());
    // Released while the program is still trying, well within its second.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    lock.Release();
    HWND bar = e2e::WaitForBar(15000);
    ASSERT_NE(nullptr, bar);
    e2e::Sync(bar);
    EXPECT_EQ(nullptr, e2e::FindDialog("Brisklet")) << "a message came although the file could be read";
    EXPECT_EQ((std::vector<std::string>{"Mine"}), BarNames(bar));
    std::string recorded;
    EXPECT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_EQ(file, recorded);
    EXPECT_TRUE(e2e::CloseBrisklet(process));
}

TEST(UnreadableButtonFile, LoadButtonFileLeavesAHeldFileAsItIs) {
    Session s;
    Start(s, "unreadable-load", {{"A", "http://a.example/"}, {"B", "http://b.example/"}});
    const std::string other = e2e::ScratchFolder("unreadable-load-other") + "\\held.bklt";
    const auto image = e2e::MakeButtonFile({{"X", "http://x.example/"}});
    ASSERT_TRUE(e2e::WriteFileBytes(other, image.data(), image.size()));
    HeldFile lock(other, FILE_SHARE_WRITE);   // readers are shut out, not writers
    ASSERT_TRUE(lock.held());

    e2e::PressButton(s.setup, IDC_SETUP_LOAD);
    ChooseInFileDialog("Open", other);
    EXPECT_EQ(CannotReadMessage(other, e2e::DefaultButtonFile()), e2e::AnswerMessageBox("Brisklet", IDOK, 15000));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ControlText(s.setup, IDC_SETUP_FILE_PATH) == e2e::DefaultButtonFile(); }));
    EXPECT_EQ((std::vector<std::string>{"Brisklet"}), SettledNames(s.bar, e2e::DefaultButtonFile()));
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), NamesIn(*e2e::ReadButtonTable(s.file))) << "the previous file is left alone";
    lock.Release();
    EXPECT_EQ(image, e2e::ReadFileBytes(other)) << "the held file was changed";
    Finish(s);
    EXPECT_EQ(image, e2e::ReadFileBytes(other));
}

// "Load button file..." takes any name typed into its dialog. A text file is not a Button file by
// its size: it is copied beside it before it is read, loaded as any file is (its bytes over the
// leading part of the table, the count they spell brought into 0..100), and the save after the
// load writes the table over it, while its text stays whole in the copy.
TEST(ForeignButtonFile, TextFileChosenInTheOpenDialogIsCopiedBesideItAndThenLoaded) {
    Session s;
    Start(s, "foreign-load", {{"A", "http://a.example/"}, {"B", "http://b.example/"}});
    const auto previous = e2e::ReadFileBytes(s.file);
    ASSERT_EQ(kButtonTableSize, previous.size());
    const std::string notes = e2e::ScratchFolder("foreign-load-notes") + "\\notes.txt";
    std::string text;
    for (int line = 1; text.size() < 300; ++line) text += "Line " + std::to_string(line) + " of my notes\r\n";
    ASSERT_TRUE(e2e::WriteFileBytes(notes, text.data(), text.size()));

    e2e::PressButton(s.setup, IDC_SETUP_LOAD);
    ChooseInFileDialog("Open", notes);
    EXPECT_EQ(e2e::KeptCopyMessage(notes, text.size(), notes + ".orig"), e2e::AnswerMessageBox("Brisklet", IDOK, 15000));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ControlText(s.setup, IDC_SETUP_FILE_PATH) == notes; }));
    const auto copy = e2e::ReadFileBytes(notes + ".orig");
    EXPECT_EQ(text, std::string(copy.begin(), copy.end()));

    Settle(s.bar);
    auto expected = previous;
    std::memcpy(expected.data(), text.data(), text.size());
    reinterpret_cast<ButtonTable*>(expected.data())->buttonCount = kMaxButtons;
    EXPECT_EQ(expected, e2e::ReadFileBytes(notes));
    const std::vector<std::string> names = ListNames(s.setup);
    ASSERT_EQ(100u, names.size());
    EXPECT_EQ("A", names[0]);
    EXPECT_EQ("B", names[1]);
    std::string recorded;
    EXPECT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_EQ(notes, recorded);
    EXPECT_FALSE(e2e::FileExists(notes + ".orig2")) << "the save after the load made a second copy";
    EXPECT_EQ(previous, e2e::ReadFileBytes(s.file)) << "the previous file is left alone";
    Finish(s);
}

// A legacy data file with one button, "Old".
std::string WriteLegacyFile() {
    CreateDirectoryA(e2e::LegacyFolder().c_str(), nullptr);
    auto legacy = std::make_unique<LegacyDataFile>();
    std::memset(legacy.get(), 0, sizeof *legacy);
    legacy->buttonWidth = 140;
    legacy->buttonCount = 1;
    std::strcpy(legacy->records[0].name, "Old");
    std::strcpy(legacy->records[0].url, "http://old.example/");
    EXPECT_TRUE(e2e::WriteFileBytes(e2e::LegacyFile(), legacy.get(), sizeof *legacy));
    return e2e::LegacyFile();
}

// A legacy data file that cannot be deleted after its migration must not be migrated again at
// the next start, over the buttons added since: read-only (deleting fails, renaming works) and
// held open by another program (both fail).
TEST(LegacyDataFile, IsMigratedOnceEvenWhenItCannotBeDeleted) {
    for (const bool readOnly : {true, false}) {
        SCOPED_TRACE(readOnly ? "read-only legacy file" : "legacy file held open");
        e2e::ResetState();
        e2e::DeleteTree(e2e::LegacyFolder());   // read-only files and the renamed one too
        const std::string legacy = WriteLegacyFile();
        if (readOnly) ASSERT_TRUE(SetFileAttributesA(legacy.c_str(), FILE_ATTRIBUTE_READONLY));
        HeldFile lock(legacy, FILE_SHARE_READ);
        if (readOnly) lock.Release();

        Session s;
        s.file = e2e::DefaultButtonFile();
        s.process = e2e::StartBrisklet();
        s.bar = e2e::FindBar();
        ASSERT_NE(nullptr, s.bar);
        EXPECT_EQ((std::vector<std::string>{"Old"}), BarNames(s.bar));
        // Renamed beside itself when it can be, else remembered in the registry.
        DWORD number = 0;
        const bool remembered = e2e::ReadUserDword("LegacyDataMigrated", &number) && number == 1;
        EXPECT_EQ(readOnly, e2e::FileExists(legacy + ".migrated"));
        EXPECT_EQ(!readOnly, e2e::FileExists(legacy));
        EXPECT_EQ(!readOnly, remembered);

        s.setup = OpenSetupByMenu(s.bar);
        ASSERT_NE(nullptr, s.setup);
        HWND add = OpenAdd(s.setup);
        ASSERT_NE(nullptr, add);
        e2e::SetControlText(add, IDC_ADD_URL, "http://added.example/");
        e2e::SetControlText(add, IDC_ADD_NAME, "Added");
        e2e::PressButton(add, IDOK);
        ASSERT_TRUE(WaitForBarNames(s.bar, {"Added", "Old"}));
        EXPECT_EQ((std::vector<std::string>{"Added", "Old"}), SettledNames(s.bar, s.file));
        Finish(s);

        Process again = e2e::StartBrisklet();
        HWND bar = e2e::FindBar();
        ASSERT_NE(nullptr, bar);
        EXPECT_EQ((std::vector<std::string>{"Added", "Old"}), BarNames(bar)) << "the second start migrated again";
        EXPECT_EQ((std::vector<std::string>{"Added", "Old"}), NamesIn(*e2e::ReadButtonTable(s.file)));
        EXPECT_TRUE(e2e::CloseBrisklet(again));
        lock.Release();
        e2e::DeleteTree(e2e::LegacyFolder());
    }
}

// ---- Fonts ----

TEST(SetupFonts, CancelledGlobalFontStillTakesTheFontScratch) {
    e2e::ResetState();
    Session s;
    s.file = e2e::ScratchFolder("setup-fonts") + "\\buttons.bklt";
    auto image = e2e::MakeButtonFile({{"Own", "http://own.example/"}, {"Plain", "http://plain.example/"}});
    ButtonTable& table = *reinterpret_cast<ButtonTable*>(image.data());
    // A face the font dialog lists here. Wine differs from Windows for a face it does not
    // list: its font dialog then writes its first listed face back into the LOGFONT, even on
    // Cancel, which would hide what this test looks for.
    table.records[0].hasOwnFont = 1;
    table.records[0].ownFont.lfHeight = -16;
    table.records[0].ownFont.lfWeight = 400;
    CopyTextToField(table.records[0].ownFont.lfFaceName, sizeof table.records[0].ownFont.lfFaceName, "DejaVu Sans");
    ASSERT_TRUE(e2e::WriteFileBytes(s.file, image.data(), image.size()));
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", s.file));
    s.process = e2e::StartBrisklet();
    s.bar = e2e::FindBar();
    ASSERT_NE(nullptr, s.bar);
    s.setup = OpenSetupByMenu(s.bar);
    ASSERT_NE(nullptr, s.setup);

    // The Edit dialog's font button loads the record's own font into the Font scratch; the
    // font dialog is cancelled and so is the Edit dialog, so the scratch keeps that font.
    e2e::PressButton(s.setup, IDC_SETUP_EDIT);
    HWND edit = e2e::WaitForDialog(kEditCaption);
    ASSERT_NE(nullptr, edit);
    e2e::PressButton(edit, IDC_EDITOR_FONT);
    HWND font = e2e::WaitForDialog("Font");
    ASSERT_NE(nullptr, font);
    ExpectCentred(font);
    e2e::PressButton(font, IDCANCEL);
    EXPECT_TRUE(e2e::WaitForWindowGone(font));
    e2e::PressButton(edit, IDCANCEL);
    EXPECT_TRUE(e2e::WaitForWindowGone(edit));
    EXPECT_STREQ("System", SettledTable(s.bar, s.file)->globalFont.lfFaceName);

    // The global font dialog, cancelled: the global font is rewritten from the scratch and saved.
    e2e::PressButton(s.setup, IDC_SETUP_GLOBAL_FONT);
    font = e2e::WaitForDialog("Font");
    ASSERT_NE(nullptr, font);
    ExpectCentred(font);
    EXPECT_EQ(GetWindow(font, GW_OWNER), s.setup) << "the global font dialog belongs to Setup";
    e2e::PressButton(font, IDCANCEL);
    EXPECT_TRUE(e2e::WaitForWindowGone(font));
    const auto after = SettledTable(s.bar, s.file);
    EXPECT_STREQ("DejaVu Sans", after->globalFont.lfFaceName);
    EXPECT_EQ(-16, after->globalFont.lfHeight);
    EXPECT_EQ(400, after->globalFont.lfWeight);
    Finish(s);
}

// At 192 DPI the font dialog works in 192-DPI pixels; the size chosen there is stored at its
// 96-DPI height, so the Button file reads the same on every display. (A scalable face: Wine 10
// has no "System" raster font for 192 DPI, and its font dialog then lists neither face nor sizes.)
TEST(SetupFontDisplayScale, AFontChosenAt192DpiIsStoredAtIts96DpiHeight) {
    e2e::ScopedDpi scale(192);
    ASSERT_TRUE(scale.ok());
    Session s;
    Start(s, "setup-font-dpi", {{"A", "http://a.example/"}}, true, "Tahoma");
    e2e::PressButton(s.setup, IDC_SETUP_GLOBAL_FONT);
    HWND font = e2e::WaitForDialog("Font");
    ASSERT_NE(nullptr, font);
    HWND size = GetDlgItem(font, 0x472 /* cmb3, the point size */);
    ASSERT_NE(nullptr, size);
    // Chosen in the size list as a user would: the list selects and tells the dialog.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(size, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("12"),
                        SMTO_NORMAL, 5000, &result);
    ASSERT_NE(static_cast<DWORD_PTR>(CB_ERR), result) << "no 12 in the size list";
    SendMessageTimeoutA(font, WM_COMMAND, MAKEWPARAM(0x472, CBN_SELCHANGE), reinterpret_cast<LPARAM>(size),
                        SMTO_NORMAL, 5000, &result);
    e2e::PressButton(font, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(font));
    // 12 points: -32 pixels at 192 DPI, -16 at 96.
    EXPECT_EQ(-MulDiv(12, 96, 72), SettledTable(s.bar, s.file)->globalFont.lfHeight);
    Finish(s);
}

// ---- Favourite URL ----

TEST(SetupFavourite, ALongFavouriteUrlIsStoredAs511CharactersOnOk) {
    Session s;
    Start(s, "setup-favourite", {{"A", "http://a.example/"}});
    const std::string longUrl = "http://" + std::string(593, 'f');
    e2e::SetControlText(s.setup, IDC_SETUP_FAVOURITE, longUrl);
    e2e::PressButton(s.setup, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(s.setup));
    EXPECT_EQ(longUrl.substr(0, 511), SettledTable(s.bar, s.file)->favouriteUrl);

    // Close stores it the same way.
    s.setup = OpenSetupByMenu(s.bar);
    ASSERT_NE(nullptr, s.setup);
    EXPECT_EQ(longUrl.substr(0, 511), e2e::ControlText(s.setup, IDC_SETUP_FAVOURITE));
    e2e::SetControlText(s.setup, IDC_SETUP_FAVOURITE, "http://short.example/");
    e2e::PressButton(s.setup, IDCANCEL);
    ASSERT_TRUE(e2e::WaitForWindowGone(s.setup));
    EXPECT_STREQ("http://short.example/", SettledTable(s.bar, s.file)->favouriteUrl);
    Finish(s);
}

}  // namespace
