// The buttons' icons in the background: one worker thread with a queue that reads the icon
// cache, fetches site icons over WinINet and asks the shell for the icons of paths. What it
// finds reaches the bar as WM_BAR_ICONREADY with an IconDelivery the bar takes over.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct IconJob {
    bool path = false;      // a file system path: the shell's icon; otherwise a web site's
    std::string key;        // what the delivery is matched by
    std::string address;    // the button's address (the page for a site)
    std::string cacheName;  // a site's cache file, "example.org.ico"
    // An icon a bookmark file carried for the site ("data:image/...;base64,..."): checked like
    // any other and kept in the cache unless a sound icon is there already; no request is made.
    std::string carried;
};

struct IconDelivery {
    std::string key;
    std::vector<uint8_t> icon;  // a site's checked ICO
    HICON shellIcon = nullptr;  // a path's icon, owned by the delivery until taken
};

// Starts the worker once; it posts to `bar`. Jobs queued before it starts wait for it.
void StartIconWorker(HWND bar);
void QueueIconJob(const IconJob& job);
// Drops the jobs not yet begun, and the job under way makes no further request (the icons were
// switched off). The next job queued lets requests go out again.
void ClearIconJobs();
// %LOCALAPPDATA%\Brisklet\icons, "" when the folder is not known.
std::string IconFolder();
// The sound icon cached under this name, as a data URI; "" when there is none.
std::string CachedIconUri(const std::string& cacheName);
