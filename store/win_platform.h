// The Win32 side of the platform seam under the Button store.
#pragma once

#include "store/platform_seam.h"

// Sets g_platform to the ANSI file calls, the advapi32 registry, MessageBoxA (no owner, MB_OK)
// and the ANSI code page. Start-up calls it first thing.
void InstallWin32Platform();

// The Win32 implementations themselves, for tests that combine them with stand-ins.
FileSystem& Win32FileSystem();
RegistryApi& Win32Registry();
MessageSink& Win32MessageSink();
CodePage& Win32CodePage();

// How many times, since the start, the Win32 file calls were refused because another program
// held the file (the refusals that are tried again). Any thread may read it.
unsigned long SharingRefusals();
