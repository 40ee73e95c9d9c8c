// Entry points of the modal dialogs opened from the Button bar, and the hyperlink control.
#pragma once

#include <windows.h>

void RunSetupDialog(HWND bar);     // template 140
void RunOptionsDialog(HWND bar);   // template 149
void RunAboutDialog(HWND bar);     // template 103
LRESULT CALLBACK HyperlinkWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Moves a dialog (or the font dialog) to the centre of the screen without resizing it.
void CentreOnScreen(HWND dialog);
