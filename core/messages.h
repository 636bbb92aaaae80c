// The program's own window messages.
#pragma once

#include <windows.h>

enum PrivateMessage : UINT {
    // From the shell: mouse events over the notification icon, the mouse message in lParam.
    WM_TRAYNOTIFY = WM_USER + 1,
    // From the monitor thread: a state was observed. wParam is the LinkState,
    // lParam is 1 for the first state found at start-up, 0 for a change.
    WM_LINKSTATE = WM_USER + 2,
};
