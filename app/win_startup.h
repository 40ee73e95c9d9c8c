// Start-up steps that call Windows, used by the entry point in app/win_main.cpp.
// RegisterWindowClasses and CreateButtonBar are declared in app/win_bar.h.
#pragma once

#include <windows.h>
#include "app/win_bar.h"

// The application-data and documents folders through "shfolder.dll"; both stay empty when the
// library or its entry is missing.
void ReadShellFolders();
// The program associated with .htm files, found through a temporary "dummy.htm" that is
// deleted again; empty when none is found or the file cannot be made.
void FindBrowserProgram();
// -MulDiv(10, 96, 72) = -13: a 10-point character height at 96 DPI, the DPI a Button file's
// font sizes are given at whatever the display's.
void ComputeDefaultFontHeight();
