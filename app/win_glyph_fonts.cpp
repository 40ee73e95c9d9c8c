#include "app/win_glyph_fonts.h"

#include <cstring>
#include <cwchar>

namespace {

// Faces asked in turn: the dialog font (a TrueType face the system links to others), then
// faces that between them cover the common scripts on Windows and under Wine.
const wchar_t* const kFallbackFaces[] = {L"MS Shell Dlg 2", L"Segoe UI", L"Arial", L"Microsoft YaHei",
                                         L"MS UI Gothic", L"Malgun Gothic", L"SimSun"};

// A fallback font made once for a source font and a face.
struct Fallback {
    LOGFONTW from;  // the source font, as it describes itself
    int face;
    HFONT font;
};
constexpr int kMaxFallbacks = 32;  // distinct fonts of one bar, each with few faces
Fallback s_fallbacks[kMaxFallbacks];
int s_fallbackCount;

HDC MeasuringDc() {
    static HDC dc = CreateCompatibleDC(nullptr);
    return dc;
}

// Room for any caption: a shown name is at most 191 bytes, so as many UTF-16 units.
constexpr int kMaxCaption = 256;
struct Caption {
    WCHAR text[kMaxCaption];
    int length;
};

// The caption's characters without surrogate pairs (emoji): no face here draws them, so they
// cannot choose one.
Caption WithoutSurrogates(const WCHAR* text) {
    Caption caption{};
    for (; *text != L'\0' && caption.length < kMaxCaption; ++text) {
        if (*text < 0xD800 || *text > 0xDFFF) caption.text[caption.length++] = *text;
    }
    return caption;
}

// How many characters of the caption the font has no glyph for.
int MissingGlyphs(HFONT font, const Caption& caption) {
    if (caption.length == 0) return 0;
    HDC dc = MeasuringDc();
    const HGDIOBJ old = SelectObject(dc, font);
    WORD glyphs[kMaxCaption];
    const DWORD got = GetGlyphIndicesW(dc, caption.text, caption.length, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, old);
    if (got == GDI_ERROR) return 0;
    int missing = 0;
    for (int i = 0; i < caption.length; ++i) missing += glyphs[i] == 0xFFFF ? 1 : 0;
    return missing;
}

HFONT FallbackFont(const LOGFONTW& from, int face) {
    for (int i = 0; i < s_fallbackCount; ++i) {
        const Fallback& made = s_fallbacks[i];
        if (made.face == face && std::memcmp(&made.from, &from, sizeof from) == 0) return made.font;
    }
    if (s_fallbackCount >= kMaxFallbacks) return nullptr;
    LOGFONTW wanted = from;
    wanted.lfCharSet = DEFAULT_CHARSET;
    // Each name in the list is far shorter than the field.
    std::memcpy(wanted.lfFaceName, kFallbackFaces[face], (std::wcslen(kFallbackFaces[face]) + 1) * sizeof(WCHAR));
    const HFONT font = CreateFontIndirectW(&wanted);
    if (font != nullptr) s_fallbacks[s_fallbackCount++] = Fallback{from, face, font};
    return font;
}

}  // namespace

HFONT FontWithGlyphs(HFONT font, const char* text) {
    bool ascii = true;
    for (const char* c = text; *c != '\0'; ++c) ascii = ascii && static_cast<unsigned char>(*c) < 0x80;
    if (ascii || font == nullptr) return font;  // every face has the ASCII letters
    WCHAR wide[kMaxCaption] = L"";
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kMaxCaption);
    wide[kMaxCaption - 1] = L'\0';
    return FontWithGlyphsWide(font, wide);
}

HFONT FontWithGlyphsWide(HFONT font, const WCHAR* text) {
    if (font == nullptr) return font;
    const Caption wide = WithoutSurrogates(text);
    int fewest = MissingGlyphs(font, wide);
    if (fewest == 0) return font;
    LOGFONTW from{};
    if (GetObjectW(font, sizeof from, &from) == 0) return font;
    HFONT best = font;
    for (int face = 0; face < static_cast<int>(sizeof kFallbackFaces / sizeof kFallbackFaces[0]); ++face) {
        const HFONT fallback = FallbackFont(from, face);
        if (fallback == nullptr) continue;
        const int missing = MissingGlyphs(fallback, wide);
        if (missing < fewest) {
            fewest = missing;
            best = fallback;
        }
        if (missing == 0) break;
    }
    return best;
}
