#include "store/button_files.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include "store/button_merge.h"
#include "store/platform_seam.h"
#include "store/settings.h"
#include "store/sync_rules.h"
#include "store/text_encoding.h"

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
// What a legacy data file is renamed to when it cannot be deleted after its migration.
const char kMigratedSuffix[] = ".migrated";
// Beside the file it will replace, so that the final rename stays within one folder.
const char kTemporarySuffix[] = ".saving";

const char kCannotCreatePrefix[] = "Cannot create Brisklet Button Data File in - ";
const char kCannotCreateSuffix[] = "\nPlease check that you have 'write' access to this folder";
const char kProblemAccessing[] = "Problem accessing Button file - Please re-install Brisklet";
const char kCannotReadPrefix[] = "Cannot read Brisklet Button file - ";
const char kCannotReadReason[] = "\nIt may be in use by another program.";
const char kNowUsing[] = " Brisklet now uses - ";
const char kNotButtonFile[] = " is not a Brisklet Button file (";
const char kBytesEnd[] = " bytes).";
const char kKeptIn[] = " Its original content is kept in - ";
const char kNotKept[] = " Its original content could not be copied beside it, so it was not loaded and is left as it is.";

// A file that is not a Button file is copied to "<file>.orig", or "<file>.orig2" ... up to this
// number when the names before are taken.
const char kOriginalSuffix[] = ".orig";
const int kMaxOriginalCopies = 99;
constexpr size_t kCopyPathSize = kPathSize + 8;   // room for the suffix and its number
constexpr size_t kMessageSize = 2 * kPathSize + 512;

// The last copy made of a file that is not a Button file: the file, its size then, and the copy.
// A save over that file needs no second copy while this one stands.
struct KeptCopy {
    char file[kPathSize];
    uint64_t size;
    char copy[kCopyPathSize];
};
KeptCopy s_kept;

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

bool SamePath(const char* first, const char* second) {
    // Windows paths ignore the case of ASCII letters.
    for (;; ++first, ++second) {
        const char a = LowerAscii(*first);
        if (a != LowerAscii(*second)) return false;
        if (a == '\0') return true;
    }
}

// A Button file is 64,996 bytes; an empty file is taken as one too (it changes nothing).
bool IsButtonFileSize(uint64_t size) { return size == 0 || size == kButtonTableSize; }

// "<file> is not a Brisklet Button file (<N> bytes)." followed by `rest`.
void NotButtonFileText(char* text, size_t size, const char* path, uint64_t bytes, const char* rest) {
    char digits[24];  // 20 digits at most
    if (std::snprintf(digits, sizeof digits, "%" PRIu64, bytes) < 0) digits[0] = '\0';
    JoinPath(text, size, path, kNotButtonFile);
    JoinPath(text, size, text, digits);
    JoinPath(text, size, text, kBytesEnd);
    JoinPath(text, size, text, rest);
}

// Copies path (size bytes) byte for byte to the first free name of "<path>.orig",
// "<path>.orig2", ... An existing file is never replaced. A copy that does not come out as long
// as the file is removed again. True, with s_kept naming the copy, when it was made.
bool KeepCopyOf(const char* path, uint64_t size) {
    static char copy[kCopyPathSize];
    FileSystem& fs = Files();
    for (int number = 1; number <= kMaxOriginalCopies; ++number) {
        const int length = number == 1 ? std::snprintf(copy, sizeof copy, "%s%s", path, kOriginalSuffix)
                                       : std::snprintf(copy, sizeof copy, "%s%s%d", path, kOriginalSuffix, number);
        if (length < 0 || static_cast<size_t>(length) >= sizeof copy) return false;
        if (fs.Exists(copy)) continue;
        if (!fs.CopyFile(path, copy, false)) return false;
        uint64_t copied = 0;
        if (!fs.FileSize(copy, &copied) || copied != size) {
            fs.DeleteFile(copy);
            return false;
        }
        CopyTextToField(s_kept.file, sizeof s_kept.file, path);
        s_kept.size = size;
        CopyTextToField(s_kept.copy, sizeof s_kept.copy, copy);
        return true;
    }
    return false;
}

// Says which file was not a Button file and where its original content is kept (s_kept).
void ShowKeptMessage() {
    static char text[kMessageSize];
    NotButtonFileText(text, sizeof text, s_kept.file, s_kept.size, kKeptIn);
    JoinPath(text, sizeof text, text, s_kept.copy);
    g_platform.messages->ShowMessage(text, kCaption);
}

// Before path is written over: a file there that is not a Button file by its size must have a
// copy, the one its load made or a new one. False when it has none and none can be made, or
// when its size cannot be learnt.
bool KeptBeforeWritingOver(const char* path) {
    FileSystem& fs = Files();
    uint64_t size = 0;
    if (!fs.FileSize(path, &size)) return !fs.Exists(path);
    if (IsButtonFileSize(size)) return true;
    uint64_t copied = 0;
    if (SamePath(path, s_kept.file) && size == s_kept.size && fs.FileSize(s_kept.copy, &copied) && copied == size) {
        return true;
    }
    if (!KeepCopyOf(path, size)) return false;
    ShowKeptMessage();
    return true;
}

// The one way a Button file is written. The whole image goes to a temporary file beside the
// target; only when all of it was written, flushed and closed does it replace the target in one
// step. Whatever fails, the target keeps its previous bytes (or stays absent) and the temporary
// file is removed.
bool WriteButtonImage(const char* path) {
    FileSystem& fs = Files();

    // Refuse exactly where an open for writing would fail, without truncating the file yet.
    const bool existed = fs.Exists(path);
    if (!fs.CanOpenForWrite(path)) return false;
    // A file that is not a Button file keeps its bytes in a copy before anything goes over it.
    if (existed && !KeptBeforeWritingOver(path)) return false;

    const bool written = WriteFileSafely(path, &g_buttonTable, kButtonTableSize);
    // The probe above creates a missing file empty; a failed save leaves no such trace.
    if (!written && !existed) fs.DeleteFile(path);
    return written;
}

// ---- a Button file that other programs change too ----------------------------------------

// The image last read from or written to s_basePath: where this program and the file started
// from when they come to differ (another PC's changes arrived through a sync client).
ButtonTable s_base;
char s_basePath[kPathSize];
bool s_haveBase;
// The file as read before a save or after a change on disk.
ButtonTable s_disk;
// A save that could not happen yet: how often it was tried and how long it has waited.
struct PendingSave {
    bool pending;
    int attempt;
    unsigned waitedMs;
};
PendingSave s_retry;
// What a merge needs to tell, shown once the save that follows it has been written.
std::string s_toTell;

// How long a file of the wrong size is given to settle before it is judged, and how often.
constexpr unsigned kSettleMs = 200;
constexpr int kMaxLooks = 3;

const char kOverflowMark[] = " (more";
const char kMergedSuffix[] = ".merged";

void RememberBase(const char* path, const ButtonTable& image) {
    std::memcpy(&s_base, &image, sizeof s_base);
    CopyTextToField(s_basePath, sizeof s_basePath, path);
    s_haveBase = true;
}

bool HaveBaseFor(const char* path) { return s_haveBase && SamePath(s_basePath, path); }

// One read of the whole file into `into`. False when the file is not there.
bool ReadDiskOnce(const char* path, DiskRead* read, ButtonTable* into = &s_disk) {
    FileSystem& fs = Files();
    *read = DiskRead();
    FileSystem::Handle file = fs.OpenRead(path);
    if (file == nullptr) return fs.Exists(path);
    uint64_t size = 0;
    if (fs.FileSize(path, &size)) {
        read->read = true;
        read->size = size;
        if (size == kButtonTableSize) {
            const size_t got = fs.Read(file, into, kButtonTableSize);
            if (got == kButtonTableSize) {
                read->image = into;
            } else {
                read->size = got;   // it shrank under the read: not ready
            }
        }
    }
    fs.Close(file);
    return true;
}

// Reads path into s_disk and judges it against `base`; a wrong size is read again a moment later
// before it counts as foreign (or empty).
DiskState ReadDisk(const char* path, const ButtonTable* base) {
    DiskRead first;
    bool exists = ReadDiskOnce(path, &first);
    DiskState state = JudgeDiskRead(exists, first, nullptr, base);
    if (state != DiskState::NotReady) return state;
    Files().Pause(kSettleMs);
    DiskRead second;
    exists = ReadDiskOnce(path, &second);
    return JudgeDiskRead(exists, second, &first, base);
}

// "<stem> (more).bklt", or "<stem> (more 2).bklt" ... when taken, beside the current file.
bool WriteOverflowTable(const ButtonTable& table, char* path, size_t size) {
    const size_t length = std::strlen(g_currentButtonFile);
    const size_t stem = length > 5 ? length - 5 : length;
    for (int number = 1; number < 100; ++number) {
        const int made = number == 1
                             ? std::snprintf(path, size, "%.*s%s).bklt", static_cast<int>(stem), g_currentButtonFile,
                                             kOverflowMark)
                             : std::snprintf(path, size, "%.*s%s %d).bklt", static_cast<int>(stem),
                                             g_currentButtonFile, kOverflowMark, number);
        if (made < 0 || static_cast<size_t>(made) >= size) return false;
        if (Files().Exists(path)) continue;
        return WriteFileSafely(path, &table, kButtonTableSize);
    }
    return false;
}

// Takes a merge's result into the table: the first table replaces it, a second one (past 100
// buttons) goes into a new Button file beside it, and what needs telling waits for the save.
void TakeMergeResult(const MergeResult& result) {
    std::memcpy(&g_buttonTable, result.merged[0].get(), sizeof g_buttonTable);
    static char overflow[kPathSize + 16];
    const bool kept = result.merged.size() > 1 && WriteOverflowTable(*result.merged[1], overflow, sizeof overflow);
    s_toTell = DescribeMerge(result.notes, kept ? overflow : nullptr);
    if (result.merged.size() > 1 && !kept) s_toTell += "\nThe Button file for them could not be written.";
    if (g_platform.sync != nullptr) g_platform.sync->TableReplaced();
}

// The file's changes since the base, merged into the table; the file as read becomes the base.
void MergeDiskIntoTable() {
    TakeMergeResult(MergeButtonTables(s_base, g_buttonTable, s_disk));
    RememberBase(g_currentButtonFile, s_disk);
}

enum class SaveStep { Write, Later };

// Before the current file is written over: when this program knows what it last read or wrote
// there, the file is read again; changes made by others are merged into the table first. A file
// that cannot be read now (held by another program, half written) is not written over.
SaveStep PrepareSave() {
    if (!HaveBaseFor(g_currentButtonFile)) return SaveStep::Write;
    switch (ReadDisk(g_currentButtonFile, &s_base)) {
        // A file this program read or wrote whole that now has another size is far more likely
        // one another program is still writing (or has cut short) than a foreign file.
        case DiskState::Unreadable:
        case DiskState::NotReady:
        case DiskState::Foreign:
        case DiskState::Empty: return SaveStep::Later;
        case DiskState::Changed: MergeDiskIntoTable(); return SaveStep::Write;
        case DiskState::Missing:
        case DiskState::Unchanged: return SaveStep::Write;
    }
    return SaveStep::Write;
}

const char kNotSavedPrefix[] = "Brisklet could not save the Button file - ";
const char kNotSavedReason[] = "\nAnother program holds it, or it cannot be read now.";
const char kNotSavedKept[] = " The buttons are kept in - ";
const char kNotSavedLost[] = " The buttons stay on the bar; the next change tries again.";

// A save that could not happen for half a minute: the table goes into "<name> (not saved).bklt"
// beside the file, and the user is told.
void GiveUpSave() {
    static char copy[kPathSize + 16];
    static char text[kMessageSize + 2 * kPathSize];
    s_retry = PendingSave();
    const bool kept = NotSavedCopyPath(g_currentButtonFile, copy, sizeof copy) &&
                      WriteFileSafely(copy, &g_buttonTable, kButtonTableSize);
    JoinPath(text, sizeof text, kNotSavedPrefix, g_currentButtonFile);
    JoinPath(text, sizeof text, text, kNotSavedReason);
    JoinPath(text, sizeof text, text, kept ? kNotSavedKept : kNotSavedLost);
    if (kept) JoinPath(text, sizeof text, text, copy);
    g_platform.messages->ShowMessage(text, kCaption);
}

// The save is tried again after a wait that grows, for half a minute. True while it is.
bool DeferSave() {
    FileSyncEvents* sync = g_platform.sync;
    if (s_retry.pending) return true;   // the retry that is due saves the table as it is then
    if (sync == nullptr) {
        ShowCannotCreateMessage();
        return false;
    }
    if (s_retry.waitedMs >= kSaveGiveUpMs) {
        GiveUpSave();
        return false;
    }
    ++s_retry.attempt;
    const unsigned delay = SaveRetryDelayMs(s_retry.attempt);
    s_retry.pending = true;
    s_retry.waitedMs += delay;
    sync->RetrySaveLater(delay);
    return true;
}

// One read of path straight over the table image: a shorter file replaces only its leading
// bytes. A file that is there but will not open is Unreadable; the table is then untouched. A
// file that is not a Button file by its size is copied first (and the user told where the copy
// is); when that fails it is NotKept, with its size in *foreignSize, and nothing is read. A
// file of another size may be one another program is still writing: it is judged only once a
// look a moment later finds it the same size.
LoadResult ReadButtonFileFrom(const char* path, uint64_t* foreignSize) {
    FileSystem& fs = Files();
    FileSystem::Handle file = nullptr;
    uint64_t size = 0;
    for (int look = 0;; ++look) {
        file = fs.OpenRead(path);
        if (file == nullptr) return fs.Exists(path) ? LoadResult::Unreadable : LoadResult::Missing;
        uint64_t now = 0;
        if (!fs.FileSize(path, &now)) {
            fs.Close(file);
            return LoadResult::Unreadable;
        }
        const bool settled = now == kButtonTableSize || (look > 0 && now == size) || look + 1 >= kMaxLooks;
        size = now;
        if (settled) break;
        fs.Close(file);
        fs.Pause(kSettleMs);
    }
    const bool foreign = !IsButtonFileSize(size);
    if (foreign && !KeepCopyOf(path, size)) {
        fs.Close(file);
        *foreignSize = size;
        return LoadResult::NotKept;
    }
    const size_t got = fs.Read(file, &g_buttonTable, kButtonTableSize);
    fs.Close(file);
    if (size == kButtonTableSize && got == kButtonTableSize) {
        RememberBase(path, g_buttonTable);
    } else {
        s_haveBase = false;
    }
    RepairLoadedTable(g_buttonTable);
    if (foreign) ShowKeptMessage();
    return LoadResult::Loaded;
}

// A Button folder file name that is not taken yet: "brisklet (2).bklt", "brisklet (3).bklt"...
// False when none fits or all are taken.
bool FindFreeButtonFileName(char* path, size_t size) {
    for (int number = 2; number < 100; ++number) {
        const int length = std::snprintf(path, size, "%s\\brisklet (%d).bklt", g_buttonFolder, number);
        if (length < 0 || static_cast<size_t>(length) >= size) return false;
        if (!Files().Exists(path)) return true;
    }
    return false;
}

// The image of the default table, written twice as a new default file is (once as it stands,
// once by the save that records its path). existed: whether the file was there before the
// check that it can be written, which creates it empty.
void WriteDefaultTable(bool existed) {
    ApplyButtonDefaults();
    // A failure of the first write is reported by the save.
    const bool written = WriteButtonImage(g_currentButtonFile);
    const bool saved = SaveButtonFile();
    // Opening for writing creates a missing file empty; when nothing could be written into it,
    // it goes again rather than stand as an empty Button file.
    if (!written && !saved && !existed) Files().DeleteFile(g_currentButtonFile);
}

// Makes the default Button file current when the current one cannot be used. A default file
// that exists holds the user's buttons: it is loaded, never overwritten with the defaults. When
// it exists but cannot be read either (or is the file that could not be read), a free name
// beside it takes its place. Only a file that did not exist is created with the defaults.
// False when no file could be taken ("Problem accessing..." has been shown).
bool FallBackToDefaultButtonFile(const char* unreadable) {
    MakeButtonFolder();
    JoinPath(g_currentButtonFile, sizeof g_currentButtonFile, g_buttonFolder, kDefaultFileName);
    RecordCurrentButtonFile();

    LoadResult result = LoadResult::Unreadable;
    if (unreadable == nullptr || !SamePath(unreadable, g_currentButtonFile)) {
        uint64_t foreignSize = 0;
        result = ReadButtonFileFrom(g_currentButtonFile, &foreignSize);
    }
    if (result == LoadResult::Loaded) return true;
    if (result != LoadResult::Missing) {
        static char freeName[kPathSize];
        if (!FindFreeButtonFileName(freeName, sizeof freeName)) {
            g_platform.messages->ShowMessage(kProblemAccessing, kCaption);
            return false;
        }
        CopyTextToField(g_currentButtonFile, sizeof g_currentButtonFile, freeName);
        RecordCurrentButtonFile();
    }
    // Neither the default file nor a free name existed until now.
    if (!Files().CanOpenForWrite(g_currentButtonFile)) {
        g_platform.messages->ShowMessage(kProblemAccessing, kCaption);
        return false;
    }
    WriteDefaultTable(false);
    return true;
}

// The current Button file is there but cannot be used: it cannot be read (another program holds
// it without sharing, or it is not readable by this user), or it is not a Button file and no copy
// of it could be made. Its bytes stay as they are: the program moves to the default Button file
// and says why it left the file (`why`, which names it) and which one it uses now.
void LeaveButtonFile(const char* why) {
    static char left[kPathSize];
    static char text[kMessageSize + sizeof kNowUsing + kPathSize];
    CopyTextToField(left, sizeof left, g_currentButtonFile);
    const bool moved = FallBackToDefaultButtonFile(left);
    CopyTextToField(text, sizeof text, why);
    if (moved) {
        JoinPath(text, sizeof text, text, kNowUsing);
        JoinPath(text, sizeof text, text, g_currentButtonFile);
    }
    g_platform.messages->ShowMessage(text, kCaption);
}

}  // namespace

bool TemporaryFileFor(const char* path, char* out, size_t size) {
    const int length = std::snprintf(out, size, "%s.%s%s", path, g_platform.instanceTag, kTemporarySuffix);
    return length >= 0 && static_cast<size_t>(length) < size;
}

bool WriteFileSafely(const char* path, const void* data, size_t size) {
    static char temporary[kPathSize + 32 + sizeof kTemporarySuffix];
    FileSystem& fs = Files();
    if (!TemporaryFileFor(path, temporary, sizeof temporary)) return false;
    FileSystem::Handle file = fs.OpenWriteTruncate(temporary);
    if (file == nullptr) return false;
    bool written = fs.Write(file, data, size) == size;
    written = written && fs.Flush(file);
    written = fs.Close(file) && written;
    written = written && fs.ReplaceFile(temporary, path);
    if (!written) fs.DeleteFile(temporary);
    return written;
}

void BuildStorePaths() {
    JoinPath(g_buttonFolder, sizeof g_buttonFolder, g_documentsFolder, kFolderName);
    JoinPath(g_legacyDataFile, sizeof g_legacyDataFile, g_appDataFolder, kFolderName);
    JoinPath(g_legacyDataFile, sizeof g_legacyDataFile, g_legacyDataFile, kLegacyFileName);
}

bool SaveButtonFile() {
    if (PrepareSave() == SaveStep::Later) return DeferSave();
    if (!WriteButtonImage(g_currentButtonFile)) {
        // Held by another program, a file this program has read before is tried again later.
        if (HaveBaseFor(g_currentButtonFile) && Files().LastFailureWasBusy()) return DeferSave();
        ShowCannotCreateMessage();
        return false;
    }
    RememberBase(g_currentButtonFile, g_buttonTable);
    s_retry = PendingSave();
    RecordCurrentButtonFile();
    if (!s_toTell.empty()) {
        const std::string text = std::move(s_toTell);
        s_toTell.clear();
        g_platform.messages->ShowMessage(text.c_str(), kCaption);
    }
    return true;
}

bool SavePending() { return s_retry.pending; }

bool ReadWholeButtonFile(const char* path, ButtonTable* table) {
    DiskRead read;
    return ReadDiskOnce(path, &read, table) && read.image != nullptr;
}

void ForgetButtonFileHistory() {
    s_haveBase = false;
    s_retry = PendingSave();
    s_toTell.clear();
}

void RetryPendingSave() {
    if (!s_retry.pending) return;
    s_retry.pending = false;
    SaveButtonFile();
}

DiskChange TakeDiskChange() {
    if (!HaveBaseFor(g_currentButtonFile)) return DiskChange::None;
    if (s_retry.pending) {
        // The save that waits merges whatever arrived.
        RetryPendingSave();
        return DiskChange::None;
    }
    switch (ReadDisk(g_currentButtonFile, &s_base)) {
        case DiskState::Unreadable:
        case DiskState::NotReady: return DiskChange::TryLater;
        case DiskState::Changed: break;
        case DiskState::Missing:
        case DiskState::Foreign:
        case DiskState::Empty:
        case DiskState::Unchanged: return DiskChange::None;
    }
    if (std::memcmp(&g_buttonTable, &s_base, sizeof s_base) == 0) {
        // Nothing of this program's waits to be saved: the file's table is taken as it is.
        std::memcpy(&g_buttonTable, &s_disk, sizeof g_buttonTable);
        RememberBase(g_currentButtonFile, s_disk);
        RepairLoadedTable(g_buttonTable);
        if (g_platform.sync != nullptr) g_platform.sync->TableReplaced();
    } else {
        MergeDiskIntoTable();
        SaveButtonFile();
    }
    return DiskChange::Replaced;
}

CopyMerge MergeConflictCopy(const char* copyPath) {
    static char merged[kPathSize + 16];
    if (ReadDisk(copyPath, nullptr) != DiskState::Changed) return CopyMerge::CannotRead;
    TakeMergeResult(UniteButtonTables(g_buttonTable, s_disk));
    if (!SaveButtonFile()) return CopyMerge::NotSaved;
    // Out of the Button file lists, never offered again, still on disk.
    JoinPath(merged, sizeof merged, copyPath, kMergedSuffix);
    for (int number = 2; Files().Exists(merged) && number < 100; ++number) {
        if (std::snprintf(merged, sizeof merged, "%s%s%d", copyPath, kMergedSuffix, number) < 0) break;
    }
    return Files().ReplaceFile(copyPath, merged) ? CopyMerge::Merged : CopyMerge::NotRenamed;
}

void CreateDefaultButtonFile() {
    const bool existed = Files().Exists(g_currentButtonFile);
    if (!Files().CanOpenForWrite(g_currentButtonFile)) {
        FallBackToDefaultButtonFile(nullptr);
        return;
    }
    WriteDefaultTable(existed);
}

void TakeDefaultButtonFile() {
    JoinPath(g_currentButtonFile, sizeof g_currentButtonFile, g_buttonFolder, kDefaultFileName);
    if (!Files().Exists(g_currentButtonFile)) CreateDefaultButtonFile();
}

LoadResult LoadButtonFile() {
    uint64_t foreignSize = 0;
    return ReadButtonFileFrom(g_currentButtonFile, &foreignSize);
}

void ReloadButtonFile() {
    static char why[kMessageSize];
    uint64_t foreignSize = 0;
    LoadResult result = ReadButtonFileFrom(g_currentButtonFile, &foreignSize);
    // A file another program holds for a moment (a sync client fetching it) is asked for again,
    // a little longer each time, before the program leaves it for another.
    for (int attempt = 1; result == LoadResult::Unreadable && attempt <= 3; ++attempt) {
        Files().Pause(SaveRetryDelayMs(attempt));
        result = ReadButtonFileFrom(g_currentButtonFile, &foreignSize);
    }
    switch (result) {
        case LoadResult::Loaded: return;
        case LoadResult::Missing: CreateDefaultButtonFile(); return;
        case LoadResult::Unreadable:
            JoinPath(why, sizeof why, kCannotReadPrefix, g_currentButtonFile);
            JoinPath(why, sizeof why, why, kCannotReadReason);
            LeaveButtonFile(why);
            return;
        case LoadResult::NotKept:
            NotButtonFileText(why, sizeof why, g_currentButtonFile, foreignSize, kNotKept);
            LeaveButtonFile(why);
            return;
    }
}

bool LegacyMigrationDue() {
    return Files().Exists(g_legacyDataFile) && !ReadLegacyDataMigrated();
}

int MigrateLegacyDataFile() {
    static LegacyDataFile legacy;
    static char legacyFolder[kPathSize];
    static char backupFile[kPathSize];
    FileSystem& fs = Files();

    // The Button folder and the legacy paths.
    MakeButtonFolder();
    JoinPath(legacyFolder, sizeof legacyFolder, g_appDataFolder, kFolderName);
    JoinPath(g_legacyDataFile, sizeof g_legacyDataFile, legacyFolder, kLegacyFileName);

    // The legacy file is opened before anything is changed: one that cannot be read leaves the
    // current Button file and its buttons as they are, start after start.
    FileSystem::Handle file = fs.OpenRead(g_legacyDataFile);
    if (file == nullptr) return 1;
    std::memset(&legacy, 0, sizeof legacy);
    fs.Read(file, &legacy, sizeof legacy);
    fs.Close(file);

    // The default Button file made current, with the defaults standing until the legacy
    // content replaces them.
    JoinPath(g_currentButtonFile, sizeof g_currentButtonFile, g_buttonFolder, kDefaultFileName);
    RecordCurrentButtonFile();
    CreateDefaultButtonFile();

    // Width, count, Favourite URL and the records' names, URLs and legacy values. A count the
    // legacy file cannot have held honestly is brought into 0..100, so no record beyond the
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

    // Only buttons that reached the Button file let the legacy file go; otherwise it stays for
    // the next start.
    if (!SaveButtonFile()) return 1;
    JoinPath(backupFile, sizeof backupFile, g_buttonFolder, kBackupFileName);
    if (KeptBeforeWritingOver(backupFile)) fs.CopyFile(g_currentButtonFile, backupFile, true);

    // A legacy file that is still there would be migrated again at the next start, over every
    // button changed since. When it cannot be deleted it is renamed; when it cannot be renamed
    // either, the registry remembers that it has been migrated.
    // (A delete can report success and still leave the file, when the folder refuses it.)
    if (!fs.DeleteFile(g_legacyDataFile) || fs.Exists(g_legacyDataFile)) {
        static char retiredFile[kPathSize + sizeof kMigratedSuffix];
        JoinPath(retiredFile, sizeof retiredFile, g_legacyDataFile, kMigratedSuffix);
        if (!fs.ReplaceFile(g_legacyDataFile, retiredFile) || fs.Exists(g_legacyDataFile)) {
            SetLegacyDataMigrated();
        }
    }
    fs.RemoveDirectory(legacyFolder);
    SaveButtonFile();
    return 1;
}
