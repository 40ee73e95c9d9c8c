#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/button_filter.h"

namespace {

ButtonRecord Record(const char* name, const char* url) {
    ButtonRecord record;
    std::memset(&record, 0, sizeof record);
    std::strncpy(record.name, name, sizeof record.name - 1);
    std::strncpy(record.url, url, sizeof record.url - 1);
    return record;
}

TEST(ButtonFilter, FoldsCaseAndAccentsInLatinGreekAndCyrillic) {
    const struct { const char* text; const char* folded; } cases[] = {
        {"Café Crème", "cafe creme"},
        {"ÀÉÎÕÜ Ç Ñ Ý ÿ", "aeiou c n y y"},
        {"Łódź Žluťoučký Straße Œuvre", "lodz zlutoucky straße œuvre"},
        {"Cafe\xCC\x81", "cafe"},                         // a combining accent goes
        {"ΆΈΉΊΌΎΏ ΣΟΦΊΑ σοφός", "αεηιουω σοφια σοφοσ"},
        {"НОВОСТИ Ёлка Ѐ Ї Ґ", "новости елка е ї ґ"},
        {"ID 42 #x!", "id 42 #x!"},
        {"\xE9t\xC3", "\xE9t\xC3"},                       // no UTF-8: every byte kept as it is
        {"\xC0\xAF \xED\xA0\x80", "\xC0\xAF \xED\xA0\x80"},  // overlong and surrogate forms too
    };
    for (const auto& c : cases) EXPECT_EQ(c.folded, FoldForSearch(c.text)) << c.text;
}

TEST(ButtonFilter, EveryWordInNameOrAddressInAnyOrderAndTheFocusedMatch) {
    const ButtonRecord records[] = {
        Record("Caf\xC3\xA9 Cr\xC3\xA8me", "http://cafe.example/"),
        Record("\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8", "http://news.example/ru"),
        Record("Weather", "http://forecast.example/crema"),
        Record("Crete trip", "http://travel.example/"),
    };
    std::vector<SearchText> texts;
    for (const ButtonRecord& r : records) texts.push_back(MakeSearchText(r));
    const struct { const char* typed; std::vector<int> matches; int focused; } cases[] = {
        {"cafe cr", {0}, 0},
        {"CR CAFE", {0}, 0},
        {"\xD0\xBD\xD0\xBE\xD0\xB2", {1}, 0},  // "нов" finds "Новости"
        {"cr", {0, 2, 3}, 2},                  // "Crete" begins with it: the third match
        {"example", {0, 1, 2, 3}, 0},          // the address counts; no name begins with it
        {"fore crem", {2}, 0},
        {"zzz", {}, -1},
        {"   ", {0, 1, 2, 3}, 0},
    };
    for (const auto& c : cases) {
        const FilterQuery query = MakeFilterQuery(c.typed);
        const std::vector<int> matches = MatchingEntries(texts, query);
        EXPECT_EQ(c.matches, matches) << c.typed;
        std::vector<const SearchText*> shown;
        for (int i : matches) shown.push_back(&texts[static_cast<size_t>(i)]);
        EXPECT_EQ(c.focused, FocusedMatch(shown, query)) << c.typed;
    }
}

TEST(ButtonFilter, TypingAndErasingTheText) {
    std::string text;
    EXPECT_FALSE(TypeIntoFilter(text, ' '));  // no blank first
    EXPECT_FALSE(TypeIntoFilter(text, '\r'));
    EXPECT_TRUE(TypeIntoFilter(text, 'c'));
    EXPECT_TRUE(TypeIntoFilter(text, ' '));
    EXPECT_TRUE(TypeIntoFilter(text, 0xD0));  // the two bytes of "н"
    EXPECT_TRUE(TypeIntoFilter(text, 0xBD));
    EXPECT_EQ("c \xD0\xBD", text);
    EXPECT_TRUE(EraseFromFilter(text));       // the whole character
    EXPECT_EQ("c ", text);
    EXPECT_TRUE(EraseFromFilter(text));
    EXPECT_TRUE(EraseFromFilter(text));
    EXPECT_FALSE(EraseFromFilter(text));
    for (int i = 0; i < 100; ++i) TypeIntoFilter(text, 'x');
    EXPECT_EQ(kFilterTextMax, text.size());
    EXPECT_EQ("Work", ButtonFileLabel("C:\\Users\\me\\brisklet\\Work.BKLT"));
    EXPECT_EQ("a.b", ButtonFileLabel("d/a.b.bklt"));
    EXPECT_EQ(".bklt", ButtonFileLabel(".bklt"));
    // A table's unterminated fields are read to their ends only.
    ButtonTable table;
    std::memset(&table, 'A', sizeof table);
    table.buttonCount = 2;
    const auto texts = SearchTexts(table);
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(std::string(kNameSize, 'a'), texts[1].name);
}

}  // namespace
