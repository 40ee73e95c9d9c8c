#include "store/text_encoding.h"

#include <cstring>
#include "store/platform_seam.h"

namespace {

constexpr uint32_t kReplacement = 0xFFFD;
constexpr unsigned kWindows1252 = 1252;
constexpr size_t kLongestField = 512;  // a URL

uint32_t Byte(const char* text, size_t i) { return static_cast<unsigned char>(text[i]); }

// The code point of the well-formed character at text[0], which is `length` bytes long.
uint32_t Decode(const char* text, size_t length) {
    static const uint32_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t code = Byte(text, 0) & kLeadMask[length];
    for (size_t i = 1; i < length; ++i) code = (code << 6) | (Byte(text, i) & 0x3Fu);
    return code;
}

bool IsDroppedFromTitles(uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069);
}

// Whether text[0] starts a character whose remaining bytes lie beyond the `available` ones seen:
// a lead byte followed only by continuation bytes, too few of them.
bool RunsPastEnd(const char* text, size_t available) {
    const uint32_t lead = Byte(text, 0);
    const size_t needed = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (needed == 0 || available >= needed) return false;
    for (size_t i = 1; i < available; ++i) {
        if ((Byte(text, i) & 0xC0u) != 0x80u) return false;
    }
    return true;
}

size_t FieldLength(const char* field, size_t size) {
    const void* end = std::memchr(field, '\0', size);
    return end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - field) : size;
}

}  // namespace

uint32_t NextCodePoint(const char*& at, const char* end) {
    const size_t length = Utf8CharLength(at, static_cast<size_t>(end - at));
    if (length == 0) {
        ++at;
        return kReplacement;
    }
    const uint32_t code = Decode(at, length);
    at += length;
    return code;
}

size_t Utf8CharLength(const char* text, size_t available) {
    if (available == 0) return 0;
    const uint32_t lead = Byte(text, 0);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint32_t low = 0x80;   // the allowed range of the second byte: narrower after some leads,
    uint32_t high = 0xBF;  // which rules out overlong forms, surrogates and codes past U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (available < length) return 0;
    if (Byte(text, 1) < low || Byte(text, 1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if ((Byte(text, i) & 0xC0u) != 0x80u) return 0;
    }
    return length;
}

bool IsUtf8(const char* text, size_t length) {
    for (size_t i = 0; i < length;) {
        const size_t step = Utf8CharLength(text + i, length - i);
        if (step == 0) return false;
        i += step;
    }
    return true;
}

bool IsUtf8(const std::string& text) { return IsUtf8(text.data(), text.size()); }

size_t CutLength(const char* text, size_t length, size_t limit) {
    if (length <= limit) return length;
    size_t kept = 0;
    while (kept < limit) {
        size_t step = Utf8CharLength(text + kept, length - kept);
        if (step == 0 && RunsPastEnd(text + kept, length - kept)) break;
        if (step == 0) step = 1;
        if (kept + step > limit) break;
        kept += step;
    }
    return kept;
}

std::string CutToBytes(const std::string& text, size_t limit) {
    return text.substr(0, CutLength(text.data(), text.size(), limit));
}

void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (code >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

uint32_t LowerCodePoint(uint32_t code) {
    const bool even = (code & 1) == 0;
    if (code >= 'A' && code <= 'Z') return code + 0x20;
    if (code >= 0xC0 && code <= 0xDE && code != 0xD7) return code + 0x20;
    if (code >= 0x100 && code <= 0x17F) {
        if (code == 0x130) return 'i';
        if (code == 0x178) return 0xFF;
        const bool pairedEven = code <= 0x137 || (code >= 0x14A && code <= 0x177);
        const bool pairedOdd = (code >= 0x139 && code <= 0x148) || (code >= 0x179 && code <= 0x17E);
        return (pairedEven && even) || (pairedOdd && !even) ? code + 1 : code;
    }
    if (code >= 0x386 && code <= 0x3A9) {
        if (code == 0x386) return 0x3AC;
        if (code >= 0x388 && code <= 0x38A) return code + 0x25;
        if (code == 0x38C) return 0x3CC;
        if (code == 0x38E || code == 0x38F) return code + 0x3F;
        return code >= 0x391 && code != 0x3A2 ? code + 0x20 : code;
    }
    if (code == 0x3C2) return 0x3C3;
    if (code >= 0x400 && code <= 0x4FF) {
        if (code <= 0x40F) return code + 0x50;
        if (code <= 0x42F) return code + 0x20;
        if (code == 0x4C0) return 0x4CF;
        if (code >= 0x4C1 && code <= 0x4CE) return even ? code : code + 1;
        const bool paired = (code >= 0x460 && code <= 0x481) || (code >= 0x48A && code <= 0x4BF) || code >= 0x4D0;
        return paired && even ? code + 1 : code;
    }
    return code;
}

std::string LowerUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8CharLength(text.data() + at, text.size() - at);
        if (length == 0) {
            out.push_back(text[at++]);
            continue;
        }
        AppendUtf8(LowerCodePoint(Decode(text.data() + at, length)), &out);
        at += length;
    }
    return out;
}

std::string Windows1252ToUtf8(const std::string& text) {
    // 80 to 9F; the rest of the code page is ISO 8859-1, the first 256 code points.
    static const uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string utf8;
    utf8.reserve(text.size() * 2);
    for (const char c : text) {
        const uint32_t byte = static_cast<unsigned char>(c);
        AppendUtf8(byte >= 0x80 && byte <= 0x9F ? kHigh[byte - 0x80] : byte, &utf8);
    }
    return utf8;
}

std::string LegacyToUtf8(const std::string& text) {
    CodePage* codePage = g_platform.codePage;
    const unsigned legacy = codePage != nullptr ? codePage->LegacyCodePage() : kWindows1252;
    if (legacy == kWindows1252) return Windows1252ToUtf8(text);
    std::string utf8;
    codePage->LegacyToUtf8(legacy, text, &utf8);
    return IsUtf8(utf8) ? utf8 : CleanTitle(utf8);
}

std::string CleanTitle(const std::string& utf8) {
    std::string clean;
    clean.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const size_t step = Utf8CharLength(utf8.data() + i, utf8.size() - i);
        if (step == 0) {
            AppendUtf8(kReplacement, &clean);
            ++i;
            continue;
        }
        if (!IsDroppedFromTitles(Decode(utf8.data() + i, step))) clean.append(utf8, i, step);
        i += step;
    }
    return clean;
}

bool ProgramTextIsUtf8() { return g_platform.codePage == nullptr || g_platform.codePage->IsUtf8(); }

std::string FieldUtf8(const char* field, size_t size) {
    std::string bytes(field, FieldLength(field, size));
    return IsUtf8(bytes) ? bytes : LegacyToUtf8(bytes);
}

std::string ShownText(const char* field, size_t size) {
    std::string bytes(field, FieldLength(field, size));
    if (ProgramTextIsUtf8()) return IsUtf8(bytes) ? bytes : LegacyToUtf8(bytes);
    // The program speaks the legacy code page: a field written in it is shown as it is, one
    // written as UTF-8 converted (plain ASCII is the same in both).
    bool ascii = true;
    for (const char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii || !IsUtf8(bytes)) return bytes;
    std::string shown;
    g_platform.codePage->FromUtf8(bytes, &shown);
    return shown;
}

const char* ShownField(const char* field, size_t size) {
    const size_t length = FieldLength(field, size);
    if (length < size && ProgramTextIsUtf8() && IsUtf8(field, length)) return field;
    static char buffers[4][ShownSize(kLongestField)];
    static unsigned next;
    char* buffer = buffers[next++ % 4];
    const std::string shown = ShownText(field, size);
    const size_t kept = CutLength(shown.data(), shown.size(), sizeof buffers[0] - 1);
    std::memcpy(buffer, shown.data(), kept);
    buffer[kept] = '\0';
    return buffer;
}

bool StoreShownText(char* field, size_t size, const char* text, size_t limit) {
    if (size == 0 || ShownText(field, size) == text) return false;
    const size_t length = CutLength(text, std::strlen(text), limit < size - 1 ? limit : size - 1);
    std::memmove(field, text, length);
    field[length] = '\0';
    return true;
}

std::string FitEditedText(const std::string& before, const std::string& after, size_t limit, size_t* caret) {
    // The shared start and end, each ending between two characters of `after`.
    const bool utf8 = ProgramTextIsUtf8();
    size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
    if (utf8) {
        while (prefix > 0 && prefix < after.size() && (static_cast<unsigned char>(after[prefix]) & 0xC0u) == 0x80u) {
            --prefix;
        }
    }
    size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    if (utf8) {
        while (suffix > 0 && (static_cast<unsigned char>(after[after.size() - suffix]) & 0xC0u) == 0x80u) --suffix;
    }
    std::string inserted = after.substr(prefix, after.size() - prefix - suffix);
    if (utf8) inserted = CleanTitle(inserted);
    std::string head = after.substr(0, prefix);
    std::string tail = after.substr(after.size() - suffix);
    // A text that already did not fit (one set before the limit applied) takes nothing more.
    if (head.size() + tail.size() >= limit) inserted.clear();
    if (!inserted.empty()) inserted = CutToBytes(inserted, limit - head.size() - tail.size());
    *caret = head.size() + inserted.size();
    return head + inserted + tail;
}
