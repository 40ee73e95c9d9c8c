#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "store/button_merge.h"
#include "store/sync_rules.h"
#include "tests/fuzz/merge_checks.h"

namespace {

// A button is written "Name" (address http://name.example/) or "Name:where" (http://where.example/).
ButtonRecord Button(const std::string& spec) {
    ButtonRecord record{};
    const size_t colon = spec.find(':');
    const std::string name = spec.substr(0, colon);
    std::string where = colon == std::string::npos ? name : spec.substr(colon + 1);
    for (char& c : where) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    CopyTextToField(record.name, sizeof record.name, name.c_str());
    CopyTextToField(record.url, sizeof record.url, ("http://" + where + ".example/").c_str());
    return record;
}

std::unique_ptr<ButtonTable> Table(const std::vector<std::string>& buttons) {
    auto table = std::make_unique<ButtonTable>();
    std::memset(table.get(), 0, sizeof *table);
    table->buttonWidth = 140;
    CopyTextToField(table->favouriteUrl, sizeof table->favouriteUrl, "http://fav.example/");
    CopyTextToField(table->globalFont.lfFaceName, sizeof table->globalFont.lfFaceName, "System");
    for (size_t i = 0; i < buttons.size(); ++i) table->records[i] = Button(buttons[i]);
    table->buttonCount = static_cast<int32_t>(buttons.size());
    return table;
}

// The buttons of a table as "Name:where" (":where" left out when it is the name).
std::vector<std::string> Spelled(const ButtonTable& table) {
    std::vector<std::string> out;
    for (int i = 0; i < ButtonCount(table); ++i) {
        const std::string name = table.records[i].name;
        std::string url = table.records[i].url;
        url = url.substr(7, url.size() - 7 - std::strlen(".example/"));
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        out.push_back(url == lower ? name : name + ":" + url);
    }
    return out;
}

struct MergeCase {
    const char* what;
    std::vector<std::string> base, ours, theirs, merged;
    std::vector<MergeNote::Kind> notes;
};

TEST(ButtonMerge, ButtonsMergeAsTheTableSays) {
    using K = MergeNote::Kind;
    const MergeCase cases[] = {
        {"nothing changed here: theirs", {"A", "B"}, {"A", "B"}, {"B", "C"}, {"B", "C"}, {}},
        {"an addition on each side", {"A", "B"}, {"N", "A", "B"}, {"A", "B", "T"}, {"N", "A", "B", "T"}, {}},
        {"our addition follows its neighbour", {"A", "B", "C"}, {"A", "N", "B", "C"}, {"C", "A", "B"},
         {"C", "A", "N", "B"}, {}},
        {"deleted here, unchanged there", {"A", "B", "C"}, {"A", "C"}, {"A", "B", "C"}, {"A", "C"}, {}},
        {"deleted there, unchanged here", {"A", "B", "C"}, {"A", "B", "C"}, {"B", "C"}, {"B", "C"}, {}},
        {"deleted here, edited there", {"A", "B"}, {"A"}, {"A", "B:b2"}, {"A", "B:b2"}, {K::KeptOverDelete}},
        {"edited here, deleted there", {"A", "B"}, {"A", "B:b2"}, {"A"}, {"A", "B:b2"}, {K::KeptOverDelete}},
        {"edited here", {"A", "B"}, {"A", "Bee:b"}, {"A", "B"}, {"A", "Bee:b"}, {}},
        {"edited there, added here", {"A", "B"}, {"N", "A", "B"}, {"A", "B:x"}, {"N", "A", "B:x"}, {}},
        {"the same edit on both sides", {"A", "B"}, {"A", "B:x"}, {"A", "B:x"}, {"A", "B:x"}, {}},
        {"different edits: both, theirs first", {"A", "B"}, {"A", "B:x"}, {"A", "B:y"}, {"A", "B:y", "B:x"},
         {K::BothVersionsKept}},
        {"the same addition on both sides", {"A"}, {"N", "A"}, {"A", "N"}, {"A", "N"}, {}},
        {"twins are matched by position", {"A", "A", "B"}, {"A", "A:x", "B"}, {"A", "A", "B"}, {"A", "A:x", "B"}, {}},
        {"both deleted everything", {"A"}, {}, {}, {}, {}},
        {"no base: a union in their order", {}, {"A", "B"}, {"B", "C"}, {"A", "B", "C"}, {}},
    };
    for (const MergeCase& c : cases) {
        const MergeResult result = MergeButtonTables(*Table(c.base), *Table(c.ours), *Table(c.theirs));
        ASSERT_EQ(1u, result.merged.size()) << c.what;
        EXPECT_EQ(c.merged, Spelled(*result.merged[0])) << c.what;
        std::vector<K> kinds;
        for (const MergeNote& note : result.notes) kinds.push_back(note.kind);
        EXPECT_EQ(c.notes, kinds) << c.what;
    }
}

TEST(ButtonMerge, SettingsMergeAsOneRecordEachAndOursWinsWhenBothChanged) {
    auto base = Table({"A"});
    auto ours = Table({"A"});
    auto theirs = Table({"A"});
    theirs->buttonWidth = 200;                     // theirs only
    ours->wide = 1;                                // ours only
    CopyTextToField(ours->favouriteUrl, kUrlSize, "http://ours.example/");   // both, differently
    CopyTextToField(theirs->favouriteUrl, kUrlSize, "http://theirs.example/");
    ours->globalFont.lfHeight = theirs->globalFont.lfHeight = -20;          // both, alike
    const MergeResult result = MergeButtonTables(*base, *ours, *theirs);
    const ButtonTable& merged = *result.merged[0];
    EXPECT_EQ(200, merged.buttonWidth);
    EXPECT_EQ(1, merged.wide);
    EXPECT_STREQ("http://ours.example/", merged.favouriteUrl);
    EXPECT_EQ(-20, merged.globalFont.lfHeight);
    ASSERT_EQ(1u, result.notes.size());
    EXPECT_EQ(MergeNote::Kind::SettingKeptOurs, result.notes[0].kind);
    EXPECT_NE(std::string::npos, DescribeMerge(result.notes, nullptr).find("Favourite URL"));
}

TEST(ButtonMerge, PastAHundredButtonsTheRestGoesIntoASecondTable) {
    std::vector<std::string> base{"Shared"}, ours{"Shared"}, theirs{"Shared"};
    for (int i = 0; i < 99; ++i) {
        ours.push_back("Ours" + std::to_string(i));
        theirs.push_back("Theirs" + std::to_string(i));
    }
    const MergeResult result = MergeButtonTables(*Table(base), *Table(ours), *Table(theirs));
    ASSERT_EQ(2u, result.merged.size());
    EXPECT_EQ(100, result.merged[0]->buttonCount);
    EXPECT_EQ(99, result.merged[1]->buttonCount);
    EXPECT_EQ(result.merged[0]->buttonWidth, result.merged[1]->buttonWidth);
    ASSERT_EQ(1u, result.notes.size());
    EXPECT_EQ(MergeNote::Kind::Overflow, result.notes[0].kind);
    EXPECT_EQ("99", result.notes[0].what);
    EXPECT_NE(std::string::npos, DescribeMerge(result.notes, "C:\\b\\links (2).bklt").find("links (2).bklt"));
}

TEST(ButtonMerge, AUnionKeepsOursAndAddsWhatTheCopyHasMore) {
    const MergeResult result = UniteButtonTables(*Table({"A", "B", "B"}), *Table({"B", "C", "A:x"}));
    ASSERT_EQ(1u, result.merged.size());
    EXPECT_EQ((std::vector<std::string>{"A", "B", "B", "C", "A:x"}), Spelled(*result.merged[0]));
    EXPECT_TRUE(result.notes.empty());
}

// For any three images (hostile ones too), the merge gives valid images, and every button that
// either side added or changed is in them.
TEST(ButtonMerge, AnyThreeImagesMergeIntoValidImagesThatLoseNoChange) {
    std::mt19937 random(20261209);
    const char* names[] = {"A", "B", "C", "D", "A:x", "B:y", "E", "F:a"};
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto derive = [&](const ButtonTable& from) {
        auto table = std::make_unique<ButtonTable>(from);
        for (int step = pick(6); step > 0; --step) {
            const int count = ButtonCount(*table);
            const int at = count > 0 ? pick(count) : 0;
            switch (pick(4)) {
                case 0:   // add
                    if (count < kMaxButtons) {
                        std::memmove(&table->records[at + 1], &table->records[at],
                                     static_cast<size_t>(count - at) * sizeof(ButtonRecord));
                        table->records[at] = Button(names[pick(8)]);
                        table->records[at].newWindow = static_cast<uint8_t>(pick(2));
                        ++table->buttonCount;
                    }
                    break;
                case 1:   // delete
                    if (count > 0) {
                        std::memmove(&table->records[at], &table->records[at + 1],
                                     static_cast<size_t>(count - at - 1) * sizeof(ButtonRecord));
                        --table->buttonCount;
                    }
                    break;
                case 2:   // edit
                    if (count > 0) table->records[at] = Button(names[pick(8)]);
                    if (count > 0) table->records[at].hasOwnFont = static_cast<uint8_t>(pick(3));
                    break;
                default:  // a setting
                    table->buttonWidth = 100 + pick(3);
                    break;
            }
        }
        return table;
    };
    auto garbage = [&]() {
        auto table = std::make_unique<ButtonTable>();
        auto* bytes = reinterpret_cast<uint8_t*>(table.get());
        for (size_t i = 0; i < sizeof *table; ++i) bytes[i] = static_cast<uint8_t>(random() % 4 == 0 ? random() : 0);
        table->buttonCount = static_cast<int32_t>(random());
        return table;
    };
    for (int round = 0; round < 1000; ++round) {
        std::vector<std::string> start;
        for (int n = pick(round % 50 == 0 ? 100 : 7); n > 0; --n) start.push_back(names[pick(8)]);
        auto base = round % 17 == 0 ? garbage() : Table(start);
        auto ours = round % 23 == 0 ? garbage() : derive(*base);
        auto theirs = round % 29 == 0 ? garbage() : derive(*base);
        const MergeResult result = MergeButtonTables(*base, *ours, *theirs);
        ASSERT_FALSE(result.merged.empty());
        for (const auto& table : result.merged) {
            ButtonTable copy = *table;
            ASSERT_FALSE(RepairLoadedTable(copy)) << "round " << round;
        }
        ASSERT_FALSE(merge_checks::LosesAChange(*ours, base.get(), result)) << "round " << round << ": a change of ours is missing";
        ASSERT_FALSE(merge_checks::LosesAChange(*theirs, base.get(), result)) << "round " << round << ": a change of theirs is missing";
    }
}

TEST(SyncRules, ConflictCopiesAreKnownByTheirMarks) {
    const struct {
        const char* candidate;
        bool copy;
    } cases[] = {
        {"links-LAPTOP.bklt", true},
        {"Links-desktop-7h2k.BKLT", true},
        {"links (LAPTOP's conflicted copy 2026-12-09).bklt", true},
        {"links (conflicted copy 2026-12-09 101500).bklt", true},
        {"links.sync-conflict-20261209-101500-ABCDEFG.bklt", true},
        {"links (1).bklt", true},
        {"links 2.bklt", true},
        {"links [conflicted].bklt", true},
        {"links.conflict.bklt", true},
        {"links (not saved).bklt", true},
        {"links.bklt", false},
        {"LINKS.bklt", false},
        {"links-LAPTOP.bklt.merged", false},
        {"links2.bklt", false},
        {"links work.bklt", false},
        {"links (old).bklt", false},
        {"link-LAPTOP.bklt", false},
        {"other-LAPTOP.bklt", false},
        {"links-two words.bklt", false},
        {"links-.bklt", false},
        {"links-PC.txt", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.copy, IsConflictCopyName("links.bklt", c.candidate)) << c.candidate;
    EXPECT_FALSE(IsConflictCopyName("links.txt", "links-PC.txt"));
    char path[64];
    ASSERT_TRUE(NotSavedCopyPath("C:\\b\\links.bklt", path, sizeof path));
    EXPECT_STREQ("C:\\b\\links (not saved).bklt", path);
    EXPECT_FALSE(NotSavedCopyPath("C:\\b\\links.bklt", path, 20));
}

TEST(SyncRules, AReadIsJudgedReadyForeignOrChangedOnlyWhenItCanBe) {
    auto base = Table({"A"});
    auto other = Table({"B"});
    const DiskRead unreadable{false, 0, nullptr};
    const DiskRead half{true, 30000, nullptr};
    const DiskRead same{true, kButtonTableSize, base.get()};
    const DiskRead changed{true, kButtonTableSize, other.get()};
    const DiskRead empty{true, 0, nullptr};
    EXPECT_EQ(DiskState::Missing, JudgeDiskRead(false, unreadable, nullptr, base.get()));
    EXPECT_EQ(DiskState::Unreadable, JudgeDiskRead(true, unreadable, nullptr, base.get()));
    EXPECT_EQ(DiskState::NotReady, JudgeDiskRead(true, half, nullptr, base.get()));
    EXPECT_EQ(DiskState::NotReady, JudgeDiskRead(true, half, &unreadable, base.get()));
    EXPECT_EQ(DiskState::NotReady, JudgeDiskRead(true, half, &empty, base.get()));
    EXPECT_EQ(DiskState::Foreign, JudgeDiskRead(true, half, &half, base.get()));
    EXPECT_EQ(DiskState::NotReady, JudgeDiskRead(true, empty, nullptr, base.get()));
    EXPECT_EQ(DiskState::Empty, JudgeDiskRead(true, empty, &empty, base.get()));
    EXPECT_EQ(DiskState::Unchanged, JudgeDiskRead(true, same, nullptr, base.get()));
    EXPECT_EQ(DiskState::Changed, JudgeDiskRead(true, changed, nullptr, base.get()));
    EXPECT_EQ(DiskState::Changed, JudgeDiskRead(true, same, nullptr, nullptr));
    EXPECT_EQ(250u, SaveRetryDelayMs(1));
    EXPECT_EQ(500u, SaveRetryDelayMs(2));
    EXPECT_EQ(4000u, SaveRetryDelayMs(5));
    EXPECT_EQ(4000u, SaveRetryDelayMs(50));
}

}  // namespace
