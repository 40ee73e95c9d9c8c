#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include "store/button_table.h"

namespace {

// Every test starts and ends with the table as a fresh process has it.
class ButtonTableTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
        std::memset(g_trayTip, 0, sizeof g_trayTip);
        g_defaultFontHeight = 0;
    }
    static unsigned char* Bytes() { return reinterpret_cast<unsigned char*>(&g_buttonTable); }
};

TEST_F(ButtonTableTest, TrayTipKeepsShortUrlsAndCutsLongOnesTo60PlusDots) {
    struct Case {
        size_t length;
        std::string expected;
    };
    const std::string letters =
        std::string(100, 'a') + std::string(100, 'b') + std::string(100, 'c') + std::string(211, 'd');
    ASSERT_EQ(511u, letters.size());
    const Case cases[] = {
        {0, ""},
        {63, letters.substr(0, 63)},
        {64, letters.substr(0, 60) + "..."},
        {511, letters.substr(0, 60) + "..."},
    };
    for (const Case& c : cases) {
        std::memset(g_trayTip, 'x', sizeof g_trayTip);
        CopyTextToField(g_buttonTable.favouriteUrl, sizeof g_buttonTable.favouriteUrl,
                        letters.substr(0, c.length).c_str());
        UpdateTrayTip();
        EXPECT_EQ(c.expected, std::string(g_trayTip)) << "URL of " << c.length << " characters";
        EXPECT_LE(std::strlen(g_trayTip), 63u);
    }
}

TEST_F(ButtonTableTest, TrayTipOfAnUnterminatedFavouriteUrlStaysInsideTheField) {
    std::memset(g_buttonTable.favouriteUrl, 'u', sizeof g_buttonTable.favouriteUrl);
    UpdateTrayTip();
    EXPECT_EQ(std::string(60, 'u') + "...", std::string(g_trayTip));
}

TEST_F(ButtonTableTest, DefaultsOverALoadedTableTouchOnlyTheDefaultFields) {
    // A loaded table: every byte set to a recognisable pattern, count 7, wide flag 1.
    for (size_t i = 0; i < sizeof g_buttonTable; ++i) Bytes()[i] = static_cast<unsigned char>(i * 7 + 3);
    g_buttonTable.buttonCount = 7;
    g_buttonTable.wide = 1;
    g_buttonTable.sameFont = 1;
    for (int i = 0; i < 7; ++i) {
        CopyTextToField(g_buttonTable.records[i].name, kNameSize, ("Name " + std::to_string(i)).c_str());
    }
    unsigned char before[sizeof g_buttonTable];
    std::memcpy(before, Bytes(), sizeof before);
    g_defaultFontHeight = -16;

    ApplyButtonDefaults();

    const ButtonTable& t = g_buttonTable;
    EXPECT_EQ(1, t.buttonCount);
    EXPECT_EQ(140, t.buttonWidth);
    EXPECT_EQ(1, t.wide);
    EXPECT_EQ(0, t.sameFont);
    EXPECT_STREQ(kDefaultFavouriteUrl, t.favouriteUrl);
    EXPECT_STREQ("Brisklet", t.records[0].name);
    EXPECT_STREQ(kHomePageUrl, t.records[0].url);
    EXPECT_EQ(0, std::memcmp(&t.records[0].ownFont, &t.globalFont, sizeof(FontDesc)));
    EXPECT_EQ(0, t.records[0].hasOwnFont);
    EXPECT_EQ(0, t.records[0].newWindow);
    EXPECT_EQ(-16, t.globalFont.lfHeight);
    EXPECT_EQ(700, t.globalFont.lfWeight);
    EXPECT_STREQ("System", t.globalFont.lfFaceName);
    for (int i = 1; i < 7; ++i) EXPECT_EQ("Name " + std::to_string(i), t.records[i].name);

    // Byte for byte: the set of bytes that changed lies within the default fields.
    auto inRange = [](size_t at, size_t start, size_t length) { return at >= start && at < start + length; };
    const size_t font = offsetof(ButtonTable, globalFont);
    const size_t favouriteLength = std::strlen(kDefaultFavouriteUrl) + 1;
    const size_t homeLength = std::strlen(kHomePageUrl) + 1;
    const size_t record0 = offsetof(ButtonTable, records);
    for (size_t i = 0; i < sizeof g_buttonTable; ++i) {
        if (Bytes()[i] == before[i]) continue;
        const bool allowed =
            inRange(i, 0, 4) || inRange(i, 16, 4) ||
            inRange(i, 20, favouriteLength) ||
            inRange(i, record0, 9) || inRange(i, record0 + 64, homeLength) ||
            inRange(i, record0 + 580, 62) ||                       // own font and the two flags
            inRange(i, font + 0, 4) || inRange(i, font + 16, 4) ||  // lfHeight, lfWeight
            i == font + 24 || i == font + 25 || i == font + 27 ||   // precisions, pitch and family
            inRange(i, font + 28, 7) || i == 64992;                 // face "System", same-font flag
        EXPECT_TRUE(allowed) << "byte " << i << " changed outside the default fields";
    }
    // The bytes after the terminators were not cleared.
    EXPECT_EQ(before[20 + favouriteLength], Bytes()[20 + favouriteLength]);
    EXPECT_EQ(before[font + 35], Bytes()[font + 35]);
}

TEST_F(ButtonTableTest, TextIsCutToItsField) {
    const std::string longText(2000, 'z');
    ButtonRecord& r = g_buttonTable.records[3];
    std::memset(&r, 0x5A, sizeof r);
    CopyTextToField(r.name, sizeof r.name, longText.c_str());
    CopyTextToField(r.url, sizeof r.url, longText.c_str());
    CopyTextToField(r.ownFont.lfFaceName, sizeof r.ownFont.lfFaceName, longText.c_str());
    EXPECT_EQ(63u, std::strlen(r.name));
    EXPECT_EQ(511u, std::strlen(r.url));
    EXPECT_EQ(31u, std::strlen(r.ownFont.lfFaceName));
    // The neighbours of each field are intact.
    EXPECT_EQ(0x5A5A5A5A, r.legacyValue);
    EXPECT_EQ(0x5A, r.hasOwnFont);

    CopyTextToField(r.name, sizeof r.name, std::string(63, 'n').c_str());
    EXPECT_EQ(std::string(63, 'n'), r.name);
    CopyTextToField(r.name, sizeof r.name, "");
    EXPECT_STREQ("", r.name);
}

TEST_F(ButtonTableTest, RecordOffsetsReachTheGlobalFont) {
    EXPECT_EQ(64288u, reinterpret_cast<unsigned char*>(&g_buttonTable.records[99]) - Bytes());
    EXPECT_EQ(64932u, reinterpret_cast<unsigned char*>(&g_buttonTable.records[99] + 1) - Bytes());
    EXPECT_EQ(64932u, reinterpret_cast<unsigned char*>(&g_buttonTable.globalFont) - Bytes());
}

// Images that could come from any file: the count is kept within the slots, and no text field is
// left without a terminator.
TEST_F(ButtonTableTest, HostileCountsAreBroughtWithinTheSlots) {
    const struct {
        int32_t stored;
        int bounded;
    } cases[] = {{-5, 0}, {0, 0}, {1, 1}, {100, 100}, {101, 100}, {0x7fffffff, 100},
                 {static_cast<int32_t>(0x80000000u), 0}};
    for (const auto& c : cases) {
        ButtonTable& table = g_buttonTable;
        table.buttonCount = c.stored;
        EXPECT_EQ(c.bounded, ButtonCount(table)) << "before repair, count " << c.stored;
        const bool changed = RepairLoadedTable(table);
        EXPECT_EQ(c.bounded, table.buttonCount) << "count " << c.stored;
        EXPECT_EQ(c.bounded, ButtonCount(table));
        EXPECT_EQ(c.stored != c.bounded, changed) << "count " << c.stored;
    }
}

TEST_F(ButtonTableTest, FieldsWithoutATerminatorAreEndedInTheirLastByte) {
    std::memset(&g_buttonTable, 0xFF, sizeof g_buttonTable);
    EXPECT_EQ(0, ButtonCount(g_buttonTable));   // 0xFFFFFFFF is -1
    EXPECT_TRUE(RepairLoadedTable(g_buttonTable));
    const ButtonTable& t = g_buttonTable;
    EXPECT_EQ(0, t.buttonCount);
    EXPECT_EQ(511u, std::strlen(t.favouriteUrl));
    EXPECT_EQ(31u, std::strlen(t.globalFont.lfFaceName));
    for (const ButtonRecord& r : t.records) {
        ASSERT_EQ(63u, std::strlen(r.name));
        ASSERT_EQ(511u, std::strlen(r.url));
        ASSERT_EQ(31u, std::strlen(r.ownFont.lfFaceName));
        ASSERT_EQ(0xFF, r.hasOwnFont);   // flags and numbers are left as they were
    }
    // Only the last byte of each text field was written: 1 + 100 * 3 + 1 bytes in all.
    size_t zeros = 0;
    for (size_t i = 0; i < sizeof g_buttonTable; ++i) zeros += Bytes()[i] == 0;
    EXPECT_EQ(302u + 4u, zeros);   // plus the four bytes of the repaired count
    // The repaired table now passes through unchanged.
    EXPECT_FALSE(RepairLoadedTable(g_buttonTable));
}

TEST_F(ButtonTableTest, AWellFormedImageWithGarbageAfterItsTerminatorsStaysByteIdentical) {
    for (size_t i = 0; i < sizeof g_buttonTable; ++i) Bytes()[i] = static_cast<unsigned char>(0x80 | (i % 127));
    g_buttonTable.buttonCount = 42;
    // A terminator somewhere in every field, with non-zero garbage after it.
    g_buttonTable.favouriteUrl[100] = '\0';
    g_buttonTable.globalFont.lfFaceName[5] = '\0';
    for (int i = 0; i < kMaxButtons; ++i) {
        g_buttonTable.records[i].name[i % 64] = '\0';
        g_buttonTable.records[i].url[511] = '\0';
        g_buttonTable.records[i].ownFont.lfFaceName[31 - i % 32] = '\0';
    }
    unsigned char before[sizeof g_buttonTable];
    std::memcpy(before, Bytes(), sizeof before);
    EXPECT_FALSE(RepairLoadedTable(g_buttonTable));
    EXPECT_EQ(0, std::memcmp(before, Bytes(), sizeof before));
}

TEST_F(ButtonTableTest, OnlyHasOwnFontOneWithoutSameFontOneDrawsInTheOwnFont) {
    g_buttonTable.buttonCount = 3;
    g_buttonTable.records[0].hasOwnFont = 1;
    g_buttonTable.records[1].hasOwnFont = 2;  // not 1: the global font
    g_buttonTable.records[2].hasOwnFont = 0;
    g_buttonTable.records[3].hasOwnFont = 1;  // a free slot
    g_buttonTable.sameFont = 2;               // not 1: does not force the global font
    EXPECT_TRUE(UsesOwnFont(g_buttonTable, 0));
    EXPECT_FALSE(UsesOwnFont(g_buttonTable, 1));
    EXPECT_FALSE(UsesOwnFont(g_buttonTable, 2));
    EXPECT_FALSE(UsesOwnFont(g_buttonTable, 3));
    EXPECT_FALSE(UsesOwnFont(g_buttonTable, -1));
    g_buttonTable.sameFont = 1;
    EXPECT_FALSE(UsesOwnFont(g_buttonTable, 0));
    // A hostile count reaches no slot beyond the last.
    g_buttonTable.sameFont = 0;
    g_buttonTable.buttonCount = 0x7fffffff;
    g_buttonTable.records[99].hasOwnFont = 1;
    EXPECT_TRUE(UsesOwnFont(g_buttonTable, 99));
    EXPECT_FALSE(UsesOwnFont(g_buttonTable, 100));
}

}  // namespace
