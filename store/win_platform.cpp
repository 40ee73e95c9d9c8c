#include "store/win_platform.h"

#include <windows.h>

namespace {

class MessageBoxSink : public MessageSink {
public:
    void ShowMessage(const char* text, const char* caption) override {
        MessageBoxA(nullptr, text, caption, MB_OK);
    }
};

}  // namespace

MessageSink& Win32MessageSink() {
    static MessageBoxSink sink;
    return sink;
}

void InstallWin32Platform() {
    g_platform.files = &Win32FileSystem();
    g_platform.registry = &Win32Registry();
    g_platform.messages = &Win32MessageSink();
}
