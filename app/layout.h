// Layout arithmetic of the Button bar: where the bar goes and how big it is, from the screen
// metrics and the Button table.
#pragma once

#include "store/button_table.h"

struct ScreenMetrics {
    int screenWidth;    // SM_CXSCREEN
    int screenHeight;   // SM_CYSCREEN
    int menuHeight;     // SM_CYMENU
    int captionHeight;  // SM_CYSIZE (caption button height)
};

struct BarLayout {
    int barX = 0, barY = 0, barWidth = 0, barHeight = 0;
    int buttonWidth = 0;     // table's width, + 50 with the wide flag
    int buttonHeight = 22;
    int gap = 5;
};

constexpr int kButtonHeight = 22;
constexpr int kButtonGap = 5;

// The layout for `count` buttons (the table's count for ComputeLayout).
BarLayout LayoutForCount(const ScreenMetrics& screen, const ButtonTable& table, int count);
BarLayout ComputeLayout(const ScreenMetrics& screen, const ButtonTable& table);

// Top-left of button i inside a client area of the given width: x centred, y = 5 + 27 i.
int ButtonX(int clientWidth, int buttonWidth);
int ButtonY(int index);

// What a rebuild does about the font of button slot `index`: give it the bar font (releasing
// any own font made for it), keep the own font made for it last time, or make it a new one.
// `madeFrom` is what the slot's current own font was made from, null when it has none. Fonts
// are compared byte for byte, so a record whose font did not change keeps its font object.
enum class SlotFont { BarFont, KeepOwn, MakeOwn };
SlotFont SlotFontStep(const ButtonTable& table, int index, const FontDesc* madeFrom);
bool SameFont(const FontDesc& a, const FontDesc& b);

// The process-wide layout metrics, as last computed.
extern BarLayout g_layout;
