// The program's own window messages.
#pragma once

#include <windows.h>

enum PrivateMessage : UINT {
    // From the shell: mouse events over the notification icon, the mouse message in lParam.
    WM_TRAYNOTIFY = WM_USER + 1,
    // From the monitor thread: a state was observed. wParam is the LinkState,
    // lParam holds the flags below.
    WM_LINKSTATE = WM_USER + 2,
};

enum LinkStateFlags : LPARAM {
    kLinkStateFirst = 1,       // the first state found at start-up (else a change)
    kLinkStateSignInPage = 2,  // Broken because a sign-in page is in the way
};
