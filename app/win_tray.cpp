// Placeholder: the tray icon, popup and launching are filled in by the tray work.
#include "app/win_tray.h"

void PrepareTray(HINSTANCE) {}
void AddTrayIcon(HWND) {}
void SetTrayIcon(HICON) {}
void RemoveTrayIcon(HWND) {}
void OnTrayNotify(LPARAM) {}
void OnCountdownTick() {}
void LaunchButton(int) {}
