// Bookmarks in and out of the running program: the File menu's import from the keyboard, a
// dropped bookmark file, several Internet shortcuts dropped together, and the export. The
// Import Bookmarks dialog is driven from here, and the bar and its Button file are checked.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/harness.h"

namespace {

const char kImportCaption[] = "Import Bookmarks";
const std::string kDocType = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<META CHARSET=\"UTF-8\">\r\n<H1>Bookmarks</H1>\r\n";

class Bookmarks : public e2e::ShownBarTest {
protected:
    void SetUp() override { dialogsToCancel_ = {kImportCaption}; }

    std::string WriteText(const std::string& name, const std::string& text) {
        const std::string path = folder_ + "\\" + name;
        EXPECT_TRUE(e2e::WriteFileBytes(path, text.data(), text.size()));
        return path;
    }
    std::vector<std::string> BarNames() const {
        std::vector<std::string> names;
        for (const auto& button : e2e::BarButtons(bar_)) names.push_back(button.text);
        return names;
    }
};

int ListCount(HWND dialog) {
    DWORD_PTR count = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, IDC_IMPORT_LIST), LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count);
    return static_cast<int>(count);
}

std::string Base64(const std::vector<unsigned char>& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned value = bytes[i] << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                               (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        for (size_t k = 0; k < 4; ++k) text += i + k <= bytes.size() ? kDigits[value >> (18 - 6 * k) & 63] : '=';
    }
    return text;
}

bool WaitForChosen(HWND dialog, const std::string& line) {
    return e2e::WaitUntil([&] { return e2e::ControlText(dialog, IDC_IMPORT_CHOSEN) == line; }, 5000);
}

TEST_F(Bookmarks, MenuImportFromTheKeyboardRefusesTooManyAndTakesOneFolder) {
    std::vector<std::pair<std::string, std::string>> buttons;
    for (int i = 0; i < 98; ++i) buttons.push_back({"b" + std::to_string(i), "http://b" + std::to_string(i) + ".example/"});
    StartOn("import-menu", buttons);
    const std::string file = WriteText(
        "bookmarks.html", kDocType + "<DL><p><DT><H3>Bookmarks bar</H3><DL><p><DT><A HREF=\"http://a.example/\">A</A>"
                                     "<DT><A HREF=\"http://b.example/\">B</A></DL><p><DT><H3>Other</H3><DL><p>"
                                     "<DT><A HREF=\"http://c.example/\">C</A><DT><A HREF=\"HTTP://B0.example\">Again</A>"
                                     "<DT><A HREF=\"javascript:void(0)\">Script</A></DL><p></DL><p>");
    e2e::Settle(bar_);  // hidden and shown again: in front, as a user's click on the tray would leave it
    ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == bar_; }, 5000)) << "the bar is not in front";
    e2e::PressKeys({VK_MENU, 'F'});
    e2e::PressKeys({'I'});
    e2e::ChooseInFileDialog("Open", file);

    HWND import = e2e::WaitForDialog(kImportCaption);
    ASSERT_NE(nullptr, import) << "no Import Bookmarks dialog";
    EXPECT_EQ(3, ListCount(import));
    EXPECT_TRUE(WaitForChosen(import, "Chosen: 0 of 3. Free places on the bar: 2.")) << "more than fit: none checked";
    EXPECT_EQ("Left out: 1 already on the bar or in the list, 1 with no place to go (scripts, queries, browser pages, "
              "empty addresses).",
              e2e::ControlText(import, IDC_IMPORT_LEFT_OUT));
    e2e::PressButton(import, IDC_IMPORT_ALL);
    EXPECT_TRUE(WaitForChosen(import, "Chosen: 3 of 3. Free places on the bar: 2."));
    e2e::PressButton(import, IDOK);
    // The message box has the dialog's caption; it is the one in front, owned by the dialog.
    HWND box = nullptr;
    ASSERT_TRUE(e2e::WaitUntil([&] {
        box = FindWindowExA(nullptr, nullptr, "#32770", kImportCaption);
        return box != nullptr && GetWindow(box, GW_OWNER) == import;
    })) << "OK with too many chosen said nothing";
    EXPECT_EQ("Chosen: 3. The bar has only 2 free places (it holds at most 100 buttons).\nPlease choose fewer bookmarks.",
              e2e::MessageBoxText(box));
    e2e::PressButton(box, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(box));
    ASSERT_TRUE(IsWindow(import)) << "the dialog stays open";

    // "Bookmarks bar", the first folder, chosen as a user would.
    HWND folders = GetDlgItem(import, IDC_IMPORT_FOLDER);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(folders, CB_SETCURSEL, 0, 0, SMTO_NORMAL, 5000, &result);
    SendMessageTimeoutA(import, WM_COMMAND, MAKEWPARAM(IDC_IMPORT_FOLDER, CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(folders), SMTO_NORMAL, 5000, &result);
    EXPECT_TRUE(WaitForChosen(import, "Chosen: 2 of 3. Free places on the bar: 2."));
    e2e::PressButton(import, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(import));

    EXPECT_TRUE(e2e::WaitUntil([&] { return BarNames().size() == 100 && BarNames().back() == "B"; }));
    e2e::Settle(bar_);
    const auto table = e2e::ReadButtonTable(file_);
    ASSERT_EQ(100, table->buttonCount);
    EXPECT_EQ("A http://a.example/ B http://b.example/", std::string(table->records[98].name) + " " +
                  table->records[98].url + " " + table->records[99].name + " " + table->records[99].url);
}

TEST_F(Bookmarks, DroppedBookmarkFileOpensTheDialogAndCancelChangesNothing) {
    StartOn("import-drop", {{"Old", "http://old.example/"}});
    const std::string file = WriteText(
        "Exported.HTML",
        kDocType + "<DL><p>\r\n<DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks bar</H3>\r\n<DL><p>\r\n"
                   "<DT><H3>News</H3><DL><p><DT><A HREF=\"https://news.example/\">Daily news</A>\r\n"
                   "<DT><A HREF=\"https://weather.example/\">Weather &amp; radar</A></DL><p>\r\n"
                   "<DT><A HREF=\"https://mail.example/\">Mail</A>\r\n</DL><p>\r\n"
                   "<DT><A HREF=\"https://docs.example/guide/\">Caf\xC3\xA9 guide</A>\r\n"
                   "<DT><A HREF=\"http://old.example/\">Old</A><DT><A HREF=\"about:config\">Settings</A></DL><p>\r\n");
    const auto before = e2e::ReadFileBytes(file_);
    ASSERT_EQ(0u, Drag("--file \"" + file + "\"")) << "the bar did not take the bookmark file";

    HWND import = e2e::WaitForDialog(kImportCaption);
    ASSERT_NE(nullptr, import) << "the drop did not open the Import Bookmarks dialog";
    EXPECT_EQ(4, ListCount(import));
    EXPECT_TRUE(WaitForChosen(import, "Chosen: 4 of 4. Free places on the bar: 99.")) << "all fit: all checked";
    EXPECT_FALSE(e2e::SaveScreenshot("import-bookmarks").empty());
    e2e::PressButton(import, IDCANCEL);
    ASSERT_TRUE(e2e::WaitForWindowGone(import));
    e2e::Settle(bar_);
    EXPECT_EQ(before, e2e::ReadFileBytes(file_)) << "Cancel changed the Button file";
    EXPECT_EQ(std::vector<std::string>{"Old"}, BarNames());
}

TEST_F(Bookmarks, SeveralShortcutsDroppedTogetherBecomeButtonsNamedAfterTheirFiles) {
    StartOn("import-shortcuts", {{"Old", "http://old.example/"}});
    const std::string first = WriteText("Example Page.url", "[InternetShortcut]\r\nURL=https://www.example.org/one\r\n");
    const std::string second = WriteText("Second.url", "[InternetShortcut]\r\nURL=https://second.example/\r\n");
    ASSERT_EQ(0u, Drag("--file \"" + first + "\" --file \"" + second + "\"")) << "two shortcuts were refused";

    HWND import = e2e::WaitForDialog(kImportCaption);
    ASSERT_NE(nullptr, import) << "the drop did not open the Import Bookmarks dialog";
    EXPECT_TRUE(WaitForChosen(import, "Chosen: 2 of 2. Free places on the bar: 99."));
    e2e::PressButton(import, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(import));
    EXPECT_TRUE(e2e::WaitUntil([&] { return BarNames() == std::vector<std::string>{"Old", "Example Page", "Second"}; }));
    e2e::Settle(bar_);
    const auto table = e2e::ReadButtonTable(file_);
    ASSERT_EQ(3, table->buttonCount);
    EXPECT_STREQ("https://www.example.org/one", table->records[1].url);
    EXPECT_STREQ("https://second.example/", table->records[2].url);
}

TEST_F(Bookmarks, AnImportTakesNoNetworkPathAndNoProgramOnlyTheLocalFile) {
    StartOn("import-unsafe", {{"Old", "http://old.example/"}});
    std::string local = "file:///" + WriteText("notes.txt", "notes");
    for (char& c : local) c = c == '\\' ? '/' : c;
    const std::string file = WriteText(
        "sent.html", kDocType + "<DL><p><DT><A HREF=\"\\\\203.0.113.9\\share\\statement.hta\">Bank statement</A>"
                                "<DT><A HREF=\"calc\">Calculator</A><DT><A HREF=\"" + local + "\">Notes</A></DL><p>");
    ASSERT_EQ(0u, Drag("--file \"" + file + "\"")) << "the bar did not take the bookmark file";

    HWND import = e2e::WaitForDialog(kImportCaption);
    ASSERT_NE(nullptr, import) << "the drop did not open the Import Bookmarks dialog";
    EXPECT_EQ(1, ListCount(import));
    EXPECT_TRUE(WaitForChosen(import, "Chosen: 1 of 1. Free places on the bar: 99."));
    EXPECT_EQ("Left out: 1 on other computers (network paths, smb:), 1 of other kinds (bare names such as calc, "
              "other schemes).",
              e2e::ControlText(import, IDC_IMPORT_LEFT_OUT));
    e2e::PressButton(import, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(import));
    EXPECT_TRUE(e2e::WaitUntil([&] { return BarNames() == std::vector<std::string>{"Old", "Notes"}; }));
    e2e::Settle(bar_);
    const auto table = e2e::ReadButtonTable(file_);
    ASSERT_EQ(2, table->buttonCount);
    EXPECT_EQ(local, table->records[1].url);
}

TEST_F(Bookmarks, ExportWritesEveryButtonAsABookmarkInUtf8) {
    StartOn("export", {{"Tom & Jerry", "http://q.example/?a=1&b=2"}, {"Caf\xE9 \"Noir\"", "http://cafe.example/"}});
    PostMessageA(bar_, WM_COMMAND, IDM_EXPORT_BOOKMARKS, 0);
    HWND save = e2e::WaitForDialog("Save As");
    ASSERT_NE(nullptr, save) << "no Save As dialog";
    char name[MAX_PATH] = "";
    DWORD_PTR result = 0;
    SendMessageTimeoutA(e2e::FileNameBox(save), WM_GETTEXT, sizeof name, reinterpret_cast<LPARAM>(name), SMTO_NORMAL,
                        5000, &result);
    EXPECT_STREQ("brisklet-bookmarks.html", name);
    const std::string out = folder_ + "\\exported.html";
    e2e::ChooseInFileDialog("Save As", out);

    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::FileExists(out); })) << "nothing was written";
    const auto bytes = e2e::ReadFileBytes(out);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(0u, text.find("<!DOCTYPE NETSCAPE-Bookmark-file-1>"));
    EXPECT_NE(std::string::npos, text.find("<DT><H3>buttons</H3>")) << "the folder is named after the Button file";
    const size_t tom = text.find("<DT><A HREF=\"http://q.example/?a=1&amp;b=2\">Tom &amp; Jerry</A>");
    const size_t cafe = text.find("<DT><A HREF=\"http://cafe.example/\">Caf\xC3\xA9 &quot;Noir&quot;</A>");
    EXPECT_NE(std::string::npos, tom) << text;
    EXPECT_NE(std::string::npos, cafe) << text;
    EXPECT_LT(tom, cafe) << "in bar order";
}

TEST_F(Bookmarks, ImportedIconsAreShownAtOnceAndExportedAgain) {
    e2e::HttpServer site({});  // would answer every request with 404: the icon must come from the file
    StartOn("import-icons", {{"Old", "mailto:old@example.org"}});
    const std::string icon = "data:image/x-icon;base64," + Base64(e2e::SquareIcon(RGB(255, 0, 0)));
    const std::string file = WriteText("icons.html", kDocType + "<DL><p><DT><A HREF=\"" + site.Url("/") + "\" ICON=\"" +
                                                         icon + "\">Red</A><DT><A HREF=\"http://bad.example/\" "
                                                         "ICON=\"data:image/png;base64,AAAA\">Bad</A></DL><p>");
    ASSERT_EQ(0u, Drag("--file \"" + file + "\""));
    HWND import = e2e::WaitForDialog(kImportCaption);
    ASSERT_NE(nullptr, import);
    EXPECT_TRUE(WaitForChosen(import, "Chosen: 2 of 2. Free places on the bar: 99."));
    e2e::PressButton(import, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(import));
    std::vector<e2e::ButtonInfo> buttons;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (buttons = e2e::BarButtons(bar_)).size() == 3; }));
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ButtonPixels(buttons[1].hwnd, RGB(255, 0, 0)) >= 100; }))
        << "the carried icon is not on the button";
    EXPECT_EQ(e2e::SquareIcon(RGB(255, 0, 0)), e2e::ReadFileBytes(site.CacheFile()));
    EXPECT_EQ(0, site.Requests()) << "the site was asked although its icon came with the bookmark";
    // The broken image is not kept: the site's own fetch (refused here) can at most note "none".
    EXPECT_TRUE(e2e::ReadFileBytes(e2e::IconCacheFolder() + "\\bad.example.ico").empty());

    PostMessageA(bar_, WM_COMMAND, IDM_EXPORT_BOOKMARKS, 0);
    const std::string out = folder_ + "\\exported.html";
    e2e::ChooseInFileDialog("Save As", out);
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::FileExists(out); })) << "nothing was written";
    const auto bytes = e2e::ReadFileBytes(out);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(std::string::npos, text.find("<DT><A HREF=\"" + site.Url("/") + "\" ICON=\"" + icon + "\">Red</A>"))
        << text;
    EXPECT_NE(std::string::npos, text.find("<DT><A HREF=\"http://bad.example/\">Bad</A>")) << text;
}

}  // namespace
