// The tray and launch rules driven through a recording platform: every call the Win32 layer
// would make is written down in order, so the tests see exactly what the user would see.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/tray_logic.h"

namespace {

using Calls = std::vector<std::string>;

class RecordingTray : public TrayPlatform {
public:
    Calls calls;
    intptr_t shellResult = 42;
    int timersRunning = 0;
    int maxTimersRunning = 0;

    void SetTrayPicture(TrayPicture picture) override {
        calls.push_back(picture == TrayPicture::Normal ? "picture normal" : "picture alternate");
    }
    void ShowBar(int showCommand) override { calls.push_back("show " + std::to_string(showCommand)); }
    void UpdateBar() override { calls.push_back("update"); }
    void ActivateBar() override { calls.push_back("activate"); }
    void BringBarToFront() override { calls.push_back("foreground"); }
    intptr_t ShellOpen(const char* file, const char* parameters) override {
        calls.push_back(std::string("open [") + file + "]" +
                        (parameters ? std::string(" with [") + parameters + "]" : std::string()));
        return shellResult;
    }
    void ShowBarMessage(const char* text, const char* caption) override {
        calls.push_back(std::string("message [") + text + "] [" + caption + "]");
    }
    void StartCountdownTimer() override {
        calls.push_back("set timer");
        ++timersRunning;
        if (timersRunning > maxTimersRunning) maxTimersRunning = timersRunning;
    }
    void StopCountdownTimer() override {
        calls.push_back("kill timer");
        --timersRunning;
    }

    Calls Take() {
        Calls taken;
        taken.swap(calls);
        return taken;
    }
};

const Calls kPopUp = {"picture normal", "show 9", "update", "foreground"};
const Calls kHoverOnly = {"picture normal"};
const Calls kLeftDown = {"picture alternate", "show 1", "update", "activate", "foreground"};

class TrayTest : public ::testing::Test {
protected:
    TrayState state;
    RecordingTray tray;
    TrayContext context{1, 0, "http://favourite.example/"};

    Calls Mouse(unsigned message) {
        HandleTrayMouse(state, tray, message, context);
        return tray.Take();
    }
    Calls Tick() {
        HandleCountdownTick(state, tray);
        return tray.Take();
    }
};

TEST_F(TrayTest, HoverPopsTheBarUpOnlyWhenInstantPopupIsExactlyOne) {
    EXPECT_EQ(Mouse(kTrayMouseMove), kPopUp);
    EXPECT_EQ(Mouse(kTrayMouseMove), kPopUp) << "every move shows and raises the bar again";
    for (int32_t flag : {0, 2, -1}) {
        context.instantPopup = flag;
        EXPECT_EQ(Mouse(kTrayMouseMove), kHoverOnly) << "instant popup " << flag;
    }
}

TEST_F(TrayTest, LeftButtonShowsTheBarWithThePressedPictureUntilMoveOrRelease) {
    context.instantPopup = 0;
    EXPECT_EQ(Mouse(kTrayLeftDown), kLeftDown);
    EXPECT_EQ(Mouse(kTrayLeftUp), (Calls{"picture normal", "foreground"}));
    EXPECT_EQ(Mouse(kTrayLeftDown), kLeftDown);
    EXPECT_EQ(Mouse(kTrayMouseMove), kHoverOnly) << "a move brings the normal picture back";
}

TEST_F(TrayTest, OtherMouseMessagesDoNothing) {
    for (unsigned message : {0x0205u /* right up */, 0x0203u /* left double */, 0x0206u /* right double */,
                             0x0207u /* middle down */, 0x0208u, 0u, 0xFFFFu}) {
        EXPECT_TRUE(Mouse(message).empty()) << "message " << message;
    }
    EXPECT_EQ(state.popupCountdown, 0);
}

TEST_F(TrayTest, RightClickOpensTheFavouriteHidesAndStartsOneCountdown) {
    EXPECT_EQ(Mouse(kTrayRightDown),
              (Calls{"open [http://favourite.example/]", "show 0", "set timer"}));
    EXPECT_EQ(state.popupCountdown, 5);
    EXPECT_EQ(state.countdownRunning, 1);
}

TEST_F(TrayTest, FailedFavouriteLaunchIsSilentAndStillHides) {
    tray.shellResult = 2;
    context.favouriteUrl = "";
    EXPECT_EQ(Mouse(kTrayRightDown), (Calls{"open []", "show 0", "set timer"}));
    EXPECT_EQ(state.popupCountdown, 5);
}

TEST_F(TrayTest, HoverWithinFiveTicksOfARightClickKeepsTheBarHidden) {
    Mouse(kTrayRightDown);
    for (int tick = 1; tick <= 4; ++tick) {
        EXPECT_TRUE(Tick().empty()) << "tick " << tick;
        EXPECT_EQ(Mouse(kTrayMouseMove), kHoverOnly) << "after tick " << tick;
    }
    EXPECT_EQ(Tick(), Calls{"kill timer"});
    EXPECT_EQ(state.countdownRunning, 0);
    EXPECT_EQ(Mouse(kTrayMouseMove), kPopUp) << "after the fifth tick hovering pops up again";
    EXPECT_TRUE(Tick().empty()) << "a stray tick when idle changes nothing";
    EXPECT_EQ(state.popupCountdown, 0);
}

TEST_F(TrayTest, LeftClickDuringTheCountdownShowsTheBarAtOnce) {
    Mouse(kTrayRightDown);
    Tick();
    EXPECT_EQ(Mouse(kTrayLeftDown), kLeftDown);
    EXPECT_EQ(state.popupCountdown, 4) << "the left click leaves the countdown running";
}

TEST_F(TrayTest, SecondRightClickRestartsTheCountAndNeverASecondTimer) {
    Mouse(kTrayRightDown);
    Tick();
    Tick();
    EXPECT_EQ(Mouse(kTrayRightDown), (Calls{"open [http://favourite.example/]", "show 0"}));
    EXPECT_EQ(state.popupCountdown, 5);
    for (int tick = 1; tick <= 4; ++tick) {
        EXPECT_TRUE(Tick().empty()) << "tick " << tick << " after the second click";
        EXPECT_EQ(Mouse(kTrayMouseMove), kHoverOnly);
    }
    EXPECT_EQ(Tick(), Calls{"kill timer"}) << "ends five ticks after the second click";
    EXPECT_EQ(tray.maxTimersRunning, 1);
    EXPECT_EQ(tray.timersRunning, 0);
    EXPECT_EQ(Mouse(kTrayMouseMove), kPopUp);
}

TEST_F(TrayTest, RightClickAfterACountdownEndedStartsTheTimerAgain) {
    Mouse(kTrayRightDown);
    for (int tick = 0; tick < 5; ++tick) Tick();
    EXPECT_EQ(Mouse(kTrayRightDown), (Calls{"open [http://favourite.example/]", "show 0", "set timer"}));
    EXPECT_EQ(tray.maxTimersRunning, 1);
}

TEST_F(TrayTest, ANegativeCountBlocksHoverAndIsNeverCountedFurther) {
    state.popupCountdown = -3;
    EXPECT_EQ(Mouse(kTrayMouseMove), kHoverOnly);
    EXPECT_TRUE(Tick().empty());
    EXPECT_EQ(state.popupCountdown, -3);
}

TEST_F(TrayTest, StayOnTopKeepsTheBarShownAfterARightClick) {
    for (int32_t onTop : {1, 7, -1}) {
        context.stayOnTop = onTop;
        ResetTrayState(state);
        tray.timersRunning = 0;
        EXPECT_EQ(Mouse(kTrayRightDown), (Calls{"open [http://favourite.example/]", "set timer"}))
            << "stay on top " << onTop;
    }
}

// Launching buttons.
class LaunchTest : public ::testing::Test {
protected:
    ButtonTable table{};
    RecordingTray tray;
    const char* browser = "C:\\Browsers\\web.exe";

    void SetUp() override {
        table.buttonCount = 3;
        std::strcpy(table.records[0].url, "http://zero.example/");
        std::strcpy(table.records[1].url, "http://one.example/?a=1&b=two words");
        std::strcpy(table.records[2].url, "");
    }
    Calls Launch(int index, int32_t stayOnTop = 0) {
        HandleLaunchButton(table, index, browser, stayOnTop, tray);
        return tray.Take();
    }
};

TEST_F(LaunchTest, NewWindowFlagOneGivesTheBrowserTheUrlAsOneQuotedArgument) {
    struct Case {
        const char* url;
        const char* parameters;  // nullptr: refused with the launch error, nothing started
    };
    const Case cases[] = {
        {"http://one.example/?a=1&b=two words", "\"http://one.example/?a=1&b=two words\""},
        {"http://x.example --some-switch=calc", "\"http://x.example --some-switch=calc\""},
        {"file:///C:/My Files\\", "\"file:///C:/My Files\\\\\""},  // the closing quote stays one
        {"C:\\a\\b c.htm", "\"C:\\a\\b c.htm\""},
        {"http://x.example/\" --switch", nullptr},
        {"http://x.example/\r\ncalc", nullptr},
        {"http://x.example/\n", nullptr},
        {"--utility-cmd-prefix=calc", nullptr},
        {"  -new-instance", nullptr},
        {"/switch", nullptr},
    };
    table.records[1].newWindow = 1;
    for (const Case& c : cases) {
        std::strcpy(table.records[1].url, c.url);
        const Calls expected =
            c.parameters != nullptr
                ? Calls{std::string("open [C:\\Browsers\\web.exe] with [") + c.parameters + "]", "show 0"}
                : Calls{"message [Error opening Web Browser or program.] [Launch Error]", "show 0"};
        EXPECT_EQ(Launch(1), expected) << c.url;
    }
    table.records[1].newWindow = 0;  // the plain launch takes the same addresses as they are
    EXPECT_EQ(Launch(1), (Calls{"open [/switch]", "show 0"}));
}

TEST_F(LaunchTest, AnyOtherFlagOpensTheUrlThroughTheShellAsStored) {
    for (uint8_t flag : {0, 2, 255}) {
        table.records[1].newWindow = flag;
        EXPECT_EQ(Launch(1), (Calls{"open [http://one.example/?a=1&b=two words]", "show 0"}))
            << "flag " << int(flag);
    }
}

TEST_F(LaunchTest, AFailedLaunchShowsTheMessageAndThenStillHides) {
    for (intptr_t result : {intptr_t(0), intptr_t(2), intptr_t(31), intptr_t(32), intptr_t(-5)}) {
        tray.shellResult = result;
        EXPECT_EQ(Launch(0), (Calls{"open [http://zero.example/]",
                                    "message [Error opening Web Browser or program.] [Launch Error]",
                                    "show 0"}))
            << "result " << result;
    }
    tray.shellResult = 33;
    EXPECT_EQ(Launch(0), (Calls{"open [http://zero.example/]", "show 0"}));
}

TEST_F(LaunchTest, StayOnTopKeepsTheBarShownAfterLaunchesGoodAndBad) {
    EXPECT_EQ(Launch(0, 1), Calls{"open [http://zero.example/]"});
    tray.shellResult = 2;
    EXPECT_EQ(Launch(2, 5),
              (Calls{"open []", "message [Error opening Web Browser or program.] [Launch Error]"}));
}

TEST_F(LaunchTest, IndexWithoutAButtonDoesNothing) {
    std::strcpy(table.records[3].url, "http://left-over.example/");
    for (int index : {3, 99, 100, -1, 1000}) EXPECT_TRUE(Launch(index).empty()) << "index " << index;
    table.buttonCount = 250;   // a count out of range is held to the table's capacity
    EXPECT_EQ(Launch(99), (Calls{"open []", "show 0"}));
    EXPECT_TRUE(Launch(100).empty());
    table.buttonCount = -4;
    EXPECT_TRUE(Launch(0).empty());
}

// ---- The bar from the keyboard ----

TEST(BarKeys, KeysMapToTheirActionsAndTheFocusWrapsAtBothEnds) {
    EXPECT_EQ(BarKeyAction::Next, ClassifyBarKey(kKeyDown, false));
    EXPECT_EQ(BarKeyAction::Next, ClassifyBarKey(kKeyTab, false));
    EXPECT_EQ(BarKeyAction::Previous, ClassifyBarKey(kKeyUp, false));
    EXPECT_EQ(BarKeyAction::Previous, ClassifyBarKey(kKeyTab, true));
    EXPECT_EQ(BarKeyAction::First, ClassifyBarKey(kKeyHome, false));
    EXPECT_EQ(BarKeyAction::Last, ClassifyBarKey(kKeyEnd, false));
    EXPECT_EQ(BarKeyAction::Open, ClassifyBarKey(kKeyReturn, false));
    EXPECT_EQ(BarKeyAction::Open, ClassifyBarKey(kKeySpace, false));
    EXPECT_EQ(BarKeyAction::Hide, ClassifyBarKey(kKeyEscape, false));
    EXPECT_EQ(BarKeyAction::None, ClassifyBarKey('B', false));
    EXPECT_EQ(BarKeyAction::None, ClassifyBarKey(0x70 /* F1 */, false));

    EXPECT_EQ(1, MoveBarFocus(BarKeyAction::Next, 0, 3));
    EXPECT_EQ(0, MoveBarFocus(BarKeyAction::Next, 2, 3));      // wraps to the top
    EXPECT_EQ(2, MoveBarFocus(BarKeyAction::Previous, 0, 3));  // wraps to the bottom
    EXPECT_EQ(0, MoveBarFocus(BarKeyAction::Next, -1, 3));     // no button focused yet
    EXPECT_EQ(2, MoveBarFocus(BarKeyAction::Previous, -1, 3));
    EXPECT_EQ(0, MoveBarFocus(BarKeyAction::First, 2, 3));
    EXPECT_EQ(2, MoveBarFocus(BarKeyAction::Last, 0, 3));
    EXPECT_EQ(0, MoveBarFocus(BarKeyAction::Next, 0, 1));      // one button keeps it
    EXPECT_EQ(-1, MoveBarFocus(BarKeyAction::Next, -1, 0));    // an empty bar has nothing to focus
    EXPECT_EQ(-1, MoveBarFocus(BarKeyAction::Open, 1, 3));
    EXPECT_EQ(0, MoveBarFocus(BarKeyAction::Next, 7, 3));      // a stale index starts again
}

TEST(BarKeys, ALetterJumpsToTheNextNameStartingWithItIgnoringCase) {
    ButtonTable table{};
    const char* names[] = {"alpha", "Beta", "apple", "7zip", "", "bravo"};
    for (int i = 0; i < 6; ++i) CopyTextToField(table.records[i].name, kNameSize, names[i]);
    std::strcpy(table.records[6].name, "Behind");  // a free slot is never jumped to
    table.buttonCount = 6;

    EXPECT_EQ(1, JumpToButtonByLetter(table, 0, 'b'));
    EXPECT_EQ(5, JumpToButtonByLetter(table, 1, 'B'));
    EXPECT_EQ(1, JumpToButtonByLetter(table, 5, 'b'));   // round to the top, not into slot 6
    EXPECT_EQ(2, JumpToButtonByLetter(table, 0, 'A'));
    EXPECT_EQ(0, JumpToButtonByLetter(table, 2, 'a'));
    EXPECT_EQ(3, JumpToButtonByLetter(table, -1, '7'));
    EXPECT_EQ(3, JumpToButtonByLetter(table, 3, '7'));   // the only match: found again
    EXPECT_EQ(0, JumpToButtonByLetter(table, -1, 'a'));  // nothing focused: from the top
    EXPECT_EQ(-1, JumpToButtonByLetter(table, 0, 'z'));
    EXPECT_EQ(-1, JumpToButtonByLetter(table, 0, ' '));   // not a letter: the empty name is never matched
    EXPECT_EQ(-1, JumpToButtonByLetter(table, 0, '\0'));
    EXPECT_EQ(-1, JumpToButtonByLetter(table, 0, '-'));
    table.buttonCount = 0;
    EXPECT_EQ(-1, JumpToButtonByLetter(table, 0, 'a'));
}

}  // namespace
