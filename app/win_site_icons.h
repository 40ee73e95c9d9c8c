// The icons on the bar's buttons: each button shows its site's icon (or a path's shell icon) left
// of its caption, the built-in web icon until one has arrived. Nothing of it runs while
// "ShowSiteIcons" is off.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "app/win_icon_worker.h"

// Gives every button the icon known for its address, and asks the worker for the ones not yet
// known. Called at the end of every rebuild; answers the buttons whose icon changed, for a bar
// that draws only what changed.
std::vector<int> ShowButtonIcons();
// NM_CUSTOMDRAW of a bar button: on the face the button drew, its caption is drawn as written
// (an "&" is a character), with its icon left of it where it has one, the pair centred.
LRESULT DrawButtonLabel(const NMCUSTOMDRAW& draw);
// Starts the worker once the rest of start-up is done (only while the icons are on).
void StartButtonIcons();
// WM_BAR_ICONREADY: takes over the delivery and shows it on the buttons whose address it is for.
void OnIconReady(LPARAM lParam);
// The Options dialog switched the icons on or off: the buttons get their icons, or lose them.
void SwitchButtonIcons(bool on);
// Icons a bookmark file carried, as (address, image data URI): each is checked and kept in the
// cache for its address's site, so the imported buttons show it without asking the network.
void KeepCarriedIcons(const std::vector<std::pair<std::string, std::string>>& carried);
// For an export: the cached icon of each button's site as a data URI, "" where there is none.
std::vector<std::string> ButtonIconUris();

// The host's ASCII form, as the network and the cache folder name it: the host itself when it is
// ASCII, the punycode of each label outside it ("xn--e1afmkfd.xn--80akhbyknj4f"); "" when it is
// no valid host name or this Windows cannot convert it.
std::string AsciiHost(const std::string& host);
// The job that gets the icon for an address: false when the address has none to fetch (not a
// web address or path, or a host that is no file name), which shows the built-in icon.
bool IconJobFor(const char* address, IconJob* job);
