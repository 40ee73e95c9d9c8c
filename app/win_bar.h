// The Button bar window: its procedure and the operations the dialogs and start-up call.
#pragma once

#include <windows.h>

LRESULT CALLBACK BarWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterWindowClasses(HINSTANCE instance);
bool CreateButtonBar(HINSTANCE instance);

// Reads the screen metrics and recomputes g_layout from the table.
void ComputeLayout();
void CreateButtonWindows();
void DestroyButtonWindows();
void ApplyFonts();
void HideBar();
void ToggleStayOnTop();
void ShowHelpFile();
