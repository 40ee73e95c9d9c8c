// Changes in the Button folder, as the program hears of them: a file written in place, replaced
// by rename (a sync client's way), created or removed, reported once it has stood still (the same
// size and time for a moment). Whoever needs them (the current Button file's reload, conflict
// copies, lists of Button files) listens here; the Win32 layer watches the folder and delivers on
// the bar's thread. No Windows header here.
#pragma once

#include <vector>

class ButtonFolderListener {
public:
    virtual ~ButtonFolderListener() = default;
    // `folder` is the watched folder (no trailing backslash); `name` a file name in it ending in
    // ".bklt" (any case), or nullptr when the notifications were lost and any file may have
    // changed.
    virtual void ButtonFileChanged(const char* folder, const char* name) = 0;
};

// Listeners are called in the order they were added. Not owned.
void AddButtonFolderListener(ButtonFolderListener* listener);
void RemoveButtonFolderListener(ButtonFolderListener* listener);
void NotifyButtonFolderListeners(const char* folder, const char* name);

// Whether a file name ends in ".bklt" in any letter case (a Button file by its name).
bool IsButtonFileName(const char* name);
