// The OLE drop target on the Button bar.
#pragma once

#include <windows.h>

// Makes the drop target, locks it and registers it for the bar. Failures are reported in
// message boxes; the bar goes on without drag-and-drop.
void CreateDropTarget(HWND bar);
