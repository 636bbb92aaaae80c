// The notification-area icon and the icons of the program's two windows.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "core/link_state.h"
#include "history/history_text.h"

// The main window's timer that offers a refused icon again.
enum : UINT_PTR { kTrayIconRetryTimer = 2 };

// Shows the icon of a state with its tip, and gives both windows its icon.
// Where the shell refuses it (not ready yet on a slow logon), the main
// window's timer offers it again every 2 s, for up to 2 minutes.
void addTrayIcon(LinkState state);
// The timer's tick: the icon of the state shown, offered again.
void retryTrayIcon();
// Removes the icon of a state; no effect when that state's icon is not shown.
void removeTrayIcon(LinkState state);
void setWindowIcons(LinkState state);

// Shows a new state: the old icon goes, the new one comes.
void swapTrayIcon(LinkState from, LinkState to);

// The tip of a state: its text, and on a second line where the break is and
// since when, in that locale's words (the user's, where the program asks).
void formatStateTip(wchar_t (&tip)[kTipSize], LinkState state, LCID locale);

// Brings the tip of the icon shown up to date (its "since" line), when it changed.
void refreshTrayTip();

// The icon handed to the shell for a state: the size of a small icon at the
// task bar's scale (20 px at 125 %, 24 at 150 %).
HICON trayIcon(LinkState state);
// Loads the icons again at the display's new scale and gives the shell the
// one shown.
void reloadTrayIcons();

// The shell's call, which tests replace to see and refuse what is asked.
extern BOOL(WINAPI* g_notifyIcon)(DWORD message, PNOTIFYICONDATAW record);
