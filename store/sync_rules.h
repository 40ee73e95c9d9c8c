// The rules for a Button file that other programs change too (sync clients, another PC): which
// names in the folder are a sync client's conflict copies of the current file, and what a read
// of the file tells. No file or window call here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "store/button_table.h"

// Whether `candidate` (a file name without its folder) is a conflict copy of the Button file
// named `current` (likewise): the same name with a sync client's mark between it and ".bklt",
// letters compared in any case. Marks: "-PCNAME", " (PCNAME's conflicted copy 2026-12-09)",
// ".sync-conflict-20261209-101500-ABCDEFG", " (1)", " 2", " [conflicted]", ".conflict", and this
// program's own " (not saved)". The file itself, and names not ending in ".bklt" (a copy already
// merged, "links-PC.bklt.merged"), are not.
bool IsConflictCopyName(const char* current, const char* candidate);

// The file name this program gives a table it could not save within the time it tries:
// "<name> (not saved).bklt" beside `path`. False when it does not fit.
bool NotSavedCopyPath(const char* path, char* out, size_t size);

// What one read of the Button file found.
struct DiskRead {
    bool read = false;          // opened and read; false when it could not be (locked, gone, offline)
    uint64_t size = 0;          // the file's size as read
    const ButtonTable* image = nullptr;   // the bytes, when read and 64,996 bytes long
};

enum class DiskState {
    Missing,      // no file there
    Unreadable,   // there but cannot be read now: try again later, never take it as empty
    NotReady,     // of a wrong size (half written?): read again in a moment before judging
    Foreign,      // of a wrong size twice alike: not a Button file
    Empty,        // empty, confirmed: it changes nothing
    Unchanged,    // the image this program last read or wrote
    Changed,      // a Button file that differs from that image
};

// Judges a read. earlier: the read made a moment before, when there was one (a wrong size counts
// as foreign only when a second read finds the same size, and an empty file as empty likewise).
// base: the image this program last read or wrote, or nullptr when it has none.
DiskState JudgeDiskRead(bool exists, const DiskRead& now, const DiskRead* earlier, const ButtonTable* base);

// The waits between attempts at a save that could not read or write the file: 250 ms, doubled
// each time up to 4 s. attempt counts from 1.
unsigned SaveRetryDelayMs(int attempt);

// How long a save is tried before its table goes into a "(not saved)" file instead.
constexpr unsigned kSaveGiveUpMs = 30000;
