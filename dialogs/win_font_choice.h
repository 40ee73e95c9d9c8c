// The font choosing shared by the Add and Edit dialogs (and, with its own owner, the Setup
// dialog's global font): ChooseFontA on the Font scratch, centred on the screen by a hook.
#pragma once

#include <windows.h>

// Runs the font dialog on g_fontScratch, owned by `owner` (null for the editors). The font
// dialog's result is not looked at: a cancelled dialog leaves the scratch as it was.
void RunFontChoice(HWND owner);

// The font dialog's hook: centres it on WM_INITDIALOG.
UINT_PTR CALLBACK CentringHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
