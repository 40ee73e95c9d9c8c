// Tray icon, popup and launching.
#pragma once

#include <windows.h>

#include "store/button_table.h"

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
// A button of another Button file, opened as a click on one of the bar's buttons opens its own.
void LaunchRecordOf(const ButtonTable& table, int index);
