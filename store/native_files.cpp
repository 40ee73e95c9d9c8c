#include "store/native_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// The ANSI path with '\' turned into '/', in a fixed buffer (no allocation on the way to a file).
struct NativePath {
    explicit NativePath(const char* path) {
        size_t i = 0;
        for (; path[i] != '\0' && i + 1 < sizeof text; ++i) text[i] = path[i] == '\\' ? '/' : path[i];
        text[i] = '\0';
        fits = path[i] == '\0';
    }
    char text[4096] = {};
    bool fits = false;
};

FileSystem::Handle ToHandle(int fd) { return reinterpret_cast<FileSystem::Handle>(static_cast<intptr_t>(fd) + 1); }
int ToFd(FileSystem::Handle handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle) - 1); }

FileSystem::Handle Open(const char* path, int flags) {
    NativePath native(path);
    if (!native.fits) return nullptr;
    int fd = -1;
    do {
        fd = ::open(native.text, flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? nullptr : ToHandle(fd);
}

}  // namespace

FileSystem::Handle NativeFileSystem::OpenRead(const char* path) { return Open(path, O_RDONLY); }

FileSystem::Handle NativeFileSystem::OpenWriteTruncate(const char* path) {
    return Open(path, O_WRONLY | O_CREAT | O_TRUNC);
}

bool NativeFileSystem::CanOpenForWrite(const char* path) {
    Handle file = Open(path, O_WRONLY | O_CREAT);
    if (file == nullptr) return false;
    Close(file);
    return true;
}

// One call of the seam is one transfer; the POSIX calls underneath may need several rounds.
size_t NativeFileSystem::Read(Handle file, void* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(ToFd(file), static_cast<char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t NativeFileSystem::Write(Handle file, const void* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(ToFd(file), static_cast<const char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool NativeFileSystem::Flush(Handle file) { return ::fsync(ToFd(file)) == 0; }

bool NativeFileSystem::Close(Handle file) { return ::close(ToFd(file)) == 0; }

bool NativeFileSystem::Exists(const char* path) {
    NativePath native(path);
    struct stat info {};
    return native.fits && ::stat(native.text, &info) == 0;
}

bool NativeFileSystem::FileSize(const char* path, uint64_t* size) {
    NativePath native(path);
    struct stat info {};
    if (!native.fits || ::stat(native.text, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    *size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool NativeFileSystem::CreateDirectory(const char* path) {
    NativePath native(path);
    return native.fits && ::mkdir(native.text, 0777) == 0;
}

bool NativeFileSystem::CopyFile(const char* from, const char* to, bool overwrite) {
    // The copy's own transfers do not go through the overridable Read and Write.
    Handle in = NativeFileSystem::OpenRead(from);
    if (in == nullptr) return false;
    Handle out = Open(to, O_WRONLY | O_CREAT | (overwrite ? O_TRUNC : O_EXCL));
    if (out == nullptr) {
        NativeFileSystem::Close(in);
        return false;
    }
    bool ok = true;
    char block[8192];
    for (;;) {
        const size_t n = NativeFileSystem::Read(in, block, sizeof block);
        if (n == 0) break;
        if (NativeFileSystem::Write(out, block, n) != n) {
            ok = false;
            break;
        }
    }
    NativeFileSystem::Close(in);
    ok = NativeFileSystem::Close(out) && ok;
    // As CopyFileA does, a copy that failed half-way does not stay behind.
    if (!ok) NativeFileSystem::DeleteFile(to);
    return ok;
}

bool NativeFileSystem::DeleteFile(const char* path) {
    NativePath native(path);
    return native.fits && ::unlink(native.text) == 0;
}

bool NativeFileSystem::RemoveDirectory(const char* path) {
    NativePath native(path);
    return native.fits && ::rmdir(native.text) == 0;
}

bool NativeFileSystem::ReplaceFile(const char* from, const char* to) {
    NativePath source(from);
    NativePath target(to);
    return source.fits && target.fits && ::rename(source.text, target.text) == 0;
}
