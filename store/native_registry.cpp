#include "store/native_registry.h"

#include <cctype>
#include <cstring>
#include <iterator>

std::string NativeRegistry::Lower(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
    return out;
}

std::string NativeRegistry::Normalize(RegRoot root, const char* path) {
    std::string out = std::to_string(static_cast<int>(root));
    std::string lowered = Lower(path);
    // One separator between components, none at either end, as the registry treats them.
    size_t i = 0;
    while (i < lowered.size()) {
        while (i < lowered.size() && lowered[i] == '\\') ++i;
        const size_t start = i;
        while (i < lowered.size() && lowered[i] != '\\') ++i;
        if (i > start) out += '\\' + lowered.substr(start, i - start);
    }
    return out;
}

NativeRegistry::KeyData* NativeRegistry::Find(RegRoot root, const char* path) {
    auto it = keys_.find(Normalize(root, path));
    return it == keys_.end() ? nullptr : &it->second;
}

const NativeRegistry::KeyData* NativeRegistry::Find(RegRoot root, const char* path) const {
    auto it = keys_.find(Normalize(root, path));
    return it == keys_.end() ? nullptr : &it->second;
}

NativeRegistry::KeyData& NativeRegistry::Make(RegRoot root, const char* path) {
    const std::string full = Normalize(root, path);
    // Every parent on the way exists afterwards too.
    for (size_t pos = full.find('\\'); pos != std::string::npos; pos = full.find('\\', pos + 1)) {
        if (pos > 0 && full.compare(0, pos, std::to_string(static_cast<int>(root))) != 0) {
            keys_[full.substr(0, pos)];
        }
    }
    return keys_[full];
}

RegistryApi::Key NativeRegistry::NewHandle(KeyData* data, bool writable) {
    ++openHandles_;
    return new Handle{data, writable};
}

bool NativeRegistry::CreateKey(RegRoot root, const char* path, Key* key) {
    *key = NewHandle(&Make(root, path), true);
    return true;
}

bool NativeRegistry::OpenKey(RegRoot root, const char* path, bool forWriting, Key* key) {
    KeyData* data = Find(root, path);
    if (data == nullptr) {
        *key = nullptr;
        return false;
    }
    *key = NewHandle(data, forWriting);
    return true;
}

bool NativeRegistry::SetValue(Key key, const char* name, uint32_t type, const void* data, uint32_t size) {
    Handle* handle = static_cast<Handle*>(key);
    if (handle == nullptr || !handle->writable) return false;
    Value& value = handle->data->values[Lower(name)];
    value.type = type;
    value.bytes.assign(static_cast<const char*>(data), size);
    return true;
}

bool NativeRegistry::QueryValue(Key key, const char* name, uint32_t* type, void* data, uint32_t* size) {
    Handle* handle = static_cast<Handle*>(key);
    if (handle == nullptr) return false;
    auto it = handle->data->values.find(Lower(name));
    if (it == handle->data->values.end()) return false;
    const Value& value = it->second;
    if (type != nullptr) *type = value.type;
    const uint32_t length = static_cast<uint32_t>(value.bytes.size());
    if (data == nullptr) {
        if (size != nullptr) *size = length;
        return true;
    }
    if (size == nullptr) return false;
    if (*size < length) {
        // Like the registry, a buffer that is too small is left with undefined contents: fill it
        // with the leading bytes so that callers relying on it being untouched are caught.
        std::memcpy(data, value.bytes.data(), *size);
        *size = length;
        return false;
    }
    std::memcpy(data, value.bytes.data(), length);
    *size = length;
    return true;
}

bool NativeRegistry::DeleteValue(Key key, const char* name) {
    Handle* handle = static_cast<Handle*>(key);
    if (handle == nullptr || !handle->writable) return false;
    return handle->data->values.erase(Lower(name)) == 1;
}

void NativeRegistry::Flush(Key key) {
    if (key != nullptr) ++flushes_;
}

void NativeRegistry::Close(Key key) {
    if (key == nullptr) return;
    --openHandles_;
    delete static_cast<Handle*>(key);
}

bool NativeRegistry::HasKey(RegRoot root, const char* path) const { return Find(root, path) != nullptr; }

void NativeRegistry::Put(RegRoot root, const char* path, const char* name, uint32_t type,
                         const void* data, uint32_t size) {
    Value& value = Make(root, path).values[Lower(name)];
    value.type = type;
    value.bytes.assign(static_cast<const char*>(data), size);
}

void NativeRegistry::PutString(RegRoot root, const char* path, const char* name, const char* text) {
    Put(root, path, name, kRegSz, text, static_cast<uint32_t>(std::strlen(text) + 1));
}

void NativeRegistry::PutDword(RegRoot root, const char* path, const char* name, uint32_t number) {
    Put(root, path, name, kRegDword, &number, sizeof number);
}

const NativeRegistry::Value* NativeRegistry::Get(RegRoot root, const char* path, const char* name) const {
    const KeyData* data = Find(root, path);
    if (data == nullptr) return nullptr;
    auto it = data->values.find(Lower(name));
    return it == data->values.end() ? nullptr : &it->second;
}

void NativeRegistry::DeleteKey(RegRoot root, const char* path) {
    const std::string full = Normalize(root, path);
    for (auto it = keys_.begin(); it != keys_.end();) {
        const std::string& name = it->first;
        const bool below = name == full ||
                           (name.size() > full.size() && name.compare(0, full.size(), full) == 0 &&
                            name[full.size()] == '\\');
        it = below ? keys_.erase(it) : std::next(it);
    }
}

void NativeRegistry::Clear() { keys_.clear(); }
