#include "store/folder_watch.h"

#include <algorithm>
#include <cstring>

#include "store/text_encoding.h"

namespace {

std::vector<ButtonFolderListener*>& Listeners() {
    static std::vector<ButtonFolderListener*> listeners;
    return listeners;
}

}  // namespace

void AddButtonFolderListener(ButtonFolderListener* listener) {
    auto& listeners = Listeners();
    if (std::find(listeners.begin(), listeners.end(), listener) == listeners.end()) listeners.push_back(listener);
}

void RemoveButtonFolderListener(ButtonFolderListener* listener) {
    auto& listeners = Listeners();
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

void NotifyButtonFolderListeners(const char* folder, const char* name) {
    // A listener may add or remove listeners (a message box pumps messages): work on a copy.
    const std::vector<ButtonFolderListener*> listeners = Listeners();
    for (ButtonFolderListener* listener : listeners) listener->ButtonFileChanged(folder, name);
}

bool IsButtonFileName(const char* name) {
    const size_t length = std::strlen(name);
    if (length < 5) return false;
    const char* end = name + length - 5;
    const char* extension = ".bklt";
    for (int i = 0; i < 5; ++i) {
        if (LowerAscii(end[i]) != extension[i]) return false;
    }
    return true;
}
