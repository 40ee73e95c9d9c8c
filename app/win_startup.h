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
// -MulDiv(10, LOGPIXELSY of the screen, 72): a 10-point character height.
void ComputeDefaultFontHeight();
