// The Button bar window: its procedure and the operations the dialogs and start-up call.
#pragma once

#include <windows.h>

#include "app/layout.h"

LRESULT CALLBACK BarWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterWindowClasses(HINSTANCE instance);
bool CreateButtonBar(HINSTANCE instance);

// The screen metrics the layout is computed from.
ScreenMetrics ReadScreenMetrics();
// Reads the screen metrics and recomputes g_layout from the table.
void ComputeLayout();
// Moves the bar to g_layout's place and size, repainting.
void MoveBarToLayout();
void CreateButtonWindows();
void DestroyButtonWindows();
void ApplyFonts();
void HideBar();
void ToggleStayOnTop();
void ShowHelpFile();
