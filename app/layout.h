// Layout arithmetic of the Button bar: where the bar goes and how big it is, from the screen
// metrics and the Button table.
#pragma once

#include "store/button_table.h"

struct ScreenMetrics {
    int screenWidth = 0;    // SM_CXSCREEN
    int screenHeight = 0;   // SM_CYSCREEN
    int menuHeight = 0;     // SM_CYMENU
    int captionHeight = 0;  // SM_CYSIZE (caption button height)
    int dpi = 96;           // the bar window's DPI; the pixel constants below are scaled by dpi / 96
    // The work area of the bar's monitor (the screen less the taskbar), right and bottom
    // exclusive. An empty rectangle means none is known, and the bar is placed as if the plane
    // had no edges.
    int workLeft = 0, workTop = 0, workRight = 0, workBottom = 0;
    int scrollBarHeight = 0;  // SM_CYHSCROLL at the DPI: what a horizontal scroll bar takes
};

struct BarLayout {
    int barX = 0, barY = 0, barWidth = 0, barHeight = 0;
    int buttonWidth = 0;     // table's width, + 50 with the wide flag
    int buttonHeight = 22;
    int gap = 5;
    int dpi = 96;            // the DPI the figures are for
    // Buttons flow into columns of `rows` slots each, top to bottom and column after column from
    // the left; one column holds them all while the bar fits the work area that way.
    int columns = 1;
    int rows = 0;
    int columnPitch = 0;     // button width + gap
    int contentWidth = 0;    // the columns side by side, without the margins
    bool scrolls = false;    // the columns are wider than the work area: the bar scrolls sideways
    bool inWorkArea = false; // placed inside a known work area (always room for one more button)
};

struct ButtonPlace {
    int x = 0, y = 0;
};

constexpr int kButtonHeight = 22;
constexpr int kButtonGap = 5;
constexpr int kBaseDpi = 96;  // the DPI the pixel constants and a Button file's sizes are given at

// A 96-DPI pixel size at `dpi`, rounded as MulDiv(value, dpi, 96) rounds (half away from zero).
// A DPI that is not positive is taken as 96. UnscaleFromDpi goes back; for any DPI from 96 up,
// UnscaleFromDpi(ScaleForDpi(v, dpi), dpi) == v.
int ScaleForDpi(int value, int dpi);
int UnscaleFromDpi(int value, int dpi);

// A Button file's font (height and width in 96-DPI pixels) as it is made at `dpi`, and a font
// chosen at `dpi` as a Button file stores it.
FontDesc FontAtDpi(const FontDesc& stored, int dpi);
FontDesc FontAtBaseDpi(const FontDesc& shown, int dpi);

// The layout for `count` buttons (the table's count for ComputeLayout).
BarLayout LayoutForCount(const ScreenMetrics& screen, const ButtonTable& table, int count);
BarLayout ComputeLayout(const ScreenMetrics& screen, const ButtonTable& table);

// Top-left of slot `index` in a client area `clientWidth` wide, the bar scrolled `scrollX` pixels
// to the right. One column is centred as ButtonX does; several are centred as a block while they
// fit and start one gap in from the left edge when the bar scrolls.
ButtonPlace PlaceSlot(const BarLayout& layout, int index, int clientWidth, int scrollX);
// The largest scroll position for a client area `clientWidth` wide (0 when everything shows),
// and the scroll position that shows slot `index` whole, moving as little as possible from `scrollX`.
int ScrollLimit(const BarLayout& layout, int clientWidth);
int ScrollToShow(const BarLayout& layout, int index, int clientWidth, int scrollX);

// Top-left of button i inside a client area of the given width: x centred, y = 5 + 27 i at
// 96 DPI (gap + i * (height + gap), each scaled, at another).
int ButtonX(int clientWidth, int buttonWidth);
int ButtonY(int index, int dpi = kBaseDpi);

// What a rebuild does about the font of button slot `index`: give it the bar font (releasing
// any own font made for it), keep the own font made for it last time, or make it a new one.
// `madeFrom` is what the slot's current own font was made from (the record's font at the DPI it
// was made for), null when it has none. Fonts are compared byte for byte, so a record whose font
// did not change keeps its font object while the DPI stays; a new DPI makes it anew.
enum class SlotFont { BarFont, KeepOwn, MakeOwn };
SlotFont SlotFontStep(const ButtonTable& table, int index, const FontDesc* madeFrom, int dpi = kBaseDpi);
bool SameFont(const FontDesc& a, const FontDesc& b);

// The process-wide layout metrics, as last computed.
extern BarLayout g_layout;
