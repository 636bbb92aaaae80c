// The program's own window messages.
#pragma once

#include <windows.h>

#include "core/link_state.h"

enum PrivateMessage : UINT {
    // From the shell: mouse events over the notification icon, the mouse message in lParam.
    WM_TRAYNOTIFY = WM_USER + 1,
    // From the monitor thread: a state was observed. wParam is the LinkState,
    // lParam holds the flags below.
    WM_LINKSTATE = WM_USER + 2,
    // From the monitor thread: a probe that the hosts answered measured this
    // (packProbeMeasure's two words in wParam and lParam).
    WM_PROBEMEASURED = WM_USER + 3,
};

enum LinkStateFlags : LPARAM {
    kLinkStateFirst = 1,     // the first state found at start-up (else a change)
    kLinkStateCauseShift = 8,  // the BreakCause, in the bits from here on
};

inline LPARAM linkStateFlags(bool first, BreakCause cause)
{
    return (first ? LPARAM(kLinkStateFirst) : 0) | (LPARAM(cause) << kLinkStateCauseShift);
}

inline BreakCause breakCauseOfFlags(LPARAM flags)
{
    const LPARAM cause = (flags >> kLinkStateCauseShift) & 0xFF;
    return cause < kBreakCauses ? static_cast<BreakCause>(cause) : NoCause;
}

// WM_DPICHANGED (Windows 8.1 and later), which the headers built for Vista
// lack: the display's new DPI in HIWORD(wParam).
enum : UINT { kDpiChangedMessage = 0x02E0 };
