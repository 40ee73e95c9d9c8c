#include "app/layout.h"

#include <algorithm>
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

namespace {

// The layout exactly as one column has always been placed: right edge 10 pixels inside the
// screen's, bottom edge fixed, each button raising the top.
BarLayout OneColumn(const ScreenMetrics& screen, const ButtonTable& table, int count) {
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
    layout.rows = count;
    layout.columnPitch = Saturate(buttonWidth + gap);
    layout.contentWidth = layout.buttonWidth;
    return layout;
}

bool HasWorkArea(const ScreenMetrics& s) { return s.workRight > s.workLeft && s.workBottom > s.workTop; }

bool Inside(const BarLayout& l, const ScreenMetrics& s) {
    return l.barX >= s.workLeft && l.barY >= s.workTop && int64_t{l.barX} + l.barWidth <= s.workRight &&
           int64_t{l.barY} + l.barHeight <= s.workBottom;
}

// `count` slots in `columns` columns of equal height, the bar's corner at (right, bottom).
void FlowIntoColumns(BarLayout& l, const ScreenMetrics& s, int count, int64_t columns, int64_t right,
                     int64_t bottom, int64_t widthLimit) {
    const int64_t pitch = int64_t{l.buttonHeight} + l.gap;
    columns = std::max<int64_t>(columns, 1);
    const int64_t rows = (count + columns - 1) / columns;
    const int64_t content = columns * l.buttonWidth + (columns - 1) * l.gap;
    const int64_t width = content + Scale64(20, s.dpi);
    l.columns = Saturate(columns);
    l.rows = Saturate(rows);
    l.contentWidth = Saturate(content);
    l.scrolls = width > widthLimit;
    l.barWidth = Saturate(l.scrolls ? widthLimit : width);
    const int64_t frame = 2 * static_cast<int64_t>(s.captionHeight) + 3 * static_cast<int64_t>(l.gap);
    const int64_t scrollBar = l.scrolls ? s.scrollBarHeight : 0;
    l.barHeight = Saturate(pitch * rows + frame + scrollBar);
    l.barX = Saturate(right - l.barWidth);
    l.barY = Saturate(bottom - l.barHeight);
}

}  // namespace

BarLayout LayoutForCount(const ScreenMetrics& screen, const ButtonTable& table, int count) {
    BarLayout layout = OneColumn(screen, table, count);
    if (!HasWorkArea(screen)) return layout;
    layout.inWorkArea = true;
    if (Inside(layout, screen)) return layout;
    // The corner the bar grows from: where one column has it, drawn back inside the work area.
    const int64_t margin = Scale64(10, screen.dpi);
    const int64_t right = std::min<int64_t>(int64_t{layout.barX} + layout.barWidth, screen.workRight - margin);
    const int64_t bottom = std::min<int64_t>(int64_t{layout.barY} + layout.barHeight, screen.workBottom - layout.gap);
    const int64_t height = bottom - (screen.workTop + layout.gap);
    const int64_t widthLimit = std::max<int64_t>(right - (screen.workLeft + margin), 1);
    const int64_t pitch = int64_t{layout.buttonHeight} + layout.gap;
    const int64_t frame = 2 * int64_t{screen.captionHeight} + 3 * int64_t{layout.gap};
    const auto rowsFitting = [&](int64_t extra) { return std::max<int64_t>((height - frame - extra) / pitch, 1); };
    FlowIntoColumns(layout, screen, count, (count + rowsFitting(0) - 1) / rowsFitting(0), right, bottom, widthLimit);
    if (layout.scrolls) {
        // The scroll bar takes its height from the rows.
        const int64_t rows = rowsFitting(screen.scrollBarHeight);
        FlowIntoColumns(layout, screen, count, (count + rows - 1) / rows, right, bottom, widthLimit);
        layout.scrolls = true;
        layout.barWidth = Saturate(widthLimit);
        layout.barX = Saturate(right - widthLimit);
    }
    return layout;
}

BarLayout ComputeLayout(const ScreenMetrics& screen, const ButtonTable& table) {
    // ButtonCount keeps a count read from a foreign file within 0..100.
    return LayoutForCount(screen, table, ButtonCount(table));
}

ButtonPlace PlaceSlot(const BarLayout& layout, int index, int clientWidth, int scrollX) {
    ButtonPlace place;
    const int rows = std::max(layout.rows, 1);
    const int64_t column = index / rows;
    place.y = ButtonY(index % rows, layout.dpi);
    if (layout.columns <= 1 && !layout.scrolls) {
        place.x = ButtonX(clientWidth, layout.buttonWidth);
        return place;
    }
    const int64_t left = layout.contentWidth <= clientWidth ? (int64_t{clientWidth} - layout.contentWidth) / 2
                                                            : int64_t{layout.gap} - scrollX;
    place.x = Saturate(left + column * layout.columnPitch);
    return place;
}

int ScrollLimit(const BarLayout& layout, int clientWidth) {
    if (layout.contentWidth <= clientWidth) return 0;
    return Saturate(int64_t{layout.contentWidth} + 2 * int64_t{layout.gap} - clientWidth);
}

int ScrollToShow(const BarLayout& layout, int index, int clientWidth, int scrollX) {
    const int limit = ScrollLimit(layout, clientWidth);
    if (limit == 0) return 0;
    const int64_t left = (index / std::max(layout.rows, 1)) * int64_t{layout.columnPitch};  // at scroll 0, less the gap
    const int64_t right = left + layout.buttonWidth + 2 * int64_t{layout.gap};
    int64_t scroll = std::clamp<int64_t>(scrollX, 0, limit);
    if (left < scroll) scroll = left;
    if (right > scroll + clientWidth) scroll = right - clientWidth;
    return Saturate(std::clamp<int64_t>(scroll, 0, limit));
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
