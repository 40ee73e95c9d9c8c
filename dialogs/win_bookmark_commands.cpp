// The bar's two bookmark commands: "&Import Bookmarks..." asks for a bookmark file (unless a
// drop has already brought the files) and opens the Import Bookmarks dialog with it;
// "Ex&port Bookmarks..." asks where to write and writes every button there as a bookmark, with
// its site's cached icon.
#include "dialogs/win_dialogs.h"

#include <commdlg.h>

#include <new>
#include <string>
#include <vector>
#include "app/win_site_icons.h"
#include "res/resource.h"
#include "store/bookmark_import.h"
#include "store/button_files.h"

namespace {

const char kBookmarkFilter[] = "Bookmark files\0*.html;*.htm\0All files\0*.*\0";
const char kExportName[] = "brisklet-bookmarks.html";

// The common Open or Save As dialog on the documents folder; `path` (kPathSize bytes) holds
// the name it starts with and gets the one chosen. Save As asks before it replaces a file.
bool AskForBookmarkFile(HWND owner, bool forSaving, char* path) {
    const DWORD flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                        (forSaving ? OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN : OFN_FILEMUSTEXIST);
    return AskForFileName(owner, forSaving, kBookmarkFilter, g_documentsFolder, "html", flags, path, kPathSize);
}

}  // namespace

void RunImportBookmarks(HWND bar) {
    std::vector<ImportSource> sources;
    sources.swap(g_pendingImport);
    try {
        if (sources.empty()) {
            char path[kPathSize] = "";
            if (!AskForBookmarkFile(bar, false, path)) return;
            sources.push_back(ImportSource{path, std::string(), std::string()});
        }
        RunImportDialog(bar, sources);
    } catch (const std::bad_alloc&) {
        MessageBoxA(bar, "Not enough memory to read the bookmarks.", kImportCaption, MB_OK | MB_ICONWARNING);
    }
}

void RunExportBookmarks(HWND bar) {
    char path[kPathSize];
    CopyTextToField(path, sizeof path, kExportName);
    if (!AskForBookmarkFile(bar, true, path)) return;
    // Bookmarks written over the Button file would stand there until the next save.
    if (lstrcmpiA(path, g_currentButtonFile) == 0) {
        MessageBoxA(bar, "Brisklet keeps its buttons in that file - Please choose another name for the bookmark file",
                    kExportCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    const std::vector<std::string> icons = ButtonIconUris();
    if (!ExportBookmarks(g_buttonTable, g_currentButtonFile, path, &icons)) {
        MessageBoxA(bar, ExportFailedMessage(path).c_str(), kExportCaption, MB_OK | MB_ICONWARNING);
    }
}
