// Merging Button tables that two writers changed apart: the one this program holds and the one
// another program (a sync client bringing another PC's changes) left in the file. Pure functions
// of table images: no file, registry or window call here; the caller reads, writes and shows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/button_table.h"

// Something about a merge the user must hear of.
struct MergeNote {
    enum class Kind {
        BothVersionsKept,   // one button changed differently on both sides: both stand, side by side
        SettingKeptOurs,    // a table-wide setting changed on both sides: this program's value won
        KeptOverDelete,     // a button deleted on one side and changed on the other: it stays
        Overflow,           // more than 100 buttons: the rest went into a second table
    };
    Kind kind;
    std::string what;   // the button's name, or the setting's name; the count for Overflow
};

struct MergeResult {
    // merged[0] is the table to keep; a merge that passes 100 buttons puts the rest, in order,
    // into merged[1] (the same settings, at most 100 more). Always one or two tables.
    std::vector<std::unique_ptr<ButtonTable>> merged;
    std::vector<MergeNote> notes;
};

// The three-way merge. base: the image both sides started from (the last one read or written);
// ours: this program's table; theirs: the file as it is now. Buttons are matched by name and
// address (by either one when no button has both), position breaking ties. A button added on
// either side is kept; deleted on one side and unchanged on the other, deleted; changed on one
// side, changed; changed alike on both, one button; changed differently, both versions, theirs
// first. The order is theirs, with our additions after the button that stands before them in
// ours (at the top when none does). The Favourite URL, the width, the wide flag, the same-font
// flag and the global font merge as one record each; changed on both sides, ours wins. All three
// images may be anything a load accepts; the merged tables are always valid images (count within
// 0..100, every text terminated).
MergeResult MergeButtonTables(const ButtonTable& base, const ButtonTable& ours, const ButtonTable& theirs);

// The union of two tables with no known common base (a sync client's conflict copy): ours,
// followed by every button of `other` that ours lacks (same name, address and the rest). Ours
// settings stand. Passes 100 buttons as the merge does.
MergeResult UniteButtonTables(const ButtonTable& ours, const ButtonTable& other);

// Whether two records are the same button: the same texts and the same flags and font bytes.
bool SameButton(const ButtonRecord& a, const ButtonRecord& b);

// The words a merge's notes come to, for one message box; empty when there is nothing to tell.
// overflowFile: where the second table went, when there is one.
std::string DescribeMerge(const std::vector<MergeNote>& notes, const char* overflowFile);
