// Process-wide state that several parts of the program share and that is not tied to a window
// handle. Owned as noted; everything starts zero.
#pragma once

#include <cstdint>

// Start-up
extern char g_installFolder[1024];        // "InstalledPath"
extern char g_quotedProgramPath[1024];    // "\"" + folder + "\\brisklet.exe\""
extern char g_browserProgram[260];        // program for .htm files; empty when none
extern int32_t g_showOnStart;             // 1 when a Button file was given on the command line

// Button bar
extern int32_t g_stayOnTop;               // 0 = off, any other value = on

// Popup hotkey: 1 while the hotkey chosen in the registry could not be registered because
// another program holds it (the Options dialog says so)
extern int32_t g_popupHotKeyInUse;

// Setup dialog and the editor dialogs
extern int32_t g_selectedIndex;

// Drop target: a text drop waiting to become a new button
extern int32_t g_dropPending;
extern char g_droppedText[1024];
