// The common Open and Save As dialogs, as every file command of the program asks them.
#include "dialogs/win_dialogs.h"

#include <commdlg.h>

#include <cstddef>

// OPENFILENAME_SIZE_VERSION_400A is the structure up to and including lpTemplateName; its
// macro is not a constant expression, so the same size is checked from the layout.
#if !defined(_WIN64)
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "OPENFILENAMEA (4.0 layout) is 76 bytes in the 32-bit build");
#endif

bool AskForFileName(HWND owner, bool forSaving, const char* filter, const char* folder, const char* extension,
                    DWORD flags, char* path, size_t size) {
    OPENFILENAMEA request;
    ZeroMemory(&request, sizeof request);
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = owner;
    request.lpstrFilter = filter;
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = static_cast<DWORD>(size);
    request.lpstrInitialDir = folder;
    request.lpstrDefExt = extension;
    request.Flags = flags;
    return (forSaving ? GetSaveFileNameA(&request) : GetOpenFileNameA(&request)) != FALSE;
}
