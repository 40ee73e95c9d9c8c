#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>
#include "app/shared_state.h"
#include "shell/drop_rules.h"

namespace {

TEST(DropExtension, LastComponentFromItsLastDot) {
    EXPECT_STREQ(".txt", PathExtension("C:\\docs\\notes.txt"));
    EXPECT_STREQ(".URL", PathExtension("C:\\links\\Site.URL"));
    EXPECT_STREQ(".txt", PathExtension("C:\\archive.url.txt"));
    EXPECT_STREQ(".url", PathExtension(".url"));
    EXPECT_STREQ(".url", PathExtension("C:.url"));
    EXPECT_STREQ(".url", PathExtension("c:/links/site.url"));
    EXPECT_STREQ(".url", PathExtension("\\\\server\\share\\a.b.url"));
    // Dots in folder names do not count: the last component has no dot.
    EXPECT_STREQ("", PathExtension("C:\\my.links\\site"));
    EXPECT_STREQ("", PathExtension("C:\\site.url\\readme"));
    EXPECT_STREQ("", PathExtension("links.url/readme"));
    EXPECT_STREQ("", PathExtension("C:"));
    EXPECT_STREQ("", PathExtension(""));
    EXPECT_STREQ(".", PathExtension("C:\\name."));
}

TEST(DropExtension, InternetShortcutIgnoresAsciiCaseOnly) {
    EXPECT_TRUE(HasInternetShortcutExtension("C:\\Site.URL"));
    EXPECT_TRUE(HasInternetShortcutExtension("site.uRl"));
    EXPECT_TRUE(HasInternetShortcutExtension(".url"));
    EXPECT_TRUE(HasInternetShortcutExtension("C:.url"));
    EXPECT_TRUE(HasInternetShortcutExtension("C:/dir.with.dots/x.url"));
    EXPECT_FALSE(HasInternetShortcutExtension("C:\\notes.txt"));
    EXPECT_FALSE(HasInternetShortcutExtension("archive.url.txt"));
    EXPECT_FALSE(HasInternetShortcutExtension("C:\\site.url\\readme"));
    EXPECT_FALSE(HasInternetShortcutExtension("site.urls"));
    EXPECT_FALSE(HasInternetShortcutExtension("site.ur"));
    EXPECT_FALSE(HasInternetShortcutExtension("siteurl"));
    EXPECT_FALSE(HasInternetShortcutExtension("site.url "));
}

// A data object and shell that answer from a script and log the questions asked.
class ScriptedDrag : public DragData {
public:
    bool fileList = false;
    std::vector<std::string> files;
    bool fetchFails = false;
    std::vector<std::string> folders;
    bool resolves = false;
    std::string resolvedTarget;
    std::string iniUrl;
    bool text = false;
    std::vector<std::string> asked;

    bool HasFileList() override { asked.push_back("files"); return fileList; }
    uint32_t FileCount() override { asked.push_back("count"); return static_cast<uint32_t>(files.size()); }
    std::map<std::string, std::string> heads;  // the first bytes of files that can be read

    bool FileName(uint32_t index, char* path, size_t size) override {
        asked.push_back(index == 0 ? "first" : "file " + std::to_string(index));
        if (fetchFails) return false;
        std::strncpy(path, files.at(index).c_str(), size - 1);
        path[size - 1] = '\0';
        return true;
    }
    size_t ReadFileHead(const char* path, char* buffer, size_t size) override {
        asked.push_back(std::string("head ") + path);
        const auto head = heads.find(path);
        if (head == heads.end()) return 0;
        const size_t length = std::min(size, head->second.size());
        std::copy_n(head->second.data(), length, buffer);
        return length;
    }
    bool IsFolder(const char* path) override {
        asked.push_back("folder");
        for (const auto& f : folders) if (f == path) return true;
        return false;
    }
    bool ResolveShortcut(const char* path, char* target, size_t size) override {
        asked.push_back(std::string("resolve ") + path);
        if (!resolves) return false;
        std::strncpy(target, resolvedTarget.c_str(), size - 1);
        target[size - 1] = '\0';
        return true;
    }
    void ReadShortcutUrl(const char* path, char* url, size_t size) override {
        asked.push_back(std::string("ini ") + path);
        std::strncpy(url, iniUrl.c_str(), size - 1);
        url[size - 1] = '\0';
    }
    bool OffersText() override { asked.push_back("text"); return text; }
    std::vector<std::pair<std::string, std::string>> described;  // name and contents of each
    uint32_t DescribedFileCount() override {
        asked.push_back("described");
        return static_cast<uint32_t>(described.size());
    }
    bool DescribedFileName(uint32_t index, char* name, size_t size) override {
        if (described.at(index).first.size() >= size) return false;
        std::strncpy(name, described.at(index).first.c_str(), size);
        return true;
    }
    size_t ReadDescribedFile(uint32_t index, char* buffer, size_t size) override {
        const std::string& contents = described.at(index).second;
        const size_t length = std::min(size, contents.size());
        std::copy_n(contents.data(), length, buffer);
        return length;
    }
};

struct Judged {
    DragVerdict verdict;
    std::string path;
};

Judged Judge(ScriptedDrag& drag) {
    char path[kDropPathSize];
    std::memset(path, 0, sizeof path);
    Judged j;
    j.verdict = JudgeDrag(drag, path);
    EXPECT_NE(nullptr, std::memchr(path, 0, sizeof path)) << "path is NUL-terminated";
    j.path = path;
    return j;
}

void ExpectRefused(const DragVerdict& v, int32_t result) {
    EXPECT_EQ(result, v.result);
    EXPECT_EQ(kDropEffectNone, v.effect);
    EXPECT_FALSE(v.acceptable);
    EXPECT_FALSE(v.isText);
}

TEST(DropJudge, EmptyAndOverlongFileListsAreRefusedAsInvalid) {
    for (size_t n : {0u, 101u}) {
        ScriptedDrag drag;
        drag.fileList = true;
        drag.text = true;  // never considered next to a file list
        drag.files.assign(n, "C:\\a.url");
        drag.resolves = true;
        drag.resolvedTarget = "C:\\target";
        ExpectRefused(Judge(drag).verdict, kDropResultInvalidArg);
        EXPECT_EQ((std::vector<std::string>{"files", "count"}), drag.asked) << n << " files";
    }
}

TEST(DropJudge, UnfetchableNameAndFoldersAreRefusedAsInvalid) {
    ScriptedDrag unfetchable;
    unfetchable.fileList = true;
    unfetchable.files = {"C:\\x.url"};
    unfetchable.fetchFails = true;
    ExpectRefused(Judge(unfetchable).verdict, kDropResultInvalidArg);

    ScriptedDrag folder;
    folder.fileList = true;
    folder.files = {"C:\\links.url"};
    folder.folders = {"C:\\links.url"};
    folder.resolves = true;
    folder.resolvedTarget = "C:\\t";
    const Judged j = Judge(folder);
    ExpectRefused(j.verdict, kDropResultInvalidArg);
    EXPECT_EQ("C:\\links.url", j.path);
    EXPECT_EQ((std::vector<std::string>{"files", "count", "first", "folder"}), folder.asked);
}

TEST(DropJudge, OtherFilesAreRefusedWithoutError) {
    for (const char* name : {"C:\\notes.txt", "C:\\archive.url.txt", "C:\\my.url\\readme", "C:\\noext"}) {
        ScriptedDrag drag;
        drag.fileList = true;
        drag.files = {name};
        drag.iniUrl = "http://never.example/";
        const Judged j = Judge(drag);
        ExpectRefused(j.verdict, kDropResultOk);
        EXPECT_EQ(name, j.path);
        EXPECT_EQ((std::vector<std::string>{"files", "count", "first", "folder"}), drag.asked) << name;
    }
}

TEST(DropJudge, ResolvedShortcutIsAcceptedWithItsTarget) {
    for (const char* name : {"C:\\links\\Site.URL", "C:\\.url", "C:.url", "d:/x.y/site.url"}) {
        ScriptedDrag drag;
        drag.fileList = true;
        drag.files = {name};
        drag.resolves = true;
        drag.resolvedTarget = "C:\\Program Files\\tool.exe";
        drag.iniUrl = "http://not.asked.example/";
        const Judged j = Judge(drag);
        EXPECT_EQ(kDropResultOk, j.verdict.result);
        EXPECT_EQ(kDropEffectCopy, j.verdict.effect);
        EXPECT_TRUE(j.verdict.acceptable);
        EXPECT_FALSE(j.verdict.isText);
        EXPECT_EQ("C:\\Program Files\\tool.exe", j.path);
        EXPECT_EQ(std::string("resolve ") + name, drag.asked.back()) << "the INI file is not read";
    }
}

TEST(DropJudge, UnresolvableShortcutFallsBackToItsUrlValue) {
    ScriptedDrag drag;
    drag.fileList = true;
    drag.files = {"C:\\fav\\Example.url"};
    drag.iniUrl = "https://www.example.com/page?q=1";
    const Judged j = Judge(drag);
    EXPECT_EQ(kDropResultOk, j.verdict.result);
    EXPECT_EQ(kDropEffectCopy, j.verdict.effect);
    EXPECT_TRUE(j.verdict.acceptable);
    EXPECT_FALSE(j.verdict.isText);
    EXPECT_EQ("https://www.example.com/page?q=1", j.path);
    EXPECT_EQ((std::vector<std::string>{"files", "count", "first", "folder", "resolve C:\\fav\\Example.url",
                                        "ini C:\\fav\\Example.url"}),
              drag.asked);
}

TEST(DropJudge, UnresolvableShortcutWithoutUsableUrlIsRefused) {
    ScriptedDrag none;
    none.fileList = true;
    none.files = {"C:\\Site.URL"};
    const Judged j = Judge(none);
    ExpectRefused(j.verdict, kDropResultInvalidArg);
    EXPECT_EQ("C:\\Site.URL", j.path) << "the file name stays";

    // An address longer than the path holds is refused rather than cut.
    ScriptedDrag longUrl;
    longUrl.fileList = true;
    longUrl.files = {"C:\\long.url"};
    longUrl.iniUrl = "http://example.com/" + std::string(kDropPathSize, 'a');
    ExpectRefused(Judge(longUrl).verdict, kDropResultInvalidArg);

    ScriptedDrag fits;
    fits.fileList = true;
    fits.files = {"C:\\fits.url"};
    fits.iniUrl = std::string(kDropPathSize - 1, 'b');
    const Judged k = Judge(fits);
    EXPECT_TRUE(k.verdict.acceptable);
    EXPECT_EQ(fits.iniUrl, k.path);
}

TEST(DropJudge, ResolvedShortcutWithEmptyTargetPrefersUrlValueElseAcceptsEmpty) {
    ScriptedDrag withUrl;
    withUrl.fileList = true;
    withUrl.files = {"C:\\a.url"};
    withUrl.resolves = true;
    withUrl.iniUrl = "http://a.example/";
    const Judged a = Judge(withUrl);
    EXPECT_TRUE(a.verdict.acceptable);
    EXPECT_EQ("http://a.example/", a.path);

    ScriptedDrag empty;
    empty.fileList = true;
    empty.files = {"C:\\b.url"};
    empty.resolves = true;
    const Judged b = Judge(empty);
    EXPECT_EQ(kDropResultOk, b.verdict.result);
    EXPECT_TRUE(b.verdict.acceptable);
    EXPECT_EQ("", b.path);
}

TEST(DropJudge, TextCountsOnlyWithoutFileList) {
    ScriptedDrag text;
    text.text = true;
    const Judged t = Judge(text);
    EXPECT_EQ(kDropResultOk, t.verdict.result);
    EXPECT_EQ(kDropEffectCopy, t.verdict.effect);
    EXPECT_TRUE(t.verdict.acceptable);
    EXPECT_TRUE(t.verdict.isText);
    EXPECT_EQ("", t.path);
    EXPECT_EQ((std::vector<std::string>{"files", "text"}), text.asked);

    ScriptedDrag nothing;
    ExpectRefused(Judge(nothing).verdict, kDropResultInvalidArg);

    // Both formats: a refused file list wins over acceptable text.
    ScriptedDrag both;
    both.fileList = true;
    both.text = true;
    both.files = {"C:\\notes.txt"};
    ExpectRefused(Judge(both).verdict, kDropResultOk);
    for (const auto& q : both.asked) EXPECT_NE("text", q);
}

TEST(DropJudge, BookmarkFilesAndSeveralShortcutsGoToTheImport) {
    const std::string bookmarks = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL>";
    struct Case {
        std::vector<std::string> files;
        int32_t result;
        std::vector<std::string> imports;  // "file PATH" or "NAME = URL"; empty when refused
    } cases[] = {
        {{"C:\\b\\Bookmarks.HTML"}, kDropResultOk, {"file C:\\b\\Bookmarks.HTML"}},
        {{"C:\\page.htm"}, kDropResultOk, {}},  // any other page: refused as any ordinary file
        {{"C:\\links\\First.url", "D:Second.url", "C:\\b.htm"}, kDropResultOk,
         {"First = http://a.example/", "Second = http://a.example/", "file C:\\b.htm"}},
        {{"C:\\links\\First.url", "C:\\notes.txt"}, kDropResultInvalidArg, {}},
        {{"C:\\b.htm", "C:\\page.htm"}, kDropResultInvalidArg, {}},
        {{"C:\\b.htm", "C:\\folder.url"}, kDropResultInvalidArg, {}},
    };
    for (const Case& c : cases) {
        ScriptedDrag drag;
        drag.fileList = true;
        drag.files = c.files;
        drag.iniUrl = "http://a.example/";
        drag.folders = {"C:\\folder.url"};
        drag.heads = {{"C:\\b\\Bookmarks.HTML", bookmarks}, {"C:\\b.htm", "\r\n" + bookmarks},
                      {"C:\\page.htm", "<html><body>"}};
        char path[kDropPathSize] = "";
        std::vector<ImportSource> imports;
        const DragVerdict verdict = JudgeDrag(drag, path, &imports);
        std::vector<std::string> shown;
        for (const ImportSource& source : imports) {
            shown.push_back(source.file.empty() ? source.shortcutName + " = " + source.shortcutUrl : "file " + source.file);
        }
        EXPECT_EQ(c.result, verdict.result) << c.files[0];
        EXPECT_EQ(!c.imports.empty(), verdict.acceptable && verdict.isImport) << c.files[0];
        EXPECT_EQ(c.imports, shown) << c.files[0];
    }
}

// Files described without a path, as a browser drags a link: shortcuts named in any script go to
// the import under their names; anything else, or a shortcut without an address, refuses the drag.
TEST(DropJudge, DescribedShortcutsGoToTheImportNamedAfterTheirFiles) {
    const std::string news = "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8";  // Новости
    const std::string shortcut = "[InternetShortcut]\r\nURL=http://a.example/\r\n";
    struct Case {
        std::vector<std::pair<std::string, std::string>> described;
        std::vector<std::string> imports;  // "NAME = URL"; empty when refused
    } cases[] = {
        {{{news + ".url", shortcut}}, {news + " = http://a.example/"}},
        {{{"sub\\First.URL", shortcut}, {"Second.url", "[InternetShortcut]\nURL=http://b.example/"}},
         {"First = http://a.example/", "Second = http://b.example/"}},
        {{{"First.url", shortcut}, {"notes.txt", shortcut}}, {}},
        {{{"First.url", "[Other]\r\nURL=http://a.example/"}}, {}},
        {{{"Long.url", "[InternetShortcut]\nURL=http://a.example/" + std::string(kDropPathSize, 'x')}}, {}},
        {{{std::string(kDescribedNameSize, 'n') + ".url", shortcut}}, {}},  // a name that cannot be fetched
        {std::vector<std::pair<std::string, std::string>>(kMaxDroppedFiles + 1, {"a.url", shortcut}), {}},
    };
    for (const Case& c : cases) {
        ScriptedDrag drag;
        drag.described = c.described;
        char path[kDropPathSize] = "";
        std::vector<ImportSource> imports;
        const DragVerdict verdict = JudgeDrag(drag, path, &imports);
        std::vector<std::string> shown;
        for (const ImportSource& source : imports) shown.push_back(source.shortcutName + " = " + source.shortcutUrl);
        EXPECT_EQ(!c.imports.empty(), verdict.acceptable && verdict.isImport) << c.described[0].first;
        EXPECT_EQ(c.imports.empty() ? kDropResultInvalidArg : kDropResultOk, verdict.result) << c.described[0].first;
        EXPECT_EQ(c.imports, shown) << c.described[0].first;
        EXPECT_STREQ("", path);
    }
    // Text, where it is offered too, is taken as before: the descriptor is not asked for.
    ScriptedDrag both;
    both.text = true;
    both.described = {{"a.url", shortcut}};
    EXPECT_TRUE(Judge(both).verdict.isText);
    EXPECT_EQ((std::vector<std::string>{"files", "text"}), both.asked);
}

TEST(DropShortcutContents, TheUrlValueOfTheInternetShortcutSection) {
    const struct {
        std::string contents;
        std::string url;
    } cases[] = {
        {"[InternetShortcut]\r\nURL=http://a.example/\r\n", "http://a.example/"},
        {"\xEF\xBB\xBF[internetshortcut]\nurl = \"http://a.example/x y\" \n", "http://a.example/x y"},
        {"[DEFAULT]\r\nBASEURL=http://base.example/\r\n[ InternetShortcut ]\r\nIDList=\r\n\tUrl\t=http://b.example/\r\nURL=http://c.example/",
         "http://b.example/"},
        {"[Other]\nURL=http://a.example/\n[InternetShortcut]\nIconIndex=0\n", ""},
        {"[InternetShortcut]\nURLS=http://a.example/\nxURL=http://b.example/\n", ""},
        {std::string("[InternetShortcut]\nURL=http://a.example/") + '\0' + "\nURL=http://b.example/", "http://a.example/"},
        {std::string("[InternetShortcut]\nURL=http://a") + '\0' + ".example/", "http://a"},
        {"[InternetShortcut]\nURL=http://\xD0\xBF\xD1\x80.example/", "http://\xD0\xBF\xD1\x80.example/"},
        {"[InternetShortcut]\nURL=http://caf\xE9.example/", "http://caf\xC3\xA9.example/"},  // Windows-1252
        {"[InternetShortcut", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.url, ShortcutUrlOf(c.contents.data(), c.contents.size())) << c.contents;
}

TEST(DropShortcutContents, ADescriptorIsReadOnlyWhenItsBlockHoldsWhatItClaims) {
    EXPECT_EQ(2u, DescribedFileCountIn(4 + 2 * 592, 2, 4, 592));
    EXPECT_EQ(1u, DescribedFileCountIn(4 + 2 * 592 - 1, 1, 4, 592));
    EXPECT_EQ(0u, DescribedFileCountIn(4 + 2 * 592 - 1, 2, 4, 592));
    EXPECT_EQ(0u, DescribedFileCountIn(4 + 592, 0xFFFFFFFFu, 4, 592));
    EXPECT_EQ(0u, DescribedFileCountIn(3, 0, 4, 592));
    EXPECT_EQ(0u, DescribedFileCountIn(100, 1, 4, 0));
}

TEST(DroppedText, CopiedUpToNulBoundedByMemoryAndBuffer) {
    char out[8];
    EXPECT_EQ(3u, CopyDroppedText("abc", 4, out, sizeof out));
    EXPECT_STREQ("abc", out);
    // No NUL within the memory block: never read past it.
    const char unterminated[4] = {'w', 'x', 'y', 'z'};
    EXPECT_EQ(4u, CopyDroppedText(unterminated, sizeof unterminated, out, sizeof out));
    EXPECT_STREQ("wxyz", out);
    EXPECT_EQ(7u, CopyDroppedText("0123456789", 11, out, sizeof out));
    EXPECT_STREQ("0123456", out);
    EXPECT_EQ(0u, CopyDroppedText("", 1, out, sizeof out));
    EXPECT_STREQ("", out);
    EXPECT_EQ(0u, CopyDroppedText(nullptr, 0, out, sizeof out));
    EXPECT_STREQ("", out);
}

TEST(DroppedText, HandOverCutsTo1023AndSetsThePendingFlag) {
    g_dropPending = 0;
    std::memset(g_droppedText, 'z', sizeof g_droppedText);
    const std::string longText(1500, 'h');
    HandOverDroppedText(longText.c_str(), longText.size() + 1);
    EXPECT_EQ(1, g_dropPending);
    EXPECT_EQ(1023u, std::strlen(g_droppedText));
    EXPECT_EQ(std::string(1023, 'h'), g_droppedText);

    const std::string exact(1023, 'e');
    HandOverDroppedText(exact.c_str(), exact.size() + 1);
    EXPECT_EQ(exact, g_droppedText);

    HandOverDroppedText("http://short.example/", 22);
    EXPECT_STREQ("http://short.example/", g_droppedText);
    g_dropPending = 0;
    g_droppedText[0] = '\0';
}

}  // namespace
