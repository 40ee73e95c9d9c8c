// The display scale on Win32: the DPI a window is shown at, the system metrics at a DPI, and
// Button file fonts (sizes in 96-DPI pixels) as they are made and chosen at the bar's DPI. The
// per-DPI functions exist only on newer Windows and are looked up when first needed.
#pragma once

#include <windows.h>

#include "store/button_table.h"

// The window's DPI (GetDpiForWindow), else the screen's (LOGPIXELSY); a null window gives the
// screen's.
int WindowDpi(HWND window);
// The DPI of the bar, or of the screen before the bar exists.
int BarDpi();
// GetSystemMetricsForDpi where the platform has it, else GetSystemMetrics (which answers for
// the system DPI).
int MetricForDpi(int index, int dpi);

// A Button file's font as it is made at the bar's DPI, and a font chosen there as it is stored.
LOGFONTA LogFontAtBarDpi(const FontDesc& stored);
FontDesc StoredFontFromBarDpi(const LOGFONTA& shown);

// Icons and cursors of this program at the size the platform uses at the bar's DPI:
// SM_CXSMICON or SM_CXICON square, SM_CXCURSOR for cursors.
HICON LoadSmallIconAtBarDpi(HINSTANCE instance, int id);
HICON LoadLargeIconAtBarDpi(HINSTANCE instance, int id);
