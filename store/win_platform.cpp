#include "store/win_platform.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

class MessageBoxSink : public MessageSink {
public:
    void ShowMessage(const char* text, const char* caption) override {
        MessageBoxA(nullptr, text, caption, MB_OK);
    }
};

// Both directions go through UTF-16. A character the ANSI code page lacks becomes '?', never a
// look-alike: WC_NO_BEST_FIT_CHARS keeps "what is not there" visible. Where the program runs in
// UTF-8 (the manifest asks for it; older systems ignore that) there is nothing to convert.
class AnsiCodePage : public CodePage {
public:
    bool FromUtf8(const std::string& utf8, std::string* ansi) override {
        if (IsUtf8()) {
            *ansi = utf8;
            return true;
        }
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
        if (IsUtf8()) {
            *utf8 = ansi;
            return;
        }
        LegacyToUtf8(CP_ACP, ansi, utf8);
    }
    bool IsUtf8() override { return GetACP() == CP_UTF8; }
    unsigned LegacyCodePage() override {
        // The user's ANSI code page as the locale has it, which the process code page no longer
        // tells once it is UTF-8.
        static const unsigned legacy = [] {
            DWORD number = 0;
            const int got = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                                           reinterpret_cast<LPSTR>(&number), sizeof number / sizeof(char));
            if (got > 0 && number != 0 && number != CP_UTF8) return static_cast<unsigned>(number);
            return GetACP() != CP_UTF8 ? static_cast<unsigned>(GetACP()) : 1252u;
        }();
        return legacy;
    }
    bool CompareNames(const char* first, const char* second, int* order) override {
        WCHAR a[256];
        WCHAR b[256];
        if (MultiByteToWideChar(CP_ACP, 0, first, -1, a, 256) == 0 || MultiByteToWideChar(CP_ACP, 0, second, -1, b, 256) == 0) {
            return false;
        }
        const int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1);
        if (result == 0) return false;
        *order = result - CSTR_EQUAL;
        return true;
    }
    void LegacyToUtf8(unsigned codePage, const std::string& text, std::string* utf8) override {
        utf8->clear();
        const std::vector<WCHAR> wide = Widen(codePage, text);
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

namespace {

// "<process id>-<when the process started>": the id alone repeats on another PC.
const char* InstanceTag() {
    static char tag[32];
    FILETIME created{};
    FILETIME ignored{};
    if (GetProcessTimes(GetCurrentProcess(), &created, &ignored, &ignored, &ignored) == FALSE) created = FILETIME{};
    if (std::snprintf(tag, sizeof tag, "%lu-%08lx", static_cast<unsigned long>(GetCurrentProcessId()),
                      static_cast<unsigned long>(created.dwLowDateTime)) < 0) {
        tag[0] = '\0';
    }
    return tag;
}

}  // namespace

void InstallWin32Platform() {
    g_platform.files = &Win32FileSystem();
    g_platform.registry = &Win32Registry();
    g_platform.messages = &Win32MessageSink();
    g_platform.codePage = &Win32CodePage();
    g_platform.instanceTag = InstanceTag();
}
