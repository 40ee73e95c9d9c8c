// The Button bar's private window messages (WM_USER + 300 and WM_USER + 400 ... 411).
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
// Sent by the Options dialog, which leaves the popup hotkey to the bar: wParam says what to do
// (BarHotKeyRequest), lParam is the hotkey to probe, in the "PopupHotKey" format. Answers 1 when
// the probed hotkey is held by another program, else 0.
constexpr unsigned WM_BAR_HOTKEY         = kWmUser + 410;  // 1434
enum BarHotKeyRequest : unsigned {
    kHotKeyRelease = 0,  // let the registered hotkey go (while the dialog's hotkey box is open)
    kHotKeyApply = 1,    // register the stored hotkey, which may be new
    kHotKeyProbe = 2,    // whether another program holds lParam's hotkey now
};
// Posted by the bar to itself when it is hidden: the typed text goes, so that it shows all its
// buttons when it comes back.
constexpr unsigned WM_BAR_CLEARFILTER    = kWmUser + 411;  // 1435
static_assert(WM_BAR_TRAYICON == 1324 && WM_BAR_REBUILD == 1424 && WM_BAR_SHOWRELAID == 1431,
              "private message numbers");
