// Keeping the bar in step with a Button file that other programs change too: the folder watched,
// a change taken in once the file stands still, a look every 5 seconds where no notification
// comes, the retries of a save that has to wait, and the offer to merge a sync client's conflict
// copies.
#pragma once

#include <windows.h>

// Once the bar exists: installs the store's sync events and starts watching.
void StartFileSync();
// When the bar goes.
void StopFileSync();
// WM_BAR_FOLDERCHANGED from the watcher: lParam is a char* name to delete[], or 0.
void OnFolderChanged(LPARAM lParam);
// WM_TIMER: true when the timer was one of these.
bool OnFileSyncTimer(WPARAM timerId);
