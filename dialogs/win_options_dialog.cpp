// Placeholder: the Options dialog is filled in by the dialogs work.
#include "dialogs/win_dialogs.h"

void RunOptionsDialog(HWND) {}
