// The file seam over the ANSI Win32 calls. Paths go to the A functions exactly as given: no
// conversion through wide or UTF-8 strings.
#include <windows.h>

// The seam's method names are also the names of the generic Windows macros.
#undef CreateDirectory
#undef CopyFile
#undef DeleteFile
#undef RemoveDirectory

#include "store/win_platform.h"

#include <atomic>

namespace {

std::atomic<unsigned long> g_sharingRefusals{0};

HANDLE ToHandle(FileSystem::Handle file) { return static_cast<HANDLE>(file); }

FileSystem::Handle Open(const char* path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE file = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return file;
}

class Win32Files : public FileSystem {
public:
    Handle OpenRead(const char* path) override {
        // A file held open without read sharing is asked for again for up to a second before
        // it counts as unreadable; a missing file is not waited for.
        Handle file = nullptr;
        RetryWhileShared(kReadAttempts, [&] {
            file = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
            return file != nullptr;
        });
        return file;
    }

    Handle OpenWriteTruncate(const char* path) override {
        Handle file = Open(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
        if (file == nullptr) NoteFailure(GetLastError());
        return file;
    }

    bool CanOpenForWrite(const char* path) override {
        // OPEN_ALWAYS: an existing file is opened as it is, a missing one is created empty.
        Handle file = nullptr;
        RetryWhileShared(kWriteAttempts, [&] {
            file = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS);
            return file != nullptr;
        });
        if (file == nullptr) return false;
        CloseHandle(ToHandle(file));
        return true;
    }

    size_t Read(Handle file, void* buffer, size_t size) override {
        DWORD done = 0;
        if (!ReadFile(ToHandle(file), buffer, static_cast<DWORD>(size), &done, nullptr)) return 0;
        return done;
    }

    size_t Write(Handle file, const void* data, size_t size) override {
        DWORD done = 0;
        WriteFile(ToHandle(file), data, static_cast<DWORD>(size), &done, nullptr);
        return done;   // a failed or short write shows as fewer bytes than asked for
    }

    bool Flush(Handle file) override { return FlushFileBuffers(ToHandle(file)) != FALSE; }

    bool Close(Handle file) override { return CloseHandle(ToHandle(file)) != FALSE; }

    bool Exists(const char* path) override { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

    bool FileSize(const char* path, uint64_t* size) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(path, GetFileExInfoStandard, &data) == FALSE) return false;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
        *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return true;
    }

    bool CreateDirectory(const char* path) override { return CreateDirectoryA(path, nullptr) != FALSE; }

    bool CopyFile(const char* from, const char* to, bool overwrite) override {
        return CopyFileA(from, to, overwrite ? FALSE : TRUE) != FALSE;
    }

    bool DeleteFile(const char* path) override { return DeleteFileA(path) != FALSE; }

    bool RemoveDirectory(const char* path) override { return RemoveDirectoryA(path) != FALSE; }

    bool ReplaceFile(const char* from, const char* to) override {
        return RetryWhileShared(
            kWriteAttempts, [&] { return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE; });
    }

    bool LastFailureWasBusy() override { return lastFailureBusy_; }

    void Pause(unsigned ms) override { Sleep(ms); }

private:
    void NoteFailure(DWORD error) { lastFailureBusy_ = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

    // Another program (a virus scanner, a backup tool, an editor) may hold the Button file open
    // for a moment, which makes opening it or replacing it fail with a sharing error. Such a
    // failure is tried again (for about half a second when writing, a second when reading); any
    // other failure, or one that lasts, is returned to the caller, which reports it.
    template <typename Attempt>
    bool RetryWhileShared(int attempts, Attempt attempt) {
        for (int tries = 1;; ++tries) {
            if (attempt()) return true;
            const DWORD error = GetLastError();
            const bool shared =
                error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
            if (shared) ++g_sharingRefusals;
            if (!shared || tries >= attempts) {
                NoteFailure(error);
                return false;
            }
            Sleep(kSharedRetryMs);
        }
    }

    static constexpr int kWriteAttempts = 10;
    static constexpr int kReadAttempts = 20;
    static constexpr DWORD kSharedRetryMs = 50;

    bool lastFailureBusy_ = false;
};

}  // namespace

unsigned long SharingRefusals() { return g_sharingRefusals.load(); }

FileSystem& Win32FileSystem() {
    static Win32Files files;
    return files;
}
