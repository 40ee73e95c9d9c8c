// The icons on the bar's buttons: each button shows its site's icon (or a path's shell icon) left
// of its caption, the built-in web icon until one has arrived. Nothing of it runs while
// "ShowSiteIcons" is off.
#pragma once

#include <windows.h>

#include <vector>

// Gives every button the icon known for its address, and asks the worker for the ones not yet
// known. Called at the end of every rebuild; answers the buttons whose icon changed, for a bar
// that draws only what changed.
std::vector<int> ShowButtonIcons();
// Starts the worker once the rest of start-up is done (only while the icons are on).
void StartButtonIcons();
// WM_BAR_ICONREADY: takes over the delivery and shows it on the buttons whose address it is for.
void OnIconReady(LPARAM delivery);
// The Options dialog switched the icons on or off: the buttons get their icons, or lose them.
void SwitchButtonIcons(bool on);
