// A stand-in for the HTML Help control, for the help tests. Registered as the control's
// InprocServer32, it is loaded by the program's help command and answers export ordinal 14
// (HtmlHelpA) by appending one line per call to "<this dll's path>.calls":
//   hwnd=<owner> command=<n> data=<n> file=<path>
// and returning no window, as the real control does when it cannot show anything.
#include <windows.h>
#include <stdio.h>

static HMODULE g_self;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HWND WINAPI FakeHtmlHelpA(HWND owner, LPCSTR file, UINT command,
                                          DWORD_PTR data) {
    char log[MAX_PATH + 16] = "";
    DWORD length = GetModuleFileNameA(g_self, log, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    lstrcatA(log, ".calls");
    FILE* out = fopen(log, "ab");
    if (!out) return nullptr;
    fprintf(out, "hwnd=%p command=%u data=%llu file=%s\r\n", static_cast<void*>(owner), command,
            static_cast<unsigned long long>(data), file ? file : "(null)");
    fclose(out);
    return nullptr;
}
