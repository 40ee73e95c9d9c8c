#include "app/button_filter.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "store/text_encoding.h"

namespace {

// Base letters of U+00C0 ... U+00FF and of U+0100 ... U+017F (Latin-1 and Latin Extended-A);
// '*' marks a letter that keeps its own shape and only goes to lower case.
constexpr char kLatin1[] =
    "aaaaaa*ceeeeiiii" "dnooooo*ouuuuy**"   // U+00C0 ... U+00DF (x, thorn and sharp s kept)
    "aaaaaa*ceeeeiiii" "dnooooo*ouuuuy*y";  // U+00E0 ... U+00FF
constexpr char kLatinA[] =
    "aaaaaacccccccc" "dddd" "eeeeeeeeee" "gggggggg" "hhhh" "iiiiiiiiii" "**" "jj" "kkk"
    "llllllllll" "nnnnnnnnn" "oooooo" "**" "rrrrrr" "ssssssss" "tttttt" "uuuuuuuuuuuu" "ww" "yyy"
    "zzzzzz" "s";
static_assert(sizeof kLatin1 == 64 + 1 && sizeof kLatinA == 128 + 1, "one letter per code point");

// Small Greek letters with an accent or a diaeresis, and what they fold to.
struct Fold {
    uint16_t from, to;
};
constexpr Fold kGreek[] = {
    {0x390, 0x3B9}, {0x3AC, 0x3B1}, {0x3AD, 0x3B5}, {0x3AE, 0x3B7}, {0x3AF, 0x3B9}, {0x3B0, 0x3C5},
    {0x3CA, 0x3B9}, {0x3CB, 0x3C5}, {0x3CC, 0x3BF}, {0x3CD, 0x3C5}, {0x3CE, 0x3C9},
};

// A code point folded: lower case (the final sigma a sigma), accents off.
uint32_t FoldCodePoint(uint32_t c) {
    c = LowerCodePoint(c);
    if (c >= 0xC0 && c <= 0xFF) {
        const char base = kLatin1[c - 0xC0];
        return base != '*' ? static_cast<unsigned char>(base) : c;
    }
    if (c >= 0x100 && c <= 0x17F) {
        const char base = kLatinA[c - 0x100];
        return base != '*' ? static_cast<unsigned char>(base) : c;
    }
    if (c >= 0x390 && c <= 0x3CE) {
        const Fold* fold = std::find_if(std::begin(kGreek), std::end(kGreek), [c](const Fold& f) { return f.from == c; });
        return fold != std::end(kGreek) ? fold->to : c;
    }
    if (c == 0x450 || c == 0x451) return 0x435;  // ѐ, ё: е
    if (c == 0x45D) return 0x438;                // ѝ: и
    return c;
}

// The code point at text[*at], and *at past it; a byte that starts no whole UTF-8 sequence is
// taken alone and reported through *valid = false.
uint32_t NextCodePoint(std::string_view text, size_t* at, bool* valid) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(*at);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    uint32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1Fu) : length == 3 ? (lead & 0x0Fu) : (lead & 0x07u);
    bool ok = length != 0 && *at + length <= text.size();
    for (size_t i = 1; ok && i < length; ++i) {
        if ((byte(*at + i) & 0xC0) != 0x80) ok = false;
        c = (c << 6) | (byte(*at + i) & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are no characters.
    static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && (c < kLeast[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)) ok = false;
    *valid = ok;
    if (!ok) {
        *at += 1;
        return lead;
    }
    *at += length;
    return c;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string FoldForSearch(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t at = 0;
    while (at < utf8.size()) {
        bool valid = false;
        const uint32_t c = NextCodePoint(utf8, &at, &valid);
        if (!valid) {
            out += static_cast<char>(c);
        } else if (c < 0x300 || c > 0x36F) {  // combining marks go: the letter they sit on stays
            AppendUtf8(FoldCodePoint(c), &out);
        }
    }
    return out;
}

SearchText MakeSearchText(const ButtonRecord& record) {
    SearchText text;
    // Fields of older files are in the legacy code page: searched as the text they show.
    text.name = FoldForSearch(FieldUtf8(record.name, sizeof record.name));
    text.nameAndUrl = text.name + '\n' + FoldForSearch(FieldUtf8(record.url, sizeof record.url));
    return text;
}

std::vector<SearchText> SearchTexts(const ButtonTable& table) {
    std::vector<SearchText> texts;
    const int count = ButtonCount(table);
    texts.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) texts.push_back(MakeSearchText(table.records[i]));
    return texts;
}

FilterQuery MakeFilterQuery(std::string_view typed) {
    FilterQuery query;
    query.folded = FoldForSearch(typed);
    size_t at = 0;
    while (at < query.folded.size()) {
        while (at < query.folded.size() && IsBlank(query.folded[at])) ++at;
        size_t end = at;
        while (end < query.folded.size() && !IsBlank(query.folded[end])) ++end;
        if (end > at) query.words.push_back(query.folded.substr(at, end - at));
        at = end;
    }
    return query;
}

bool MatchesQuery(const SearchText& text, const FilterQuery& query) {
    return std::all_of(query.words.begin(), query.words.end(),
                       [&](const std::string& word) { return text.nameAndUrl.find(word) != std::string::npos; });
}

std::vector<int> MatchingEntries(const std::vector<SearchText>& texts, const FilterQuery& query) {
    std::vector<int> matches;
    for (size_t i = 0; i < texts.size(); ++i)
        if (MatchesQuery(texts[i], query)) matches.push_back(static_cast<int>(i));
    return matches;
}

int FocusedMatch(const std::vector<const SearchText*>& shown, const FilterQuery& query) {
    if (shown.empty()) return -1;
    for (size_t i = 0; i < shown.size(); ++i)
        if (shown[i] != nullptr && shown[i]->name.compare(0, query.folded.size(), query.folded) == 0) {
            return static_cast<int>(i);
        }
    return 0;
}

std::string ButtonFileLabel(std::string_view path) {
    const size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    constexpr std::string_view kEnding = ".bklt";
    if (name.size() > kEnding.size()) {
        const std::string_view tail = name.substr(name.size() - kEnding.size());
        bool same = true;
        for (size_t i = 0; i < tail.size(); ++i)
            if ((tail[i] | 0x20) != kEnding[i]) same = false;
        if (same) name.remove_suffix(kEnding.size());
    }
    return std::string(name);
}

bool TypeIntoFilter(std::string& text, unsigned char typed) {
    if (typed < 0x20 || typed == 0x7F) return false;
    if (IsBlank(static_cast<char>(typed)) && text.empty()) return false;
    if (text.size() >= kFilterTextMax) return false;
    text += static_cast<char>(typed);
    return true;
}

bool EraseFromFilter(std::string& text) {
    if (text.empty()) return false;
    size_t end = text.size() - 1;
    // Continuation bytes go with the byte that leads them.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.erase(end);
    return true;
}
