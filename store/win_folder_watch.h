// Watching one folder for changes to Button files, on a thread of its own that sleeps until the
// system reports a change (ReadDirectoryChangesW): it never wakes the program while nothing
// happens. Each change to a name ending in ".bklt" is posted to a window.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// Starts watching `folder` (replacing any folder watched before). Each change is posted to
// `window` as `message` with lParam a char* file name made with new[] that the receiver deletes
// with delete[], or 0 when the system lost track of changes (anything may have changed). False
// when the folder cannot be watched (gone, or a file system without notifications): the caller
// then relies on looking itself.
bool StartFolderWatch(const char* folder, HWND window, UINT message);
// Stops the thread and waits for it.
void StopFolderWatch();
// The folder being watched, "" when none.
const char* WatchedFolder();

// The names of the Button files in `folder` (files whose names end in ".bklt"), in the order the
// folder lists them, at most `most` of them.
std::vector<std::string> ButtonFileNamesIn(const std::string& folder, size_t most);
