// The edits the Setup dialog and the two button editors make to the Button table, with no
// window in sight: inserting at the top, deleting, sorting, applying what an editor dialog left
// behind, the Favourite URL, and the name rule of "Save current buttons...". Every edit keeps
// to the table's 100 slots.
#pragma once

#include <cstddef>
#include <cstdint>
#include "store/button_table.h"

// What the Add and Edit dialogs leave for the Setup dialog.
struct EditorResult {
    char addUrl[2048];        // the Add dialog's URL text, up to 2,040 characters
    char addName[64];         // the Add dialog's name text, up to 61 characters
    FontDesc chosenFont;      // copy of the Font scratch after the font button was used
    int32_t fontChosen;       // 1 once the font button was used in the current dialog
    int32_t newWindowChoice;  // 1 when "always open in a new browser window" is checked
};
extern EditorResult g_editorResult;

// Editors read at most this many characters: names 61, the Add dialog's URL 2,040.
constexpr int kEditorNameLimit = 61;
constexpr int kAddUrlLimit = 2040;

// Why an Add is refused before the Add dialog opens.
enum class AddRefusal { None, TableFull, NoRoom };

// The Add command's checks: a full table (100 records) first, then the room test on the bar's
// top edge for the current count (there must be room for one more 22-pixel button above it).
AddRefusal CheckAddAllowed(const ButtonTable& table, int barY);

// Moves name, URL, own font, has-own-font and new-window of records 0 .. count - 1 one slot
// down and makes record 0 the new button from the Add dialog's result: URL cut to 511
// characters, name, the chosen font (has-own-font 1) or a copy of the global font (0), and the
// new-window byte. The count grows by one. Refused (false, table untouched) at 100 records.
bool InsertButtonAtTop(ButtonTable& table, const EditorResult& result);

// Removes record `index`: records index .. count - 1 take the five fields of the record after
// them, the last of them from the first free slot (when there is one; slot 100 does not exist),
// and the count drops by one. Refused (false, table untouched) when only one record is left or
// the index is not a record in use.
bool DeleteButton(ButtonTable& table, int index);

// Case-folding name order: bytes compared as unsigned characters after folding A-Z to a-z, a
// name that is a prefix of the other first. Names beyond ASCII follow the user's locale where
// the code-page seam knows one. Reads at most one name field.
int CompareNamesFolded(const char* first, const char* second);

enum class SortOrder { TopDown, BottomUp };

// Sorts records 0 .. count - 1 by name, moving whole 644-byte records (an unstable quicksort:
// names equal apart from case may come out in either order).
void SortButtons(ButtonTable& table, SortOrder order);

// "Move up" (-1) and "Move down" (+1): record `index` changes places with its neighbour, whole
// records as the sorts move them. Returns the moved record's new index, or -1 (table untouched)
// when the index is not a record in use or there is no neighbour on that side.
int MoveButton(ButtonTable& table, int index, int direction);

// Whether record `index` can move that way (the state of "Move up" and "Move down").
bool CanMoveButton(const ButtonTable& table, int index, int direction);

// An address typed without a scheme that looks like a host name ("news.example.org",
// "www.example.org/path") gets "http://" in front, so the shell opens it as a web address.
// Left as typed: anything with a scheme ("mailto:", "file:", "ftp:"), paths (a drive letter, a
// backslash, a leading slash or dot), texts with blanks, names with no dot before the first
// slash (a program name such as "notepad") and names of programs ("setup.exe"). False (text
// untouched) when the text was left as it is or the completed address does not fit.
bool CompleteTypedAddress(char* url, size_t size);

// After a valid Edit: a chosen font becomes the record's own font (has-own-font 1; an own font
// is never switched off here); the new-window byte follows the choice.
void ApplyEditResult(ButtonRecord& record, const EditorResult& result);

// Stores the Favourite URL text, cut to 511 bytes between characters; a text that is what the
// field shows leaves its bytes as they are.
void StoreFavouriteUrl(ButtonTable& table, const char* text);

// The record the dialogs work on: the Selected index when it names a record in use, else 0.
int SelectedRecord(const ButtonTable& table, int selectedIndex);

// The name rule of "Save current buttons...": a path whose last five characters are ".bklt" in
// any letter case is kept, any other gets ".bklt" appended. False (path untouched) when the
// extended name does not fit in `size` bytes.
bool ApplyButtonFileExtension(char* path, size_t size);
