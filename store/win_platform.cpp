#include "store/win_platform.h"

#include <windows.h>

#include <vector>

namespace {

class MessageBoxSink : public MessageSink {
public:
    void ShowMessage(const char* text, const char* caption) override {
        MessageBoxA(nullptr, text, caption, MB_OK);
    }
};

// Both directions go through UTF-16. A character the ANSI code page lacks becomes '?', never a
// look-alike: WC_NO_BEST_FIT_CHARS keeps "what is not there" visible.
class AnsiCodePage : public CodePage {
public:
    bool FromUtf8(const std::string& utf8, std::string* ansi) override {
        ansi->clear();
        const std::vector<WCHAR> wide = Widen(CP_UTF8, utf8);
        if (wide.empty()) return true;
        const int length = static_cast<int>(wide.size());
        BOOL usedDefault = FALSE;
        const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0, "?",
                                             &usedDefault);
        if (size <= 0) return false;
        ansi->resize(static_cast<size_t>(size));
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, ansi->data(), size, "?", &usedDefault);
        return usedDefault == FALSE;
    }
    void ToUtf8(const std::string& ansi, std::string* utf8) override {
        utf8->clear();
        const std::vector<WCHAR> wide = Widen(CP_ACP, ansi);
        if (wide.empty()) return;
        const int length = static_cast<int>(wide.size());
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
        if (size <= 0) return;
        utf8->resize(static_cast<size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8->data(), size, nullptr, nullptr);
    }

private:
    static std::vector<WCHAR> Widen(UINT codePage, const std::string& text) {
        std::vector<WCHAR> wide;
        if (text.empty()) return wide;
        const int length = static_cast<int>(text.size());
        const int size = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
        if (size <= 0) return wide;
        wide.resize(static_cast<size_t>(size));
        MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), size);
        return wide;
    }
};

}  // namespace

MessageSink& Win32MessageSink() {
    static MessageBoxSink sink;
    return sink;
}

CodePage& Win32CodePage() {
    static AnsiCodePage codePage;
    return codePage;
}

void InstallWin32Platform() {
    g_platform.files = &Win32FileSystem();
    g_platform.registry = &Win32Registry();
    g_platform.messages = &Win32MessageSink();
    g_platform.codePage = &Win32CodePage();
}
