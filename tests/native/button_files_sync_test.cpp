// The Button file in a folder other programs write too: merge before save, a file that cannot be
// read now, a file being written, a change on disk taken in, a conflict copy merged.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "store/button_files.h"
#include "store/native_registry.h"
#include "store/sync_rules.h"
#include "tests/native/store_test_support.h"

namespace {

using store_test::FileExists;
using store_test::ReadAll;
using store_test::Slashes;
using store_test::WriteAll;

class PausingFileSystem : public store_test::FaultyFileSystem {
public:
    std::function<void()> onPause;   // what another program does while the store waits
    void Pause(unsigned) override {
        if (onPause) onPause();
    }
};

class RecordingSync : public FileSyncEvents {
public:
    std::vector<unsigned> delays;
    int replaced = 0;
    void RetrySaveLater(unsigned ms) override { delays.push_back(ms); }
    void TableReplaced() override { ++replaced; }
};

std::string Image(const std::vector<std::string>& names) {
    ButtonTable table{};
    table.buttonWidth = 140;
    for (size_t i = 0; i < names.size(); ++i) {
        CopyTextToField(table.records[i].name, kNameSize, names[i].c_str());
        CopyTextToField(table.records[i].url, kUrlSize, ("http://" + names[i] + ".example/").c_str());
    }
    table.buttonCount = static_cast<int32_t>(names.size());
    return std::string(reinterpret_cast<const char*>(&table), sizeof table);
}

std::vector<std::string> Names(const std::string& image) {
    std::vector<std::string> names;
    if (image.size() != kButtonTableSize) return names;
    ButtonTable table;
    std::memcpy(&table, image.data(), sizeof table);
    for (int i = 0; i < ButtonCount(table); ++i) names.push_back(table.records[i].name);
    return names;
}

class ButtonFileSyncTest : public store_test::StoreSeamTest<PausingFileSystem, NativeRegistry, RecordingMessageSink> {
protected:
    void SetUp() override {
        StoreSeamTest::SetUp();
        g_platform.sync = &sync_;
        SetPath(g_documentsFolder, temp_.path());
        BuildStorePaths();
        file_ = temp_.path() + "\\links.bklt";
        SetPath(g_currentButtonFile, file_);
    }

    void Put(const std::vector<std::string>& names) {
        const std::string image = Image(names);
        WriteAll(file_, image.data(), image.size());
    }
    void Load(const std::vector<std::string>& names) {
        Put(names);
        ReloadButtonFile();
    }
    // The bar's own change: a button added at the top.
    static void AddAtTop(const char* name) {
        std::memmove(&g_buttonTable.records[1], &g_buttonTable.records[0], 99 * sizeof(ButtonRecord));
        g_buttonTable.records[0] = ButtonRecord{};
        CopyTextToField(g_buttonTable.records[0].name, kNameSize, name);
        ++g_buttonTable.buttonCount;
    }
    std::vector<std::string> OnDisk() const { return Names(ReadAll(file_)); }

    std::string file_;
    RecordingSync sync_;
};

using V = std::vector<std::string>;

TEST_F(ButtonFileSyncTest, ASaveMergesWhatAnotherWriterChangedAndTellsOfButtonsChangedOnBothSides) {
    Load({"A", "B"});
    Put({"A", "B", "T"});   // another PC added T
    AddAtTop("N");

    ASSERT_TRUE(SaveButtonFile());
    EXPECT_EQ((V{"N", "A", "B", "T"}), OnDisk());
    EXPECT_EQ((V{"N", "A", "B", "T"}), Names(std::string(reinterpret_cast<const char*>(&g_buttonTable), kButtonTableSize)));
    EXPECT_EQ(1, sync_.replaced);
    EXPECT_TRUE(messages_.shown.empty());

    // Both rename the address of B, differently: both stand, and the user hears of it once.
    std::string theirs = Image({"N", "A", "B", "T"});
    CopyTextToField(reinterpret_cast<ButtonTable*>(&theirs[0])->records[2].url, kUrlSize, "http://there.example/");
    WriteAll(file_, theirs.data(), theirs.size());
    CopyTextToField(g_buttonTable.records[2].url, kUrlSize, "http://here.example/");
    ASSERT_TRUE(SaveButtonFile());
    EXPECT_EQ((V{"N", "A", "B", "B", "T"}), OnDisk());
    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_NE(std::string::npos, messages_.shown[0].text.find("\"B\" was changed on both sides"));

    // Our own last write is the base: saving again reads it as unchanged and merges nothing.
    ASSERT_TRUE(SaveButtonFile());
    EXPECT_EQ(2, sync_.replaced);
    EXPECT_EQ(DiskChange::None, TakeDiskChange());
}

TEST_F(ButtonFileSyncTest, AFileThatCannotBeReadIsNeverWrittenOverAndTheSaveWaitsThenGoesBesideIt) {
    Load({"A"});
    const std::string before = ReadAll(file_);
    files_.unreadablePrefix = Slashes(file_);
    AddAtTop("N");

    EXPECT_TRUE(SaveButtonFile());    // waits: counts as done
    EXPECT_TRUE(SavePending());
    EXPECT_TRUE(SaveButtonFile());    // a second change waits for the same retry
    EXPECT_EQ(std::vector<unsigned>{250}, sync_.delays);
    EXPECT_EQ(before, ReadAll(file_));

    // Freed after two waits: the retry reads, finds another PC's change, merges and writes.
    RetryPendingSave();
    Put({"A", "T"});
    files_.unreadablePrefix.clear();
    RetryPendingSave();
    EXPECT_FALSE(SavePending());
    EXPECT_EQ((V{"N", "A", "T"}), OnDisk());
    EXPECT_EQ((std::vector<unsigned>{250, 500}), sync_.delays);

    // Held for good: retried with growing waits for half a minute, then kept beside it.
    files_.unreadablePrefix = Slashes(file_);
    sync_.delays.clear();
    AddAtTop("M");
    SaveButtonFile();
    while (SavePending()) RetryPendingSave();
    unsigned waited = 0;
    for (unsigned delay : sync_.delays) waited += delay;
    EXPECT_GE(waited, kSaveGiveUpMs);
    EXPECT_LT(waited, kSaveGiveUpMs + 4000);
    EXPECT_EQ(4000u, sync_.delays.back());
    EXPECT_EQ((V{"N", "A", "T"}), OnDisk());
    const std::string notSaved = temp_.path() + "\\links (not saved).bklt";
    EXPECT_EQ((V{"M", "N", "A", "T"}), Names(ReadAll(notSaved)));
    ASSERT_EQ(1u, messages_.shown.size());
    EXPECT_EQ("Brisklet could not save the Button file - " + file_ +
                  "\nAnother program holds it, or it cannot be read now. The buttons are kept in - " + notSaved,
              messages_.shown[0].text);
}

TEST_F(ButtonFileSyncTest, AFileBeingWrittenIsReadAgainOnceItStandsStill) {
    // At load: a half-written file is not taken for a foreign one.
    const std::string whole = Image({"A", "B"});
    WriteAll(file_, whole.data(), 1000);
    files_.onPause = [&] { WriteAll(file_, whole.data(), whole.size()); };
    ReloadButtonFile();
    EXPECT_EQ((V{"A", "B"}), Names(std::string(reinterpret_cast<const char*>(&g_buttonTable), kButtonTableSize)));
    EXPECT_FALSE(FileExists(file_ + ".orig"));
    EXPECT_TRUE(messages_.shown.empty());

    // Before a save: the write the other program finishes is merged, not written over.
    const std::string theirs = Image({"A", "B", "T"});
    WriteAll(file_, theirs.data(), 1000);
    files_.onPause = [&] { WriteAll(file_, theirs.data(), theirs.size()); };
    AddAtTop("N");
    ASSERT_TRUE(SaveButtonFile());
    EXPECT_EQ((V{"N", "A", "B", "T"}), OnDisk());

    // Still half written at the second look, or cut short for good: the save waits.
    WriteAll(file_, theirs.data(), 1000);
    files_.onPause = [&] { WriteAll(file_, theirs.data(), 2000); };
    EXPECT_TRUE(SaveButtonFile());
    EXPECT_TRUE(SavePending());
    EXPECT_EQ(2000u, ReadAll(file_).size());
    files_.onPause = nullptr;
    RetryPendingSave();
    EXPECT_TRUE(SavePending());
    EXPECT_EQ(2000u, ReadAll(file_).size());
}

TEST_F(ButtonFileSyncTest, AChangeOnDiskIsTakenInAndAConflictCopyIsMergedThenRenamed) {
    Load({"A", "B"});
    Put({"B", "C"});
    EXPECT_EQ(DiskChange::Replaced, TakeDiskChange());
    EXPECT_EQ((V{"B", "C"}), Names(std::string(reinterpret_cast<const char*>(&g_buttonTable), kButtonTableSize)));
    EXPECT_EQ(1, sync_.replaced);
    EXPECT_EQ(DiskChange::None, TakeDiskChange());
    files_.unreadablePrefix = Slashes(file_);
    EXPECT_EQ(DiskChange::TryLater, TakeDiskChange());
    files_.unreadablePrefix.clear();

    const std::string copy = temp_.path() + "\\links-LAPTOP.bklt";
    const std::string image = Image({"C", "D", "B"});
    WriteAll(copy, image.data(), image.size());
    EXPECT_EQ(CopyMerge::Merged, MergeConflictCopy(copy.c_str()));
    EXPECT_EQ((V{"B", "C", "D"}), OnDisk());
    EXPECT_FALSE(FileExists(copy));
    EXPECT_EQ(image, ReadAll(copy + ".merged"));
    EXPECT_EQ(CopyMerge::CannotRead, MergeConflictCopy(copy.c_str()));
}

}  // namespace
