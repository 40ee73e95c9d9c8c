// Type to find on the Button bar: the filter field at its top, the buttons of this Button file
// that match, and the matches of the other Button files of the Button folder under their names.
// What matches and what takes the focus is decided in app/button_filter.h.
#pragma once

#include <windows.h>

#include <vector>

// Whether a text has been typed (the bar shows only what matches it).
bool FilterActive();
// Layout slots the filtered bar takes (the field, the matches, the other files' names); 0 when
// no text is typed.
int FilterSlotCount();
// The slot button `index` of this Button file stands in: its own index while nothing is typed,
// -1 when it does not match.
int FilterSlotOfButton(int index);
// Places the field in a client area of that width scrolled by scrollX, hiding it while nothing
// is typed. Answers whether anything was moved, shown, hidden or given a new text, the drawn
// names and matches of the other files included.
bool PlaceFilterWindows(int clientWidth, int scrollX);

// Draws the other files' names and matches that lie in `area` of the bar's client area (they
// have no windows of their own).
void DrawFilterItems(HDC dc, const RECT& area);
// The bar's mouse and focus messages: the drawn matches show the mouse over them, are pressed
// and opened by the left button, and open the Setup dialog on the right one. True when the
// message was taken.
bool FilterMouseAndFocus(UINT message, LPARAM lParam);

// Keys on the bar, before its own handling: typed characters, Backspace, Esc and Space edit the
// text; arrows, Tab, Home, End, Enter and Space move among and open the matches while a text is
// typed. True when the key was taken.
bool FilterKeyDown(const MSG& message);
bool FilterCharacter(const MSG& message);
// The text goes and the bar shows all its buttons again.
void ClearFilter();
// Command IDC_OTHER_FIRST + k: match k of the other Button files is opened; the current Button
// file stays as it is.
void LaunchOtherMatch(int k);

// The other Button files are read again before the next search: another file became current, or
// the watcher of the Button folder reports a changed .bklt file.
void NoteButtonFolderChanged();
// The bar is shown: the other files are read again unless the Button folder is watched (its
// changes are reported as they happen).
void NoteBarShown();
