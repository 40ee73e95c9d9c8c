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
