#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include "store/button_table.h"
#include "store/native_code_page.h"
#include "store/text_encoding.h"

namespace {

// Each test runs with the seam it names installed and leaves none behind.
class TextEncodingTest : public ::testing::Test {
protected:
    void TearDown() override { g_platform.codePage = nullptr; }
    Utf8CodePage utf8_;
    Latin1CodePage latin1_;
};

TEST_F(TextEncodingTest, Utf8IsValidatedSequenceBySequence) {
    struct Case {
        const char* text;
        bool valid;
        const char* why;
    };
    const Case cases[] = {
        {"plain ASCII", true, "ASCII"},
        {"\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8", true, "Cyrillic"},
        {"\xE6\x96\xB0\xE9\x97\xBB", true, "Chinese"},
        {"\xF0\x9F\x98\x80", true, "an emoji"},
        {"\xF4\x8F\xBF\xBF", true, "U+10FFFF"},
        {"Caf\xE9", false, "Windows-1252"},
        {"\xC0\xAF", false, "an overlong slash"},
        {"\xE0\x80\xAF", false, "an overlong three-byte form"},
        {"\xF0\x80\x80\xAF", false, "an overlong four-byte form"},
        {"\x80", false, "a lone continuation byte"},
        {"a\xBF" "b", false, "a continuation byte between letters"},
        {"\xED\xA0\x80", false, "an encoded surrogate"},
        {"\xF4\x90\x80\x80", false, "past U+10FFFF"},
        {"\xE6\x96", false, "a sequence cut short"},
        {"\xF8\x88\x80\x80\x80", false, "a five-byte form"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.valid, IsUtf8(std::string(c.text))) << c.why;
}

TEST_F(TextEncodingTest, CutsFallBetweenCharacters) {
    const std::string cyrillic = "\xD0\x9D\xD0\xBE";        // two letters, 4 bytes
    const std::string chinese = "\xE6\x96\xB0\xE9\x97\xBB";  // two characters, 6 bytes
    const std::string emoji = "\xF0\x9F\x98\x80";
    struct Case {
        std::string text;
        size_t limit;
        std::string expected;
    };
    const Case cases[] = {
        {cyrillic, 3, cyrillic.substr(0, 2)},
        {chinese, 5, chinese.substr(0, 3)},
        {chinese, 2, ""},
        {std::string(60, 'a') + emoji, 63, std::string(60, 'a')},  // 63 bytes whose last character needs 4
        {std::string(59, 'a') + emoji, 63, std::string(59, 'a') + emoji},
        {"Caf\xE9 au lait", 4, "Caf\xE9"},  // legacy bytes count one each
        {"ab", 5, "ab"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, CutToBytes(c.text, c.limit)) << c.text << " / " << c.limit;

    // A field fills up to its last byte but one, and a character the field cannot hold whole is
    // left out, even when the text runs on past what the field reads of it.
    char name[kNameSize];
    std::string letters;
    for (int i = 0; i < 40; ++i) letters += "\xD0\x96";
    CopyTextToField(name, sizeof name, letters.c_str());
    EXPECT_EQ(letters.substr(0, 62), std::string(name));
    const std::string runsOn = std::string(62, 'a') + emoji;
    CopyTextToField(name, sizeof name, runsOn.c_str());
    EXPECT_EQ(std::string(62, 'a'), std::string(name));
}

TEST_F(TextEncodingTest, FieldsReadAsUtf8OrAsTheLegacyCodePage) {
    g_platform.codePage = &utf8_;
    EXPECT_EQ("Caf\xC3\xA9", FieldUtf8("Caf\xE9", 5));
    EXPECT_EQ("\xE2\x82\xAC 5", FieldUtf8("\x80 5", 4));           // the euro sign of Windows-1252
    EXPECT_EQ("\xC2\x81", FieldUtf8("\x81", 2));                    // undefined in 1252: U+0081
    EXPECT_EQ("Caf\xC3\xA9", FieldUtf8("Caf\xC3\xA9", 6));          // UTF-8 as it is
    EXPECT_EQ("abc", FieldUtf8("abcdef", 3));                       // an unterminated field ends with it
    EXPECT_EQ("Caf\xC3\xA9", ShownText("Caf\xE9", 5));
    utf8_.legacy = 1251;  // another legacy code page goes through the seam
    EXPECT_EQ("Caf?", ShownText("Caf\xE9", 5));

    // An older system shows UTF-8 fields in its own code page, legacy fields as they are.
    g_platform.codePage = &latin1_;
    EXPECT_EQ("Caf\xE9", ShownText("Caf\xC3\xA9", 6));
    EXPECT_EQ("Caf\xE9", ShownText("Caf\xE9", 5));
    EXPECT_EQ("?", ShownText("\xE6\x96\xB0", 4));
}

TEST_F(TextEncodingTest, StoringWhatAFieldShowsKeepsItsBytes) {
    g_platform.codePage = &utf8_;
    char field[kNameSize];
    std::memset(field, 'x', sizeof field);
    std::memcpy(field, "Caf\xE9", 5);
    char before[kNameSize];
    std::memcpy(before, field, sizeof field);
    EXPECT_FALSE(StoreShownText(field, sizeof field, "Caf\xC3\xA9"));
    EXPECT_EQ(0, std::memcmp(before, field, sizeof field));
    EXPECT_TRUE(StoreShownText(field, sizeof field, "Caf\xC3\xA9s"));
    EXPECT_EQ("Caf\xC3\xA9s", std::string(field));
}

TEST_F(TextEncodingTest, TitlesLoseControlsAndDirectionOverrides) {
    struct Case {
        std::string title;
        std::string expected;
    };
    const std::string hebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
    const std::string combining = "\xCC\x81\xCC\x81\xCC\x81";
    const Case cases[] = {
        // NOLINTNEXTLINE(misc-misleading-bidirectional): the override is the input under test
        {"photo\xE2\x80\xAEgpj.exe", "photogpj.exe"},
        {"a\xE2\x80\xAA" "b\xE2\x80\xAC" "c\xE2\x81\xA6" "d\xE2\x81\xA9", "abcd"},  // U+202A, 202C, 2066, 2069
        {"tab\there\r\nnew", "tabherenew"},
        {"c1\xC2\x85" "x\xC2\x9F", "c1x"},                            // NEL and U+009F
        {hebrew, hebrew},
        {combining, combining},
        {"bad\xC0\xAF", "bad\xEF\xBF\xBD\xEF\xBF\xBD"},               // U+FFFD for each stray byte
        {"\xE2\x80\x8F", "\xE2\x80\x8F"},                             // a right-to-left mark stays
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, CleanTitle(c.title)) << c.title;
}

TEST_F(TextEncodingTest, TypingStopsAtTheByteLimit) {
    g_platform.codePage = &utf8_;
    struct Case {
        std::string before;
        std::string after;
        size_t limit;
        std::string expected;
        size_t caret;
    };
    const std::string zhe = "\xD0\x96";
    const std::string zhong = "\xE4\xB8\xAD";
    const Case cases[] = {
        {"", "abc", 61, "abc", 3},
        {std::string(60, 'a'), std::string(60, 'a') + zhe, 61, std::string(60, 'a'), 60},  // no half letter
        {"ab", "a" + zhong + zhong + "b", 5, "a" + zhong + "b", 4},                          // a paste in the middle
        // NOLINTNEXTLINE(misc-misleading-bidirectional): a pasted override, dropped
        {"", std::string(40, 'x') + "\xE2\x80\xAE" + zhong, 61, std::string(40, 'x') + zhong, 43},
        {"", zhe + zhe + zhe, 5, zhe + zhe, 4},  // a program's text set at once
    };
    for (const Case& c : cases) {
        size_t caret = 0;
        EXPECT_EQ(c.expected, FitEditedText(c.before, c.after, c.limit, &caret)) << c.after;
        EXPECT_EQ(c.caret, caret) << c.after;
    }
}

}  // namespace
