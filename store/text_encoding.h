// Text in any script inside the table's fixed fields. A string Brisklet writes is UTF-8; a field
// that is not valid UTF-8 was written in the user's legacy ANSI code page (every file made before
// Brisklet spoke UTF-8) and is read in it. The table keeps each field's bytes as they were read:
// the text is decoded where it is shown or used, so a field nobody changes is saved back byte for
// byte. Lengths count bytes; a cut falls between two characters, never inside one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <climits>
#include <string>

// The number of bytes of the well-formed UTF-8 character at text[0] (1 to 4), or 0 when none
// starts there: a lone continuation byte, an overlong form, an encoded surrogate, a code point
// beyond U+10FFFF, or a sequence that `available` bytes cut short.
size_t Utf8CharLength(const char* text, size_t available);

// The character at `at` (before `end`) as a code point, with `at` moved past it; a byte that
// starts no character (Utf8CharLength) gives U+FFFD and moves `at` by one. at < end.
uint32_t NextCodePoint(const char*& at, const char* end);

// Whether all `length` bytes are well-formed UTF-8 (plain ASCII is).
bool IsUtf8(const char* text, size_t length);
bool IsUtf8(const std::string& text);

// The longest start of text (`length` bytes) of at most `limit` bytes that does not end inside
// a character. A byte that starts no character counts as one of its own; a character that the
// `length` bytes seen cut short may go on beyond them and is left out.
size_t CutLength(const char* text, size_t length, size_t limit);
// text cut to at most `limit` bytes by CutLength.
std::string CutToBytes(const std::string& text, size_t limit);

// Appends the UTF-8 form of a code point (at most U+10FFFF, no surrogate).
void AppendUtf8(uint32_t code, std::string* out);

// A code point in lower case: the capital letters of Latin-1, Latin Extended-A, Greek and
// Cyrillic, and the final sigma as a sigma, for comparisons that ignore case; any other as it is.
uint32_t LowerCodePoint(uint32_t code);
// An ASCII capital in lower case, any other byte as it is: for the fixed ASCII words of formats
// (schemes, tags, attribute names) and drive letters.
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
// UTF-8 text with every character in lower case by LowerCodePoint, accents kept; bytes that are
// no UTF-8 are kept as they are.
std::string LowerUtf8(const std::string& text);

// Windows-1252 text as UTF-8. The five bytes the code page leaves undefined (81, 8D, 8F, 90,
// 9D) become the C1 code points of the same number, as Windows converts them.
std::string Windows1252ToUtf8(const std::string& text);

// Text of the user's legacy ANSI code page as UTF-8: Windows-1252 by its table, any other code
// page through g_platform.codePage.
std::string LegacyToUtf8(const std::string& text);

// A name or a title from outside (a bookmark, a drop, a paste) made fit to show: every C0 and
// C1 control and every bidirectional embedding, override and isolate character (U+202A to
// U+202E, U+2066 to U+2069) dropped, so no part of a name shows reversed; a byte that starts no
// character becomes U+FFFD. Right-to-left letters and combining marks stay as they are.
std::string CleanTitle(const std::string& utf8);

// Whether the program's text (what the A calls carry) is UTF-8: the code page seam says so, or
// no seam is installed.
bool ProgramTextIsUtf8();

// The text of a field of `size` bytes (up to its terminator, or the whole field without one),
// whatever it was written in, as UTF-8.
std::string FieldUtf8(const char* field, size_t size);

// The text of a field as the program shows and uses it: in the program's code page. On a
// system whose code page is not UTF-8, characters it lacks become '?'.
std::string ShownText(const char* field, size_t size);
template <size_t N>
std::string ShownText(const char (&field)[N]) {
    return ShownText(field, N);
}
// The same without a copy where none is needed: the field itself when it is terminated and
// shown as it is (valid UTF-8 in a UTF-8 program), else one of a few buffers that later calls
// reuse in turn. For text that is used at once.
const char* ShownField(const char* field, size_t size);
template <size_t N>
const char* ShownField(const char (&field)[N]) {
    return ShownField(field, N);
}

// Stores program text in a field, cut between characters to `limit` bytes (at most size - 1),
// unless the field already shows that text: then its bytes stay exactly as they are. True when
// it wrote.
bool StoreShownText(char* field, size_t size, const char* text, size_t limit = SIZE_MAX);

// Room for a field's shown text: a legacy byte may take up to three bytes of UTF-8.
constexpr size_t ShownSize(size_t fieldSize) { return 3 * fieldSize; }

// The edit of a text box that may hold at most `limit` bytes: `before` was accepted, `after` is
// what the user's typing, paste or a program's text made of it. What was inserted (the part of
// `after` between the start and the end it shares with `before`) is cleaned as a title is (in a
// UTF-8 program) and cut between characters so the whole fits; a text that was already over the limit takes
// nothing more but is not cut. Returns the text to keep; *caret gets the byte offset just after
// what was kept of the insertion.
std::string FitEditedText(const std::string& before, const std::string& after, size_t limit, size_t* caret);
