// Names, addresses and file names in any script, seen from outside the running program: its
// windows are read in UTF-16 and its files and registry values in bytes, so nothing is taken
// through this process's own code page.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/bar_messages.h"
#include "res/resource.h"
#include "store/button_table.h"
#include "tests/e2e/harness.h"

namespace {

const std::string kCafeLegacy = "Caf\xE9";                // written by an older Brisklet in Windows-1252
const std::string kCafe = "Caf\xC3\xA9";
const std::string kNews = "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8";  // Новости
const std::string kChineseNews = "\xE6\x96\xB0\xE9\x97\xBB\xE7\xBD\x91";             // 新闻网
const std::string kChineseText = "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97";             // 中文字
const std::string kLinks = "\xD0\xA1\xD1\x81\xD1\x8B\xD0\xBB\xD0\xBA\xD0\xB8";       // Ссылки
const std::string kBookmarks = "\xD0\x97\xD0\xB0\xD0\xBA\xD0\xBB\xD0\xB0\xD0\xB4\xD0\xBA\xD0\xB8";  // Закладки
// http://пример.испытание/путь
const std::string kIdnAddress =
    "http://\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD0\xB8\xD1\x81\xD0\xBF\xD1\x8B\xD1\x82\xD0\xB0\xD0\xBD"
    "\xD0\xB8\xD0\xB5/\xD0\xBF\xD1\x83\xD1\x82\xD1\x8C";

class AnyScript : public e2e::ShownBarTest {
protected:
    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (const auto& button : e2e::BarButtons(bar_)) captions.push_back(button.utf8);
        return captions;
    }
    bool WaitForCaptions(const std::vector<std::string>& wanted) const {
        return e2e::WaitUntil([&] { return Captions() == wanted; });
    }
};

std::string UserStringUtf8(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Vantaro\\Brisklet", 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    wchar_t value[2048] = L"";
    DWORD size = sizeof value - sizeof(wchar_t);
    const LONG result = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? e2e::Utf8(value) : "";
}

TEST_F(AnyScript, LegacyAndUtf8NamesShowTheirCharactersAndASaveKeepsEveryByte) {
    StartOn("scripts-legacy", {{kCafeLegacy, "http://cafe.example/"},
                               {kNews, kIdnAddress},
                               {kChineseNews, "http://news.example/"},
                               {"Latin", "http://latin.example/"}});
    ASSERT_TRUE(WaitForCaptions({kCafe, kNews, kChineseNews, "Latin"}))
        << "a Windows-1252 name shows converted, UTF-8 names as they are";
    e2e::Settle(bar_);
    EXPECT_FALSE(e2e::SaveScreenshot("bar-scripts").empty());
    const auto before = e2e::ReadFileBytes(file_);

    // Setup saves the table when it closes; no record was changed, so no byte is.
    PostMessageA(bar_, WM_COMMAND, IDM_SETUP, 0);
    HWND setup = e2e::WaitForDialog("Brisklet Setup");
    ASSERT_NE(nullptr, setup);
    std::vector<std::string> listed;
    HWND list = GetDlgItem(setup, IDC_SETUP_LIST);
    for (WPARAM i = 0; i < 4; ++i) {
        wchar_t name[256] = L"";
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name), SMTO_NORMAL, 5000, &length);
        listed.push_back(e2e::Utf8(name));
    }
    EXPECT_EQ((std::vector<std::string>{kCafe, kNews, kChineseNews, "Latin"}), listed) << "the Setup list";
    e2e::PressButton(setup, IDCANCEL);
    ASSERT_TRUE(e2e::WaitForWindowGone(setup));
    e2e::Settle(bar_);
    EXPECT_EQ(before, e2e::ReadFileBytes(file_)) << "a save changed bytes of records nobody touched";
    const auto table = e2e::ReadButtonTable(file_);
    EXPECT_EQ(kCafeLegacy, table->records[0].name) << "the legacy name is still Windows-1252";
    EXPECT_EQ(kIdnAddress, table->records[1].url);
}

TEST_F(AnyScript, AButtonFileNamedInAnyScriptOpensByCommandLineAndByHandOver) {
    e2e::ResetState();
    const std::string folder = e2e::ScratchFolder("scripts-paths") + "\\" + kLinks;
    ASSERT_TRUE(CreateDirectoryW(e2e::Wide(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string first = folder + "\\" + kLinks + ".bklt";
    const std::string second = folder + "\\" + kBookmarks + ".bklt";
    const auto firstImage = e2e::MakeButtonFile({{kNews, "http://first.example/"}});
    const auto secondImage = e2e::MakeButtonFile({{kBookmarks, "http://second.example/"}, {"Two", "http://two.example/"}});
    ASSERT_TRUE(e2e::WriteFileUtf8Path(first, firstImage.data(), firstImage.size()));
    ASSERT_TRUE(e2e::WriteFileUtf8Path(second, secondImage.data(), secondImage.size()));

    process_ = e2e::StartBrisklet("\"" + first + "\"");
    bar_ = e2e::FindBar();
    ASSERT_NE(nullptr, bar_);
    EXPECT_TRUE(WaitForCaptions({kNews})) << "the file given on the command line is not the one shown";
    EXPECT_EQ(first, UserStringUtf8(L"CurrentButtonFileName"));

    // A second start hands its file to the running bar and ends.
    e2e::Process again = e2e::Process::Start(e2e::BriskletExe(), "\"" + second + "\"");
    EXPECT_TRUE(again.WaitForExit(15000)) << "the second start did not hand over and end";
    EXPECT_TRUE(WaitForCaptions({kBookmarks, "Two"})) << "the handed-over file is not shown";
    EXPECT_EQ(second, UserStringUtf8(L"CurrentButtonFileName"));
    e2e::Settle(bar_);
    EXPECT_EQ(secondImage, e2e::ReadFileUtf8Path(second)) << "opening the file changed it";
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kDigits[static_cast<unsigned char>(c) & 0x0F]);
    }
    return hex;
}

// A browser offers a dragged address both as Unicode and as text of its code page, which has
// no Cyrillic: the bar takes the Unicode one, so the Add dialog shows the address exactly.
TEST_F(AnyScript, ADroppedAddressInAnyScriptArrivesExactly) {
    StartOn("scripts-drop", {{"Old", "http://old.example/"}});
    dialogsToCancel_ = {"Add New URL", "Brisklet Setup"};
    ASSERT_EQ(0u, Drag("--utf8-hex " + Hex(kIdnAddress)));
    HWND add = e2e::WaitForDialog("Add New URL");
    ASSERT_NE(nullptr, add) << "the drop did not open the Add dialog";
    EXPECT_EQ(kIdnAddress, e2e::ControlTextUtf8(add, IDC_ADD_URL));
}

// A browser drags a link as an Internet shortcut that exists only in the drag, described by a
// file group descriptor: the Unicode descriptor is read (the code page's one has '?' for these
// letters), and the shortcuts go to the Import Bookmarks dialog under their names. The Setup
// list then draws two Chinese names differently: glyphs, where boxes would look all alike (the
// dialogs' face is linked by the system to faces that have them).
TEST_F(AnyScript, DescribedShortcutsNamedInAnyScriptAreImportedUnderTheirNames) {
    StartOn("scripts-described", {{"Old", "http://old.example/"}});
    dialogsToCancel_ = {"Import Bookmarks"};
    ASSERT_EQ(0u, Drag("--described-url " + Hex(kNews + ".url") + " http://news.example/ru/ --described-url " +
                       Hex(kChineseNews + ".url") + " http://news.example/zh/ --described-url " + Hex(kChineseText + ".url") +
                       " http://text.example/zh/"));
    HWND import = e2e::WaitForDialog("Import Bookmarks");
    ASSERT_NE(nullptr, import) << "the drop did not open the Import Bookmarks dialog";
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ControlText(import, IDC_IMPORT_CHOSEN).find("Chosen: 3 of 3") == 0; }));
    e2e::PressButton(import, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(import));
    EXPECT_TRUE(WaitForCaptions({"Old", kNews, kChineseNews, kChineseText})) << "the bar does not show the shortcuts' names";
    e2e::Settle(bar_);
    const auto table = e2e::ReadButtonTable(file_);
    ASSERT_EQ(4, table->buttonCount);
    EXPECT_EQ(kNews, table->records[1].name);
    EXPECT_EQ("http://news.example/ru/", std::string(table->records[1].url));
    EXPECT_EQ(kChineseNews, table->records[2].name);
    EXPECT_EQ("http://news.example/zh/", std::string(table->records[2].url));
    EXPECT_EQ(kChineseText, table->records[3].name);

    dialogsToCancel_ = {"Brisklet Setup"};
    PostMessageA(bar_, WM_COMMAND, IDM_SETUP, 0);
    HWND setup = e2e::WaitForDialog("Brisklet Setup");
    ASSERT_NE(nullptr, setup);
    HWND list = GetDlgItem(setup, IDC_SETUP_LIST);
    const auto shown = [&](WPARAM index) {
        SendMessageTimeoutW(list, CB_SETCURSEL, index, 0, SMTO_NORMAL, 5000, nullptr);
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        e2e::Settle(bar_);
        return e2e::ScreenPixels(list);
    };
    const auto latin = shown(0);
    const auto chinese = shown(2);
    EXPECT_NE(latin, chinese) << "the list did not show the second name";
    EXPECT_TRUE(e2e::WaitUntil([&] { return shown(3) != chinese; }))
        << "two Chinese names look alike in the Setup list: boxes, not glyphs";
}

// Bookmarks titled in Cyrillic, Greek, Chinese and with an emoji become buttons with those names;
// a title too long for a name is cut between characters (21 Chinese ones are 63 bytes), and a
// direction override is dropped so no name shows part of itself reversed.
TEST_F(AnyScript, ImportedTitlesInAnyScriptBecomeNames) {
    StartOn("scripts-import", {{"Old", "http://old.example/"}});
    dialogsToCancel_ = {"Import Bookmarks"};
    const std::string greek = "\xCE\x95\xCE\xB9\xCE\xB4\xCE\xAE\xCF\x83\xCE\xB5\xCE\xB9\xCF\x82";  // Ειδήσεις
    const std::string smile = "\xF0\x9F\x98\x80 Smile";
    std::string chinese;
    for (int i = 0; i < 25; ++i) chinese += "\xE4\xB8\xAD";  // 中, three bytes each
    const std::string bookmarks = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<META CHARSET=\"UTF-8\">\r\n<DL><p>"
                                  "<DT><A HREF=\"http://ru.example/\">" + kNews + "</A>"
                                  "<DT><A HREF=\"http://gr.example/\">" + greek + "</A>"
                                  "<DT><A HREF=\"http://zh.example/\">" + chinese + "</A>"
                                  // NOLINTBEGIN(misc-misleading-bidirectional): the override is the input under test
                                  "<DT><A HREF=\"http://smile.example/\">" + smile + "</A>"
                                  "<DT><A HREF=\"http://photo.example/\">photo\xE2\x80\xAEgpj.exe</A></DL><p>";
    // NOLINTEND(misc-misleading-bidirectional)
    const std::string path = folder_ + "\\bookmarks.html";
    ASSERT_TRUE(e2e::WriteFileBytes(path, bookmarks.data(), bookmarks.size()));
    ASSERT_EQ(0u, Drag("--file \"" + path + "\""));
    HWND import = e2e::WaitForDialog("Import Bookmarks");
    ASSERT_NE(nullptr, import) << "the drop did not open the Import Bookmarks dialog";
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ControlText(import, IDC_IMPORT_CHOSEN).find("Chosen: 5 of 5") == 0; }));
    e2e::PressButton(import, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(import));
    const std::vector<std::string> names = {"Old", kNews, greek, chinese.substr(0, 63), smile, "photogpj.exe"};
    EXPECT_TRUE(WaitForCaptions(names)) << "the bar does not show the titles";
    e2e::Settle(bar_);
    const auto table = e2e::ReadButtonTable(file_);
    ASSERT_EQ(6, table->buttonCount);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(names[static_cast<size_t>(i)], table->records[i].name) << "record " << i;
}

// Sorting follows the user's locale for every script, letter case aside: by their bytes the
// capital Я would come before the small б.
TEST_F(AnyScript, SortingOrdersCyrillicNamesAsTheLocaleDoes) {
    const std::string apple = "\xD0\xAF\xD0\xB1\xD0\xBB\xD0\xBE\xD0\xBA\xD0\xBE";               // Яблоко
    const std::string banana = "\xD0\xB1\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBD";                       // банан
    const std::string orange = "\xD0\x90\xD0\xBF\xD0\xB5\xD0\xBB\xD1\x8C\xD1\x81\xD0\xB8\xD0\xBD";  // Апельсин
    StartOn("scripts-sort", {{apple, "http://a.example/"}, {banana, "http://b.example/"}, {orange, "http://c.example/"}});
    dialogsToCancel_ = {"Brisklet Setup"};
    PostMessageA(bar_, WM_COMMAND, IDM_SETUP, 0);
    HWND setup = e2e::WaitForDialog("Brisklet Setup");
    ASSERT_NE(nullptr, setup);
    e2e::PressButton(setup, IDC_SETUP_SORT_UP);
    EXPECT_TRUE(WaitForCaptions({orange, banana, apple})) << "the bar is not in the locale's order";
}

}  // namespace
