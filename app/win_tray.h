// Tray icon, popup and launching.
#pragma once

#include <windows.h>

void PrepareTray(HINSTANCE instance);
void AddTrayIcon(HWND bar);
// Whether message is the shell's "TaskbarCreated" broadcast, sent when the notification area
// has been (re)created and every icon in it has to be added again.
bool IsTaskbarCreatedMessage(UINT message);
void SetTrayIcon(HICON icon);
void RemoveTrayIcon(HWND bar);
void OnTrayNotify(LPARAM mouseMessage);
void OnCountdownTick();
void LaunchButton(int index);
