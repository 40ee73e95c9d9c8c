// The registry seam over advapi32: one call per method, with the access rights the settings
// operations ask for (KEY_ALL_ACCESS to write, KEY_READ to read).
#include <windows.h>

#include "store/win_platform.h"

namespace {

HKEY RootKey(RegRoot root) {
    switch (root) {
        case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
        case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case RegRoot::CurrentUser: break;
    }
    return HKEY_CURRENT_USER;
}

HKEY ToHkey(RegistryApi::Key key) { return static_cast<HKEY>(key); }

class Win32RegistryApi : public RegistryApi {
public:
    bool CreateKey(RegRoot root, const char* path, Key* key) override {
        HKEY opened = nullptr;
        const LONG result = RegCreateKeyExA(RootKey(root), path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &opened, nullptr);
        *key = result == ERROR_SUCCESS ? opened : nullptr;
        return result == ERROR_SUCCESS;
    }

    bool OpenKey(RegRoot root, const char* path, bool forWriting, Key* key) override {
        HKEY opened = nullptr;
        const LONG result =
            RegOpenKeyExA(RootKey(root), path, 0, forWriting ? KEY_ALL_ACCESS : KEY_READ, &opened);
        *key = result == ERROR_SUCCESS ? opened : nullptr;
        return result == ERROR_SUCCESS;
    }

    bool SetValue(Key key, const char* name, uint32_t type, const void* data, uint32_t size) override {
        return RegSetValueExA(ToHkey(key), name, 0, type, static_cast<const BYTE*>(data), size) ==
               ERROR_SUCCESS;
    }

    bool QueryValue(Key key, const char* name, uint32_t* type, void* data, uint32_t* size) override {
        DWORD valueType = 0;
        DWORD length = size != nullptr ? *size : 0;
        const LONG result = RegQueryValueExA(ToHkey(key), name, nullptr, type != nullptr ? &valueType : nullptr,
                                             static_cast<BYTE*>(data), size != nullptr ? &length : nullptr);
        if (type != nullptr) *type = valueType;
        if (size != nullptr) *size = length;
        return result == ERROR_SUCCESS;
    }

    bool DeleteValue(Key key, const char* name) override {
        return RegDeleteValueA(ToHkey(key), name) == ERROR_SUCCESS;
    }

    void Flush(Key key) override { RegFlushKey(ToHkey(key)); }

    void Close(Key key) override { RegCloseKey(ToHkey(key)); }
};

}  // namespace

RegistryApi& Win32Registry() {
    static Win32RegistryApi registry;
    return registry;
}
