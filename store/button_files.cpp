#include "store/button_files.h"

#include <cstring>
#include "store/platform_seam.h"
#include "store/settings.h"

char g_documentsFolder[kPathSize];
char g_appDataFolder[kPathSize];
char g_buttonFolder[kPathSize];
char g_legacyDataFile[kPathSize];
char g_currentButtonFile[kPathSize];

namespace {

const char kCaption[] = "Brisklet";
const char kCurrentButtonFileValueName[] = "CurrentButtonFileName";
const char kFolderName[] = "\\brisklet";
const char kDefaultFileName[] = "\\brisklet.bklt";
const char kBackupFileName[] = "\\original_buttons.bklt";
const char kLegacyFileName[] = "\\brisklet.dat";
// Beside the file it will replace, so that the final rename stays within one folder.
const char kTemporarySuffix[] = ".saving";

const char kCannotCreatePrefix[] = "Cannot create Brisklet Button Data File in - ";
const char kCannotCreateSuffix[] = "\nPlease check that you have 'write' access to this folder";
const char kProblemAccessing[] = "Problem accessing Button file - Please re-install Brisklet";

FileSystem& Files() { return *g_platform.files; }

// out = first + second, cut to fit out (size bytes) and always terminated.
void JoinPath(char* out, size_t size, const char* first, const char* second) {
    // first may be out itself, to append in place.
    const size_t firstLength = std::strlen(first);
    const size_t head = firstLength < size - 1 ? firstLength : size - 1;
    std::memmove(out, first, head);
    CopyTextToField(out + head, size - head, second);
}

void RecordCurrentButtonFile() {
    SetRegistryString(RegRoot::CurrentUser, kBriskletKeyPath, kCurrentButtonFileValueName,
                      g_currentButtonFile);
}

void ShowCannotCreateMessage() {
    static char text[sizeof kCannotCreatePrefix + kPathSize + sizeof kCannotCreateSuffix];
    JoinPath(text, sizeof text, kCannotCreatePrefix, g_buttonFolder);
    JoinPath(text, sizeof text, text, kCannotCreateSuffix);
    g_platform.messages->ShowMessage(text, kCaption);
}

// Button folder = documents folder + "\brisklet", created when missing (an existing folder, or a
// failure, is fine: whoever writes there finds out).
void MakeButtonFolder() {
    JoinPath(g_buttonFolder, sizeof g_buttonFolder, g_documentsFolder, kFolderName);
    Files().CreateDirectory(g_buttonFolder);
}

// The one way a Button file is written. The whole image goes to a temporary file beside the
// target; only when all of it was written, flushed and closed does it replace the target in one
// step. Whatever fails, the target keeps its previous bytes (or stays absent) and the temporary
// file is removed.
bool WriteButtonImage(const char* path) {
    static char temporary[kPathSize + sizeof kTemporarySuffix];
    FileSystem& fs = Files();

    // Refuse exactly where an open for writing would fail, without truncating the file yet.
    const bool existed = fs.Exists(path);
    if (!fs.CanOpenForWrite(path)) return false;

    JoinPath(temporary, sizeof temporary, path, kTemporarySuffix);
    bool written = false;
    FileSystem::Handle file = fs.OpenWriteTruncate(temporary);
    if (file != nullptr) {
        written = fs.Write(file, &g_buttonTable, kButtonTableSize) == kButtonTableSize;
        written = written && fs.Flush(file);
        written = fs.Close(file) && written;
        written = written && fs.ReplaceFile(temporary, path);
        if (!written) fs.DeleteFile(temporary);
    }
    // The probe above creates a missing file empty; a failed save leaves no such trace.
    if (!written && !existed) fs.DeleteFile(path);
    return written;
}

}  // namespace

void BuildStorePaths() {
    JoinPath(g_buttonFolder, sizeof g_buttonFolder, g_documentsFolder, kFolderName);
    JoinPath(g_legacyDataFile, sizeof g_legacyDataFile, g_appDataFolder, kFolderName);
    JoinPath(g_legacyDataFile, sizeof g_legacyDataFile, g_legacyDataFile, kLegacyFileName);
}

bool SaveButtonFile() {
    if (!WriteButtonImage(g_currentButtonFile)) {
        ShowCannotCreateMessage();
        return false;
    }
    RecordCurrentButtonFile();
    return true;
}

void CreateDefaultButtonFile() {
    FileSystem& fs = Files();
    bool existed = fs.Exists(g_currentButtonFile);
    if (!fs.CanOpenForWrite(g_currentButtonFile)) {
        MakeButtonFolder();
        JoinPath(g_currentButtonFile, sizeof g_currentButtonFile, g_buttonFolder, kDefaultFileName);
        RecordCurrentButtonFile();
        existed = fs.Exists(g_currentButtonFile);
        if (!fs.CanOpenForWrite(g_currentButtonFile)) {
            g_platform.messages->ShowMessage(kProblemAccessing, kCaption);
            return;
        }
    }
    ApplyButtonDefaults();
    // Written once as it stands, then saved, which writes it again and records the path; a
    // failure of the first write is reported by the save.
    const bool written = WriteButtonImage(g_currentButtonFile);
    const bool saved = SaveButtonFile();
    // The probe above created a missing file empty; when nothing could be written into it, it
    // goes again rather than stand as an empty Button file.
    if (!written && !saved && !existed) fs.DeleteFile(g_currentButtonFile);
}

bool LoadButtonFile() {
    FileSystem& fs = Files();
    FileSystem::Handle file = fs.OpenRead(g_currentButtonFile);
    if (file == nullptr) return false;
    // One read straight over the image: a shorter file replaces only its leading bytes.
    fs.Read(file, &g_buttonTable, kButtonTableSize);
    fs.Close(file);
    RepairLoadedTable(g_buttonTable);
    return true;
}

void ReloadButtonFile() {
    if (!LoadButtonFile()) CreateDefaultButtonFile();
}

int MigrateLegacyDataFile() {
    static LegacyDataFile legacy;
    static char legacyFolder[kPathSize];
    static char backupFile[kPathSize];
    FileSystem& fs = Files();

    // 1-3: the Button folder, the legacy paths, and the default Button file made current.
    MakeButtonFolder();
    JoinPath(legacyFolder, sizeof legacyFolder, g_appDataFolder, kFolderName);
    JoinPath(g_legacyDataFile, sizeof g_legacyDataFile, legacyFolder, kLegacyFileName);
    JoinPath(g_currentButtonFile, sizeof g_currentButtonFile, g_buttonFolder, kDefaultFileName);
    RecordCurrentButtonFile();

    // 4: the defaults stand until the legacy content replaces them.
    CreateDefaultButtonFile();

    // 5-6: one read into the zeroed scratch buffer.
    FileSystem::Handle file = fs.OpenRead(g_legacyDataFile);
    if (file == nullptr) return 1;
    std::memset(&legacy, 0, sizeof legacy);
    fs.Read(file, &legacy, sizeof legacy);
    fs.Close(file);

    // 7-8: width, count, Favourite URL and the records' names, URLs and legacy values. A count
    // the legacy file cannot have held honestly is brought into 0..100, so no record beyond the
    // table's last slot is ever written.
    ButtonTable& table = g_buttonTable;
    table.buttonWidth = legacy.buttonWidth;
    table.buttonCount = legacy.buttonCount;
    const int count = ButtonCount(table);
    table.buttonCount = count;
    CopyTextToField(table.favouriteUrl, sizeof table.favouriteUrl, legacy.favouriteUrl);
    for (int i = 0; i < count; ++i) {
        ButtonRecord& record = table.records[i];
        const LegacyRecord& old = legacy.records[i];
        CopyTextToField(record.name, sizeof record.name, old.name);
        record.legacyValue = old.legacyValue;
        CopyTextToField(record.url, sizeof record.url, old.url);
    }

    // 9-13: save, keep a backup of the result, retire the legacy file and folder, save again.
    SaveButtonFile();
    JoinPath(backupFile, sizeof backupFile, g_buttonFolder, kBackupFileName);
    fs.CopyFile(g_currentButtonFile, backupFile, true);
    fs.DeleteFile(g_legacyDataFile);
    fs.RemoveDirectory(legacyFolder);
    SaveButtonFile();
    return 1;
}
