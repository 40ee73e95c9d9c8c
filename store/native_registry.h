// An in-memory settings store with the registry's semantics, for native tests: the same roots
// and key paths, value names and key path components compared without regard to case, keys
// created only by CreateKey (with every missing parent), OpenKey never creating, writes refused
// through a key opened for reading, and typed values of raw bytes. Every write is "durable" at
// once (there is nothing behind it).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include "store/platform_seam.h"

class NativeRegistry : public RegistryApi {
public:
    struct Value {
        uint32_t type = 0;
        std::string bytes;
    };

    bool CreateKey(RegRoot root, const char* path, Key* key) override;
    bool OpenKey(RegRoot root, const char* path, bool forWriting, Key* key) override;
    bool SetValue(Key key, const char* name, uint32_t type, const void* data, uint32_t size) override;
    bool QueryValue(Key key, const char* name, uint32_t* type, void* data, uint32_t* size) override;
    bool DeleteValue(Key key, const char* name) override;
    void Flush(Key key) override;
    void Close(Key key) override;

    // Test helpers, reaching the store directly.
    bool HasKey(RegRoot root, const char* path) const;
    // Creates the key (and its parents) and stores the value.
    void Put(RegRoot root, const char* path, const char* name, uint32_t type, const void* data,
             uint32_t size);
    void PutString(RegRoot root, const char* path, const char* name, const char* text);
    void PutDword(RegRoot root, const char* path, const char* name, uint32_t number);
    // The stored value, or nullptr.
    const Value* Get(RegRoot root, const char* path, const char* name) const;
    // Removes the key and everything below it.
    void DeleteKey(RegRoot root, const char* path);
    void Clear();
    // Keys opened and not yet closed.
    int OpenHandles() const { return openHandles_; }
    int Flushes() const { return flushes_; }

private:
    struct KeyData {
        std::map<std::string, Value> values;   // by lower-case name
    };
    struct Handle {
        KeyData* data;
        bool writable;
    };

    static std::string Normalize(RegRoot root, const char* path);
    static std::string Lower(const char* text);
    KeyData* Find(RegRoot root, const char* path);
    const KeyData* Find(RegRoot root, const char* path) const;
    KeyData& Make(RegRoot root, const char* path);
    Key NewHandle(KeyData* data, bool writable);

    std::map<std::string, KeyData> keys_;   // by root + lower-case path
    int openHandles_ = 0;
    int flushes_ = 0;
};
