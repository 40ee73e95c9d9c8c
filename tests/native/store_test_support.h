// Shared pieces of the native Button store tests: a temporary folder, whole-file helpers, and a
// file system that wraps the native one to count calls and inject faults.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <gtest/gtest.h>

#include <string>
#include "store/button_files.h"
#include "store/native_files.h"
#include "store/platform_seam.h"

namespace store_test {

inline std::string Slashes(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

// A fresh folder under /tmp, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/brisklet-store-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made != nullptr ? made : "";
    }
    ~TempFolder() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Compares two byte strings and, when they differ, names the first differing offset instead of
// printing tens of kilobytes.
inline ::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    return ::testing::AssertionFailure() << "sizes " << expected.size() << " and " << actual.size()
                                         << ", first difference at offset " << at;
}

inline bool FileExists(const std::string& path) {
    struct stat info;
    return stat(Slashes(path).c_str(), &info) == 0;
}

inline std::string ReadAll(const std::string& path) {
    std::string bytes;
    FILE* f = std::fopen(Slashes(path).c_str(), "rb");
    if (f == nullptr) return bytes;
    char block[8192];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.append(block, n);
    std::fclose(f);
    return bytes;
}

inline void WriteAll(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(Slashes(path).c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

inline void MakeFolder(const std::string& path) { mkdir(Slashes(path).c_str(), 0777); }

// The native file system with counters and faults. A fault hits files whose path starts with
// the given prefix (after mapping separators), or every file when the prefix is empty.
class FaultyFileSystem : public NativeFileSystem {
public:
    enum class Fault { None, DenyWrite, HalfWrite, FailFlush, FailClose, FailReplace };

    Fault fault = Fault::None;
    std::string faultPrefix;
    int readCalls = 0;
    int writeCalls = 0;
    std::map<std::string, int> replacedInto;   // completed replacements per target
    // Files under these prefixes cannot be opened for reading / deleted / moved away (another
    // program holds them); empty = no such fault.
    std::string unreadablePrefix;
    std::string undeletablePrefix;
    std::string unmovablePrefix;
    // Deleting files under this prefix reports success and leaves them there (a folder that
    // refuses the removal only when the file is closed).
    std::string deceivingDeletePrefix;

    Handle OpenRead(const char* path) override {
        if (Under(unreadablePrefix, path)) return nullptr;
        return NativeFileSystem::OpenRead(path);
    }
    bool DeleteFile(const char* path) override {
        if (Under(undeletablePrefix, path)) return false;
        if (Under(deceivingDeletePrefix, path)) return true;
        return NativeFileSystem::DeleteFile(path);
    }
    Handle OpenWriteTruncate(const char* path) override {
        if (Hits(Fault::DenyWrite, path)) return nullptr;
        Handle file = NativeFileSystem::OpenWriteTruncate(path);
        if (file != nullptr && Matches(path)) faulty_[file] = true;
        return file;
    }
    bool CanOpenForWrite(const char* path) override {
        if (Hits(Fault::DenyWrite, path)) return false;
        return NativeFileSystem::CanOpenForWrite(path);
    }
    size_t Read(Handle file, void* buffer, size_t size) override {
        ++readCalls;
        return NativeFileSystem::Read(file, buffer, size);
    }
    size_t Write(Handle file, const void* data, size_t size) override {
        ++writeCalls;
        if (fault == Fault::HalfWrite && faulty_[file]) {
            // The disk fills up half-way: half the bytes land, the rest does not.
            return NativeFileSystem::Write(file, data, size / 2);
        }
        return NativeFileSystem::Write(file, data, size);
    }
    bool Flush(Handle file) override {
        if (fault == Fault::FailFlush && faulty_[file]) return false;
        return NativeFileSystem::Flush(file);
    }
    bool Close(Handle file) override {
        const bool fail = fault == Fault::FailClose && faulty_[file];
        faulty_.erase(file);
        const bool closed = NativeFileSystem::Close(file);
        return closed && !fail;
    }
    bool CopyFile(const char* from, const char* to, bool overwrite) override {
        if (Hits(Fault::DenyWrite, to)) return false;
        return NativeFileSystem::CopyFile(from, to, overwrite);
    }
    bool ReplaceFile(const char* from, const char* to) override {
        if (Hits(Fault::DenyWrite, to) || Hits(Fault::FailReplace, to) || Under(unmovablePrefix, from)) return false;
        const bool replaced = NativeFileSystem::ReplaceFile(from, to);
        if (replaced) ++replacedInto[Slashes(to)];
        return replaced;
    }

private:
    static bool Under(const std::string& prefix, const char* path) {
        return !prefix.empty() && Slashes(path).compare(0, prefix.size(), prefix) == 0;
    }
    bool Matches(const char* path) const { return Slashes(path).compare(0, faultPrefix.size(), faultPrefix) == 0; }
    bool Hits(Fault kind, const char* path) const { return fault == kind && Matches(path); }
    std::map<Handle, bool> faulty_;
};

// The temporary file a save of path writes first.
inline std::string TemporaryOf(const std::string& path) {
    char name[kPathSize + 48];
    return TemporaryFileFor(path.c_str(), name, sizeof name) ? std::string(name) : std::string();
}

// A test of the Button store on the seam given: a temporary folder, the file system, registry and
// message boxes installed for the test and put back after it, and the store's state cleared on
// both sides (no table, no paths, no file history).
template <class Files, class Registry, class Messages>
class StoreSeamTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(temp_.path().empty());
        saved_ = g_platform;
        g_platform.files = &files_;
        g_platform.registry = &registry_;
        g_platform.messages = &messages_;
        ClearStoreState();
    }
    void TearDown() override {
        g_platform = saved_;
        ClearStoreState();
    }
    static void ClearStoreState() {
        ForgetButtonFileHistory();
        std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
        g_defaultFontHeight = 0;
        for (char* path : {g_documentsFolder, g_appDataFolder, g_buttonFolder, g_legacyDataFile, g_currentButtonFile}) {
            path[0] = '\0';
        }
    }
    static void SetPath(char* field, const std::string& text) { CopyTextToField(field, kPathSize, text.c_str()); }

    TempFolder temp_;
    Files files_;
    Registry registry_;
    Messages messages_;
    PlatformSeam saved_;
};

}  // namespace store_test
