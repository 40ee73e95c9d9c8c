// Everything the program keeps outside the Button file lives in the registry (or, in native
// tests, in an in-memory store with the same roots, key paths, value names and types). The
// operations are written once here over RegistryApi; each closes every key it opens.
#pragma once

#include <cstdint>
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

// "LegacyDataMigrated" (HKCU, REG_DWORD 1): the legacy data file has been migrated but could be
// neither deleted nor renamed, so start-up must not migrate it again.
bool SetLegacyDataMigrated();
bool ReadLegacyDataMigrated();

// Reads "CurrentButtonFilename" (HKCU) into path (2,048 bytes). When the key or value is
// missing, or the stored name does not fit in 2,047 characters, path keeps its content.
bool ReadCurrentButtonFileName(char* path, uint32_t size);
// Reads "InstalledPath" (HKLM) into folder (size bytes); false when missing or too long.
bool ReadInstalledPath(char* folder, uint32_t size);
// Reads the default value of the HTML Help control's InprocServer32 key (260 bytes).
bool ReadHtmlHelpLocation(char* path, uint32_t size);
