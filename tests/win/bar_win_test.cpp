// The Button bar's window procedure in-process: a bar window of the real class, driven through
// its private messages, with the fonts and button windows looked at directly.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <string>
#include "app/bar_messages.h"
#include "app/layout.h"
#include "app/shared_state.h"
#include "app/win_bar.h"
#include "app/win_glyph_fonts.h"
#include "app/win_site_icons.h"
#include "app/win_state.h"
#include "res/resource.h"
#include "store/button_files.h"
#include "store/button_table.h"
#include "store/win_platform.h"
#include "tests/win/store_win_support.h"

namespace {

class CountingSink : public MessageSink {
public:
    void ShowMessage(const char*, const char*) override { ++shown; }
    int shown = 0;
};

void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

HFONT FontOf(HWND button) { return reinterpret_cast<HFONT>(SendMessageA(button, WM_GETFONT, 0, 0)); }

bool IsLiveFont(HFONT font) { return font != nullptr && GetObjectType(font) == OBJ_FONT; }

// A callback of its own, not a lambda: the 32-bit build needs the system's calling convention.
BOOL CALLBACK CountChild(HWND, LPARAM param) {
    ++*reinterpret_cast<int*>(param);
    return TRUE;
}

int ChildCount(HWND bar) {
    int count = 0;
    EnumChildWindows(bar, CountChild, reinterpret_cast<LPARAM>(&count));
    return count;
}

class BarWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);  // the bar ends OLE when it is destroyed
        InstallWin32Platform();
        g_platform.messages = &sink_;
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        path_ = std::string(temp) + "bar_win_test.bklt";
        CopyTextToField(g_currentButtonFile, sizeof g_currentButtonFile, path_.c_str());

        std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
        g_buttonTable.buttonWidth = 140;
        g_buttonTable.buttonCount = 4;
        g_buttonTable.globalFont.lfWeight = 700;
        std::memcpy(g_buttonTable.globalFont.lfFaceName, "System", 7);
        for (int i = 0; i < 4; ++i) {
            ButtonRecord& record = g_buttonTable.records[i];
            CopyTextToField(record.name, sizeof record.name, ("B" + std::to_string(i)).c_str());
            record.ownFont = g_buttonTable.globalFont;
            record.ownFont.lfHeight = -11 - i;
            record.hasOwnFont = i < 2 ? 1 : (i == 2 ? 2 : 0);  // 2 is not "own font"
        }

        g_stayOnTop = 0;
        g_hMenu = nullptr;
        std::strcpy(g_windowClass, "BriskletBarTestClass");
        std::strcpy(g_windowTitle, "Brisklet bar test");
        g_hInstance = GetModuleHandleA(nullptr);
        RegisterWindowClasses(g_hInstance);
        ComputeLayout();
        bar_ = CreateWindowExA(0, g_windowClass, g_windowTitle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                               g_layout.barX, g_layout.barY, g_layout.barWidth, g_layout.barHeight, nullptr,
                               nullptr, g_hInstance, nullptr);
        ASSERT_NE(nullptr, bar_);
        // The buttons and the queued font step, as start-up makes them once the tray icon is up.
        CreateButtonWindows();
        PostMessageA(bar_, WM_BAR_APPLYFONTS, 0, 0);
        Pump();
    }

    void TearDown() override {
        if (bar_ != nullptr) DestroyWindow(bar_);
        Pump();
        DeleteFileA(path_.c_str());
        registry_.Restore();
    }

    HWND Button(int i) const { return GetDlgItem(bar_, IDC_BUTTON_FIRST + i); }

    store_win_test::KeySnapshot registry_{HKEY_CURRENT_USER, "Software\\Vantaro\\Brisklet"};
    CountingSink sink_;
    std::string path_;
    HWND bar_ = nullptr;
};

TEST_F(BarWindowTest, OwnFontsOnlyForByteOneAndTheFontStepSaves) {
    ASSERT_EQ(4, ChildCount(bar_));
    const HFONT own0 = FontOf(Button(0));
    const HFONT own1 = FontOf(Button(1));
    EXPECT_TRUE(IsLiveFont(own0));
    EXPECT_TRUE(IsLiveFont(own1));
    EXPECT_NE(own0, own1);
    EXPECT_NE(g_barFont, own0);
    EXPECT_EQ(g_barFont, FontOf(Button(2))) << "has-own-font byte 2 takes the bar font";
    EXPECT_EQ(g_barFont, FontOf(Button(3)));
    LOGFONTA seen{};
    GetObjectA(own1, sizeof seen, &seen);
    EXPECT_EQ(-12, seen.lfHeight);
    EXPECT_EQ(0, sink_.shown);
    EXPECT_TRUE(store_win_test::PathExists(path_)) << "the font step saves the Button file";
}

TEST_F(BarWindowTest, RebuildsKeepUnchangedFontsAndReleaseTheOnesTheyReplace) {
    for (int round = 0; round < 200; ++round) {
        const HFONT oldBar = g_barFont;
        const HFONT old0 = FontOf(Button(0));
        const HFONT old1 = FontOf(Button(1));
        const HWND oldButton0 = Button(0);
        // Every other round the global font and record 0's own font change; record 1's never.
        const bool change = round % 2 == 1;
        if (change) {
            g_buttonTable.globalFont.lfHeight = -10 - round % 7;
            g_buttonTable.records[0].ownFont.lfHeight = -20 - round % 5;
        }
        if (round % 4 == 0) PostMessageA(bar_, WM_BAR_DESTROYBUTTONS, 0, 0);
        PostMessageA(bar_, WM_BAR_RELAYOUT, 0, 0);
        Pump();
        ASSERT_EQ(4, ChildCount(bar_)) << "round " << round;
        ASSERT_TRUE(IsLiveFont(FontOf(Button(0)))) << "round " << round;
        ASSERT_TRUE(IsLiveFont(g_barFont)) << "round " << round;
        ASSERT_EQ(g_barFont, FontOf(Button(3))) << "round " << round;
        ASSERT_EQ(old1, FontOf(Button(1))) << "an unchanged own font is kept, round " << round;
        if (round % 4 != 0) ASSERT_EQ(oldButton0, Button(0)) << "the button window is kept, round " << round;
        if (!change) {
            ASSERT_EQ(old0, FontOf(Button(0))) << "round " << round;
            ASSERT_EQ(oldBar, g_barFont) << "round " << round;
        } else {
            ASSERT_FALSE(IsLiveFont(old0)) << "replaced own font kept, round " << round;
            ASSERT_FALSE(IsLiveFont(oldBar)) << "replaced bar font kept, round " << round;
        }
    }
    LOGFONTA seen{};
    GetObjectA(FontOf(Button(0)), sizeof seen, &seen);
    EXPECT_EQ(g_buttonTable.records[0].ownFont.lfHeight, seen.lfHeight);
    GetObjectA(g_barFont, sizeof seen, &seen);
    EXPECT_EQ(g_buttonTable.globalFont.lfHeight, seen.lfHeight);

    // An own font taken away and given back without a change of count: the button follows.
    const HFONT own0 = FontOf(Button(0));
    g_buttonTable.records[0].hasOwnFont = 0;
    PostMessageA(bar_, WM_BAR_RELAYOUT, 0, 0);
    Pump();
    EXPECT_EQ(g_barFont, FontOf(Button(0)));
    EXPECT_FALSE(IsLiveFont(own0));
    g_buttonTable.records[0].hasOwnFont = 1;
    PostMessageA(bar_, WM_BAR_RELAYOUT, 0, 0);
    Pump();
    EXPECT_TRUE(IsLiveFont(FontOf(Button(0))));
    EXPECT_NE(g_barFont, FontOf(Button(0)));
}

// The Setup dialog replaces the bar font with one of its own before asking for the font step;
// the step makes the bar font again and releases both the dialog's and the one before it.
TEST_F(BarWindowTest, ABarFontReplacedFromOutsideIsReleasedWithTheOneBeforeIt) {
    const HFONT before = g_barFont;
    g_fontScratch = ToLogFont(g_buttonTable.globalFont);
    g_barFont = CreateFontIndirectA(&g_fontScratch);
    const HFONT fromOutside = g_barFont;
    PostMessageA(bar_, WM_BAR_APPLYFONTS, 0, 0);
    Pump();
    EXPECT_TRUE(IsLiveFont(g_barFont));
    EXPECT_EQ(g_barFont, FontOf(Button(3)));
    EXPECT_FALSE(IsLiveFont(before));
    EXPECT_FALSE(IsLiveFont(fromOutside));
}

TEST_F(BarWindowTest, SameFontFlagGivesEveryButtonTheBarFont) {
    const HFONT own0 = FontOf(Button(0));
    g_buttonTable.sameFont = 1;
    PostMessageA(bar_, WM_BAR_APPLYFONTS, 0, 0);
    Pump();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(g_barFont, FontOf(Button(i))) << i;
    EXPECT_FALSE(IsLiveFont(own0));
}

TEST_F(BarWindowTest, NewNameShowsAtTheNextPaintAndDestroyLeavesAnEmptyBar) {
    ShowWindow(bar_, SW_SHOWNOACTIVATE);
    Pump();
    CopyTextToField(g_buttonTable.records[1].name, kNameSize, "Renamed");
    InvalidateRect(bar_, nullptr, TRUE);
    UpdateWindow(bar_);
    char text[64] = "";
    GetWindowTextA(Button(1), text, sizeof text);
    EXPECT_STREQ("Renamed", text);

    PostMessageA(bar_, WM_COMMAND, IDM_DESTROY_BUTTONS, 0);
    Pump();
    EXPECT_EQ(0, ChildCount(bar_));
    PostMessageA(bar_, WM_BAR_REBUILD, 0, 0);
    Pump();
    EXPECT_EQ(4, ChildCount(bar_));
}

// Counts the texts set on two buttons, to see what a paint of the bar does to them.
WNDPROC g_buttonProcs[2];
int g_textsSet[2];

template <int index>
LRESULT CALLBACK CountTextsSet(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) ++g_textsSet[index];
    return CallWindowProcA(g_buttonProcs[index], hwnd, message, wParam, lParam);
}

TEST_F(BarWindowTest, APaintSetsOnlyTheNamesThatChanged) {
    ShowWindow(bar_, SW_SHOWNOACTIVATE);
    Pump();
    g_buttonProcs[0] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Button(0), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountTextsSet<0>)));
    g_buttonProcs[1] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Button(1), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountTextsSet<1>)));
    g_textsSet[0] = g_textsSet[1] = 0;

    CopyTextToField(g_buttonTable.records[1].name, kNameSize, "Renamed");
    InvalidateRect(bar_, nullptr, TRUE);
    UpdateWindow(bar_);
    EXPECT_EQ(0, g_textsSet[0]);  // a button redraws itself whenever its text is set
    EXPECT_EQ(1, g_textsSet[1]);
    char text[64] = "";
    GetWindowTextA(Button(1), text, sizeof text);
    EXPECT_STREQ("Renamed", text);

    InvalidateRect(bar_, nullptr, TRUE);
    UpdateWindow(bar_);
    EXPECT_EQ(0, g_textsSet[0]);
    EXPECT_EQ(1, g_textsSet[1]);

    SetWindowLongPtrA(Button(0), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_buttonProcs[0]));
    SetWindowLongPtrA(Button(1), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_buttonProcs[1]));
}

TEST_F(BarWindowTest, HideBarClearsStayOnTop) {
    // This test program carries no menu resource: the bar gets a menu with the one item.
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, IDM_STAY_ON_TOP, "Sta&y on top");
    SetMenu(bar_, menu);
    ShowWindow(bar_, SW_SHOWNOACTIVATE);
    PostMessageA(bar_, WM_COMMAND, IDM_STAY_ON_TOP, 0);
    Pump();
    EXPECT_EQ(static_cast<UINT>(MF_CHECKED), GetMenuState(menu, IDM_STAY_ON_TOP, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_NE(0, GetWindowLongA(bar_, GWL_EXSTYLE) & WS_EX_TOPMOST);

    SendMessageA(bar_, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_FALSE(IsWindowVisible(bar_));
    EXPECT_EQ(0u, GetMenuState(menu, IDM_STAY_ON_TOP, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(0, GetWindowLongA(bar_, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

}  // namespace

// A caption in a script its face lacks is drawn in a face that has every one of its characters:
// the raster "System" face has no Cyrillic or Chinese letters, the fallback faces do (the tests'
// Wine has a Chinese face).
TEST(GlyphFallback, CaptionsGetAFaceWithTheirCharacters) {
    const HFONT system = CreateFontA(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "System");
    ASSERT_NE(nullptr, system);
    EXPECT_EQ(system, FontWithGlyphs(system, "Latin only")) << "ASCII keeps the font";
    HDC dc = CreateCompatibleDC(nullptr);
    for (const wchar_t* caption : {L"\x041D\x043E\x0432\x043E\x0441\x0442\x0438", L"\x65B0\x95FB\x7F51",
                                   L"\x0395\x03B9\x03B4\x03AE\x03C3\x03B5\x03B9\x03C2"}) {
        const HFONT font = FontWithGlyphsWide(system, caption);
        EXPECT_NE(system, font);
        const HGDIOBJ old = SelectObject(dc, font);
        WORD glyphs[16] = {};
        const int length = lstrlenW(caption);
        ASSERT_NE(GDI_ERROR, GetGlyphIndicesW(dc, caption, length, glyphs, GGI_MARK_NONEXISTING_GLYPHS));
        for (int i = 0; i < length; ++i) EXPECT_NE(0xFFFF, glyphs[i]) << "character " << i << " has no glyph";
        LOGFONTW chosen{};
        GetObjectW(font, sizeof chosen, &chosen);
        EXPECT_EQ(-13, chosen.lfHeight);
        EXPECT_EQ(FW_BOLD, chosen.lfWeight);
        SelectObject(dc, old);
    }
    DeleteDC(dc);
    DeleteObject(system);
}

// A site's icon is asked for and cached under its host's ASCII form, never the raw bytes.
TEST(SiteIconJob, HostsInAnyScriptUseTheirAsciiForm) {
    struct Case {
        const char* address;
        const char* cacheName;  // "" for no job
        const char* request;
    };
    const Case cases[] = {
        {"http://example.org/a", "example.org.ico", "http://example.org/a"},
        {"http://\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD1\x80\xD1\x84:8080/", "xn--e1afmkfd.xn--p1ai_8080.ico",
         "http://xn--e1afmkfd.xn--p1ai:8080/"},
        {"https://\xD0\x9F\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD1\x80\xD1\x84/x", "xn--e1afmkfd.xn--p1ai.ico",
         "https://xn--e1afmkfd.xn--p1ai/x"},
        {"http://caf\xE9.example/", "", ""},  // a legacy byte is no host
    };
    for (const Case& c : cases) {
        IconJob job;
        const bool found = IconJobFor(c.address, &job);
        EXPECT_EQ(c.cacheName[0] != '\0', found) << c.address;
        if (!found) continue;
        EXPECT_EQ(c.cacheName, job.cacheName) << c.address;
        EXPECT_EQ(c.request, job.address) << c.address;
    }
}
