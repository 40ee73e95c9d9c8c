// Placeholder: the Setup dialog is filled in by the dialogs work.
#include "dialogs/win_dialogs.h"

void RunSetupDialog(HWND) {}
