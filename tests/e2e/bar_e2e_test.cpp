// The Button bar and start-up seen from outside: the real brisklet.exe started under the same
// Wine prefix, its windows, registry values and files inspected by this process.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/bar_messages.h"
#include "res/resource.h"
#include "store/button_table.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/recorder.h"

namespace {

using e2e::Process;

const ButtonTable& TableOf(const std::vector<unsigned char>& image) {
    return *reinterpret_cast<const ButtonTable*>(image.data());
}

// Writes a Button file with the given buttons into a scratch folder and returns its path.
std::string WriteButtonFile(const std::string& folder, const std::string& name,
                            const std::vector<std::pair<std::string, std::string>>& buttons) {
    const std::string path = e2e::ScratchFolder(folder) + "\\" + name;
    const auto image = e2e::MakeButtonFile(buttons);
    EXPECT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size()));
    return path;
}

RECT WindowRectOf(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

// The bar stands at `want`'s place and size, with one button per name, in order, each at its
// place in the client area (centred; gap + i * (height + gap) down) and with that name.
void ExpectBarAt(HWND bar, const e2e::BarPlace& want, const std::vector<std::string>& names) {
    const RECT rect = WindowRectOf(bar);
    EXPECT_EQ(want.x, rect.left);
    EXPECT_EQ(want.y, rect.top);
    EXPECT_EQ(want.width, rect.right - rect.left);
    EXPECT_EQ(want.height, rect.bottom - rect.top);

    RECT client{};
    GetClientRect(bar, &client);
    const auto buttons = e2e::BarButtons(bar);
    ASSERT_EQ(names.size(), buttons.size());
    for (size_t i = 0; i < buttons.size(); ++i) {
        const int index = static_cast<int>(i);
        const RECT& place = buttons[i].clientRect;
        EXPECT_EQ(IDC_BUTTON_FIRST + index, buttons[i].id);
        EXPECT_EQ(names[i], buttons[i].text);
        EXPECT_EQ((client.right - want.buttonWidth) / 2, place.left) << i;
        EXPECT_EQ(want.gap + index * (want.buttonHeight + want.gap), place.top) << i;
        EXPECT_EQ(want.buttonWidth, place.right - place.left) << i;
        EXPECT_EQ(want.buttonHeight, place.bottom - place.top) << i;
    }
}

// The bar stands where its rules put it for this table on this screen, with one button per
// record at its place and with the record's name.
void ExpectLaidOut(HWND bar, const ButtonTable& table, const std::vector<std::string>& names) {
    ExpectBarAt(bar, e2e::ExpectedBarPlace(e2e::ScreenMetricsNow(), table.buttonWidth, table.wide == 1, table.buttonCount),
                names);
}

// The rules against their worked examples: screen, menu and caption metrics, button width, wide
// flag and count in; the bar's place and size out.
TEST(BarLayoutRules, GiveTheWorkedExamples) {
    const struct { e2e::Metrics m; int width; bool wide; int count, x, y, barWidth, barHeight, dpi; } rows[] = {
        {{1024, 768, 19, 18}, 140, false, 3, 854, 588, 160, 132, 96},  // bottom edge at 720
        {{1024, 768, 19, 18}, 140, false, 0, 854, 669, 160, 51, 96},   // no buttons: the same bottom edge
        {{1024, 768, 19, 18}, 140, true, 3, 804, 588, 210, 132, 96},   // wide: 50 further left, 50 wider
        {{2048, 1536, 38, 36}, 140, false, 3, 1708, 1176, 320, 264, 192},
    };
    for (const auto& row : rows) {
        const e2e::BarPlace bar = e2e::ExpectedBarPlace(row.m, row.width, row.wide, row.count, row.dpi);
        EXPECT_EQ(row.x, bar.x);
        EXPECT_EQ(row.y, bar.y);
        EXPECT_EQ(row.barWidth, bar.width);
        EXPECT_EQ(row.barHeight, bar.height);
    }
}

std::string TempProbeFile() {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "dummy.htm";
}

// brisklet.exe opened as a data file, to read its resources.
class ProgramResources {
public:
    ProgramResources() : module_(LoadLibraryExA(e2e::BriskletExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ProgramResources() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    ProgramResources(const ProgramResources&) = delete;
    ProgramResources& operator=(const ProgramResources&) = delete;
    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

std::string MenuText(HMENU menu, UINT position) {
    char text[128] = "";
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST(BarResources, MenuAcceleratorsStringsVersionManifestIconsAndCursor) {
    ProgramResources program;
    HMODULE module = program.get();
    ASSERT_NE(nullptr, module);

    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(IDR_MAINMENU));
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(3, GetMenuItemCount(menu));
    EXPECT_EQ("&File", MenuText(menu, 0));
    EXPECT_EQ("&Hide", MenuText(menu, 1));
    EXPECT_EQ(static_cast<UINT>(IDM_HIDE), GetMenuItemID(menu, 1));
    EXPECT_EQ("&Help", MenuText(menu, 2));
    HMENU file = GetSubMenu(menu, 0);
    const std::vector<std::pair<std::string, UINT>> fileItems = {{"&Setup Buttons...", IDM_SETUP},
                                                                 {"Sta&y on top", IDM_STAY_ON_TOP},
                                                                 {"&Options...", IDM_OPTIONS},
                                                                 {"&Import Bookmarks...", IDM_IMPORT_BOOKMARKS},
                                                                 {"Ex&port Bookmarks...", IDM_EXPORT_BOOKMARKS},
                                                                 {"&Hide", IDM_HIDE},
                                                                 {"E&xit", IDM_EXIT}};
    ASSERT_EQ(static_cast<int>(fileItems.size()), GetMenuItemCount(file));
    for (size_t i = 0; i < fileItems.size(); ++i) {
        EXPECT_EQ(fileItems[i].first, MenuText(file, static_cast<UINT>(i)));
        EXPECT_EQ(fileItems[i].second, GetMenuItemID(file, static_cast<int>(i)));
        EXPECT_EQ(0u, GetMenuState(file, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED);
    }
    HMENU help = GetSubMenu(menu, 2);
    ASSERT_EQ(2, GetMenuItemCount(help));
    EXPECT_EQ("&Using Brisklet...", MenuText(help, 0));
    EXPECT_EQ(static_cast<UINT>(IDM_HELP), GetMenuItemID(help, 0));
    EXPECT_EQ("&About ...", MenuText(help, 1));
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), GetMenuItemID(help, 1));
    DestroyMenu(menu);

    HACCEL accelerators = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(nullptr, accelerators);
    ACCEL entries[8];
    ASSERT_EQ(2, CopyAcceleratorTableA(accelerators, entries, 8));
    for (int i = 0; i < 2; ++i) {
        const ACCEL& entry = entries[i];
        EXPECT_TRUE(entry.key == '?' || entry.key == '/');
        EXPECT_EQ(FALT, entry.fVirt & (FALT | FVIRTKEY | FSHIFT | FCONTROL));
        EXPECT_EQ(IDM_ABOUT, entry.cmd);
    }
    EXPECT_NE(entries[0].key, entries[1].key);

    char text[100] = "";
    ASSERT_GT(LoadStringA(module, IDS_APP_TITLE, text, sizeof text), 0);
    EXPECT_STREQ("Brisklet", text);
    ASSERT_GT(LoadStringA(module, IDS_WINDOW_CLASS, text, sizeof text), 0);
    EXPECT_STREQ("BRISKLET", text);

    HRSRC version = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16) /* RT_VERSION */);
    ASSERT_NE(nullptr, version);
    const BYTE* block = static_cast<const BYTE*>(LockResource(LoadResource(module, version)));
    const DWORD size = SizeofResource(module, version);
    const DWORD signature = 0xFEEF04BD;
    const BYTE* fixed = nullptr;
    for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
        if (std::memcmp(block + at, &signature, 4) == 0) {
            fixed = block + at;
            break;
        }
    }
    ASSERT_NE(nullptr, fixed);
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, fixed, sizeof info);
    EXPECT_EQ(MAKELONG(1, 5), info.dwFileVersionMS);
    EXPECT_EQ(0u, info.dwFileVersionLS);
    EXPECT_EQ(MAKELONG(1, 5), info.dwProductVersionMS);
    EXPECT_EQ(0u, info.dwProductVersionLS);

    HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
    ASSERT_NE(nullptr, manifest);
    const std::string xml(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                          SizeofResource(module, manifest));
    EXPECT_NE(std::string::npos, xml.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, xml.find("version=\"6.0.0.0\""));
    // Per-monitor DPI awareness, version 2 first, and the system-aware form for older Windows.
    EXPECT_NE(std::string::npos, xml.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2"));
    EXPECT_NE(std::string::npos, xml.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true"));

    for (int id : {IDI_TRAY_NORMAL, IDI_TRAY_PRESSED, IDI_APP, IDI_WEB}) {
        for (int edge : {16, 32}) {
            HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, edge, edge, 0));
            ASSERT_NE(nullptr, icon) << id << " at " << edge;
            ICONINFO iconInfo{};
            ASSERT_TRUE(GetIconInfo(icon, &iconInfo));
            BITMAP bitmap{};
            GetObjectA(iconInfo.hbmMask, sizeof bitmap, &bitmap);
            EXPECT_EQ(edge, bitmap.bmWidth) << id;
            if (iconInfo.hbmColor != nullptr) DeleteObject(iconInfo.hbmColor);
            DeleteObject(iconInfo.hbmMask);
            DestroyIcon(icon);
        }
        // Each size the platform asks for at 96 to 192 DPI is an image of its own, none stretched:
        // a bitmap up to 24 pixels, a PNG from 32 on.
        HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
        ASSERT_NE(nullptr, group) << id;
        auto* directory = static_cast<PBYTE>(LockResource(LoadResource(module, group)));
        for (int edge : {16, 20, 24, 32, 40, 48, 64}) {
            const int imageId = LookupIconIdFromDirectoryEx(directory, TRUE, edge, edge, LR_DEFAULTCOLOR);
            HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(imageId), RT_ICON);
            ASSERT_NE(nullptr, image) << id << " at " << edge;
            const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, image)));
            if (edge >= 32) {
                ASSERT_EQ(0, std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8)) << id << " at " << edge;
                EXPECT_EQ(edge, (bytes[16] << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19]) << id;
                continue;
            }
            BITMAPINFOHEADER header{};
            std::memcpy(&header, bytes, sizeof header);
            EXPECT_EQ(edge, header.biWidth) << id;
            EXPECT_EQ(2 * edge, header.biHeight) << id;  // the colours and the mask
        }
    }
    HCURSOR hand = static_cast<HCURSOR>(LoadImageA(module, MAKEINTRESOURCEA(IDC_HAND_CURSOR), IMAGE_CURSOR, 32, 32, 0));
    ASSERT_NE(nullptr, hand);
    ICONINFO cursorInfo{};
    ASSERT_TRUE(GetIconInfo(hand, &cursorInfo));
    EXPECT_FALSE(cursorInfo.fIcon);
    EXPECT_EQ(5u, cursorInfo.xHotspot);
    EXPECT_EQ(0u, cursorInfo.yHotspot);
    if (cursorInfo.hbmColor != nullptr) DeleteObject(cursorInfo.hbmColor);
    DeleteObject(cursorInfo.hbmMask);
    DestroyCursor(hand);
}

// The two tray pictures: grey raised face with blue "Go"; pressed, the edges swap.
TEST(BarResources, TrayIconsShowARaisedAndAPressedButton) {
    ProgramResources program;
    ASSERT_NE(nullptr, program.get());
    auto pixels = [&](int id) {
        HICON icon = static_cast<HICON>(LoadImageA(program.get(), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
        std::vector<COLORREF> out(256, 0);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECT all{0, 0, 16, 16};
        HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(dc, &all, magenta);
        DeleteObject(magenta);
        DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) out[y * 16 + x] = GetPixel(dc, x, y);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        DestroyIcon(icon);
        return out;
    };
    const auto normal = pixels(IDI_TRAY_NORMAL);
    const auto pressed = pixels(IDI_TRAY_PRESSED);
    auto at = [](const std::vector<COLORREF>& p, int x, int y) { return p[y * 16 + x]; };
    EXPECT_EQ(RGB(255, 255, 255), at(normal, 3, 1)) << "light top edge";
    EXPECT_EQ(RGB(128, 128, 128), at(normal, 14, 8)) << "dark right edge";
    EXPECT_EQ(RGB(128, 128, 128), at(pressed, 3, 1)) << "dark top edge when pressed";
    EXPECT_EQ(RGB(255, 255, 255), at(pressed, 14, 8)) << "light right edge when pressed";
    EXPECT_EQ(RGB(192, 192, 192), at(normal, 12, 3)) << "grey face";
    EXPECT_EQ(RGB(255, 0, 255), at(normal, 0, 0)) << "transparent corner";
    int blueNormal = 0;
    int blueShifted = 0;
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 15; ++x) {
            if (at(normal, x, y) == RGB(0, 0, 200)) {
                ++blueNormal;
                if (at(pressed, x + 1, y + 1) == RGB(0, 0, 200)) ++blueShifted;
            }
        }
    }
    EXPECT_GT(blueNormal, 15) << "a blue caption";
    EXPECT_EQ(blueNormal, blueShifted) << "pressed, the caption moves one pixel down and right";
}

TEST(BarStartup, PlainStartIsHiddenAndLaidOutForTheScreen) {
    e2e::ResetState();
    const std::string file =
        WriteButtonFile("plain", "three.bklt", {{"One", "http://one.example/"}, {"Two", "http://two.example/"},
                                                {"Three", "http://three.example/"}});
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", file));

    Process bar = e2e::StartBrisklet();
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "a plain start lives in the tray only";
    ExpectLaidOut(hwnd, TableOf(e2e::ReadFileBytes(file)), {"One", "Two", "Three"});
    // Caption, system menu and minimise box; no sizing border, no maximise box.
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
              style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_MAXIMIZEBOX));
    char className[32] = "";
    GetClassNameA(hwnd, className, sizeof className);
    EXPECT_STREQ("BRISKLET", className);
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

TEST(BarStartup, NothingRecordedMakesTheDefaultFileAndTheProbeFileIsGone) {
    e2e::ResetState();
    // A stale probe file from elsewhere is overwritten and removed as well.
    const std::string probe = TempProbeFile();
    ASSERT_TRUE(e2e::WriteFileBytes(probe, "x", 1));

    Process bar = e2e::StartBrisklet();
    EXPECT_FALSE(e2e::FileExists(probe)) << "dummy.htm is deleted after start-up";

    std::string recorded;
    ASSERT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_EQ(e2e::DefaultButtonFile(), recorded);
    const auto image = e2e::ReadFileBytes(e2e::DefaultButtonFile());
    ASSERT_EQ(kButtonTableSize, image.size());
    const ButtonTable& table = TableOf(image);
    EXPECT_EQ(1, table.buttonCount);
    EXPECT_STREQ("Brisklet", table.records[0].name);
    EXPECT_EQ(140, table.buttonWidth);
    // Made before the default font height is known: the font mapper's default height.
    EXPECT_EQ(0, table.globalFont.lfHeight);
    EXPECT_STREQ("System", table.globalFont.lfFaceName);

    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    ExpectLaidOut(hwnd, table, {"Brisklet"});
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

TEST(BarStartup, NothingRecordedKeepsAnExistingDefaultFile) {
    e2e::ResetState();
    CreateDirectoryA(e2e::ButtonFolder().c_str(), nullptr);
    const auto image = e2e::MakeButtonFile({{"Mine", "http://mine.example/"}, {"Also", "http://also.example/"}});
    ASSERT_TRUE(e2e::WriteFileBytes(e2e::DefaultButtonFile(), image.data(), image.size()));

    Process bar = e2e::StartBrisklet();
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    std::vector<std::string> names;
    for (const auto& button : e2e::BarButtons(hwnd)) names.push_back(button.text);
    EXPECT_EQ((std::vector<std::string>{"Mine", "Also"}), names);
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
    EXPECT_EQ(image, e2e::ReadFileBytes(e2e::DefaultButtonFile())) << "the user's default file was rewritten";
}

TEST(BarStartup, ButtonFileArgumentShowsTheBarAndASecondStartActivatesIt) {
    e2e::ResetState();
    const std::string file =
        WriteButtonFile("argument", "Work.Bklt", {{"Alpha", "http://alpha.example/"}, {"Beta", "http://beta.example/"}});

    Process bar = e2e::StartBrisklet("\"" + file + "\"");
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_TRUE(IsWindowVisible(hwnd)) << "a start with a Button file shows the bar";
    std::string recorded;
    ASSERT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_EQ(file, recorded) << "the argument is recorded in its own letter case";
    ExpectLaidOut(hwnd, TableOf(e2e::ReadFileBytes(file)), {"Alpha", "Beta"});
    EXPECT_FALSE(e2e::SaveScreenshot("bar").empty());

    // Hidden again, then a second start without argument shows the running bar and ends.
    PostMessageA(hwnd, WM_COMMAND, IDM_HIDE, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(hwnd); }));
    Process second = Process::Start(e2e::BriskletExe());
    ASSERT_TRUE(second.WaitForExit(15000));
    EXPECT_EQ(0u, second.exitCode());
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(hwnd, e2e::FindBar()) << "no second bar";
    EXPECT_TRUE(bar.running());

    // A path with blanks given without quotes is several arguments: activation as well.
    PostMessageA(hwnd, WM_COMMAND, IDM_HIDE, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(hwnd); }));
    Process third = Process::Start(e2e::BriskletExe(), "C:\\My Files\\x.bklt");
    ASSERT_TRUE(third.WaitForExit(15000));
    EXPECT_EQ(0u, third.exitCode());
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

TEST(BarStartup, SecondStartWithAnotherFileReloadsTheRunningBar) {
    e2e::ResetState();
    const std::string first = WriteButtonFile(
        "reload-a", "three.bklt", {{"A1", "http://a1.example/"}, {"A2", "http://a2.example/"}, {"A3", "http://a3.example/"}});
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", first));
    Process bar = e2e::StartBrisklet();
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_EQ(3u, e2e::BarButtons(hwnd).size());
    const RECT before = WindowRectOf(hwnd);
    const std::vector<unsigned char> firstBytes = e2e::ReadFileBytes(first);

    // The second file holds only the table's leading bytes up to its fifth record's end: the
    // running bar copies it beside it (it is not a Button file by its size), reads it over its
    // table, and its font step writes the whole table back.
    const std::string secondFolder = e2e::ScratchFolder("reload-b");
    const std::string second = secondFolder + "\\five.bklt";
    const auto full = e2e::MakeButtonFile({{"B1", "http://b1.example/"},
                                           {"B2", "http://b2.example/"},
                                           {"B3", "http://b3.example/"},
                                           {"B4", "http://b4.example/"},
                                           {"B5", "http://b5.example/"}});
    const size_t shortSize = offsetof(ButtonTable, records) + 5 * sizeof(ButtonRecord);
    ASSERT_TRUE(e2e::WriteFileBytes(second, full.data(), shortSize));

    Process other = Process::Start(e2e::BriskletExe(), "\"" + second + "\"");
    ASSERT_TRUE(other.WaitForExit(15000));
    EXPECT_EQ(0u, other.exitCode());
    std::string recorded;
    ASSERT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_EQ(second, recorded);
    EXPECT_EQ(e2e::KeptCopyMessage(second, shortSize, second + ".orig"), e2e::AnswerMessageBox("Brisklet", IDOK, 15000));
    const auto copy = e2e::ReadFileBytes(second + ".orig");
    EXPECT_TRUE(copy.size() == shortSize && std::memcmp(copy.data(), full.data(), shortSize) == 0);

    // The reload chain runs from the bar's queue.
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ReadFileBytes(second).size() == kButtonTableSize; }))
        << "the reloaded file was not saved back";
    e2e::Sync(hwnd);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    const auto saved = e2e::ReadFileBytes(second);
    ASSERT_EQ(kButtonTableSize, saved.size());
    EXPECT_EQ(0, std::memcmp(saved.data(), full.data(), shortSize));
    // Beyond the bytes read, the table kept what the first file gave it.
    EXPECT_EQ(0, std::memcmp(saved.data() + shortSize, firstBytes.data() + shortSize, kButtonTableSize - shortSize));

    // Five buttons, the three old ones gone, the bar grown upward with its bottom in place.
    ExpectLaidOut(hwnd, TableOf(saved), {"B1", "B2", "B3", "B4", "B5"});
    const RECT after = WindowRectOf(hwnd);
    EXPECT_EQ(before.bottom, after.bottom);
    EXPECT_EQ(before.top - 2 * 27, after.top);
    EXPECT_EQ(firstBytes, e2e::ReadFileBytes(first)) << "the first file is left alone";
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

TEST(BarStartup, ProbeFileThatCannotBeMadeLeavesNoBrowserProgram) {
    e2e::ResetState();
    ASSERT_TRUE(e2e::InstallRecorder());
    e2e::ClearLaunches();
    // A folder of that name: "dummy.htm" cannot be created, so no program is found for .htm
    // pages, and start-up goes on.
    const std::string probe = TempProbeFile();
    DeleteFileA(probe.c_str());
    ASSERT_TRUE(CreateDirectoryA(probe.c_str(), nullptr));
    auto image = e2e::MakeButtonFile({{"New window", "http://blocked.example/"}});
    reinterpret_cast<ButtonTable*>(image.data())->records[0].newWindow = 1;
    const std::string path = e2e::ScratchFolder("probe") + "\\probe.bklt";
    ASSERT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size()));
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", path));

    Process bar = e2e::StartBrisklet();
    RemoveDirectoryA(probe.c_str());
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_EQ(1u, e2e::BarButtons(hwnd).size());
    // The new-window launch has no program to start.
    PostMessageA(hwnd, WM_COMMAND, IDC_BUTTON_FIRST, 0);
    EXPECT_EQ("Error opening Web Browser or program.", e2e::AnswerMessageBox("Launch Error", IDOK));
    EXPECT_TRUE(e2e::SettledLaunches(hwnd).empty());
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

TEST(BarStartup, RefusedStarts) {
    // An argument with the extension not at its end.
    e2e::ResetState();
    {
        Process p = Process::Start(e2e::BriskletExe(), "list.bklt.doc");
        EXPECT_EQ("Invalid button file or bklt file extension missing.", e2e::AnswerMessageBox("Brisklet", IDOK));
        ASSERT_TRUE(p.WaitForExit(15000));
        EXPECT_EQ(0u, p.exitCode());
        EXPECT_EQ(nullptr, e2e::FindBar());
    }
    // No installation folder.
    e2e::DeleteInstalledPath();
    {
        Process p = Process::Start(e2e::BriskletExe());
        EXPECT_EQ("Installed path not found - Please re-install Brisklet",
                  e2e::AnswerMessageBox("Brisklet Not Installed Properly", IDOK));
        ASSERT_TRUE(p.WaitForExit(15000));
        EXPECT_EQ(0u, p.exitCode());
        EXPECT_EQ(nullptr, e2e::FindBar());
    }
    // An installation folder that leaves no room for "\brisklet.exe" and its quotes in 1,024
    // bytes counts as missing.
    ASSERT_TRUE(e2e::SetInstalledPath("C:\\" + std::string(1006, 'f')));
    {
        Process p = Process::Start(e2e::BriskletExe());
        EXPECT_EQ("Installed path not found - Please re-install Brisklet",
                  e2e::AnswerMessageBox("Brisklet Not Installed Properly", IDOK));
        ASSERT_TRUE(p.WaitForExit(15000));
        EXPECT_EQ(0u, p.exitCode());
    }
}

TEST(BarStartup, LongArgumentsNeverNameAButtonFile) {
    e2e::ResetState();
    // 5,000 characters ending in ".bklt": too long to be a Button file, so it is ignored and
    // the program starts as without argument.
    Process bar = e2e::StartBrisklet(std::string(4995, 'x') + ".bklt");
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    std::string recorded;
    ASSERT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_EQ(e2e::DefaultButtonFile(), recorded);
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

TEST(BarWindow, CloseAsksWithTwoCaptionsAndExitRemovesNothing) {
    e2e::ResetState();
    Process bar = e2e::StartBrisklet();
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    const auto fileBefore = e2e::ReadFileBytes(e2e::DefaultButtonFile());
    ASSERT_EQ(kButtonTableSize, fileBefore.size());

    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ("Close Brisklet?", e2e::AnswerMessageBox("Exit Brisklet", IDNO));
    e2e::Sync(hwnd);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(bar.running());
    EXPECT_EQ(1u, e2e::BarButtons(hwnd).size());

    PostMessageA(hwnd, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ("Close Brisklet?", e2e::AnswerMessageBox("Brisklet", IDNO));
    e2e::Sync(hwnd);
    EXPECT_TRUE(bar.running());

    PostMessageA(hwnd, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ("Close Brisklet?", e2e::AnswerMessageBox("Brisklet", IDYES));
    ASSERT_TRUE(bar.WaitForExit(15000));
    EXPECT_EQ(0u, bar.exitCode());
    EXPECT_EQ(fileBefore, e2e::ReadFileBytes(e2e::DefaultButtonFile()));
    std::string recorded;
    EXPECT_TRUE(e2e::ReadUserString("CurrentButtonFileName", &recorded));
    EXPECT_FALSE(e2e::FindBar());

    // The caption's close box, answered Yes, ends the program the same way.
    Process again = e2e::StartBrisklet();
    hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ("Close Brisklet?", e2e::AnswerMessageBox("Exit Brisklet", IDYES));
    ASSERT_TRUE(again.WaitForExit(15000));
    EXPECT_EQ(0u, again.exitCode());
    EXPECT_TRUE(e2e::FileExists(e2e::DefaultButtonFile()));
}

// The check mark of "Sta&y on top" as another process sees it; -1 when the menu cannot be read
// from outside.
int StayOnTopChecked(HWND bar) {
    HMENU menu = GetMenu(bar);
    if (menu == nullptr) return -1;
    const UINT state = GetMenuState(menu, IDM_STAY_ON_TOP, MF_BYCOMMAND);
    if (state == static_cast<UINT>(-1)) return -1;
    return (state & MF_CHECKED) != 0 ? 1 : 0;
}

bool IsTopmost(HWND hwnd) { return (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

TEST(BarWindow, StayOnTopAndMinimisingHidesAndClearsIt) {
    e2e::ResetState();
    const std::string file = WriteButtonFile("ontop", "one.bklt", {{"One", "http://one.example/"}});
    Process bar = e2e::StartBrisklet("\"" + file + "\"");
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(IsWindowVisible(hwnd));
    const int checkedAtStart = StayOnTopChecked(hwnd);
    EXPECT_FALSE(IsTopmost(hwnd));

    PostMessageA(hwnd, WM_COMMAND, IDM_STAY_ON_TOP, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return IsTopmost(hwnd); }));
    if (checkedAtStart >= 0) {
        EXPECT_EQ(0, checkedAtStart);
        EXPECT_EQ(1, StayOnTopChecked(hwnd));
    }

    PostMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(hwnd); })) << "minimising hides the bar";
    e2e::Sync(hwnd);
    EXPECT_FALSE(IsTopmost(hwnd)) << "the bar leaves the topmost band with the flag";
    if (checkedAtStart >= 0) EXPECT_EQ(0, StayOnTopChecked(hwnd));

    // Shown again it is an ordinary window; the next toggle puts it on top again.
    PostMessageA(hwnd, WM_BAR_ACTIVATE, 0, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(hwnd) != FALSE; }));
    EXPECT_FALSE(IsIconic(hwnd));
    PostMessageA(hwnd, WM_COMMAND, IDM_STAY_ON_TOP, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return IsTopmost(hwnd); }));
    PostMessageA(hwnd, WM_COMMAND, IDM_STAY_ON_TOP, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsTopmost(hwnd); }));
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
    if (checkedAtStart < 0) GTEST_SKIP() << "the bar's menu cannot be read from another process here: check marks not seen";
}

void MouseButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// A real right click in the middle of a bar button opens the Setup dialog, which is cancelled.
void ExpectRightClickOpensSetup(HWND button) {
    RECT rect;
    GetWindowRect(button, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    HWND setup = e2e::WaitForDialog("Brisklet Setup");
    ASSERT_NE(nullptr, setup) << "a right click on a button did not open the Setup dialog";
    e2e::PressButton(setup, IDCANCEL);
    ASSERT_TRUE(e2e::WaitForWindowGone(setup));
}

TEST(BarWindow, DestroyButtonsThenRelayoutAndWideButtons) {
    e2e::ResetState();
    const std::string path = e2e::ScratchFolder("wide") + "\\wide.bklt";
    const auto image = e2e::MakeButtonFile({{"W1", "http://w1.example/"}, {"W2", "http://w2.example/"}}, 140, true);
    ASSERT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size()));
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", path));
    Process bar = e2e::StartBrisklet();
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    ExpectLaidOut(hwnd, TableOf(image), {"W1", "W2"});
    ASSERT_EQ(190, e2e::BarButtons(hwnd)[0].clientRect.right - e2e::BarButtons(hwnd)[0].clientRect.left);

    // Command 32772 leaves an empty bar until the next rebuild.
    PostMessageA(hwnd, WM_COMMAND, IDM_DESTROY_BUTTONS, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::BarButtons(hwnd).empty(); }));
    PostMessageA(hwnd, WM_BAR_RELAYOUT, 0, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::BarButtons(hwnd).size() == 2; }));
    e2e::Sync(hwnd);
    ExpectLaidOut(hwnd, TableOf(image), {"W1", "W2"});

    // The right button pressed on a wide button of the shown bar opens the Setup dialog too.
    PostMessageA(hwnd, WM_BAR_ACTIVATE, 0, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(hwnd) != FALSE; }));
    e2e::Sync(hwnd);
    const auto buttons = e2e::BarButtons(hwnd);
    ASSERT_EQ(2u, buttons.size());
    ExpectRightClickOpensSetup(buttons[1].hwnd);
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

TEST(BarWindow, RightClickOnAButtonOpensSetup) {
    e2e::ResetState();
    const std::string file = WriteButtonFile("keys", "two.bklt", {{"K1", "http://k1.example/"}, {"K2", "http://k2.example/"}});
    Process bar = e2e::StartBrisklet("\"" + file + "\"");
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    const auto buttons = e2e::BarButtons(hwnd);
    ASSERT_EQ(2u, buttons.size());

    ExpectRightClickOpensSetup(buttons[0].hwnd);
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

HWND FocusOfThreadOf(HWND hwnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

TEST(BarWindow, AltQuestionMarkWorksWhileAButtonHasTheFocus) {
    // The button takes the focus from a real mouse click.
    e2e::ResetState();
    ASSERT_TRUE(e2e::InstallRecorder());
    e2e::ClearLaunches();
    // Slot 1 holds an address but is not a button (count 1).
    auto image = e2e::MakeButtonFile({{"Go", "http://focus.example/"}, {"Ghost", "http://ghost.example/"}});
    reinterpret_cast<ButtonTable*>(image.data())->buttonCount = 1;
    const std::string file = e2e::ScratchFolder("focus") + "\\one.bklt";
    ASSERT_TRUE(e2e::WriteFileBytes(file, image.data(), image.size()));
    Process bar = e2e::StartBrisklet("\"" + file + "\"");
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    // On top, so that the launch leaves the bar where it is, with the focus on the clicked button.
    PostMessageA(hwnd, WM_COMMAND, IDM_STAY_ON_TOP, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsTopmost(hwnd); }));
    const auto buttons = e2e::BarButtons(hwnd);
    ASSERT_EQ(1u, buttons.size());
    // A command for a slot without a button launches nothing.
    PostMessageA(hwnd, WM_COMMAND, IDC_BUTTON_FIRST + 1, 0);
    RECT rect;
    GetWindowRect(buttons[0].hwnd, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseButton(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(e2e::WaitForLaunch("focus.example"));
    ASSERT_TRUE(e2e::WaitUntil([&] { return FocusOfThreadOf(hwnd) == buttons[0].hwnd; }, 5000))
        << "the clicked button did not take the focus";
    ASSERT_TRUE(IsWindowVisible(hwnd));
    ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == hwnd; }, 5000));

    ASSERT_TRUE(e2e::PressAltWith('?'));
    HWND about = e2e::WaitForDialog("About Brisklet");
    ASSERT_NE(nullptr, about) << "Alt+? with the focus on a button did not open the About box";
    e2e::PressButton(about, IDOK);
    ASSERT_TRUE(e2e::WaitForWindowGone(about));
    const auto launches = e2e::ReadLaunches();
    ASSERT_EQ(1u, launches.size());
    EXPECT_NE(std::string::npos, launches[0].commandLine.find("focus.example"));
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

// Every child window of the bar, buttons or not.
int ChildCount(HWND bar) {
    int count = 0;
    EnumChildWindows(
        bar, [](HWND, LPARAM param) -> BOOL { ++*reinterpret_cast<int*>(param); return TRUE; },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// Reloads through WM_BAR_RELOADFILE as a second start does, and waits for the chain to show
// the given names.
void ReloadInto(HWND bar, const std::string& path, const std::vector<std::string>& names) {
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", path));
    DWORD_PTR result;
    ASSERT_NE(0, SendMessageTimeoutA(bar, WM_BAR_RELOADFILE, 0, 0, SMTO_NORMAL, 10000, &result));
    ASSERT_TRUE(e2e::WaitUntil([&] {
        std::vector<std::string> shown;
        for (const auto& button : e2e::BarButtons(bar)) shown.push_back(button.text);
        return shown == names && IsWindowVisible(bar) != FALSE;
    })) << path;
    e2e::Sync(bar);
}

std::vector<HWND> ButtonHandles(HWND bar) {
    std::vector<HWND> handles;
    for (const auto& button : e2e::BarButtons(bar)) handles.push_back(button.hwnd);
    return handles;
}

// A rebuild keeps the button windows it has: fewer buttons keep the first ones and destroy the
// rest, more keep them all and add the difference, a rename or an own font given to one record
// and taken from another keeps every window. Each step is laid out and saved as before.
TEST(BarWindow, RebuildsKeepTheButtonWindowsThroughFewerMoreRenamedAndRefonted) {
    e2e::ResetState();
    const std::string folder = e2e::ScratchFolder("reuse");
    auto named = [](const char* prefix, int count) {
        std::vector<std::pair<std::string, std::string>> buttons;
        for (int i = 1; i <= count; ++i)
            buttons.push_back({prefix + std::to_string(i), "http://" + std::string(prefix) + std::to_string(i) + ".example/"});
        return buttons;
    };
    auto names = [](const std::vector<std::pair<std::string, std::string>>& buttons) {
        std::vector<std::string> result;
        for (const auto& button : buttons) result.push_back(button.first);
        return result;
    };
    const auto five = named("A", 5), three = named("B", 3), fiveMore = named("C", 5);
    auto renamed = fiveMore;
    renamed[2].first = "Renamed";
    // Record `ownFont` of a table, when not negative, has a font of its own.
    auto write = [&](const char* name, const std::vector<std::pair<std::string, std::string>>& buttons,
                     int ownFont = -1) {
        auto image = e2e::MakeButtonFile(buttons);
        if (ownFont >= 0) {
            ButtonRecord& record = reinterpret_cast<ButtonTable*>(image.data())->records[ownFont];
            record.hasOwnFont = 1;
            record.ownFont.lfHeight = -16;
            std::memcpy(record.ownFont.lfFaceName, "Tahoma", 7);
        }
        const std::string path = folder + "\\" + name;
        EXPECT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size()));
        return std::make_pair(path, image);
    };
    const std::string fivePath = write("five.bklt", five).first;
    const std::string threePath = write("three.bklt", three).first;
    const std::string morePath = write("more.bklt", fiveMore).first;
    const std::string renamedPath = write("renamed.bklt", renamed).first;
    const auto fontOn3 = write("font3.bklt", renamed, 3);  // then record 1's instead of record 3's
    const auto fontOn1 = write("font1.bklt", renamed, 1);

    Process bar = e2e::StartBrisklet("\"" + fivePath + "\"");
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    ExpectLaidOut(hwnd, TableOf(e2e::ReadFileBytes(fivePath)), names(five));
    const std::vector<HWND> first = ButtonHandles(hwnd);
    ASSERT_EQ(5u, first.size());

    ReloadInto(hwnd, threePath, names(three));
    ExpectLaidOut(hwnd, TableOf(e2e::ReadFileBytes(threePath)), names(three));
    EXPECT_EQ(std::vector<HWND>(first.begin(), first.begin() + 3), ButtonHandles(hwnd));
    EXPECT_FALSE(IsWindow(first[3]));
    EXPECT_FALSE(IsWindow(first[4]));
    EXPECT_EQ(3, ChildCount(hwnd));

    ReloadInto(hwnd, morePath, names(fiveMore));
    ExpectLaidOut(hwnd, TableOf(e2e::ReadFileBytes(morePath)), names(fiveMore));
    const std::vector<HWND> grown = ButtonHandles(hwnd);
    ASSERT_EQ(5u, grown.size());
    EXPECT_EQ(std::vector<HWND>(first.begin(), first.begin() + 3), std::vector<HWND>(grown.begin(), grown.begin() + 3));
    EXPECT_EQ(5, ChildCount(hwnd));

    ReloadInto(hwnd, renamedPath, names(renamed));
    ExpectLaidOut(hwnd, TableOf(e2e::ReadFileBytes(renamedPath)), names(renamed));
    EXPECT_EQ(grown, ButtonHandles(hwnd)) << "a rename keeps every window";

    for (const auto* step : {&fontOn3, &fontOn1}) {
        ReloadInto(hwnd, step->first, names(renamed));
        ExpectLaidOut(hwnd, TableOf(step->second), names(renamed));
        EXPECT_EQ(grown, ButtonHandles(hwnd)) << "an own font given or taken keeps every window";
        EXPECT_EQ(step->second, e2e::ReadFileBytes(step->first)) << "the font step saved the table as read";
    }
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

TEST(BarWindow, TwoHundredRebuildsLeakNoObjects) {
    e2e::ResetState();
    auto image = e2e::MakeButtonFile({{"F1", "http://f1.example/"},
                                      {"F2", "http://f2.example/"},
                                      {"F3", "http://f3.example/"},
                                      {"F4", "http://f4.example/"}});
    ButtonTable& table = *reinterpret_cast<ButtonTable*>(image.data());
    for (int i = 0; i < 3; ++i) {
        table.records[i].hasOwnFont = 1;
        table.records[i].ownFont.lfHeight = -12 - 2 * i;
        std::memcpy(table.records[i].ownFont.lfFaceName, "Tahoma", 7);
    }
    const std::string path = e2e::ScratchFolder("rebuild") + "\\fonts.bklt";
    ASSERT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size()));
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", path));
    Process bar = e2e::StartBrisklet();
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_EQ(4, ChildCount(hwnd));

    // Shown and hidden once before counting: the first painting makes what it keeps.
    PostMessageA(hwnd, WM_BAR_ACTIVATE, 0, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(hwnd) != FALSE; }));
    e2e::Sync(hwnd);
    PostMessageA(hwnd, WM_COMMAND, IDM_HIDE, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(hwnd); }));
    e2e::Sync(hwnd);
    const int gdiBefore = e2e::GdiObjects(bar.handle());
    const DWORD userBefore = GetGuiResources(bar.handle(), GR_USEROBJECTS);
    for (int round = 0; round < 200; ++round) {
        // Every other round as the Setup dialog does it (buttons destroyed first), the others
        // a bare relayout over the standing buttons.
        if (round % 2 == 0) PostMessageA(hwnd, WM_BAR_DESTROYBUTTONS, 0, 0);
        PostMessageA(hwnd, WM_BAR_RELAYOUT, 0, 0);
    }
    // Posted messages are handled in order: once the bar shows, every rebuild before it ran.
    ASSERT_FALSE(IsWindowVisible(hwnd));
    PostMessageA(hwnd, WM_BAR_ACTIVATE, 0, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(hwnd) != FALSE; }));
    e2e::Sync(hwnd);
    EXPECT_EQ(4, ChildCount(hwnd)) << "rebuilds never stack a second set of buttons";
    ExpectLaidOut(hwnd, table, {"F1", "F2", "F3", "F4"});
    EXPECT_EQ(image.size(), e2e::ReadFileBytes(path).size());

    const int gdiAfter = e2e::GdiObjects(bar.handle());
    const DWORD userAfter = GetGuiResources(bar.handle(), GR_USEROBJECTS);
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
    if (gdiBefore < 0) GTEST_SKIP() << "the program's GDI objects cannot be counted from here";
    EXPECT_LE(gdiAfter, gdiBefore + 2) << "GDI objects grew over 200 rebuilds";
    // (Wine keeps no USER counts and answers 0: its windows are the four counted above.)
    EXPECT_LE(userAfter, userBefore + 2) << "USER objects grew over 200 rebuilds";
}

// ---- The bar from the keyboard ----

const std::vector<WORD> kAltShiftB = {VK_MENU, VK_SHIFT, 'B'};

// The focused button's index, -1 when the focus is on no button of the bar.
int FocusedButton(HWND bar) {
    HWND focus = FocusOfThreadOf(bar);
    const auto buttons = e2e::BarButtons(bar);
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i].hwnd == focus) return static_cast<int>(i);
    }
    return -1;
}

bool InMenuMode(HWND hwnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) && (info.flags & GUI_INMENUMODE) != 0;
}

bool BarActive(HWND bar) { return IsWindowVisible(bar) && GetForegroundWindow() == bar; }

// One key pressed and let go, then the focus awaited on button `index`.
::testing::AssertionResult KeyMovesFocusTo(HWND bar, WORD vk, int index) {
    e2e::PressKeys({vk});
    if (e2e::WaitUntil([&] { return FocusedButton(bar) == index; }, 5000)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "key " << vk << ": focus on " << FocusedButton(bar) << ", not " << index;
}

TEST(BarKeyboard, DefaultHotKeyShowsAndHidesAndKeysMoveJumpOpenAndHide) {
    e2e::ResetState();
    ASSERT_TRUE(e2e::InstallRecorder());
    e2e::ClearLaunches();
    const std::string file = WriteButtonFile(
        "keys", "keys.bklt",
        {{"Alpha", "http://alpha.example/"}, {"beta", "http://beta.example/"}, {"Gamma", "http://gamma.example/"}});
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", file));
    Process bar = e2e::StartBrisklet();
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_FALSE(IsWindowVisible(hwnd));

    // Alt+Shift+B with nothing stored: the bar comes up active, the focus on the top button,
    // clearly marked as the default button.
    e2e::PressKeys(kAltShiftB);
    ASSERT_TRUE(e2e::WaitUntil([&] { return BarActive(hwnd); }, 5000)) << "the default hotkey did not show the bar: shown " << (IsWindowVisible(hwnd) != FALSE) << ", in front "
        << e2e::ForegroundWindowText();
    ASSERT_TRUE(e2e::WaitUntil([&] { return FocusedButton(hwnd) == 0; }, 5000)) << "the top button has no focus";
    EXPECT_FALSE(InMenuMode(hwnd)) << "letting Alt go after the hotkey opened the menu";
    const auto buttons = e2e::BarButtons(hwnd);
    ASSERT_EQ(3u, buttons.size());
    EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongA(buttons[0].hwnd, GWL_STYLE) & BS_TYPEMASK);
    // Pressed again while the bar is active, it hides the bar (Shift first this time: the Alt
    // let go on its own after the hotkey must not open the bar's menu).
    e2e::PressKeys({VK_SHIFT, VK_MENU, 'B'});
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(hwnd); }, 5000)) << "the hotkey did not hide the bar";
    EXPECT_FALSE(InMenuMode(hwnd)) << "letting Alt go after the hotkey opened the menu";

    e2e::PressKeys(kAltShiftB);
    ASSERT_TRUE(e2e::WaitUntil([&] { return BarActive(hwnd) && FocusedButton(hwnd) == 0; }, 5000))
        << "shown " << (IsWindowVisible(hwnd) != FALSE) << ", in front " << e2e::ForegroundWindowText()
        << ", focus on button " << FocusedButton(hwnd);
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_DOWN, 1));
    EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongA(buttons[1].hwnd, GWL_STYLE) & BS_TYPEMASK) << "the mark follows";
    EXPECT_EQ(BS_PUSHBUTTON, GetWindowLongA(buttons[0].hwnd, GWL_STYLE) & BS_TYPEMASK);
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_DOWN, 2));
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_DOWN, 0)) << "Down wraps to the top";
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_UP, 2)) << "Up wraps to the bottom";
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_TAB, 0));
    e2e::PressKeys({VK_SHIFT, VK_TAB});
    EXPECT_TRUE(e2e::WaitUntil([&] { return FocusedButton(hwnd) == 2; }, 5000)) << "Shift+Tab goes back";
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_HOME, 0));
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_END, 2));
    // A letter puts the focus on the first name starting with it, whatever its case; Esc takes
    // the typed letter back.
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, 'B', 1)) << "a letter jumps, whatever its case";
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_ESCAPE, 0));
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, 'G', 2));
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_ESCAPE, 0));
    // The focus is on "Alpha" already: the typed text shows in the filter field.
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, 'A', 0));
    EXPECT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(GetDlgItem(hwnd, IDC_FILTER_FIELD)) != FALSE; }, 5000))
        << "no filter field for the typed letter";
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_ESCAPE, 0));
    // A bar rebuilding its buttons holds its drawing, which reads as hidden for a moment; a bar
    // that Esc hid stays hidden.
    EXPECT_TRUE(e2e::WaitUntil(
        [&] { return IsWindowVisible(hwnd) != FALSE && IsWindowVisible(GetDlgItem(hwnd, IDC_FILTER_FIELD)) == FALSE; },
        5000))
        << "the first Esc only clears the text: bar shown " << (IsWindowVisible(hwnd) != FALSE);
    EXPECT_TRUE(KeyMovesFocusTo(hwnd, VK_DOWN, 1));

    // Enter opens the focused button as a click does and hides the bar.
    e2e::PressKeys({VK_RETURN});
    e2e::Launch launch;
    ASSERT_TRUE(e2e::WaitForLaunch("beta.example", &launch)) << "Enter did not open the focused button";
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(hwnd); }, 5000)) << "the bar did not hide after the launch";
    EXPECT_EQ(1u, e2e::ReadLaunches().size());

    // Esc hides the bar; the hotkey shows it again with the focus back on the top button.
    e2e::PressKeys(kAltShiftB);
    ASSERT_TRUE(e2e::WaitUntil([&] { return BarActive(hwnd) && FocusedButton(hwnd) == 0; }, 5000))
        << "shown " << (IsWindowVisible(hwnd) != FALSE) << ", in front " << e2e::ForegroundWindowText()
        << ", focus on button " << FocusedButton(hwnd);
    e2e::PressKeys({VK_ESCAPE});
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(hwnd); }, 5000)) << "Esc did not hide the bar";
    EXPECT_EQ(1u, e2e::ReadLaunches().size()) << "nothing else was opened";
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

// ---- Display scale ----

// Rows of dark ink in a bitmap selected into `dc`, from the first dark row to the last (0 when
// none).
int InkRows(HDC dc, int width, int height) {
    int first = -1, last = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 96) {
                if (first < 0) first = y;
                last = y;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

// The ink height in a screen rectangle, or of `text` drawn here in Tahoma of the given height
// and weight when `text` is not null.
int InkHeight(const RECT& rect, const char* text = nullptr, int lfHeight = 0, int weight = 0) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    if (text == nullptr) {
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    } else {
        RECT all{0, 0, width, height};
        FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        HFONT font = CreateFontA(lfHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Tahoma");
        HGDIOBJ oldFont = SelectObject(memory, font);
        SetTextColor(memory, RGB(0, 0, 0));
        SetBkMode(memory, TRANSPARENT);
        DrawTextA(memory, text, -1, &all, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        SelectObject(memory, oldFont);
        DeleteObject(font);
    }
    const int ink = InkRows(memory, width, height);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ink;
}

// At 144 and 192 DPI the bar, every button and the fonts are scaled: the bar's rectangle and
// each button's equal the layout worked out here, the buttons' labels are as tall as their fonts
// at the scaled heights (a record's own font and the bar font, both stored at 96-DPI heights),
// the Button file keeps those heights, and the tray icon is there. 96 DPI is back afterwards.
TEST(BarDisplayScale, BarButtonsAndFontsFollowTheDpi) {
    for (const int dpi : {144, 192}) {
        SCOPED_TRACE(dpi);
        e2e::ResetState();
        auto image = e2e::MakeButtonFile({{"HI", "http://own.example/"}, {"HB", "http://bar.example/"}}, 141, true);
        ButtonTable& table = *reinterpret_cast<ButtonTable*>(image.data());
        table.globalFont.lfHeight = -13;
        table.globalFont.lfWeight = 400;
        CopyTextToField(table.globalFont.lfFaceName, sizeof table.globalFont.lfFaceName, "Tahoma");
        table.records[0].hasOwnFont = 1;
        table.records[0].ownFont = table.globalFont;
        table.records[0].ownFont.lfHeight = -16;
        table.records[0].ownFont.lfWeight = 700;
        const std::string path = e2e::ScratchFolder("dpi") + "\\scaled.bklt";
        ASSERT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size()));

        // The labels' ink is measured below: no site icon beside them.
        ASSERT_TRUE(e2e::WriteUserDword("ShowSiteIcons", 0));
        e2e::ScopedDpi scale(dpi);
        ASSERT_TRUE(scale.ok());
        Process bar = e2e::StartBrisklet("\"" + path + "\"");
        HWND hwnd = e2e::FindBar();
        ASSERT_NE(nullptr, hwnd);
        ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(hwnd) != FALSE; }));
        e2e::Sync(hwnd);
        EXPECT_TRUE(e2e::TrayIconPresent(hwnd));

        ExpectBarAt(hwnd, e2e::ExpectedBarPlace(e2e::ScreenMetricsAt(dpi), 141, true, 2, dpi), {"HI", "HB"});
        const auto buttons = e2e::BarButtons(hwnd);
        ASSERT_EQ(2u, buttons.size());

        // The labels, as drawn on the screen, against the same text drawn here at the scaled
        // heights; the 96-DPI heights would be visibly shorter.
        SetForegroundWindow(hwnd);
        ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == hwnd; }, 5000));
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        e2e::Sync(hwnd);
        if (dpi == 192) e2e::SaveScreenshot("bar-192dpi");
        const int inset = MulDiv(4, dpi, 96);
        const struct { int index, height, weight; } labels[] = {{0, -16, 700}, {1, -13, 400}};
        for (const auto& label : labels) {
            RECT inside = WindowRectOf(buttons[label.index].hwnd);
            InflateRect(&inside, -inset, -inset);
            const char* text = buttons[label.index].text.c_str();
            const RECT page{0, 0, 400, 100};
            const int scaled = InkHeight(page, text, MulDiv(label.height, dpi, 96), label.weight);
            const int unscaled = InkHeight(page, text, label.height, label.weight);
            ASSERT_GT(scaled, unscaled + 2) << "the reference heights do not tell the DPIs apart";
            EXPECT_NEAR(scaled, InkHeight(inside), 1) << "label of button " << label.index;
        }
        EXPECT_TRUE(e2e::CloseBrisklet(bar));
        // What was read at 96-DPI heights is written back at them.
        const auto saved = e2e::ReadButtonTable(path);
        EXPECT_EQ(-13, saved->globalFont.lfHeight);
        EXPECT_EQ(-16, saved->records[0].ownFont.lfHeight);

        // A recorded Button file that is missing is made with the default font: 10 points at
        // 96 DPI, whatever the display's.
        e2e::ResetState();
        const std::string missing = e2e::ScratchFolder("dpi-new") + "\\new.bklt";
        ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", missing));
        Process fresh = e2e::StartBrisklet();
        ASSERT_NE(nullptr, e2e::FindBar());
        EXPECT_TRUE(e2e::CloseBrisklet(fresh));
        EXPECT_EQ(-13, e2e::ReadButtonTable(missing)->globalFont.lfHeight);
    }
    // The DPI is back: a program started now is laid out at 96.
    e2e::ResetState();
    const std::string path = WriteButtonFile("dpi-back", "back.bklt", {{"One", "http://one.example/"}});
    Process bar = e2e::StartBrisklet("\"" + path + "\"");
    HWND hwnd = e2e::FindBar();
    ASSERT_NE(nullptr, hwnd);
    ExpectLaidOut(hwnd, TableOf(e2e::ReadFileBytes(path)), {"One"});
    EXPECT_TRUE(e2e::CloseBrisklet(bar));
}

}  // namespace
