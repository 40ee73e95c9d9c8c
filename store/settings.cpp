#include "store/settings.h"

#include <cstring>

const char kBriskletKeyPath[] = "Software\\Vantaro\\Brisklet";
const char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValueName[] = "Brisklet";
const char kHtmlHelpClsidKeyPath[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

int32_t g_instantPopup = 0;
int32_t g_showSiteIcons = 1;

namespace {

const char kAutoPopupValueName[] = "AutoPopup";
const char kLegacyMigratedValueName[] = "LegacyDataMigrated";
const char kPopupHotKeyValueName[] = "PopupHotKey";
const char kShowSiteIconsValueName[] = "ShowSiteIcons";
// Readers spell it this way; value names are compared without regard to case.
const char kCurrentButtonFileReadName[] = "CurrentButtonFilename";

// Largest string any read asks for (the current Button file path).
constexpr uint32_t kMaxStringRead = 2048;

RegistryApi& Registry() { return *g_platform.registry; }

// Stores a REG_SZ value with its terminating NUL counted in the length, flushes and closes.
bool StoreStringAndClose(RegistryApi::Key key, const char* valueName, const char* text) {
    RegistryApi& reg = Registry();
    const uint32_t size = static_cast<uint32_t>(std::strlen(text) + 1);
    const bool stored = reg.SetValue(key, valueName, kRegSz, text, size);
    reg.Flush(key);
    reg.Close(key);
    return stored;
}

// Reads a string value into out (size bytes, at most kMaxStringRead). out is changed only when
// the whole value, with a terminator, fits: a query that fails part-way may have scribbled over
// its buffer, so it goes to a scratch buffer first. A value stored without its NUL is
// terminated here when there is room for one.
bool ReadString(RegRoot root, const char* keyPath, const char* valueName, bool askType, char* out,
                uint32_t size) {
    static char scratch[kMaxStringRead];
    if (size == 0) return false;
    if (size > kMaxStringRead) size = kMaxStringRead;

    RegistryApi& reg = Registry();
    RegistryApi::Key key = nullptr;
    if (!reg.OpenKey(root, keyPath, false, &key)) return false;
    uint32_t type = 0;
    uint32_t length = size;
    const bool read = reg.QueryValue(key, valueName, askType ? &type : nullptr, scratch, &length);
    reg.Close(key);
    if (!read || length > size) return false;

    if (std::memchr(scratch, '\0', length) == nullptr) {
        if (length == size) return false;  // no room left for the terminator: too long
        scratch[length++] = '\0';
    }
    std::memcpy(out, scratch, length);
    return true;
}

// A value of at most four bytes under the per-user key, with its type and size; false when the
// key or value cannot be read.
bool QueryUserNumber(const char* valueName, uint32_t* type, uint32_t* number, uint32_t* size) {
    RegistryApi& reg = Registry();
    RegistryApi::Key key = nullptr;
    if (!reg.OpenKey(RegRoot::CurrentUser, kBriskletKeyPath, false, &key)) return false;
    *number = 0;
    *size = sizeof *number;
    const bool read = reg.QueryValue(key, valueName, type, number, size);
    reg.Close(key);
    return read;
}

// A four-byte value under the per-user key; 0 when the key or value cannot be read.
uint32_t ReadUserNumber(const char* valueName, uint32_t* type) {
    uint32_t number = 0;
    uint32_t size = 0;
    return QueryUserNumber(valueName, type, &number, &size) ? number : 0;
}

// Stores a REG_DWORD under the per-user key, creating the key when needed.
bool StoreUserNumber(const char* valueName, uint32_t number) {
    RegistryApi& reg = Registry();
    RegistryApi::Key key = nullptr;
    if (!reg.CreateKey(RegRoot::CurrentUser, kBriskletKeyPath, &key)) return false;
    const bool stored = reg.SetValue(key, valueName, kRegDword, &number, sizeof number);
    reg.Flush(key);
    reg.Close(key);
    return stored;
}

}  // namespace

bool SetRegistryString(RegRoot root, const char* keyPath, const char* valueName, const char* text) {
    RegistryApi::Key key = nullptr;
    if (!Registry().CreateKey(root, keyPath, &key)) return false;
    return StoreStringAndClose(key, valueName, text);
}

bool SetRunValue(const char* text) {
    RegistryApi::Key key = nullptr;
    // The Run key belongs to the shell: opened, never created.
    if (!Registry().OpenKey(RegRoot::CurrentUser, kRunKeyPath, true, &key)) return false;
    return StoreStringAndClose(key, kRunValueName, text);
}

bool DeleteRunValue() {
    RegistryApi& reg = Registry();
    RegistryApi::Key key = nullptr;
    if (!reg.OpenKey(RegRoot::CurrentUser, kRunKeyPath, true, &key)) return false;
    const bool deleted = reg.DeleteValue(key, kRunValueName);
    reg.Flush(key);
    reg.Close(key);
    return deleted;
}

bool RunValueExists() {
    RegistryApi& reg = Registry();
    RegistryApi::Key key = nullptr;
    if (!reg.OpenKey(RegRoot::CurrentUser, kRunKeyPath, false, &key)) return false;
    // Presence only: no buffer, so a value of any type and size counts.
    const bool present = reg.QueryValue(key, kRunValueName, nullptr, nullptr, nullptr);
    reg.Close(key);
    return present;
}

bool SetAutoPopup(bool on) {
    RegistryApi& reg = Registry();
    RegistryApi::Key key = nullptr;
    // Not created here: without the per-user key nothing changes, the flag included.
    if (!reg.OpenKey(RegRoot::CurrentUser, kBriskletKeyPath, true, &key)) return false;
    const uint32_t number = on ? 1 : 0;
    const bool stored = reg.SetValue(key, kAutoPopupValueName, kRegDword, &number, sizeof number);
    g_instantPopup = on ? 1 : 0;
    reg.Flush(key);
    reg.Close(key);
    return stored;
}

bool ReadAutoPopup() {
    uint32_t type = 0;
    return ReadUserNumber(kAutoPopupValueName, &type) == 1;
}

bool ReadShowSiteIcons() {
    uint32_t number = 0;
    uint32_t type = 0;
    uint32_t size = 0;
    return !QueryUserNumber(kShowSiteIconsValueName, &type, &number, &size) || type != kRegDword ||
           size != sizeof number || number != 0;
}

bool SetShowSiteIcons(bool on) {
    g_showSiteIcons = on ? 1 : 0;
    return StoreUserNumber(kShowSiteIconsValueName, on ? 1 : 0);
}

bool SetLegacyDataMigrated() { return StoreUserNumber(kLegacyMigratedValueName, 1); }

bool ReadLegacyDataMigrated() {
    uint32_t type = 0;
    return ReadUserNumber(kLegacyMigratedValueName, &type) == 1 && type == kRegDword;
}

uint32_t ReadPopupHotKey() {
    uint32_t number = 0;
    uint32_t type = 0;
    uint32_t size = 0;
    if (!QueryUserNumber(kPopupHotKeyValueName, &type, &number, &size) || type != kRegDword ||
        size != sizeof number) {
        return kDefaultPopupHotKey;
    }
    // Only the two bytes the hotkey control knows count; without a key code there is no hotkey.
    const uint32_t hotKey = number & 0xFFFF;
    return (hotKey & 0xFF) == 0 ? 0 : hotKey;
}

bool SetPopupHotKey(uint32_t hotKey) { return StoreUserNumber(kPopupHotKeyValueName, hotKey); }

HotKeyRegistration ToHotKeyRegistration(uint32_t hotKey) {
    const uint32_t virtualKey = hotKey & 0xFF;
    if (virtualKey == 0) return HotKeyRegistration{0, 0};
    const uint32_t flags = (hotKey >> 8) & 0xFF;
    uint32_t modifiers = 0;
    if ((flags & kHotKeyFAlt) != 0) modifiers |= 0x1;      // MOD_ALT
    if ((flags & kHotKeyFControl) != 0) modifiers |= 0x2;  // MOD_CONTROL
    if ((flags & kHotKeyFShift) != 0) modifiers |= 0x4;    // MOD_SHIFT
    return HotKeyRegistration{modifiers, virtualKey};
}

std::vector<std::string> ReadDeclinedCopies() {
    static char list[kMaxStringRead];
    std::vector<std::string> paths;
    if (!ReadString(RegRoot::CurrentUser, kBriskletKeyPath, "DeclinedConflictCopies", true, list, sizeof list)) {
        return paths;
    }
    const std::string text = list;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (end > at) paths.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return paths;
}

bool AddDeclinedCopy(const char* path) {
    std::vector<std::string> paths = ReadDeclinedCopies();
    paths.emplace_back(path);
    std::string text;
    for (;;) {
        text.clear();
        for (const std::string& one : paths) text += (text.empty() ? "" : "\n") + one;
        if (text.size() < kMaxStringRead || paths.size() == 1) break;
        paths.erase(paths.begin());
    }
    if (text.size() >= kMaxStringRead) return false;
    return SetRegistryString(RegRoot::CurrentUser, kBriskletKeyPath, "DeclinedConflictCopies", text.c_str());
}

bool ReadCurrentButtonFileName(char* path, uint32_t size) {
    return ReadString(RegRoot::CurrentUser, kBriskletKeyPath, kCurrentButtonFileReadName, true, path,
                      size);
}

bool ReadInstalledPath(char* folder, uint32_t size) {
    return ReadString(RegRoot::LocalMachine, kBriskletKeyPath, "InstalledPath", true, folder, size);
}

bool ReadHtmlHelpLocation(char* path, uint32_t size) {
    return ReadString(RegRoot::ClassesRoot, kHtmlHelpClsidKeyPath, "", false, path, size);
}
