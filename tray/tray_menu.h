// The right-click menu of the notification icon.
#pragma once

#include <windows.h>

#include "core/app_state.h"

enum MenuCommand : UINT {
    IDM_SOUND_UP = 104,
    IDM_DISPLAY_MESSAGE = 105,
    IDM_SOUND_DOWN = 106,
    IDM_EXIT = 107,
    IDM_HELP = 109,
    // 110 .. 116: the auto-hide times (tray/hide_times.h)
    IDM_CONNECTION_LOG = 117,
    IDM_START_WITH_WINDOWS = 118,
    IDM_OPEN_SIGN_IN_PAGE = 119,
    IDM_HISTORY = 120,
};

// Builds the menu once, its marks showing the loaded settings.
void buildTrayMenu();

// Grays and disables "Set Auto Hide Time", or enables it again.
void setHideTimeMenuEnabled(bool enabled);
// Makes that hide-time item the chosen one; writes only on a change.
void selectHideTime(UINT commandId);
// Unchecks a checked sound item and forgets its sound, or lets the user choose one.
void toggleSoundItem(UINT itemId, wchar_t (&path)[kTextBufferSize]);
// Turns status messages on or off.
void toggleDisplayMessage();
// Adds or removes the Run value, and checks the item when it names this program.
void toggleStartWithWindows();
// "Open Sign-in Page" at the top of the menu while a sign-in page is in the
// way, and no such item otherwise.
void showSignInPageItem(bool shown);
// Marks what may have changed outside the program since the menu was built.
void refreshTrayMenu();

// The state bits of an item found by command id anywhere in the menu.
UINT menuItemState(UINT commandId);
// Only the check mark counts: the item just chosen may still carry its
// highlight when its command arrives.
bool isMenuItemChecked(UINT commandId);
void setMenuItemState(UINT commandId, UINT state);
