// Tray icon, popup and launching.
#pragma once

#include <windows.h>

void PrepareTray(HINSTANCE instance);
void AddTrayIcon(HWND bar);
void SetTrayIcon(HICON icon);
void RemoveTrayIcon(HWND bar);
void OnTrayNotify(LPARAM mouseMessage);
void OnCountdownTick();
void LaunchButton(int index);
