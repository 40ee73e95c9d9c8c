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

// MulDiv(value, numerator, denominator) in 64 bits: the exact quotient rounded half away from zero.
int64_t MulDiv64(int64_t value, int64_t numerator, int64_t denominator) {
    const int64_t product = value * numerator;
    const int64_t half = denominator / 2;
    return product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
}

// The DPIs a display may report lie far inside this; anything else is no DPI and counts as 96.
int SaneDpi(int dpi) {
    return dpi > 0 && dpi <= 100 * kBaseDpi ? dpi : kBaseDpi;
}

int64_t Scale64(int64_t value, int dpi) {
    return MulDiv64(value, SaneDpi(dpi), kBaseDpi);
}

}  // namespace

int ScaleForDpi(int value, int dpi) {
    return Saturate(Scale64(value, dpi));
}

int UnscaleFromDpi(int value, int dpi) {
    return Saturate(MulDiv64(value, kBaseDpi, SaneDpi(dpi)));
}

FontDesc FontAtDpi(const FontDesc& stored, int dpi) {
    FontDesc font = stored;
    font.lfHeight = ScaleForDpi(stored.lfHeight, dpi);
    font.lfWidth = ScaleForDpi(stored.lfWidth, dpi);
    return font;
}

FontDesc FontAtBaseDpi(const FontDesc& shown, int dpi) {
    FontDesc font = shown;
    font.lfHeight = UnscaleFromDpi(shown.lfHeight, dpi);
    font.lfWidth = UnscaleFromDpi(shown.lfWidth, dpi);
    return font;
}

BarLayout LayoutForCount(const ScreenMetrics& screen, const ButtonTable& table, int count) {
    // Every pixel constant is scaled on its own; the menu and caption heights come scaled already.
    const int dpi = screen.dpi;
    const int64_t height = Scale64(kButtonHeight, dpi);
    const int64_t gap = Scale64(kButtonGap, dpi);
    const int64_t pitch = height + gap;  // 27 at 96 DPI
    const int64_t buttonWidth = Scale64(int64_t{table.buttonWidth} + (table.wide == 1 ? 50 : 0), dpi);
    BarLayout layout;
    layout.buttonWidth = Saturate(buttonWidth);
    layout.buttonHeight = Saturate(height);
    layout.gap = Saturate(gap);
    layout.dpi = SaneDpi(dpi);
    layout.barX = Saturate(int64_t{screen.screenWidth} - buttonWidth - Scale64(30, dpi));
    layout.barY = Saturate(int64_t{screen.screenHeight} - 4 * int64_t{screen.menuHeight} - pitch * count -
                           screen.captionHeight - gap);
    layout.barWidth = Saturate(buttonWidth + Scale64(20, dpi));
    layout.barHeight = Saturate(pitch * count + 2 * int64_t{screen.captionHeight} + 3 * gap);
    return layout;
}

BarLayout ComputeLayout(const ScreenMetrics& screen, const ButtonTable& table) {
    // ButtonCount keeps a count read from a foreign file within 0..100.
    return LayoutForCount(screen, table, ButtonCount(table));
}

int ButtonX(int clientWidth, int buttonWidth) {
    return Saturate((int64_t{clientWidth} - buttonWidth) / 2);  // truncates toward zero
}

int ButtonY(int index, int dpi) {
    const int64_t gap = Scale64(kButtonGap, dpi);
    return Saturate(gap + index * (Scale64(kButtonHeight, dpi) + gap));
}

bool SameFont(const FontDesc& a, const FontDesc& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

SlotFont SlotFontStep(const ButtonTable& table, int index, const FontDesc* madeFrom, int dpi) {
    if (!UsesOwnFont(table, index)) return SlotFont::BarFont;
    if (madeFrom != nullptr && SameFont(*madeFrom, FontAtDpi(table.records[index].ownFont, dpi))) {
        return SlotFont::KeepOwn;
    }
    return SlotFont::MakeOwn;
}
