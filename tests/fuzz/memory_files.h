// The file and message seams held in memory, for the fuzz harnesses: files are byte vectors,
// folders a set of names, and any call that can fail on a real disk can be made to fail on
// demand. Paths are compared as Windows compares them: '/' and '\' alike, letters without case.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "store/platform_seam.h"

// Which calls fail. A call of a kind listed in `kinds` fails when the next bit of `bits` is 1;
// every such call uses up one bit, so the fuzz input decides which attempt fails.
struct FaultPlan {
    enum Kind : uint32_t {
        OpenRead = 1u << 0,
        OpenWrite = 1u << 1,      // OpenWriteTruncate and CanOpenForWrite
        ShortRead = 1u << 2,      // the read stops half-way
        ShortWrite = 1u << 3,     // the disk fills up half-way
        Flush = 1u << 4,
        Close = 1u << 5,          // the close reports an error (the handle is closed all the same)
        Replace = 1u << 6,
        Copy = 1u << 7,
        Delete = 1u << 8,         // DeleteFile and RemoveDirectory
        CreateFolder = 1u << 9,
    };
    uint32_t kinds = 0;
    uint64_t bits = 0;
};

class MemoryFileSystem : public FileSystem {
public:
    Handle OpenRead(const char* path) override;
    Handle OpenWriteTruncate(const char* path) override;
    bool CanOpenForWrite(const char* path) override;
    size_t Read(Handle file, void* buffer, size_t size) override;
    size_t Write(Handle file, const void* data, size_t size) override;
    bool Flush(Handle file) override;
    bool Close(Handle file) override;
    bool Exists(const char* path) override;
    bool FileSize(const char* path, uint64_t* size) override;
    bool CreateDirectory(const char* path) override;
    bool CopyFile(const char* from, const char* to, bool overwrite) override;
    bool DeleteFile(const char* path) override;
    bool RemoveDirectory(const char* path) override;
    bool ReplaceFile(const char* from, const char* to) override;

    // Test side: reaching the store directly, never failing.
    void PutFile(const std::string& path, const std::vector<uint8_t>& bytes);
    void PutFile(const std::string& path, const void* data, size_t size);
    void MakeFolder(const std::string& path);
    // nullptr when there is no such file.
    const std::vector<uint8_t>* Get(const std::string& path) const;
    bool HasFolder(const std::string& path) const;
    void RemoveFile(const std::string& path);
    // Files whose name ends with `suffix` (case-folded), anywhere.
    int CountFilesEndingWith(const std::string& suffix) const;
    int OpenHandles() const { return static_cast<int>(open_.size()); }

    // Files that are there but will not open for reading, as when another program holds them.
    void MakeUnreadable(const std::string& path) { unreadable_.insert(Key(path.c_str())); }
    void ClearUnreadable() { unreadable_.clear(); }

    // The user's own files: one of these that is not a Button file by its size (64,996 bytes) nor
    // empty may be written over, replaced or deleted only while a byte-identical copy of it
    // stands beside it as "<name>.orig", "<name>.orig2", ... Otherwise onUncopiedOverwrite is
    // called with its path, before the file changes.
    void GuardUserFile(const std::string& path) { guarded_.insert(Key(path.c_str())); }
    std::function<void(const std::string&)> onUncopiedOverwrite;

    FaultPlan plan;
    uint32_t injected = 0;   // kinds of the faults injected so far

private:
    struct OpenFile {
        std::string key;
        size_t position = 0;
        bool writable = false;
    };
    static std::string Key(const char* path);
    static std::string Parent(const std::string& key);
    bool Fails(FaultPlan::Kind kind);
    bool ParentExists(const std::string& key) const;
    OpenFile* Find(Handle file);
    // Checks a guarded file before it is written over, replaced or deleted.
    void BeforeOverwrite(const std::string& key);

    std::map<std::string, std::vector<uint8_t>> files_;
    std::set<std::string> folders_;
    std::set<std::string> unreadable_;
    std::set<std::string> guarded_;
    std::map<uintptr_t, OpenFile> open_;
    uintptr_t nextHandle_ = 1;
};

// Counts the messages instead of showing them, and keeps the last one.
class CountingMessageSink : public MessageSink {
public:
    void ShowMessage(const char* text, const char* caption) override;
    int count = 0;
    int notButtonFile = 0;   // of them, those that name a file which is not a Button file
    std::string lastText;
};
