// Native stand-ins for the file and message seams, for tests: POSIX files (backslashes in the
// ANSI paths mapped to '/') and a message sink that records what would have been shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include "store/platform_seam.h"

class NativeFileSystem : public FileSystem {
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
};

// Records every message instead of showing it.
class RecordingMessageSink : public MessageSink {
public:
    struct Shown {
        std::string text;
        std::string caption;
    };
    void ShowMessage(const char* text, const char* caption) override {
        shown.push_back(Shown{text, caption});
    }
    std::vector<Shown> shown;
};
