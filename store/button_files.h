// Moving the Button table between memory and disk: saving after every change, creating a
// default Button file, reloading the current file, and migrating the legacy data file.
#pragma once

#include <cstddef>
#include <cstdint>
#include "store/button_table.h"

constexpr size_t kPathSize = 2048;

// Paths shared across the program (ANSI, NUL-terminated).
extern char g_documentsFolder[kPathSize];     // CSIDL_PERSONAL, empty when the folder service is missing
extern char g_appDataFolder[kPathSize];       // CSIDL_APPDATA, likewise
extern char g_buttonFolder[kPathSize];        // documents folder + "\brisklet"
extern char g_legacyDataFile[kPathSize];      // app-data folder + "\brisklet" + "\brisklet.dat"
extern char g_currentButtonFile[kPathSize];   // the file that is loaded and saved

// The legacy data file (213,656 bytes), read once by migration.
struct LegacyRecord {
    char name[64];
    char url[2048];
    int32_t legacyValue;
};
struct LegacyDataFile {
    int32_t buttonWidth;
    int32_t buttonCount;
    char favouriteUrl[2048];
    LegacyRecord records[100];
};
static_assert(sizeof(LegacyRecord) == 2116, "legacy record is 2,116 bytes");
static_assert(offsetof(LegacyRecord, url) == 64 && offsetof(LegacyRecord, legacyValue) == 2112,
              "legacy record offsets");
static_assert(sizeof(LegacyDataFile) == 213656, "legacy file is 213,656 bytes");
static_assert(offsetof(LegacyDataFile, buttonCount) == 4 && offsetof(LegacyDataFile, favouriteUrl) == 8 &&
              offsetof(LegacyDataFile, records) == 2056,
              "legacy file offsets");

// Builds the Button folder and the legacy data file path from the two shell folders.
void BuildStorePaths();

// Writes the whole table to the current Button file, safely: a temporary file in the same
// folder is written, checked and flushed, then put in place of the current file. A file there
// that is not a Button file by its size is written over only once a copy of it is kept (the one
// its load made, or a new one, which the user is told about). On success the path is recorded in
// "CurrentButtonFileName". On failure the message naming the Button folder is shown and the file
// and the registry are left untouched. Returns true when saved.
bool SaveButtonFile();

// Writes size bytes to path the way every Button file is written: a complete temporary file
// beside it (TemporaryFileFor), flushed and closed, then moved over path in one step. Whatever
// fails, path keeps its previous bytes (or stays absent) and the temporary file is removed.
bool WriteFileSafely(const char* path, const void* data, size_t size);
// The temporary file a save of path writes first: "<path>.<instance tag>.saving". Two programs
// saving into one folder (two PCs on a shared or synced folder) never write the same one.
// False when it does not fit in out (size bytes).
bool TemporaryFileFor(const char* path, char* out, size_t size);

// In a folder that other programs write too (a sync client bringing another PC's changes), the
// save merges first: the image last read from or written to the current file is kept, the file is
// read again before it is written, and when it changed, the changes on both sides are merged
// (store/button_merge.h) and the user told what needs telling. A file that cannot be read now
// (held by another program, half written, offline) is never written over: the save is tried again
// with growing waits (g_platform.sync), and after half a minute the table goes into
// "<name> (not saved).bklt" beside it, and the user is told. A save that waits counts as done.
bool SavePending();
// Called when the wait the store asked for is over.
void RetryPendingSave();
// Forgets the image last read or written and any save that waits (a fresh start).
void ForgetButtonFileHistory();

// Reads a Button file someone else keeps (another file of the Button folder) into *table, as it
// is now. True only for a whole 64,996-byte table; the file is never written or copied.
bool ReadWholeButtonFile(const char* path, ButtonTable* table);

enum class DiskChange {
    None,       // nothing to take: the file is as last read or written (this program's own save),
                // gone, or not a Button file
    Replaced,   // the file's changes are in the table (merged with any of this program's)
    TryLater,   // the file cannot be read now, or is being written: ask again in a moment
};
// The current file changed on disk (another program wrote it): takes the change into the table.
DiskChange TakeDiskChange();

enum class CopyMerge { Merged, CannotRead, NotSaved, NotRenamed };
// A sync client's conflict copy of the current file: the copy's buttons the table lacks are added
// (a union), the table saved, and the copy renamed "<copy>.merged", out of the Button file lists.
CopyMerge MergeConflictCopy(const char* copyPath);

// Creates a Button file with the default table at the current path. When the current path
// cannot be written, the default Button file in the Button folder becomes current: loaded when it
// exists (an existing Button file is never overwritten with the defaults), created otherwise.
void CreateDefaultButtonFile();

// Start-up without a recorded Button file: the default Button file becomes current, created with
// the defaults when it is missing. One that is there holds the user's buttons and is kept.
void TakeDefaultButtonFile();

enum class LoadResult {
    Loaded,       // read over the table (a short file replaces only its leading bytes)
    Missing,      // no such file; the table is untouched
    Unreadable,   // the file is there but cannot be opened; the table is untouched
    NotKept,      // not a Button file by its size, and no copy of it could be made: nothing was
                  // read, the table and the file are untouched
};

// Reads the current Button file over the table. A file whose size is neither 64,996 bytes nor 0
// is not a Button file: it is first copied byte for byte beside it, to the first free name of
// "<file>.orig", "<file>.orig2", ... (an existing file is never replaced), then read as any file
// is, and the user is told where its original content is kept. A file that is written over later
// has such a copy first (see SaveButtonFile).
LoadResult LoadButtonFile();

// Loads the current Button file. A missing file is created with the defaults; a file that is
// there but cannot be read (asked for three more times over about two seconds first), or is not a Button file and cannot be copied, keeps its bytes: the
// user is told, and the default Button file becomes current (loaded, or created when missing; a
// free name beside it when it is the one that cannot be used).
void ReloadButtonFile();

// Whether start-up has to migrate: the legacy data file is there and has not been migrated
// before (a migrated file that could not be deleted nor renamed is remembered in the registry).
bool LegacyMigrationDue();

// Converts the legacy data file into the default Button file (with a backup copy), then retires
// the legacy file: deleted, else renamed to "brisklet.dat.migrated", else remembered as migrated.
// A legacy file that cannot be read changes nothing. Returns 1.
int MigrateLegacyDataFile();
