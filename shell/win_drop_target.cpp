// Placeholder: the drop target is filled in by the drag-and-drop work.
#include "shell/win_drop_target.h"

void CreateDropTarget(HWND) {}
