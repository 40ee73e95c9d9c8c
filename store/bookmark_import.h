// Bookmarks in and out of the Button table, without a window: what of a bookmark file (or of
// dropped Internet shortcuts) can become buttons and why the rest cannot, the lines the Import
// Bookmarks dialog shows, the append of the chosen ones, and the export of the table as a
// bookmark file. Text moves between UTF-8 and the system code page through g_platform.codePage;
// files are read and written through g_platform.files.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>
#include "store/button_table.h"

// What the Import Bookmarks dialog is opened with: a bookmark file, or an Internet shortcut
// already read by the drop target.
struct ImportSource {
    std::string file;          // a bookmark file's path, or "" for a shortcut
    std::string shortcutName;  // the shortcut's file name without its extension (code page)
    std::string shortcutUrl;   // its address (code page)
};

// Sources of a drop, waiting for the bar to open the dialog with them; the drop target fills
// it and posts the import command, which takes them.
extern std::vector<ImportSource> g_pendingImport;

// Why a bookmark cannot become a button.
enum LeftOutReason { kAlreadyThere, kTooLong, kNoPlace, kOtherComputer, kOtherKind, kLeftOutReasons };

struct ImportRow {
    std::string name;   // code page, trimmed, 1 to 63 characters
    std::string url;    // code page, 1 to 511 characters
    size_t folder = 0;  // index into ImportList::folders
    std::string icon;   // "" or an image data URI
};

struct ImportList {
    std::vector<std::string> folders;  // folder paths in the code page; "" is a file's top level
    std::vector<ImportRow> rows;       // in file order, the files in the order given
    size_t leftOut[kLeftOutReasons] = {};
    bool cut = false;                  // a file held more bookmarks than are read
    std::vector<std::string> problems; // one message for each source that could not be used
    std::unordered_set<std::string> seen;  // AddressKey of every button and row so far
};

// Caption of the messages about importing and exporting.
extern const char kImportCaption[];
extern const char kExportCaption[];

// The form in which two addresses are compared: the scheme and the host in lower case, one
// trailing slash dropped.
std::string AddressKey(const std::string& address);

// Why an imported address cannot become a button, kLeftOutReasons when it can. A file or a
// bookmark someone sent may only bring what opens in the browser or the mail program, or a file
// on a drive of this computer: http, https and ftp addresses, mailto:, a path "C:\..." and a
// file: address naming a drive letter. Network paths ("\\server\...", "\\?\..." and
// "\\.\..."), smb: and file: addresses of another host are kOtherComputer; bare names ("calc"),
// other paths and the other schemes of places (news:, telnet: and the like) are kOtherKind;
// scripts ("javascript:"), queries ("place:"), "about:", data, the browsers' own pages and empty
// addresses are kNoPlace.
LeftOutReason AddressLeftOutReason(const std::string& address);
// Whether an imported address can become a button.
bool IsPlaceToGo(const std::string& address);

// The host of "scheme://user@host:port/...", or "" when the address names none.
std::string HostName(const std::string& address);

// Reads every source and keeps what can become a button beside the table's buttons. Files that
// cannot be read, are too large, are not bookmark files or hold no bookmarks each leave a
// message in `problems`.
ImportList BuildImportList(const std::vector<ImportSource>& sources, const ButtonTable& table);

// The folders that hold rows, in the order they first come, without repeats.
std::vector<std::string> FolderChoices(const ImportList& list);
// Whether a row belongs to a chosen folder: to the folder or one of its subfolders; the top
// level ("") holds only the rows outside every folder.
bool RowInFolder(const ImportList& list, size_t row, const std::string& folder);

// 100 less the buttons.
int FreePlaces(const ButtonTable& table);
// Every row starts checked when they all fit, none otherwise.
bool StartChecked(const ImportList& list, const ButtonTable& table);

std::string ChosenLine(size_t chosen, size_t rows, int freePlaces);
std::string LeftOutLine(const ImportList& list);
std::string TooManyMessage(size_t chosen, int freePlaces);

// Appends the chosen rows (indices in list order) after the buttons as whole new records: no
// own font (a copy of the global font), the new-window flag off. Refused, the table untouched,
// when they do not fit.
bool AppendImported(ButtonTable& table, const ImportList& list, const std::vector<size_t>& chosen);

// The folder an export is put in: the Button file's name without its folder and extension.
std::string ExportFolderName(const char* buttonFilePath);

// The table's buttons as a bookmark file, in bar order, inside one folder. icons, when given,
// holds an image data URI (or "") for each button.
std::string TableAsBookmarks(const ButtonTable& table, const char* buttonFilePath,
                             const std::vector<std::string>* icons = nullptr);

// Writes TableAsBookmarks to path as Button files are written; false when it failed, path
// then keeps what it held.
bool ExportBookmarks(const ButtonTable& table, const char* buttonFilePath, const char* path,
                     const std::vector<std::string>* icons = nullptr);

// "Cannot write the bookmark file - <path> ..."
std::string ExportFailedMessage(const char* path);
