// Type to find on the Button bar, decided without any window: the text typed so far, the folding
// that makes "cafe" find "Café" and "нов" find "Новости", which buttons match, and which of them
// takes the focus. The Win32 layer (app/win_bar_filter.cpp) shows the result.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "store/button_table.h"

// UTF-8 text made comparable: letters of the Latin, Greek and Cyrillic scripts in lower case and
// without their accents (combining marks are dropped), everything else as it was. Bytes that are
// no UTF-8 are kept one by one, so any text folds and compares with itself.
std::string FoldForSearch(std::string_view utf8);

// What a button is searched by, folded once when its Button file is read.
struct SearchText {
    std::string name;        // the folded name
    std::string nameAndUrl;  // the folded name, a line break and the folded address
};
SearchText MakeSearchText(const ButtonRecord& record);
// One entry per button of the table, in its order.
std::vector<SearchText> SearchTexts(const ButtonTable& table);

// The typed text, folded, and its words (split at blanks).
struct FilterQuery {
    std::string folded;
    std::vector<std::string> words;
};
FilterQuery MakeFilterQuery(std::string_view typed);

// A button matches when its name or address contains every word, in any order; a text of
// blanks only matches every button.
bool MatchesQuery(const SearchText& text, const FilterQuery& query);
// The indexes of the matching entries, in order.
std::vector<int> MatchingEntries(const std::vector<SearchText>& texts, const FilterQuery& query);

// Which of the shown matches (in the order shown) takes the focus: the first whose name begins
// with the typed text, else the first; -1 when there is none.
int FocusedMatch(const std::vector<const SearchText*>& shown, const FilterQuery& query);

// The label over another Button file's matches: its file name without the folder and without
// the ".bklt" ending (in any case).
std::string ButtonFileLabel(std::string_view path);

// The typed text is cut at this many bytes (a button name's length).
constexpr size_t kFilterTextMax = kNameSize - 1;

// A character typed on the bar (a byte of the bar's character set): printable ones and blanks
// between words go into the text; a blank is not the first. Answers whether the text changed.
bool TypeIntoFilter(std::string& text, unsigned char typed);
// Backspace: the last character goes (a whole UTF-8 sequence). Answers whether the text changed.
bool EraseFromFilter(std::string& text);
