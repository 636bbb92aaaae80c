// The notification-area icon and the icons of the program's two windows.
#pragma once

#include <windows.h>

#include "core/link_state.h"

// Shows the icon of a state with its tip, and gives both windows its icon.
void addTrayIcon(LinkState state);
// Removes the icon of a state; no effect when that state's icon is not shown.
void removeTrayIcon(LinkState state);
void setWindowIcons(LinkState state);

// Shows a new state: the old icon goes, the new one comes.
void swapTrayIcon(LinkState from, LinkState to);

// Brings the tip of the icon shown up to date (its "since" line), when it changed.
void refreshTrayTip();

// The icon handed to the shell for a state: the size of a small icon at the
// display's scale (20 px at 125 %, 24 at 150 %).
HICON trayIcon(LinkState state);
// Loads the icons again at the display's new scale and gives the shell the
// one shown.
void reloadTrayIcons();
