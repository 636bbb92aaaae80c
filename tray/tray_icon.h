// The notification-area icon and the icons of the program's two windows.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "core/link_state.h"
#include "history/history_text.h"

// The main window's timer that offers a refused icon again.
enum : UINT_PTR { kTrayIconRetryTimer = 2 };
// The icon's one identifier, whatever the state: where the shell takes the
// icon's GUID, that is its identity instead.
enum : UINT { kTrayIconId = 1 };

// Shows the icon of a state with its tip, and gives both windows its icon:
// changed in place where the shell holds the icon (no flicker, no move, a
// hover or click under way kept), else added. Where the shell refuses it
// (not ready yet on a slow logon), the main window's timer offers it again,
// every 2 s for 2 minutes, then every 30 s until it is taken.
void showTrayIcon(LinkState state);
// The task bar was made anew: it holds no icon; the state's is added.
void trayIconLost(LinkState state);
// The timer's tick: the icon of the state shown, offered again.
void retryTrayIcon();
// Removes the icon, whatever it shows.
void removeTrayIcon();
void setWindowIcons(LinkState state);

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

// The shell's call, which tests replace to see and refuse what is asked, and
// the clock of the icon's retries, which they move.
extern BOOL(WINAPI* g_notifyIcon)(DWORD message, PNOTIFYICONDATAW record);
extern DWORD(WINAPI* g_iconClock)();
