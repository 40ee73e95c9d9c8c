// The Button bar window: its procedure and the operations the dialogs and start-up call.
#pragma once

#include <windows.h>

#include "app/layout.h"

LRESULT CALLBACK BarWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterWindowClasses(HINSTANCE instance);
// Creates the hidden Button bar, puts the tray icon up at once and then makes the buttons.
bool CreateButtonBar(HINSTANCE instance);
// The rest of the bar, once OLE and the common controls are up: the drop target, the font step
// queued, and the bar shown when start-up asks for it.
void FinishButtonBar();

// The screen metrics the layout is computed from.
ScreenMetrics ReadScreenMetrics();
// Reads the screen metrics and recomputes g_layout from the table.
void ComputeLayout();
// Moves the bar to g_layout's place and size, repainting; the scroll bar shows when the
// columns are wider than the bar.
void MoveBarToLayout();
// The width of the bar's client area, and where layout slot `slot` lies in a client area of
// that width at the bar's scroll position.
int BarClientWidth();
RECT SlotRect(int slot, int clientWidth);
// Scrolls the bar, when it scrolls, so that layout slot `slot` shows whole.
void ScrollSlotIntoView(int slot);
// Brings the button windows in line with the table, keeping the windows already there.
void CreateButtonWindows();
// Destroys every button window (an empty bar until the next rebuild).
void DestroyButtonWindows();
// Sets the fonts on the buttons, making only those that changed, and saves the Button file.
void ApplyFonts();
void HideBar();
void ToggleStayOnTop();
void ShowHelpFile();
