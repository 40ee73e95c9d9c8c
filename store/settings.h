// Everything the program keeps outside the Button file lives in the registry (or, in native
// tests, in an in-memory store with the same roots, key paths, value names and types). The
// operations are written once here over RegistryApi; each closes every key it opens.
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include "store/platform_seam.h"

extern const char kBriskletKeyPath[];      // "Software\\Vantaro\\Brisklet"
extern const char kRunKeyPath[];           // "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
extern const char kRunValueName[];         // "Brisklet"
extern const char kHtmlHelpClsidKeyPath[]; // "CLSID\\{ADB880A6-...}\\InprocServer32"

// 0 or 1; set at start-up by ReadAutoPopup, changed by SetAutoPopup, read by the tray.
extern int32_t g_instantPopup;

bool SetRegistryString(RegRoot root, const char* keyPath, const char* valueName, const char* text);
bool SetRunValue(const char* text);
bool DeleteRunValue();
bool RunValueExists();
bool SetAutoPopup(bool on);
bool ReadAutoPopup();

// "PopupHotKey" (HKCU, REG_DWORD): the key that shows and hides the Button bar from anywhere, in
// the hotkey control's format: the virtual-key code in the low byte, the kHotKeyF* modifier bits
// in the next. No value (or one that is not a four-byte number) means the default, Alt+Shift+B;
// a value whose key code is 0 means no hotkey, and reads as 0.
constexpr uint32_t kHotKeyFShift = 0x01;    // HOTKEYF_SHIFT
constexpr uint32_t kHotKeyFControl = 0x02;  // HOTKEYF_CONTROL
constexpr uint32_t kHotKeyFAlt = 0x04;      // HOTKEYF_ALT
constexpr uint32_t kHotKeyFExt = 0x08;      // HOTKEYF_EXT (extended key; no modifier of its own)
constexpr uint32_t kDefaultPopupHotKey = ((kHotKeyFAlt | kHotKeyFShift) << 8) | 'B';
uint32_t ReadPopupHotKey();
// Stores the hotkey (0 for none) as "PopupHotKey", creating the per-user key when needed.
bool SetPopupHotKey(uint32_t hotKey);

// The same hotkey as RegisterHotKey takes it: the virtual-key code and the MOD_* bits
// (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4). No key code gives 0 for both.
struct HotKeyRegistration {
    uint32_t modifiers;
    uint32_t virtualKey;
};
HotKeyRegistration ToHotKeyRegistration(uint32_t hotKey);

// "ShowSiteIcons" (HKCU, REG_DWORD): whether the buttons show their sites' icons. On unless the
// value is the number 0. g_showSiteIcons holds it from start-up on; SetShowSiteIcons stores it
// (creating the per-user key when needed) and sets the flag.
extern int32_t g_showSiteIcons;
bool ReadShowSiteIcons();
bool SetShowSiteIcons(bool on);

// "LegacyDataMigrated" (HKCU, REG_DWORD 1): the legacy data file has been migrated but could be
// neither deleted nor renamed, so start-up must not migrate it again.
bool SetLegacyDataMigrated();
bool ReadLegacyDataMigrated();

// "DeclinedConflictCopies" (HKCU, REG_SZ): the sync clients' conflict copies the user chose not to
// merge, so that no later start asks about them again: one path a line, letters as given, the
// newest last. The oldest go when the list would pass 2,047 bytes.
std::vector<std::string> ReadDeclinedCopies();
bool AddDeclinedCopy(const char* path);

// Reads "CurrentButtonFilename" (HKCU) into path (2,048 bytes). When the key or value is
// missing, or the stored name does not fit in 2,047 characters, path keeps its content.
bool ReadCurrentButtonFileName(char* path, uint32_t size);
// Reads "InstalledPath" (HKLM) into folder (size bytes); false when missing or too long.
bool ReadInstalledPath(char* folder, uint32_t size);
// Reads the default value of the HTML Help control's InprocServer32 key (260 bytes).
bool ReadHtmlHelpLocation(char* path, uint32_t size);
