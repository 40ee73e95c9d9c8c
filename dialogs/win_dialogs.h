// Entry points of the modal dialogs opened from the Button bar, and the hyperlink control.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>
#include "store/bookmark_import.h"

void RunSetupDialog(HWND bar);     // template 140
// The open Setup dialog (if one is) shows the table again: it changed under it (a merge with
// another program's changes).
void RefreshSetupDialog();
void RunOptionsDialog(HWND bar);   // template 149
void RunAboutDialog(HWND bar);     // template 103
// "&Import Bookmarks...": the files a drop brought (g_pendingImport), or one asked for, in the
// Import Bookmarks dialog (template 153).
void RunImportBookmarks(HWND bar);
// "Ex&port Bookmarks...": every button written to a bookmark file the user names.
void RunExportBookmarks(HWND bar);
LRESULT CALLBACK HyperlinkWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The Import Bookmarks dialog for these sources. Sources that cannot be used are reported in
// message boxes first; when nothing is left to show, the dialog does not open.
void RunImportDialog(HWND bar, const std::vector<ImportSource>& sources);

// The common Save As (forSaving) or Open dialog with these OPENFILENAME flags, filter (pairs of
// NUL-terminated texts ending in a second NUL), first folder and default extension (or null).
// `path` (size bytes) holds the name it starts with and receives the one chosen.
bool AskForFileName(HWND owner, bool forSaving, const char* filter, const char* folder, const char* extension,
                    DWORD flags, char* path, size_t size);

// Moves a dialog (or the font dialog) to the centre of the screen without resizing it.
void CentreOnScreen(HWND dialog);
