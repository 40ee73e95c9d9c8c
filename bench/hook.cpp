// A WH_GETMESSAGE hook that the benchmark driver installs on the Button bar's thread. Windows
// loads this library into brisklet.exe for the hook; the program itself contains nothing for the
// benchmark. The hook notes, with QueryPerformanceCounter, when the thread takes each step of
// the reload chain out of its queue and sets an event when the last one is taken.
#include <windows.h>

#include "bench/hook_shared.h"
#include "res/resource.h"

namespace {

ReloadMarks* g_marks = nullptr;
HANDLE g_done = nullptr;
bool g_opened = false;

// Opens the shared block and event once, and keeps this library loaded for good: otherwise it
// would be loaded and freed again around every hook call.
void OpenShared() {
    g_opened = true;
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&OpenShared), &self);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, kReloadMarksName);
    if (mapping != nullptr) g_marks = static_cast<ReloadMarks*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    g_done = OpenEventA(EVENT_MODIFY_STATE, FALSE, kReloadDoneEventName);
}

BOOL CALLBACK CountButton(HWND child, LPARAM lParam) {
    ReloadMarks* marks = reinterpret_cast<ReloadMarks*>(lParam);
    const int id = GetDlgCtrlID(child);
    if (id >= IDC_BUTTON_FIRST && id <= IDC_BUTTON_LAST) {
        ++marks->buttons;
        if (SendMessageA(child, WM_GETFONT, 0, 0) != 0) ++marks->fontedButtons;
    }
    return TRUE;
}

// What the user sees once the chain is through: the bar shown, its buttons each in a font.
// (Fonts are asked for here, in the bar's own thread: Wine does not answer WM_GETFONT sent
// from another process.)
void NoteBar(HWND bar) {
    g_marks->barVisible = IsWindowVisible(bar) ? 1 : 0;
    g_marks->buttons = 0;
    g_marks->fontedButtons = 0;
    EnumChildWindows(bar, CountButton, reinterpret_cast<LPARAM>(g_marks));
}

BOOL CALLBACK CountShownButton(HWND child, LPARAM) {
    const int id = GetDlgCtrlID(child);
    if (id >= IDC_BUTTON_FIRST && id <= IDC_BUTTON_LAST && IsWindowVisible(child)) ++g_marks->shownButtons;
    return TRUE;
}

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK BenchGetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        if (!g_opened) OpenShared();
        const MSG* message = reinterpret_cast<const MSG*>(lParam);
        if (g_marks != nullptr) {
            switch (message->message) {
                case kMarkShowRelaid:
                    g_marks->showRelaidTaken = Now();
                    break;
                case kMarkApplyFonts:
                    g_marks->applyFontsTaken = Now();
                    break;
                case kMarkActivate:
                    g_marks->activateTaken = Now();
                    NoteBar(message->hwnd);
                    InterlockedIncrement(&g_marks->chainsSeen);
                    if (g_done != nullptr) SetEvent(g_done);
                    break;
                case WM_CHAR:
                    if (g_marks->watchKey != 0 && g_marks->keySeen == 0) {
                        g_marks->keyTaken = Now();
                        g_marks->keySeen = 1;
                    }
                    break;
                case WM_PAINT:
                    if (g_marks->watchKey != 0 && g_marks->keySeen != 0) {
                        // WM_PAINT comes only once nothing is posted or sent: the key and what it
                        // queued have been handled. Whatever is left to draw is drawn now.
                        g_marks->watchKey = 0;
                        HWND bar = GetAncestor(message->hwnd, GA_ROOT);
                        RedrawWindow(bar, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
                        GdiFlush();
                        g_marks->paintedAt = Now();
                        g_marks->shownButtons = 0;
                        g_marks->shownOthers = 0;
                        EnumChildWindows(bar, CountShownButton, 0);
                        // The other files' matches are drawn by the bar, which says how many.
                        g_marks->shownOthers = static_cast<LONG>(reinterpret_cast<INT_PTR>(GetPropA(bar, "BriskletOtherMatches")));
                        if (g_done != nullptr) SetEvent(g_done);
                    }
                    break;
                default:
                    break;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
