// The status window and the sounds hold back while the user presents, plays
// full screen or has quiet time: a window over a slide show helps nobody.
// The icon, its tip and the log follow every change as always. Portable: no
// <windows.h>.
#pragma once

#include "core/link_state.h"

// What Windows says of the user (SHQueryUserNotificationState's values).
enum UserNotificationState {
    kUserNotPresent = 1,
    kUserBusy = 2,              // a full-screen program, not Direct3D
    kUserFullScreenD3D = 3,
    kUserPresenting = 4,
    kUserAcceptsNotifications = 5,
    kUserQuietTime = 6,         // the first hour after a new install, or focus
    kUserRunningApp = 7,        // a Windows Store app in front
};

bool userWantsQuiet(int notificationState);

struct PopupHold {
    bool holding;
    LinkState lastTold;  // the state the window last told, before the hold
};

// A change to tell (the state shown until now, the new one): true when the
// window and the sound tell it now, false when it is held back.
bool tellNow(PopupHold& hold, bool quiet, LinkState previous);

// The quiet is over: true when the window should tell the state that stands
// now, which differs from the one it last told.
bool tellAfterQuiet(PopupHold& hold, LinkState now);
