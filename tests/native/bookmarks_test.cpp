// Bookmark files in and out of the table: the rows small files of the usual shapes give, the
// files that cannot be used, choosing and appending, and export followed by import.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>
#include "store/bookmark_format.h"
#include "store/bookmark_import.h"
#include "store/button_files.h"
#include "store/native_code_page.h"
#include "tests/native/store_test_support.h"

namespace {

using store_test::FaultyFileSystem;
using store_test::ReadAll;
using store_test::WriteAll;

const std::string kDocType = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n";

class Bookmarks : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = g_platform;
        g_platform.files = &files_;
        g_platform.codePage = &codePage_;
        SetButtons({{"Old", "http://Old.Example/path/"}});
    }
    void TearDown() override { g_platform = saved_; }

    static void SetButtons(const std::vector<std::pair<std::string, std::string>>& buttons) {
        std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
        g_buttonTable.globalFont.lfWeight = 700;
        g_buttonTable.buttonCount = static_cast<int32_t>(buttons.size());
        for (size_t i = 0; i < buttons.size(); ++i) {
            CopyTextToField(g_buttonTable.records[i].name, kNameSize, buttons[i].first.c_str());
            CopyTextToField(g_buttonTable.records[i].url, kUrlSize, buttons[i].second.c_str());
        }
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = temp_.path() + "/" + name;
        WriteAll(path, bytes.data(), bytes.size());
        return path;
    }
    ImportList Import(const std::vector<std::string>& paths) {
        std::vector<ImportSource> sources;
        for (const std::string& path : paths) sources.push_back(ImportSource{path, "", ""});
        return BuildImportList(sources, g_buttonTable);
    }
    static std::vector<std::string> Rows(const ImportList& list) {
        std::vector<std::string> rows;
        for (const ImportRow& row : list.rows) rows.push_back(row.name + "|" + row.url + "|" + list.folders[row.folder]);
        return rows;
    }

    store_test::TempFolder temp_;
    FaultyFileSystem files_;
    Latin1CodePage codePage_;
    PlatformSeam saved_;
};

std::string Repeat(const std::string& text, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += text;
    return out;
}

struct FileCase {
    const char* shape;
    std::string html;
    std::vector<std::string> rows;  // "name|address|folder", the bar holding http://Old.Example/path/
    const char* leftOut;
};

TEST_F(Bookmarks, FilesGiveTheRowsThatCanBecomeButtons) {
    const std::string longAddress = "http://e.example/" + std::string(494, 'b');  // 511 characters
    const std::string deepFolder = "F" + Repeat(" > F", kMaxFolderDepth - 3);  // the top list is a level too
    const FileCase cases[] = {
        {"a toolbar folder with a subfolder, dates and icons, closed tags",
         kDocType +
             "<!-- This is an automatically generated file. -->\n"
             "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n"
             "<H1>Bookmarks</H1>\n<DL><p>\n"
             "  <DT><H3 ADD_DATE=\"1\" LAST_MODIFIED=\"2\" PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks bar</H3>\n"
             "  <DL><p>\n"
             "    <DT><A HREF=\"https://news.example/\" ADD_DATE=\"3\" ICON=\"data:image/png;base64,iVBO=\">News</A>\n"
             "    <DT><H3>Tools</H3>\n    <DL><p>\n"
             "      <DT><A HREF=\"https://tools.example/a?x=1&amp;y=2\">Tool &amp; more</A>\n"
             "    </DL><p>\n  </DL><p>\n  <DT><A HREF=\"https://top.example/\">Top</A>\n</DL><p>\n",
         {"News|https://news.example/|Bookmarks bar", "Tool & more|https://tools.example/a?x=1&y=2|Bookmarks bar > Tools",
          "Top|https://top.example/|"},
         "Nothing left out."},
        {"a menu at the top with queries, separators, descriptions and scripts",
         kDocType +
             "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n<DL><p>\n"
             "  <DT><A HREF=\"place:sort=8&maxResults=10\">Recent tags</A>\n  <HR>\n"
             "  <DT><H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Other bookmarks</H3>\n  <DD>Kept for later\n  <DL><p>\n"
             "    <DT><A HREF=\"http://later.example/\" LAST_CHARSET=\"UTF-8\">Later</A>\n    <DD>A description\n"
             "  </DL><p>\n  <DT><A HREF=\"javascript:alert(1)\">Bookmarklet</A>\n"
             "  <DT><A HREF=\"about:blank\">Blank</A>\n  <DT><A HREF=\"\">Empty</A>\n  <DT><A>No address</A>\n</DL>\n",
         {"Later|http://later.example/|Other bookmarks"},
         "Left out: 5 with no place to go (scripts, queries, browser pages, empty addresses)."},
        {"lower case, unclosed tags, unquoted and single-quoted values",
         "\xEF\xBB\xBF<!doctype netscape-bookmark-file-1>\n<dl><p>\n<dt><h3>Work</h3>\n<dl>\n"
         "<dt><a href=http://wiki.example/>Wiki\n<dt><a href='http://mail.example/' icon=\"data:text/html,x\">Mail</a>\n"
         "</dl>\n<dt><a HREF=\"http://after.example/\">After\n",
         {"Wiki|http://wiki.example/|Work", "Mail|http://mail.example/|Work", "After|http://after.example/|"},
         "Nothing left out."},
        {"duplicates, lengths and names",
         kDocType + "<DL>\n<DT><A HREF=\"HTTP://OLD.example/path\">Old again</A>\n"
             "<DT><A HREF=\"http://new.example\">New</A>\n<DT><A HREF=\"http://NEW.example/\">New twice</A>\n"
             "<DT><A HREF=\"http://new.example/Path\">Path case counts</A>\n"
             "<DT><A HREF=\"" + longAddress + "\">Fits</A>\n<DT><A HREF=\"" + longAddress + "b\">Long</A>\n"
             "<DT><A HREF=\"javascript:" + std::string(5000, 'j') + "\">Long script</A>\n"
             "<DT><A HREF=\"http://user@host.example:8080/x\"></A>\n<DT><A HREF=\"mailto:me@example.org\">  </A>\n"
             "<DT><A HREF=\"http://t.example/\">  A   title\n with " + std::string(60, 'x') + "</A>\n</DL>\n",
         {"New|http://new.example|", "Path case counts|http://new.example/Path|", "Fits|" + longAddress + "|",
          "host.example|http://user@host.example:8080/x|", "mailto:me@example.org|mailto:me@example.org|",
          "A   title with " + std::string(48, 'x') + "|http://t.example/|"},
         "Left out: 2 already on the bar or in the list, 1 longer than 511 characters, 1 with no place to go "
         "(scripts, queries, browser pages, empty addresses)."},
        {"references, UTF-8 and what the code page lacks",
         kDocType + "<DL><DT><A HREF=\"http://caf\xC3\xA9.example/\">Caf\xC3\xA9 &#233; &#xE9; &lt;b&gt; &eacute;</A>\n"
             "<DT><A HREF=\"http://x.example/\xE2\x82\xAC\">&euro; &#x110000; &#0; &#xD800; \xFF\xC0\xAF\xED\xA0\x80 "
             "&#99999999999;</A>\n",
         {"Caf\xE9 \xE9 \xE9 <b> &eacute;|http://caf\xE9.example/|", "? ? ? ? ?????? ?|http://x.example/%E2%82%AC|"},
         "Nothing left out."},
        {"programs and other computers under any title, and local files",
         kDocType + "<DL><DT><A HREF=\"\\\\host\\x.hta\">Bank statement</A><DT><A HREF=\"//host/share\">A</A>"
             "<DT><A HREF=\"smb://host/s\">B</A><DT><A HREF=\"file://host/share/x\">C</A>"
             "<DT><A HREF=\"file:////host/share\">D</A><DT><A HREF=\"file:///%5C%5Chost/x\">E</A>"
             "<DT><A HREF=\"calc\">F</A><DT><A HREF=\"www.example.org\">G</A><DT><A HREF=\"news:comp.lang\">H</A>"
             "<DT><A HREF=\"C:calc.exe\">I</A><DT><A HREF=\"file:///home/x\">J</A><DT><A HREF=\"vbscript:x\">K</A>"
             "<DT><A HREF=\"file:///C:/Users/x/notes.txt\">Notes</A><DT><A HREF=\"file://localhost/D|/x.txt\">On D</A>"
             "<DT><A HREF=\"C:\\tools\\x.exe\">Tool</A><DT><A HREF=\"ftp://files.example/\">Files</A>"
             "<DT><A HREF=\"HTTPS://UP.example/\">Up</A></DL>\n",
         {"Notes|file:///C:/Users/x/notes.txt|", "On D|file://localhost/D|/x.txt|", "Tool|C:\\tools\\x.exe|",
          "Files|ftp://files.example/|", "Up|HTTPS://UP.example/|"},
         "Left out: 1 with no place to go (scripts, queries, browser pages, empty addresses), 6 on other computers "
         "(network paths, smb:), 5 of other kinds (bare names such as calc, other schemes)."},
        {"folders nested 10,000 deep, and a tag that never ends",
         kDocType + "<DL>" + Repeat("<DT><H3>F</H3><DL>", 10000) + "<DT><A HREF=\"http://deep.example/\">Deep</A>" +
             Repeat("</DL>", 10000) + "<DT><A HREF=\"http://out.example/\">Out</A>\n"
             "<DT><A HREF=\"http://cut.example/>Cut</A>\n",
         {"Deep|http://deep.example/|" + deepFolder, "Out|http://out.example/|"},
         "Nothing left out."},
    };
    for (const FileCase& c : cases) {
        const ImportList list = Import({Write("case.html", c.html)});
        EXPECT_TRUE(list.problems.empty()) << c.shape << ": " << (list.problems.empty() ? "" : list.problems[0]);
        EXPECT_EQ(c.rows, Rows(list)) << c.shape;
        EXPECT_EQ(c.leftOut, LeftOutLine(list)) << c.shape;
    }
    const ImportList first = Import({Write("icons.html", cases[0].html)});
    EXPECT_EQ("data:image/png;base64,iVBO=", first.rows[0].icon) << "an image data URI is kept";
    EXPECT_EQ("", Import({Write("icons.html", cases[2].html)}).rows[1].icon) << "anything else is not";
}

// The same site in another letter case is a duplicate in every script; an accent or a path's
// case makes another address.
TEST(AddressKeys, HostsInAnyScriptIgnoreCaseOnly) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"HTTP://\xD0\x9F\xD0\xA0\xD0\x98\xD0\x9C\xD0\x95\xD0\xA0.\xD0\xA0\xD0\xA4/",  // ПРИМЕР.РФ
         "http://\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD1\x80\xD1\x84", true},
        {"http://\xCE\x95\xCE\x9B\xCE\x9B\xCE\x86\xCE\x94\xCE\x91.gr/",  // ΕΛΛΆΔΑ
         "http://\xCE\xB5\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1.gr/", true},
        {"http://CAF\xC3\x89.example/", "http://caf\xC3\xA9.example/", true},
        {"http://caf\xC3\xA9.example/", "http://cafe.example/", false},
        {"http://x.example/\xD0\x9F", "http://x.example/\xD0\xBF", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.same, AddressKey(c.a) == AddressKey(c.b)) << c.a << " / " << c.b;
}

TEST_F(Bookmarks, FilesThatCannotBeUsedAreReportedAndLongOnesCut) {
    const std::string notBookmarks = Write("page.html", "<html><body><a href=\"http://x.example/\">x</a></body></html>");
    const std::string empty = Write("empty.html", kDocType + "<DL><p></DL>");
    const std::string large = Write("large.html", kDocType);
    ASSERT_EQ(0, truncate(large.c_str(), static_cast<off_t>(kBookmarkFileMaxBytes + 1)));
    const std::string missing = temp_.path() + "/missing.html";
    const std::string many =
        Write("many.html", kDocType + "<DL>" + [] {
            std::string links;
            for (size_t i = 0; i <= kMaxBookmarks; ++i) links += "<DT><A HREF=\"http://" + std::to_string(i) + ".example/\">n</A>";
            return links;
        }());
    const ImportList list = Import({notBookmarks, empty, large, missing, many});
    EXPECT_EQ((std::vector<std::string>{
                  notBookmarks + " is not a bookmark file.\nExport the bookmarks from the web browser as an HTML "
                                 "file, then import that file.",
                  empty + " holds no bookmarks.", large + " is larger than 32 MB: too large to be a bookmark file.",
                  "Cannot read the bookmark file - " + missing}),
              list.problems);
    EXPECT_EQ(kMaxBookmarks, list.rows.size());
    EXPECT_EQ("Nothing left out. Only the first 20000 bookmarks of a file were read.", LeftOutLine(list));
    EXPECT_FALSE(StartChecked(list, g_buttonTable));
}

TEST_F(Bookmarks, ChoosingByFolderAndAppendingWholeRecords) {
    const std::string html = kDocType + "<DL><DT><H3>Bar</H3><DL><DT><A HREF=\"http://a.example/\">A</A>"
                             "<DT><H3>Sub</H3><DL><DT><A HREF=\"http://b.example/\">B</A></DL></DL>"
                             "<DT><H3>Barn</H3><DL><DT><A HREF=\"http://c.example/\">C</A></DL>"
                             "<DT><A HREF=\"http://d.example/\">D</A></DL>";
    std::vector<ImportSource> sources = {ImportSource{Write("b.html", html), "", ""},
                                         ImportSource{"", "  Saved   page ", "http://saved.example/"}};
    const ImportList list = BuildImportList(sources, g_buttonTable);
    ASSERT_EQ(5u, list.rows.size());
    EXPECT_EQ((std::vector<std::string>{"Bar", "Bar > Sub", "Barn", ""}), FolderChoices(list));
    std::vector<std::string> inBar;
    for (size_t i = 0; i < list.rows.size(); ++i) {
        if (RowInFolder(list, i, "Bar")) inBar.push_back(list.rows[i].name);
    }
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), inBar) << "a folder with its subfolders, not its namesakes";
    EXPECT_TRUE(RowInFolder(list, 4, "") && !RowInFolder(list, 0, "")) << "the top level holds only its own";
    EXPECT_EQ("Saved   page", list.rows[4].name) << "a shortcut is named after its file";

    // Slot 1 holds stale bytes from an earlier, longer table; the new record replaces it whole.
    std::memset(&g_buttonTable.records[1], 0x5a, sizeof(ButtonRecord));
    g_buttonTable.globalFont.lfHeight = -13;
    ASSERT_TRUE(AppendImported(g_buttonTable, list, {4, 1}));
    ASSERT_EQ(3, g_buttonTable.buttonCount);
    EXPECT_STREQ("Old", g_buttonTable.records[0].name);
    EXPECT_STREQ("Saved   page", g_buttonTable.records[1].name);
    EXPECT_STREQ("http://saved.example/", g_buttonTable.records[1].url);
    EXPECT_STREQ("B", g_buttonTable.records[2].name);
    for (const ButtonRecord& record : {g_buttonTable.records[1], g_buttonTable.records[2]}) {
        EXPECT_EQ(0, std::memcmp(&record.ownFont, &g_buttonTable.globalFont, sizeof record.ownFont));
        EXPECT_EQ(0, record.hasOwnFont + record.newWindow + record.legacyValue + record.reserved[0] + record.reserved[1]);
    }

    g_buttonTable.buttonCount = 99;
    const ButtonTable before = g_buttonTable;
    EXPECT_FALSE(AppendImported(g_buttonTable, list, {0, 1}));
    EXPECT_EQ(0, std::memcmp(&before, &g_buttonTable, sizeof before)) << "more than fit changes nothing";
}

TEST_F(Bookmarks, ExportThenImportGivesBackEveryNameAndAddress) {
    const std::vector<std::pair<std::string, std::string>> buttons = {
        {"Tom  & Jerry <\"quoted\">", "http://q.example/?a=1&b=<2>"}, {"Caf\xE9", "C:\\My  Docs\\caf\xE9.txt"},
        {"Same", "http://old.example/path"}};
    SetButtons(buttons);
    const std::string path = temp_.path() + "/out.html";
    const std::string previous = "old content";
    WriteAll(path, previous.data(), previous.size());
    files_.fault = FaultyFileSystem::Fault::FailReplace;
    EXPECT_FALSE(ExportBookmarks(g_buttonTable, "C:\\x\\work.bklt", path.c_str()));
    EXPECT_EQ(previous, ReadAll(path)) << "a failed export leaves the old file whole";
    files_.fault = FaultyFileSystem::Fault::None;

    const std::vector<std::string> icons = {"data:image/png;base64,AAAA", "\"><script>", ""};
    ASSERT_TRUE(ExportBookmarks(g_buttonTable, "C:\\x\\work.bklt", path.c_str(), &icons));
    const std::string written = ReadAll(path);
    EXPECT_NE(std::string::npos, written.find("<DT><H3>work</H3>"));
    EXPECT_NE(std::string::npos, written.find("HREF=\"http://q.example/?a=1&amp;b=&lt;2&gt;\" "
                                              "ICON=\"data:image/png;base64,AAAA\">Tom  &amp; Jerry &lt;&quot;quoted&quot;&gt;</A>"));
    EXPECT_NE(std::string::npos, written.find(">Caf\xC3\xA9</A>")) << "UTF-8";
    EXPECT_EQ(std::string::npos, written.find("script"));

    SetButtons({{"Other", "http://other.example/"}});
    const ImportList list = Import({path});
    ASSERT_EQ(3u, list.rows.size());
    for (size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i].first, list.rows[i].name);
        EXPECT_EQ(buttons[i].second, list.rows[i].url);
        EXPECT_EQ("work", list.folders[list.rows[i].folder]);
    }
    EXPECT_EQ(icons[0], list.rows[0].icon);
}

}  // namespace
