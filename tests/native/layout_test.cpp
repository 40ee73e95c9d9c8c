#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include "app/layout.h"

namespace {

const ScreenMetrics kScreen{1024, 768, 19, 18};

ButtonTable TableWith(int width, int count, uint8_t wide = 0) {
    ButtonTable table;
    std::memset(&table, 0, sizeof table);
    table.buttonWidth = width;
    table.buttonCount = count;
    table.wide = wide;
    return table;
}

TEST(BarLayoutArithmetic, WorkedExampleThreeButtons) {
    const BarLayout layout = ComputeLayout(kScreen, TableWith(140, 3));
    EXPECT_EQ(854, layout.barX);
    EXPECT_EQ(588, layout.barY);
    EXPECT_EQ(160, layout.barWidth);
    EXPECT_EQ(132, layout.barHeight);
    EXPECT_EQ(140, layout.buttonWidth);
    EXPECT_EQ(22, layout.buttonHeight);
    EXPECT_EQ(5, layout.gap);
    EXPECT_EQ(720, layout.barY + layout.barHeight);  // bottom edge
    EXPECT_EQ(1014, layout.barX + layout.barWidth);  // 10 pixels inside the right edge
    EXPECT_EQ(5, ButtonY(0));
    EXPECT_EQ(32, ButtonY(1));
    EXPECT_EQ(59, ButtonY(2));
}

TEST(BarLayoutArithmetic, BottomEdgeStaysWhateverTheCountAndEachButtonRaisesTheTop) {
    const BarLayout none = ComputeLayout(kScreen, TableWith(140, 0));
    EXPECT_EQ(2 * 18 + 15, none.barHeight);
    EXPECT_EQ(720, none.barY + none.barHeight);
    for (int count = 1; count <= kMaxButtons; ++count) {
        const BarLayout layout = ComputeLayout(kScreen, TableWith(140, count));
        EXPECT_EQ(720, layout.barY + layout.barHeight) << count;
        EXPECT_EQ(none.barY - 27 * count, layout.barY) << count;
    }
}

TEST(BarLayoutArithmetic, WideFlagAddsFiftyToTheLeftOnlyWhenItIsOne) {
    const BarLayout narrow = ComputeLayout(kScreen, TableWith(140, 3, 0));
    const BarLayout wide = ComputeLayout(kScreen, TableWith(140, 3, 1));
    EXPECT_EQ(190, wide.buttonWidth);
    EXPECT_EQ(narrow.barX - 50, wide.barX);
    EXPECT_EQ(narrow.barWidth + 50, wide.barWidth);
    EXPECT_EQ(wide.barX + wide.barWidth, narrow.barX + narrow.barWidth);
    EXPECT_EQ(narrow.barY, wide.barY);
    // Any other value of the flag byte is not "wide".
    EXPECT_EQ(140, ComputeLayout(kScreen, TableWith(140, 3, 2)).buttonWidth);
}

TEST(BarLayoutArithmetic, HostileCountIsHeldWithinTheTable) {
    const BarLayout hundred = ComputeLayout(kScreen, TableWith(140, 100));
    EXPECT_EQ(hundred.barHeight, ComputeLayout(kScreen, TableWith(140, 5000)).barHeight);
    EXPECT_EQ(hundred.barY, ComputeLayout(kScreen, TableWith(140, INT_MAX)).barY);
    const BarLayout none = ComputeLayout(kScreen, TableWith(140, 0));
    EXPECT_EQ(none.barHeight, ComputeLayout(kScreen, TableWith(140, -7)).barHeight);
}

TEST(BarLayoutArithmetic, HostileWidthSaturatesInsteadOfOverflowing) {
    const BarLayout huge = ComputeLayout(kScreen, TableWith(INT_MAX, 1, 1));
    EXPECT_EQ(INT_MAX, huge.buttonWidth);
    EXPECT_EQ(INT_MAX, huge.barWidth);
    EXPECT_LT(huge.barX, 0);
    const BarLayout tiny = ComputeLayout(kScreen, TableWith(INT_MIN, 1));
    EXPECT_EQ(INT_MIN, tiny.buttonWidth);
    EXPECT_EQ(INT_MAX, tiny.barX);
}

TEST(BarLayoutArithmetic, LayoutForCountUsesTheGivenCount) {
    // The Setup dialog asks whether one more button would fit.
    const ButtonTable table = TableWith(140, 3);
    EXPECT_EQ(ComputeLayout(kScreen, table).barY - 27, LayoutForCount(kScreen, table, 4).barY);
}

TEST(BarLayoutArithmetic, ButtonsAreCentredTruncatingTowardZero) {
    EXPECT_EQ(5, ButtonX(150, 140));
    EXPECT_EQ(5, ButtonX(151, 140));    // 11 / 2
    EXPECT_EQ(0, ButtonX(141, 140));
    EXPECT_EQ(0, ButtonX(139, 140));    // -1 / 2 truncates to 0
    EXPECT_EQ(-1, ButtonX(137, 140));   // -3 / 2 truncates to -1
}

TEST(BarLayoutArithmetic, EveryPixelSizeIsScaledByTheDpiAndFontsRoundTrip) {
    // 144 and 192 DPI: menu and caption heights come from the system already scaled.
    const ScreenMetrics at144{1536, 1152, 28, 27, 144};
    const BarLayout l144 = ComputeLayout(at144, TableWith(140, 3, 1));
    EXPECT_EQ(285, l144.buttonWidth);              // (140 + 50) * 1.5
    EXPECT_EQ(33, l144.buttonHeight);
    EXPECT_EQ(8, l144.gap);                        // 7.5 rounds away from zero
    EXPECT_EQ(1536 - 285 - 45, l144.barX);
    EXPECT_EQ(285 + 30, l144.barWidth);
    EXPECT_EQ(3 * 41 + 2 * 27 + 3 * 8, l144.barHeight);
    EXPECT_EQ(1152 - 4 * 28 - 3 * 41 - 27 - 8, l144.barY);
    EXPECT_EQ(8 + 2 * 41, ButtonY(2, 144));

    const ScreenMetrics at192{2048, 1536, 37, 36, 192};
    const BarLayout l192 = ComputeLayout(at192, TableWith(141, 2));
    EXPECT_EQ(282, l192.buttonWidth);
    EXPECT_EQ(44, l192.buttonHeight);
    EXPECT_EQ(10, l192.gap);
    EXPECT_EQ(2048 - 282 - 60, l192.barX);
    EXPECT_EQ(282 + 40, l192.barWidth);
    EXPECT_EQ(2 * 54 + 2 * 36 + 3 * 10, l192.barHeight);
    EXPECT_EQ(1536 - 4 * 37 - 2 * 54 - 36 - 10, l192.barY);
    EXPECT_EQ(10 + 54, ButtonY(1, 192));
    // No DPI (0 or negative) is 96, and a hostile width still saturates.
    EXPECT_EQ(ComputeLayout(kScreen, TableWith(140, 3)).barY,
              ComputeLayout(ScreenMetrics{1024, 768, 19, 18, 0}, TableWith(140, 3)).barY);
    EXPECT_EQ(INT_MAX, ComputeLayout(at192, TableWith(INT_MAX, 1, 1)).buttonWidth);
    EXPECT_EQ(INT_MIN, ComputeLayout(at192, TableWith(INT_MIN, 1)).buttonWidth);

    // Font heights: stored at 96 DPI, made at the display's; a height chosen there goes back to
    // the very height it was made from at 96 DPI and above.
    EXPECT_EQ(-26, ScaleForDpi(-13, 192));
    EXPECT_EQ(-20, ScaleForDpi(-13, 144));         // -19.5 rounds away from zero
    EXPECT_EQ(-14, UnscaleFromDpi(-27, 192));      // 10 points chosen at 192 DPI: -13.5
    for (const int dpi : {96, 120, 144, 168, 192, 288}) {
        for (int height = -200; height <= 200; ++height) {
            ASSERT_EQ(height, UnscaleFromDpi(ScaleForDpi(height, dpi), dpi)) << dpi;
        }
    }
    FontDesc stored{};
    stored.lfHeight = -13;
    stored.lfWidth = 5;
    stored.lfWeight = 700;
    const FontDesc made = FontAtDpi(stored, 192);
    EXPECT_EQ(-26, made.lfHeight);
    EXPECT_EQ(10, made.lfWidth);
    EXPECT_EQ(700, made.lfWeight);
    EXPECT_TRUE(SameFont(stored, FontAtBaseDpi(made, 192)));
    EXPECT_EQ(INT_MIN, ScaleForDpi(INT_MIN, 192));
    EXPECT_EQ(INT_MAX, ScaleForDpi(INT_MAX, 192));

    // An own font made at one DPI is not kept when the DPI changes.
    ButtonTable table = TableWith(140, 1);
    table.records[0].hasOwnFont = 1;
    table.records[0].ownFont = stored;
    EXPECT_EQ(SlotFont::KeepOwn, SlotFontStep(table, 0, &made, 192));
    EXPECT_EQ(SlotFont::MakeOwn, SlotFontStep(table, 0, &made, 144));
    EXPECT_EQ(SlotFont::MakeOwn, SlotFontStep(table, 0, &made));
}

TEST(BarRebuildFonts, OwnFontIsKeptOnlyWhileItsRecordAsksForTheSameFont) {
    ButtonTable table = TableWith(140, 3);
    table.records[1].hasOwnFont = 1;
    table.records[1].ownFont.lfHeight = -12;
    std::memcpy(table.records[1].ownFont.lfFaceName, "Tahoma", 7);
    const FontDesc made = table.records[1].ownFont;

    EXPECT_EQ(SlotFont::BarFont, SlotFontStep(table, 0, nullptr));
    EXPECT_EQ(SlotFont::BarFont, SlotFontStep(table, 0, &made)) << "a slot whose record has no own font lets it go";
    EXPECT_EQ(SlotFont::MakeOwn, SlotFontStep(table, 1, nullptr));
    EXPECT_EQ(SlotFont::KeepOwn, SlotFontStep(table, 1, &made));

    table.records[1].ownFont.lfItalic = 1;  // one byte differs
    EXPECT_EQ(SlotFont::MakeOwn, SlotFontStep(table, 1, &made));
    table.records[1].ownFont = made;

    table.records[1].hasOwnFont = 2;  // only 1 means an own font
    EXPECT_EQ(SlotFont::BarFont, SlotFontStep(table, 1, &made));
    table.records[1].hasOwnFont = 1;
    table.sameFont = 1;  // every button in the bar font
    EXPECT_EQ(SlotFont::BarFont, SlotFontStep(table, 1, &made));
    table.sameFont = 0;
    table.buttonCount = 1;  // a slot beyond the count has no record
    EXPECT_EQ(SlotFont::BarFont, SlotFontStep(table, 1, &made));
}

}  // namespace

// Displays of 768 and 1,050 pixels, the taskbar at each edge, at 96 and 192 DPI, 1 to 100
// buttons: the bar lies inside the work area, every button inside the bar's columns, in file
// order; one column is exactly the old layout while it fits.
TEST(BarColumns, EveryButtonInsideTheWorkAreaWhereverTheTaskbarIs) {
    enum Edge { Bottom, Top, Left, Right };
    struct Display { int width, height; };
    for (const Display display : {Display{1024, 768}, Display{1680, 1050}}) {
        for (const int dpi : {96, 192}) {
            for (const Edge edge : {Bottom, Top, Left, Right}) {
                const int bar = dpi / 96 * 40;  // the taskbar's thickness
                ScreenMetrics s{display.width, display.height, 19 * dpi / 96, 18 * dpi / 96, dpi};
                s.workRight = display.width;
                s.workBottom = display.height;
                s.scrollBarHeight = 17 * dpi / 96;
                if (edge == Bottom) s.workBottom -= bar;
                if (edge == Top) s.workTop += bar;
                if (edge == Left) s.workLeft += bar;
                if (edge == Right) s.workRight -= bar;
                for (int count = 1; count <= kMaxButtons; ++count) {
                    SCOPED_TRACE(testing::Message() << display.height << " " << dpi << " edge " << edge << " n " << count);
                    const ButtonTable table = TableWith(140, count);
                    const BarLayout l = ComputeLayout(s, table);
                    const ScreenMetrics unbounded{s.screenWidth, s.screenHeight, s.menuHeight, s.captionHeight, dpi};
                    const BarLayout old = ComputeLayout(unbounded, table);
                    const bool oldFits = old.barX >= s.workLeft && old.barY >= s.workTop &&
                                         old.barX + old.barWidth <= s.workRight && old.barY + old.barHeight <= s.workBottom;
                    if (oldFits) {
                        ASSERT_EQ(1, l.columns);
                        ASSERT_EQ(old.barX, l.barX);
                        ASSERT_EQ(old.barY, l.barY);
                        ASSERT_EQ(old.barHeight, l.barHeight);
                        ASSERT_EQ(old.barWidth, l.barWidth);
                    }
                    ASSERT_GE(l.barX, s.workLeft);
                    ASSERT_GE(l.barY, s.workTop);
                    ASSERT_LE(l.barX + l.barWidth, s.workRight);
                    ASSERT_LE(l.barY + l.barHeight, s.workBottom);
                    // Columns of equal height hold every button; the last one is not empty.
                    ASSERT_GE(l.columns * l.rows, count);
                    ASSERT_GT(count, (l.columns - 1) * l.rows);
                    // A client area as wide as the bar less its frame: a scrolling bar shows each
                    // button whole once scrolled to it, a bar that does not scroll shows them all.
                    const int client = l.barWidth - 2 * (dpi / 96 * 3);
                    ASSERT_EQ(l.scrolls, ScrollLimit(l, client) > 0);
                    const int frameHeight = 2 * s.captionHeight + (l.scrolls ? s.scrollBarHeight : 0);
                    ButtonPlace previous{-1, -1};
                    for (int i = 0; i < count; ++i) {
                        const int scroll = ScrollToShow(l, i, client, 0);
                        ASSERT_LE(0, scroll);
                        ASSERT_LE(scroll, ScrollLimit(l, client));
                        const ButtonPlace p = PlaceSlot(l, i, client, scroll);
                        ASSERT_GE(p.x, 0);
                        ASSERT_LE(p.x + l.buttonWidth, client);
                        ASSERT_LE(p.y + l.buttonHeight + frameHeight, l.barHeight);
                        const ButtonPlace unscrolled = PlaceSlot(l, i, client, 0);
                        // File order: down a column, then the next column to the right.
                        ASSERT_TRUE(unscrolled.y > previous.y || unscrolled.x > previous.x);
                        previous = unscrolled;
                    }
                }
            }
        }
    }
}

TEST(BarColumns, HundredButtonsOn768FlowLeftFromTheCornerAndScrollAt192) {
    ScreenMetrics s{1024, 768, 19, 18, 96, 0, 0, 1024, 728, 17};
    const BarLayout l = ComputeLayout(s, TableWith(140, 100));
    EXPECT_EQ(5, l.columns);  // 24 rows fit above the corner: columns of 20
    EXPECT_EQ(20, l.rows);
    EXPECT_FALSE(l.scrolls);
    EXPECT_EQ(1014, l.barX + l.barWidth);  // the right edge where one column has it
    EXPECT_EQ(5 * 140 + 4 * 5 + 20, l.barWidth);
    EXPECT_EQ(ButtonY(19), PlaceSlot(l, 19, l.barWidth - 6, 0).y);
    EXPECT_EQ(ButtonY(0), PlaceSlot(l, 20, l.barWidth - 6, 0).y);
    EXPECT_EQ(PlaceSlot(l, 0, l.barWidth - 6, 0).x + 145, PlaceSlot(l, 20, l.barWidth - 6, 0).x);
    ScreenMetrics big{1024, 768, 38, 36, 192, 0, 0, 1024, 728, 34};
    const BarLayout b = ComputeLayout(big, TableWith(140, 100));
    EXPECT_TRUE(b.scrolls);
    EXPECT_EQ(9, b.rows);  // the scroll bar's height is taken from the rows
    EXPECT_EQ(12, b.columns);
    EXPECT_EQ(1024 - 20 - 20, b.barWidth);
    EXPECT_EQ(0, ScrollToShow(b, 8, b.barWidth, 0));
    EXPECT_EQ(ScrollLimit(b, b.barWidth), ScrollToShow(b, 99, b.barWidth, 0));
}
