// What the reload hook (bench_hook.dll, inside brisklet.exe) and the benchmark driver share: a
// named memory block with the times at which the bar's thread took the steps of the reload chain
// out of its queue, and a named event set when the last step is taken.
#pragma once

#include <windows.h>

constexpr char kReloadMarksName[] = "BriskletBenchReloadMarks";
constexpr char kReloadDoneEventName[] = "BriskletBenchReloadDone";

// The chain after WM_BAR_RELOADFILE (1430): WM_BAR_SHOWRELAID (1431), WM_BAR_APPLYFONTS (1426),
// WM_BAR_ACTIVATE (1429). Each is taken from the queue only after the one before it has been
// handled, so the time it is taken is the time the one before it ended.
constexpr UINT kMarkShowRelaid = 1431;
constexpr UINT kMarkApplyFonts = 1426;
constexpr UINT kMarkActivate = 1429;

// QueryPerformanceCounter values (one clock for every process).
struct ReloadMarks {
    LONGLONG showRelaidTaken;   // WM_BAR_RELOADFILE handled: old buttons gone, file read
    LONGLONG applyFontsTaken;   // WM_BAR_SHOWRELAID handled: bar shown and laid out, buttons made
    LONGLONG activateTaken;     // WM_BAR_APPLYFONTS handled: fonts set, file saved
    LONG chainsSeen;
    // Read in the bar's thread when WM_BAR_ACTIVATE is taken, after the time has been noted.
    LONG barVisible;
    LONG buttons;          // children with control identifiers 2000 ... 2099
    LONG fontedButtons;    // those of them that answer WM_GETFONT with a font
    // A typed key: set by the driver before it posts WM_CHAR to the bar. The hook notes when the
    // thread takes that WM_CHAR, and at the first WM_PAINT after it draws everything still to be
    // drawn at once (as the queue would next), notes the time and the bar's shown buttons, and
    // sets the event.
    LONG watchKey;
    LONG keySeen;
    LONGLONG keyTaken;
    LONGLONG paintedAt;
    LONG shownButtons;     // children 2000 ... 2099 visible once painted
    LONG shownOthers;      // matches of other Button files the bar shows then (its BriskletOtherMatches)
};
