// The Button bar's private window messages (WM_USER + 300 and WM_USER + 400 ... 409).
#pragma once

constexpr unsigned kWmUser = 0x0400;
constexpr unsigned WM_BAR_TRAYICON       = kWmUser + 300;  // 1324
constexpr unsigned WM_BAR_REBUILD        = kWmUser + 400;  // 1424
constexpr unsigned WM_BAR_CREATEBUTTONS  = kWmUser + 401;  // 1425
constexpr unsigned WM_BAR_APPLYFONTS     = kWmUser + 402;  // 1426
constexpr unsigned WM_BAR_RELAYOUT       = kWmUser + 403;  // 1427
constexpr unsigned WM_BAR_DESTROYBUTTONS = kWmUser + 404;  // 1428
constexpr unsigned WM_BAR_ACTIVATE       = kWmUser + 405;  // 1429
constexpr unsigned WM_BAR_RELOADFILE     = kWmUser + 406;  // 1430
constexpr unsigned WM_BAR_SHOWRELAID     = kWmUser + 407;  // 1431
// Posted by the icon worker: lParam is an IconDelivery the bar takes over (app/win_icon_worker.h).
constexpr unsigned WM_BAR_ICONREADY      = kWmUser + 408;  // 1432
// Posted by the folder watcher: lParam is a file name the bar deletes, or 0 (store/win_folder_watch.h).
constexpr unsigned WM_BAR_FOLDERCHANGED  = kWmUser + 409;  // 1433
static_assert(WM_BAR_TRAYICON == 1324 && WM_BAR_REBUILD == 1424 && WM_BAR_SHOWRELAID == 1431,
              "private message numbers");
