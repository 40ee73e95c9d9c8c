#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include "store/button_files.h"
#include "store/settings.h"
#include "tests/native/store_alloc_counter.h"
#include "tests/native/store_test_support.h"

namespace {

// A registry that keeps the one string it was last given in a fixed buffer, so that it adds no
// allocation of its own to what is measured.
class FixedRegistry : public RegistryApi {
public:
    char lastString[kPathSize] = "";
    int stores = 0;

    bool CreateKey(RegRoot, const char*, Key* key) override {
        *key = this;
        return true;
    }
    bool OpenKey(RegRoot, const char*, bool, Key* key) override {
        *key = this;
        return true;
    }
    bool SetValue(Key, const char*, uint32_t type, const void* data, uint32_t size) override {
        if (type == kRegSz && size <= sizeof lastString) std::memcpy(lastString, data, size);
        ++stores;
        return true;
    }
    bool QueryValue(Key, const char*, uint32_t*, void*, uint32_t*) override { return false; }
    bool DeleteValue(Key, const char*) override { return false; }
    void Flush(Key) override {}
    void Close(Key) override {}
};

// Counts the transfers; allocates nothing itself.
class CountingFileSystem : public NativeFileSystem {
public:
    int readCalls = 0;
    int writeCalls = 0;
    size_t Read(Handle file, void* buffer, size_t size) override {
        ++readCalls;
        return NativeFileSystem::Read(file, buffer, size);
    }
    size_t Write(Handle file, const void* data, size_t size) override {
        ++writeCalls;
        return NativeFileSystem::Write(file, data, size);
    }
};

class SilentMessages : public MessageSink {
public:
    int shown = 0;
    void ShowMessage(const char*, const char*) override { ++shown; }
};

class ButtonFileTransferTest : public store_test::StoreSeamTest<CountingFileSystem, FixedRegistry, SilentMessages> {
protected:
    void SetUp() override {
        StoreSeamTest::SetUp();
        SetPath(g_documentsFolder, temp_.path());
        SetPath(g_appDataFolder, temp_.path());
        BuildStorePaths();
        SetPath(g_currentButtonFile, temp_.path() + "\\t.bklt");
    }
};

// Saving and loading are each one transfer of the whole image and allocate nothing.
TEST_F(ButtonFileTransferTest, SaveAndReloadAreSingleTransfersWithoutAllocation) {
    ApplyButtonDefaults();
    const std::string image(reinterpret_cast<const char*>(&g_buttonTable), sizeof g_buttonTable);

    alloc_counter::Start();
    const bool saved = SaveButtonFile();
    const long savingAllocations = alloc_counter::Stop();
    EXPECT_TRUE(saved);
    EXPECT_EQ(0, savingAllocations);
    EXPECT_EQ(1, files_.writeCalls);
    EXPECT_EQ(0, files_.readCalls);
    EXPECT_TRUE(store_test::SameBytes(image, store_test::ReadAll(g_currentButtonFile)));
    EXPECT_STREQ(g_currentButtonFile, registry_.lastString);

    std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
    files_.writeCalls = 0;
    alloc_counter::Start();
    ReloadButtonFile();
    const long loadingAllocations = alloc_counter::Stop();
    EXPECT_EQ(0, loadingAllocations);
    EXPECT_EQ(1, files_.readCalls);
    EXPECT_EQ(0, files_.writeCalls);
    EXPECT_TRUE(store_test::SameBytes(image, std::string(reinterpret_cast<const char*>(&g_buttonTable), sizeof g_buttonTable)));
    EXPECT_EQ(0, messages_.shown);
}

// The other two operations keep to static buffers too.
TEST_F(ButtonFileTransferTest, CreatingAndMigratingAllocateNothing) {
    static LegacyDataFile legacy;
    std::memset(&legacy, 0, sizeof legacy);
    legacy.buttonCount = 2;
    std::strcpy(legacy.records[1].name, "Two");
    store_test::MakeFolder(temp_.path() + "/brisklet");
    store_test::WriteAll(temp_.path() + "/brisklet/brisklet.dat", &legacy, sizeof legacy);

    alloc_counter::Start();
    CreateDefaultButtonFile();
    const long creatingAllocations = alloc_counter::Stop();
    EXPECT_EQ(0, creatingAllocations);
    EXPECT_EQ(2, files_.writeCalls);

    files_.readCalls = 0;
    alloc_counter::Start();
    MigrateLegacyDataFile();
    const long migratingAllocations = alloc_counter::Stop();
    EXPECT_EQ(0, migratingAllocations);
    // The legacy file in one read; the Button file, known from the writes before, read again
    // before the saves that go over it (another program may have changed it in between).
    EXPECT_EQ(3, files_.readCalls);
    EXPECT_STREQ("Two", g_buttonTable.records[1].name);
    EXPECT_EQ(0, messages_.shown);
}

// The counter itself counts: a test that could not fail would prove nothing.
TEST(AllocCounter, CountsOperatorNew) {
    alloc_counter::Start();
    std::string* text = new std::string(100, 'x');
    const long counted = alloc_counter::Stop();
    delete text;
    EXPECT_GE(counted, 2);
}

}  // namespace
