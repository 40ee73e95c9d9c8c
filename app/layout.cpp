#include "app/layout.h"

#include <climits>
#include <cstring>
#include <cstdint>

BarLayout g_layout;

namespace {

// The table's width comes from a file and may be anything; the sums are done in 64 bits and
// saturated, so a hostile width gives a useless layout but never an overflow.
int Saturate(int64_t value) {
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

BarLayout LayoutForCount(const ScreenMetrics& screen, const ButtonTable& table, int count) {
    const int64_t pitch = kButtonHeight + kButtonGap;  // 27
    const int64_t buttonWidth = int64_t{table.buttonWidth} + (table.wide == 1 ? 50 : 0);
    BarLayout layout;
    layout.buttonWidth = Saturate(buttonWidth);
    layout.buttonHeight = kButtonHeight;
    layout.gap = kButtonGap;
    layout.barX = Saturate(int64_t{screen.screenWidth} - buttonWidth - 30);
    layout.barY = Saturate(int64_t{screen.screenHeight} - 4 * int64_t{screen.menuHeight} - pitch * count -
                           screen.captionHeight - kButtonGap);
    layout.barWidth = Saturate(buttonWidth + 20);
    layout.barHeight = Saturate(pitch * count + 2 * int64_t{screen.captionHeight} + 3 * int64_t{kButtonGap});
    return layout;
}

BarLayout ComputeLayout(const ScreenMetrics& screen, const ButtonTable& table) {
    // ButtonCount keeps a count read from a foreign file within 0..100.
    return LayoutForCount(screen, table, ButtonCount(table));
}

int ButtonX(int clientWidth, int buttonWidth) {
    return Saturate((int64_t{clientWidth} - buttonWidth) / 2);  // truncates toward zero
}

int ButtonY(int index) {
    return kButtonGap + index * (kButtonHeight + kButtonGap);
}

bool SameFont(const FontDesc& a, const FontDesc& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

SlotFont SlotFontStep(const ButtonTable& table, int index, const FontDesc* madeFrom) {
    if (!UsesOwnFont(table, index)) return SlotFont::BarFont;
    if (madeFrom != nullptr && SameFont(*madeFrom, table.records[index].ownFont)) return SlotFont::KeepOwn;
    return SlotFont::MakeOwn;
}
