// Glyphs, not boxes: a caption whose characters its font lacks (the raster "System" face has no
// Cyrillic, Greek or Chinese letters; a face the user picks may lack some) is drawn in another
// face that has them, at the same size and weight.
#pragma once

#include <windows.h>

// The font to draw `text` (the program's code page) in: `font` itself when it has a glyph for
// every character of the text, else the first fallback face that has them all, else the one
// that has the most. Fallback fonts live as long as the program and are never deleted by
// callers.
HFONT FontWithGlyphs(HFONT font, const char* text);
HFONT FontWithGlyphsWide(HFONT font, const WCHAR* text);
