// The Add New URL (template 143) and Edit Button (template 142) dialogs, opened by the Setup
// dialog. Both leave what they collected in g_editorResult (dialogs/table_edits.h).
#pragma once

#include <windows.h>

// Collects a new button's URL, name, font and new-window choice; nothing is saved here.
// Returns 1 after a valid OK, 2 after Cancel.
INT_PTR RunAddDialog(HWND owner);

// Edits the selected record's URL and name in place and saves on a valid OK; the font and the
// new-window choice are left for the caller. Returns 1 after a valid OK, 2 after Cancel.
INT_PTR RunEditDialog(HWND owner);
