// The Button bar from the keyboard: the system-wide popup hotkey and the keys that move the focus
// between the buttons, open one and hide the bar. The decisions are made in app/tray_logic.h.
#pragma once

#include <windows.h>
#include <cstdint>

// Registers the hotkey stored as "PopupHotKey" (the default when none is stored) on the bar,
// releasing the one registered before. Says nothing when another program holds it; sets
// g_popupHotKeyInUse instead.
void RegisterPopupHotKey(HWND bar);

// Releases the registered hotkey (g_popupHotKeyInUse keeps its value).
void ReleasePopupHotKey(HWND bar);

// Whether another program holds this hotkey (the "PopupHotKey" format) now. The bar's own
// registration does not count.
bool PopupHotKeyHeldElsewhere(HWND probe, uint32_t hotKey);

// WM_HOTKEY on the bar.
void OnPopupHotKey(HWND bar, WPARAM id);

// WM_ACTIVATE on the bar: the default handling, then the focus the hotkey asked for.
LRESULT OnBarActivate(HWND bar, WPARAM wParam, LPARAM lParam);

// Whether the window is the bar or one of its buttons.
bool IsBarWindow(HWND window);

// A message of the program's loop before it is translated: the bar's own keys. True when the
// message has been handled and must go no further.
bool HandleBarKeyMessage(const MSG& message);
