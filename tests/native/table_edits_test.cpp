#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "dialogs/table_edits.h"

namespace {

FontDesc Font(const char* face, int32_t height) {
    FontDesc font{};
    font.lfHeight = height;
    font.lfWeight = 400;
    CopyTextToField(font.lfFaceName, sizeof font.lfFaceName, face);
    return font;
}

// A table with the given names; every slot (free ones too) gets distinct contents so that
// moved and unmoved fields can be told apart.
std::unique_ptr<ButtonTable> MakeTable(const std::vector<std::string>& names) {
    auto table = std::make_unique<ButtonTable>();
    std::memset(table.get(), 0, sizeof *table);
    table->buttonWidth = 140;
    table->globalFont = Font("System", -13);
    for (int i = 0; i < kMaxButtons; ++i) {
        ButtonRecord& r = table->records[i];
        const std::string name = i < static_cast<int>(names.size()) ? names[i] : "free" + std::to_string(i);
        CopyTextToField(r.name, sizeof r.name, name.c_str());
        CopyTextToField(r.url, sizeof r.url, ("http://" + std::to_string(i) + ".example/").c_str());
        r.legacyValue = 1000 + i;
        r.ownFont = Font("Face", -10 - i);
        r.hasOwnFont = static_cast<uint8_t>(i % 2);
        r.newWindow = static_cast<uint8_t>((i / 2) % 2);
        r.reserved[0] = static_cast<uint8_t>(i);
        r.reserved[1] = static_cast<uint8_t>(200 + i % 50);
    }
    table->buttonCount = static_cast<int32_t>(names.size());
    return table;
}

std::vector<std::string> Names(const ButtonTable& table) {
    std::vector<std::string> names;
    for (int i = 0; i < ButtonCount(table); ++i) names.emplace_back(table.records[i].name);
    return names;
}

std::vector<std::string> Numbered(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("b" + std::to_string(i));
    return names;
}

EditorResult AddResult(const std::string& url, const std::string& name) {
    EditorResult result{};
    CopyTextToField(result.addUrl, sizeof result.addUrl, url.c_str());
    CopyTextToField(result.addName, sizeof result.addName, name.c_str());
    return result;
}

bool SameFont(const FontDesc& a, const FontDesc& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Checks that slot `to` holds the five editable fields of `from` and kept its own slot fields.
void ExpectMovedFields(const ButtonRecord& to, const ButtonRecord& from, int slot) {
    EXPECT_STREQ(from.name, to.name);
    EXPECT_STREQ(from.url, to.url);
    EXPECT_TRUE(SameFont(from.ownFont, to.ownFont));
    EXPECT_EQ(from.hasOwnFont, to.hasOwnFont);
    EXPECT_EQ(from.newWindow, to.newWindow);
    EXPECT_EQ(1000 + slot, to.legacyValue) << "legacy value stays with slot " << slot;
    EXPECT_EQ(slot, to.reserved[0]) << "reserved bytes stay with slot " << slot;
    EXPECT_EQ(200 + slot % 50, to.reserved[1]);
}

TEST(InsertButtonAtTop, ShiftsOnlyTheFiveFieldsAndPutsTheNewButtonFirst) {
    auto table = MakeTable({"one", "two", "three"});
    auto before = MakeTable({"one", "two", "three"});
    EditorResult result = AddResult("http://new.example/", "New");
    result.newWindowChoice = 1;

    ASSERT_TRUE(InsertButtonAtTop(*table, result));
    EXPECT_EQ(4, table->buttonCount);
    EXPECT_EQ((std::vector<std::string>{"New", "one", "two", "three"}), Names(*table));
    for (int i = 1; i <= 3; ++i) ExpectMovedFields(table->records[i], before->records[i - 1], i);

    const ButtonRecord& first = table->records[0];
    EXPECT_STREQ("http://new.example/", first.url);
    EXPECT_TRUE(SameFont(table->globalFont, first.ownFont)) << "no font chosen: copy of the global font";
    EXPECT_EQ(0, first.hasOwnFont);
    EXPECT_EQ(1, first.newWindow);
    EXPECT_EQ(1000, first.legacyValue);
    EXPECT_EQ(0, first.reserved[0]);
    // The slot after the last record in use is the only free slot written.
    EXPECT_STREQ("free5", table->records[5].name);
}

TEST(InsertButtonAtTop, ChosenFontLongUrlAndChoiceOtherThanOne) {
    auto table = MakeTable({"one"});
    EditorResult result = AddResult(std::string(600, 'u'), "Named");
    result.fontChosen = 1;
    result.chosenFont = Font("Courier New", -20);
    result.newWindowChoice = 2;

    ASSERT_TRUE(InsertButtonAtTop(*table, result));
    const ButtonRecord& first = table->records[0];
    EXPECT_EQ(std::string(511, 'u'), first.url) << "URL cut to 511 characters";
    EXPECT_TRUE(SameFont(Font("Courier New", -20), first.ownFont));
    EXPECT_EQ(1, first.hasOwnFont);
    EXPECT_EQ(0, first.newWindow) << "only a choice of 1 sets the new-window byte";
}

TEST(InsertButtonAtTop, FillsTheLastSlotAndRefusesAHundredAndFirst) {
    auto table = MakeTable(Numbered(99));
    ASSERT_TRUE(InsertButtonAtTop(*table, AddResult("http://x/", "top")));
    EXPECT_EQ(100, table->buttonCount);
    EXPECT_STREQ("b98", table->records[99].name);
    EXPECT_STREQ("top", table->records[0].name);

    auto full = MakeTable(Numbered(100));
    auto copy = MakeTable(Numbered(100));
    EXPECT_FALSE(InsertButtonAtTop(*full, AddResult("http://x/", "more")));
    EXPECT_EQ(0, std::memcmp(full.get(), copy.get(), sizeof *full)) << "a refused insert changes nothing";
}

TEST(DeleteButton, MovesTheFiveFieldsUpFromTheFirstFreeSlot) {
    auto table = MakeTable({"a", "b", "c", "d"});
    auto before = MakeTable({"a", "b", "c", "d"});
    ASSERT_TRUE(DeleteButton(*table, 1));
    EXPECT_EQ(3, table->buttonCount);
    EXPECT_EQ((std::vector<std::string>{"a", "c", "d"}), Names(*table));
    ExpectMovedFields(table->records[0], before->records[0], 0);
    ExpectMovedFields(table->records[1], before->records[2], 1);
    ExpectMovedFields(table->records[2], before->records[3], 2);
    // The slot that became free took the stale contents of the first free slot.
    ExpectMovedFields(table->records[3], before->records[4], 3);
    ExpectMovedFields(table->records[4], before->records[4], 4);
}

TEST(DeleteButton, LastRecordOnlyLowersTheCount) {
    auto table = MakeTable({"a", "b", "c"});
    auto before = MakeTable({"a", "b", "c"});
    ASSERT_TRUE(DeleteButton(*table, 2));
    EXPECT_EQ(2, table->buttonCount);
    for (int i = 0; i < 2; ++i) ExpectMovedFields(table->records[i], before->records[i], i);
}

TEST(DeleteButton, RefusesTheOnlyButtonAndIndexesOutsideTheRecords) {
    auto single = MakeTable({"only"});
    auto copy = MakeTable({"only"});
    EXPECT_FALSE(DeleteButton(*single, 0));
    EXPECT_EQ(0, std::memcmp(single.get(), copy.get(), sizeof *single));

    auto table = MakeTable({"a", "b"});
    EXPECT_FALSE(DeleteButton(*table, 2));
    EXPECT_FALSE(DeleteButton(*table, -1));
    EXPECT_EQ(2, table->buttonCount);
}

TEST(DeleteButton, AtAHundredRecordsNeverReadsPastSlot99) {
    auto table = MakeTable(Numbered(100));
    table->globalFont = Font("Zzzzzz", -99);  // what would follow slot 99 in memory
    ASSERT_TRUE(DeleteButton(*table, 0));
    EXPECT_EQ(99, table->buttonCount);
    EXPECT_STREQ("b1", table->records[0].name);
    EXPECT_STREQ("b99", table->records[98].name);
    EXPECT_STREQ("b99", table->records[99].name) << "slot 99 keeps its contents as a free slot";
    EXPECT_TRUE(SameFont(Font("Face", -109), table->records[99].ownFont));

    auto again = MakeTable(Numbered(100));
    ASSERT_TRUE(DeleteButton(*again, 99));
    EXPECT_EQ(99, again->buttonCount);
    EXPECT_STREQ("b99", again->records[99].name);
}

TEST(CompareNamesFolded, FoldsToLowerCaseAndPutsPrefixesFirst) {
    EXPECT_EQ(0, CompareNamesFolded("Alpha", "aLPHA"));
    EXPECT_LT(CompareNamesFolded("Alpha", "beta"), 0);
    EXPECT_GT(CompareNamesFolded("beta", "Alpha"), 0);
    EXPECT_LT(CompareNamesFolded("ab", "ABC"), 0);
    EXPECT_GT(CompareNamesFolded("abc", "AB"), 0);
    EXPECT_EQ(0, CompareNamesFolded("", ""));
    EXPECT_LT(CompareNamesFolded("", "a"), 0);
    // Folding goes to lower case: '_' (0x5F) lies between 'Z' and 'a'.
    EXPECT_LT(CompareNamesFolded("_x", "Ax"), 0);
    // Bytes are unsigned: characters above 127 follow the ASCII letters.
    EXPECT_GT(CompareNamesFolded("\xE9t\xE9", "zebra"), 0);
}

TEST(SortButtons, BothOrdersMoveWholeRecords) {
    auto table = MakeTable({"beta", "Alpha", "gamma"});
    auto before = MakeTable({"beta", "Alpha", "gamma"});
    SortButtons(*table, SortOrder::TopDown);
    EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "gamma"}), Names(*table));
    // Whole records: "Alpha" came from slot 1 and brings its legacy value and reserved bytes.
    EXPECT_EQ(0, std::memcmp(&table->records[0], &before->records[1], sizeof(ButtonRecord)));
    EXPECT_EQ(0, std::memcmp(&table->records[1], &before->records[0], sizeof(ButtonRecord)));
    EXPECT_EQ(0, std::memcmp(&table->records[2], &before->records[2], sizeof(ButtonRecord)));
    EXPECT_EQ(0, std::memcmp(&table->records[3], &before->records[3], sizeof(ButtonRecord)))
        << "free slots are not sorted";

    SortButtons(*table, SortOrder::BottomUp);
    EXPECT_EQ((std::vector<std::string>{"gamma", "beta", "Alpha"}), Names(*table));
    EXPECT_EQ(1001, table->records[2].legacyValue);
}

TEST(SortButtons, HundredRecordsAndEqualNamesApartFromCase) {
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i) names.push_back("n" + std::to_string((i * 37) % 100 + 100));
    names[10] = "SAME";
    names[20] = "same";
    auto table = MakeTable(names);
    SortButtons(*table, SortOrder::TopDown);
    EXPECT_EQ(100, table->buttonCount);
    for (int i = 1; i < 100; ++i)
        EXPECT_LE(CompareNamesFolded(table->records[i - 1].name, table->records[i].name), 0) << i;
    EXPECT_EQ(0, CompareNamesFolded("same", table->records[99].name));
    EXPECT_EQ(0, CompareNamesFolded("same", table->records[98].name));
}

TEST(ApplyEditResult, ChosenFontSetsOwnFontAndNothingSwitchesItOff) {
    auto table = MakeTable({"a", "b"});
    ButtonRecord& withFont = table->records[1];  // has-own-font 1 in MakeTable
    const FontDesc kept = withFont.ownFont;
    EditorResult result{};
    result.fontChosen = 0;
    result.newWindowChoice = 1;
    ApplyEditResult(withFont, result);
    EXPECT_EQ(1, withFont.hasOwnFont);
    EXPECT_TRUE(SameFont(kept, withFont.ownFont));
    EXPECT_EQ(1, withFont.newWindow);

    ButtonRecord& plain = table->records[0];
    result.fontChosen = 1;
    result.chosenFont = Font("Arial", -16);
    result.newWindowChoice = 0;
    ApplyEditResult(plain, result);
    EXPECT_EQ(1, plain.hasOwnFont);
    EXPECT_TRUE(SameFont(Font("Arial", -16), plain.ownFont));
    EXPECT_EQ(0, plain.newWindow);
}

TEST(StoreFavouriteUrl, CutsAt511Characters) {
    auto table = MakeTable({"a"});
    const std::string longUrl = "http://" + std::string(593, 'f');
    StoreFavouriteUrl(*table, longUrl.c_str());
    EXPECT_EQ(longUrl.substr(0, 511), table->favouriteUrl);
    StoreFavouriteUrl(*table, "");
    EXPECT_STREQ("", table->favouriteUrl);
}

TEST(CheckAddAllowed, FullTableFirstThenTheRoomAboveTheBar) {
    auto table = MakeTable({"a", "b"});
    EXPECT_EQ(AddRefusal::None, CheckAddAllowed(*table, 23));
    EXPECT_EQ(AddRefusal::NoRoom, CheckAddAllowed(*table, 22));
    EXPECT_EQ(AddRefusal::NoRoom, CheckAddAllowed(*table, -400));
    auto full = MakeTable(Numbered(100));
    EXPECT_EQ(AddRefusal::TableFull, CheckAddAllowed(*full, 5000));
    EXPECT_EQ(AddRefusal::TableFull, CheckAddAllowed(*full, -5000));
}

TEST(CheckAddAllowed, BarPositionsAtTheEndsOfTheIntRange) {
    // The layout saturates a hostile position to the int range; the room test must not overflow.
    auto table = MakeTable({"a"});
    EXPECT_EQ(AddRefusal::NoRoom, CheckAddAllowed(*table, INT_MIN));
    EXPECT_EQ(AddRefusal::NoRoom, CheckAddAllowed(*table, INT_MIN + 21));
    EXPECT_EQ(AddRefusal::None, CheckAddAllowed(*table, INT_MAX));
}

TEST(SelectedRecord, FallsBackToTheFirstRecord) {
    auto table = MakeTable({"a", "b", "c"});
    EXPECT_EQ(2, SelectedRecord(*table, 2));
    EXPECT_EQ(0, SelectedRecord(*table, 3));
    EXPECT_EQ(0, SelectedRecord(*table, -1));  // CB_ERR from a list with nothing selected
}

TEST(ApplyButtonFileExtension, AppendsUnlessTheNameEndsInTheExtension) {
    char path[64];
    std::strcpy(path, "C:\\files\\saved");
    ASSERT_TRUE(ApplyButtonFileExtension(path, sizeof path));
    EXPECT_STREQ("C:\\files\\saved.bklt", path);

    std::strcpy(path, "x.BKLT");
    ASSERT_TRUE(ApplyButtonFileExtension(path, sizeof path));
    EXPECT_STREQ("x.BKLT", path);
    std::strcpy(path, "C:\\y.bKlT");
    ASSERT_TRUE(ApplyButtonFileExtension(path, sizeof path));
    EXPECT_STREQ("C:\\y.bKlT", path);

    std::strcpy(path, "a.b");  // shorter than five characters
    ASSERT_TRUE(ApplyButtonFileExtension(path, sizeof path));
    EXPECT_STREQ("a.b.bklt", path);
    std::strcpy(path, "my.bklt.txt");
    ASSERT_TRUE(ApplyButtonFileExtension(path, sizeof path));
    EXPECT_STREQ("my.bklt.txt.bklt", path);
    std::strcpy(path, "bklt");
    ASSERT_TRUE(ApplyButtonFileExtension(path, sizeof path));
    EXPECT_STREQ("bklt.bklt", path);
}

TEST(ApplyButtonFileExtension, RefusesANameThatWouldNotFit) {
    char path[12];
    std::strcpy(path, "abcdefg");  // 7 + 5 characters need 13 bytes
    EXPECT_FALSE(ApplyButtonFileExtension(path, sizeof path));
    EXPECT_STREQ("abcdefg", path);
    std::strcpy(path, "abcdef");  // exactly fits
    EXPECT_TRUE(ApplyButtonFileExtension(path, sizeof path));
    EXPECT_STREQ("abcdef.bklt", path);
}

// ---- Move up, Move down ----

TEST(MoveButton, SwapsWholeRecordsWithTheNeighbourAndRefusesAtTheEnds) {
    auto table = MakeTable({"a", "b", "c"});
    const ButtonRecord first = table->records[0];
    const ButtonRecord second = table->records[1];
    const ButtonRecord third = table->records[2];
    const ButtonRecord freeSlot = table->records[3];

    EXPECT_FALSE(CanMoveButton(*table, 0, -1));
    EXPECT_TRUE(CanMoveButton(*table, 0, 1));
    EXPECT_FALSE(CanMoveButton(*table, 2, 1));
    EXPECT_FALSE(CanMoveButton(*table, 3, -1));  // a free slot is no record
    EXPECT_FALSE(CanMoveButton(*table, 1, 2));   // one step only

    EXPECT_EQ(-1, MoveButton(*table, 0, -1));
    EXPECT_EQ(-1, MoveButton(*table, 2, 1));
    EXPECT_EQ(-1, MoveButton(*table, -1, 1));
    EXPECT_EQ(0, std::memcmp(&first, &table->records[0], sizeof first)) << "refused moves change nothing";

    EXPECT_EQ(2, MoveButton(*table, 1, 1));  // b down
    EXPECT_EQ(0, std::memcmp(&third, &table->records[1], sizeof third));
    EXPECT_EQ(0, std::memcmp(&second, &table->records[2], sizeof second)) << "every byte moves, legacy value too";
    EXPECT_EQ(0, MoveButton(*table, 1, -1));  // c up
    EXPECT_EQ(0, std::memcmp(&third, &table->records[0], sizeof third));
    EXPECT_EQ(0, std::memcmp(&first, &table->records[1], sizeof first));
    EXPECT_EQ(0, std::memcmp(&freeSlot, &table->records[3], sizeof freeSlot));
    EXPECT_EQ(3, table->buttonCount);

    auto one = MakeTable({"only"});
    EXPECT_FALSE(CanMoveButton(*one, 0, -1));
    EXPECT_FALSE(CanMoveButton(*one, 0, 1));
}

// ---- Typed addresses ----

std::string Completed(const std::string& typed, size_t size = 512) {
    std::vector<char> buffer(size, 'x');
    std::memcpy(buffer.data(), typed.c_str(), typed.size() + 1);
    CompleteTypedAddress(buffer.data(), buffer.size());
    return buffer.data();
}

TEST(TypedAddress, HostNamesGetHttpAndEverythingElseIsKeptAsTyped) {
    EXPECT_EQ("http://news.example.org", Completed("news.example.org"));
    EXPECT_EQ("http://www.example.org/a/b?c=d", Completed("www.example.org/a/b?c=d"));
    EXPECT_EQ("http://example.org:8080/x", Completed("example.org:8080/x"));  // a port is no scheme
    EXPECT_EQ("http://example.org:8080", Completed("example.org:8080"));
    EXPECT_EQ("http://10.0.0.1/admin", Completed("10.0.0.1/admin"));
    EXPECT_EQ("http://example.com", Completed("example.com"));

    for (const char* kept : {"http://news.example.org", "https://a.example/", "mailto:me@example.org",
                             "file:///C:/a.htm", "ftp.example.org:x", "C:\\Docs\\a.txt", "c:/docs/a.txt",
                             "\\\\server\\share", "/usr/a.htm", "./a.htm", ".hidden.example", "notepad",
                             "setup.exe", "TOOL.CMD", "news.example.org/a b", "news example.org", "docs/a.htm",
                             "intranet/news.htm", "localhost:8080", "x.example\\y", "", "http://"}) {
        EXPECT_EQ(kept, Completed(kept)) << kept;
    }
    // No room for the scheme: the text stays as typed rather than cut.
    EXPECT_EQ("ab.cd", Completed("ab.cd", 12));
    EXPECT_EQ("http://ab.cd", Completed("ab.cd", 13));
}

}  // namespace
