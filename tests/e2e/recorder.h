// The URL recorder (url_recorder.exe, built next to brisklet.exe) stands in for the web
// browser: it is registered as the "open" handler of http and https URLs and of .htm pages, and
// every start of it appends its whole command line to a log file. Tests read that log to see
// which launches really happened.
//
// The handler commands carry a marker naming the road taken: "--via=http", "--via=https" and
// "--via=htm" (the shell opening a URL, or any opening of a .htm page). A program that starts the
// recorder directly, as found for .htm files by FindExecutableA, passes its own parameters only.
//
// Register before brisklet.exe starts: start-up looks up the program for .htm files once.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

std::string RecorderExe();
// %TEMP%\brisklet-launches.txt, the recorder's default log.
std::string LaunchLogPath();

// Makes the recorder the handler of http, https and .htm, per user (HKCU\Software\Classes, which
// Windows merges over the machine's classes) and in HKEY_CLASSES_ROOT itself (Wine 8 reads only
// the machine's classes there). Returns false when a key could not be written.
bool InstallRecorder();

struct Launch {
    std::string commandLine;   // as the recorder received it
    std::string program;       // the first token, without quotes
    std::string arguments;     // everything after the first token and the blanks after it
};
Launch ParseLaunch(const std::string& commandLine);

std::vector<Launch> ReadLaunches();
void ClearLaunches();
// The launches once the bar is back in its message loop and no recorder process runs any more
// (at most timeoutMs): for a check that nothing was launched, so that every recorder the program
// started exists and has written its line by then.
std::vector<Launch> SettledLaunches(HWND bar, int timeoutMs = 10000);
// Waits until a recorded launch's command line contains `text`; stores it in *found.
bool WaitForLaunch(const std::string& text, Launch* found = nullptr, int timeoutMs = 10000);

}  // namespace e2e
