// Shared pieces of the Windows-side Button store tests: a snapshot of a registry key that is put
// back as it was, a temporary folder under GetTempPathA, and whole-file helpers over the ANSI
// calls.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "store/button_files.h"
#include "store/platform_seam.h"

namespace store_win_test {

// The temporary file a save of path writes first.
inline std::string TemporaryOf(const std::string& path) {
    char name[kPathSize + 48];
    return TemporaryFileFor(path.c_str(), name, sizeof name) ? std::string(name) : std::string();
}


// Remembers whether a key existed and every value it held; Restore() puts exactly that back
// (the key deleted again when it did not exist). Only for keys without subkeys.
class KeySnapshot {
public:
    KeySnapshot(HKEY root, const char* path) : root_(root), path_(path) {
        HKEY key = nullptr;
        existed_ = RegOpenKeyExA(root_, path_.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (!existed_) return;
        for (DWORD index = 0;; ++index) {
            char name[16384];
            DWORD nameLength = sizeof name;
            DWORD type = 0;
            DWORD size = 0;
            if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
            Value value{name, type, std::vector<BYTE>(size + 1)};
            nameLength = sizeof name;
            DWORD dataSize = size + 1;
            RegEnumValueA(key, index, name, &nameLength, nullptr, &type, value.data.data(), &dataSize);
            value.data.resize(dataSize);
            values_.push_back(value);
        }
        RegCloseKey(key);
    }

    void Restore() {
        RegDeleteKeyA(root_, path_.c_str());
        if (!existed_) return;
        HKEY key = nullptr;
        if (RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) {
            return;
        }
        for (const Value& value : values_) {
            RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size()));
        }
        RegCloseKey(key);
    }

    bool existed() const { return existed_; }

private:
    struct Value {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    HKEY root_;
    std::string path_;
    bool existed_ = false;
    std::vector<Value> values_;
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

inline bool KeyExists(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Reads a value as the registry holds it; false when missing.
inline bool QueryRaw(HKEY root, const char* path, const char* name, DWORD* type, std::string* bytes) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    bool ok = RegQueryValueExA(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        bytes->assign(size, '\0');
        ok = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(&(*bytes)[0]), &size) ==
             ERROR_SUCCESS;
        bytes->resize(size);
    }
    RegCloseKey(key);
    return ok;
}

inline void PutRaw(HKEY root, const char* path, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

inline void DeleteValueRaw(HKEY root, const char* path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

inline void PutString(HKEY root, const char* path, const char* name, const std::string& text) {
    PutRaw(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// A fresh folder under the temporary folder, removed with its contents at the end.
class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH];
        GetTempPathA(sizeof base, base);
        for (unsigned attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
            const std::string candidate = std::string(base) + "brisklet-store-" +
                                          std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
            if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
        }
    }
    ~TempFolder() {
        if (!path_.empty()) RemoveTree(path_);
    }
    const std::string& path() const { return path_; }

    static void RemoveTree(const std::string& folder) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name == "." || name == "..") continue;
                const std::string full = folder + "\\" + name;
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(full);
                } else {
                    DeleteFileA(full.c_str());
                }
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder.c_str());
    }

private:
    std::string path_;
};

inline bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string ReadWhole(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char block[65536];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
    CloseHandle(file);
    return bytes;
}

inline void WriteWhole(const std::string& path, const void* data, size_t size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
}

// Records messages instead of showing a box that would block the test.
class RecordingSink : public MessageSink {
public:
    struct Shown {
        std::string text;
        std::string caption;
    };
    void ShowMessage(const char* text, const char* caption) override { shown.push_back(Shown{text, caption}); }
    std::vector<Shown> shown;
};

}  // namespace store_win_test
