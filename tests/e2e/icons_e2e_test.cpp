// The buttons' site icons end to end: the real brisklet.exe fetches with WinINet from test
// servers on 127.0.0.1, keeps what it found in its icon cache and shows it on the buttons; hostile
// servers leave the built-in icon and never hold the bar up.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/harness.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Buttons = std::vector<std::pair<std::string, std::string>>;

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

struct Bar {
    e2e::Process process;
    HWND bar = nullptr;
    std::string file;
    std::vector<e2e::ButtonInfo> buttons;
};

// brisklet.exe started, shown, on a Button file with these buttons.
Bar StartOn(const Buttons& buttons) {
    Bar run;
    run.file = e2e::ScratchFolder("icons") + "\\icons.bklt";
    const Bytes image = e2e::MakeButtonFile(buttons);
    EXPECT_TRUE(e2e::WriteFileBytes(run.file, image.data(), image.size()));
    run.process = e2e::StartBrisklet("\"" + run.file + "\"");
    run.bar = e2e::FindBar();
    run.buttons = e2e::BarButtons(run.bar);
    EXPECT_EQ(buttons.size(), run.buttons.size());
    return run;
}

bool Shows(const Bar& run, size_t button, COLORREF colour) {
    return button < run.buttons.size() && e2e::ButtonPixels(run.buttons[button].hwnd, colour) >= 100;
}

class SiteIcons : public ::testing::Test {
protected:
    void SetUp() override { e2e::ResetState(); }
    void TearDown() override { e2e::ResetState(); }
};

TEST_F(SiteIcons, FaviconsAndLinkedIconsAppearAndAreCached) {
    const std::string red = Text(e2e::SquareIcon(kRed));
    const std::string blue = Text(e2e::SquareIcon(kBlue));
    e2e::HttpServer favicon({{"/favicon.ico", {200, "", red}}});
    e2e::HttpServer page({{"/start", {200, "", "<html><head><LINK rel='shortcut icon' href='i/x.ico'>"
                                              "<link rel=\"icon\" href=\"img/site.ico?v=1\"></head></html>"}},
                          {"/img/site.ico?v=1", {200, "", blue}}});
    Bar run = StartOn({{"Favicon", favicon.Url("/")}, {"Linked", page.Url("/start")}, {"Mail", "mailto:a@example.org"},
                       {"Folder", "C:\\windows"}});
    ASSERT_TRUE(e2e::WaitUntil([&] { return Shows(run, 0, kRed) && Shows(run, 1, kBlue); }))
        << "the site icons did not appear";
    EXPECT_EQ(Bytes(red.begin(), red.end()), e2e::ReadFileBytes(favicon.CacheFile()));
    EXPECT_EQ(Bytes(blue.begin(), blue.end()), e2e::ReadFileBytes(page.CacheFile()));
    EXPECT_EQ(0, page.Requests("/i/x.ico")) << "rel=\"icon\" comes before \"shortcut icon\"";
    // The mail button has the built-in icon, the folder the shell's: every caption lines up.
    EXPECT_NE(nullptr, e2e::ButtonImage(run.buttons[2].hwnd));
    EXPECT_TRUE(e2e::WaitUntil([&] {
        return e2e::ButtonImage(run.buttons[3].hwnd) != nullptr &&
               e2e::ButtonImage(run.buttons[3].hwnd) != e2e::ButtonImage(run.buttons[2].hwnd);
    }));
    e2e::SaveScreenshot("bar-icons");
    EXPECT_TRUE(e2e::CloseBrisklet(run.process));
}

TEST_F(SiteIcons, ARestartShowsCachedIconsWithoutAskingTheNetwork) {
    e2e::HttpServer red({{"/favicon.ico", {200, "", Text(e2e::SquareIcon(kBlue))}}});
    e2e::HttpServer blue({});
    e2e::HttpServer missing({});
    CreateDirectoryA((e2e::IconCacheFolder() + "\\..").c_str(), nullptr);
    CreateDirectoryA(e2e::IconCacheFolder().c_str(), nullptr);
    for (const auto& cached : {std::make_pair(&red, kRed), std::make_pair(&blue, kBlue)}) {
        const Bytes icon = e2e::SquareIcon(cached.second);
        ASSERT_TRUE(e2e::WriteFileBytes(cached.first->CacheFile(), icon.data(), icon.size()));
    }
    ASSERT_TRUE(e2e::WriteFileBytes(missing.CacheFile(), "", 0));  // had none an hour ago
    Bar run = StartOn({{"Site", red.Url("/")}, {"Missing", missing.Url("/")}});
    ASSERT_TRUE(e2e::WaitUntil([&] { return Shows(run, 0, kRed); })) << "the cached icon did not appear";
    // The same caption on another site, the bar in its place: the button is drawn with that
    // site's icon. The worker takes its jobs in order: once the last site has been asked, the
    // others were settled without a request.
    e2e::HttpServer later({});
    Bytes image = e2e::MakeButtonFile({{"Site", blue.Url("/")}, {"Later", later.Url("/")}});
    ASSERT_TRUE(e2e::WriteFileBytes(run.file, image.data(), image.size()));
    DWORD_PTR result = 0;
    SendMessageTimeoutA(run.bar, 1430 /* WM_BAR_RELOADFILE */, 0, 0, SMTO_NORMAL, 10000, &result);
    ASSERT_TRUE(e2e::WaitUntil([&] { return later.Requests() > 0; }));
    EXPECT_EQ(0, red.Requests() + blue.Requests() + missing.Requests());
    EXPECT_TRUE(e2e::WaitUntil([&] { return Shows(run, 0, kBlue) && !Shows(run, 0, kRed); }));
    EXPECT_TRUE(e2e::CloseBrisklet(run.process));
}

// The captions are drawn with the icons and without them: an "&" in a name is shown as a
// character (a push button on its own takes it for the mark of an underlined key and leaves it
// out). Here an "&" is about 40 pixels of ink and the underline it would make about 9.
TEST_F(SiteIcons, SwitchedOffInOptionsTheBarAsksNothingShowsNoIconsAndCaptionsStayAsWritten) {
    e2e::HttpServer server({{"/favicon.ico", {200, "", Text(e2e::SquareIcon(kRed))}}});
    ASSERT_TRUE(e2e::WriteUserDword("ShowSiteIcons", 0));
    Bar run = StartOn({{"Site", server.Url("/")}, {"AB", "mailto:a@example.org"}, {"A&B", "mailto:b@example.org"}});
    for (const e2e::ButtonInfo& button : run.buttons) EXPECT_EQ(nullptr, e2e::ButtonImage(button.hwnd));
    const auto ampersandShows = [&] {
        const auto ink = [&](size_t i) { return e2e::ButtonPixels(run.buttons[i].hwnd, RGB(0, 0, 0)); };
        EXPECT_TRUE(e2e::WaitUntil([&] { return ink(2) > ink(1) + 20; }))
            << "the ink of \"AB\" and \"A&B\": " << ink(1) << ", " << ink(2);
    };
    ampersandShows();
    auto options = [&](bool expectChecked) {
        PostMessageA(run.bar, WM_COMMAND, IDM_OPTIONS, 0);
        HWND dialog = e2e::WaitForDialog("Options");
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(expectChecked ? BST_CHECKED : BST_UNCHECKED,
                  SendMessageA(GetDlgItem(dialog, IDC_OPTIONS_SITE_ICONS), BM_GETCHECK, 0, 0));
        e2e::ClickControl(dialog, IDC_OPTIONS_SITE_ICONS);
        e2e::PressButton(dialog, IDOK);
        ASSERT_TRUE(e2e::WaitForWindowGone(dialog));
        e2e::Sync(run.bar);
    };
    // Switched on, the icon is asked for: so none was asked while off.
    EXPECT_EQ(0, server.Requests());
    options(false);
    ASSERT_TRUE(e2e::WaitUntil([&] { return Shows(run, 0, kRed); }));
    ampersandShows();
    DWORD value = 0;
    EXPECT_TRUE(e2e::ReadUserDword("ShowSiteIcons", &value) && value == 1);
    options(true);
    for (const e2e::ButtonInfo& button : run.buttons) EXPECT_EQ(nullptr, e2e::ButtonImage(button.hwnd));
    EXPECT_TRUE(e2e::ReadUserDword("ShowSiteIcons", &value) && value == 0);
    EXPECT_EQ(1, server.Requests());
    EXPECT_TRUE(e2e::CloseBrisklet(run.process));
}

TEST_F(SiteIcons, HostileServersLeaveTheBuiltInIconAndNeverHoldTheBarUp) {
    std::string entries("\0\0\1\0\xFF\xFF", 6);
    entries.resize(4000, '\x10');
    std::string huge("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\x01\x86\xA0\0\x01\x86\xA0\x08\x06\0\0\0\0\0\0\0\0\0\0\0IEND\0\0\0\0",
                     45);
    std::string truncated = Text(e2e::SquareIcon(kRed));
    truncated.resize(600);
    // Each site offers two hostile images: its /favicon.ico and the icon its page links to.
    e2e::HttpServer garbage({{"/favicon.ico", {200, "", "<html>no icon</html>"}},
                             {"/", {200, "", "<html><link rel=icon href=/cut.ico></html>"}},
                             {"/cut.ico", {200, "", truncated}}});
    e2e::HttpServer gigabyte({{"/favicon.ico", {200, "", "", false, size_t{1} << 30}}});
    e2e::HttpServer loop({{"/favicon.ico", {302, "Location: /favicon.ico\r\n", ""}}, {"/", {301, "Location: /\r\n", ""}}});
    e2e::HttpServer shapes({{"/favicon.ico", {200, "", entries}},
                            {"/", {200, "", "<link rel=apple-touch-icon href=/huge.png>"}},
                            {"/huge.png", {200, "", huge}}});
    e2e::HttpServer silent({{"/favicon.ico", {200, "", "", true}}, {"/", {200, "", "", true}}});
    int closedPort = 0;
    {
        e2e::HttpServer closed({});
        closedPort = std::stoi(closed.Url("").substr(17));
    }
    // The gigabyte comes last: Wine's WinINet reads the rest of a response before it closes it,
    // so the worker spends the whole download on it (the bar is not held up by it).
    Bar run = StartOn({{"Mail", "mailto:a@example.org"}, {"Garbage", garbage.Url("/")}, {"Loop", loop.Url("/")},
                       {"Shapes", shapes.Url("/")}, {"Device", "http://con/"},
                       {"Closed", "http://127.0.0.1:" + std::to_string(closedPort) + "/"}, {"Silent", silent.Url("/")},
                       {"Gigabyte", gigabyte.Url("/")}});
    const Bytes before = e2e::ReadFileBytes(run.file);
    // The bar answers within 500 ms all the while, up to the gigabyte's request. A request made on
    // the bar's own thread would hold it for the silent site's whole time-out (5 s); below the
    // bound is only a busy machine's scheduling (up to about 200 ms with other suites beside).
    DWORD slowest = 0;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            const DWORD start = GetTickCount();
            DWORD_PTR result = 0;
            EXPECT_NE(0, SendMessageTimeoutA(run.bar, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result));
            slowest = std::max(slowest, GetTickCount() - start);
            return gigabyte.Requests() > 0;
        },
        60000))
        << "requests: garbage " << garbage.Requests() << ", gigabyte " << gigabyte.Requests() << ", loop "
        << loop.Requests() << ", shapes " << shapes.Requests();
    EXPECT_LT(slowest, 500u);
    EXPECT_EQ(1, garbage.Requests("/cut.ico"));
    EXPECT_EQ(2, silent.Requests()) << "each request given up at its time-out";
    EXPECT_EQ(6, loop.Requests("/favicon.ico")) << "the first request and five redirects";
    EXPECT_EQ(6, loop.Requests("/"));
    EXPECT_EQ(1, shapes.Requests("/huge.png"));
    for (const e2e::HttpServer* hostile : {&garbage, &loop, &shapes, &silent}) {
        EXPECT_EQ(0u, e2e::ReadFileBytes(hostile->CacheFile()).size()) << hostile->CacheFile();
        EXPECT_TRUE(e2e::FileExists(hostile->CacheFile())) << "noted as a site with no icon";
    }
    const HANDLE builtIn = e2e::ButtonImage(run.buttons[0].hwnd);
    ASSERT_NE(nullptr, builtIn);
    for (const e2e::ButtonInfo& button : run.buttons) EXPECT_EQ(builtIn, e2e::ButtonImage(button.hwnd)) << button.text;
    EXPECT_EQ(before, e2e::ReadFileBytes(run.file));
    // Closing while the gigabyte is being read ends the process at once.
    const DWORD closing = GetTickCount();
    EXPECT_TRUE(e2e::CloseBrisklet(run.process, 5000));
    EXPECT_LT(GetTickCount() - closing, 3000u);
}

}  // namespace
