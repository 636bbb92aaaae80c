// The one process-wide record of handles, settings and buffers.
#pragma once

#include <windows.h>

#include "core/link_state.h"

enum : DWORD { kTextBufferSize = 1024 };

// Every field starts at zero but those that setStartValues sets: an all-zero
// record lies in zeroed memory instead of taking its whole size (the path
// buffers) in the program file.
struct AppState {
    HINSTANCE instance;
    HWND mainWindow;
    HWND statusWindow;                  // null while status messages are off
    HMENU trayMenu;
    HMENU hideTimeMenu;
    DWORD pingIntervalMs;               // pause between probes while Connected
    int hideSeconds;                    // 0 means the status window never hides itself
    int statusX;                        // remembered position of the status window;
    int statusY;                        //   0 means none
    int historyX;                       // remembered position of the History window;
    int historyY;                       //   both 0 means none
    // Paths are wide text, so that any folder name works whatever the code page.
    wchar_t upSoundPath[kTextBufferSize];  // empty means no sound
    wchar_t downSoundPath[kTextBufferSize];
    wchar_t configPath[kTextBufferSize];   // empty when there is no usable path: no settings file
    wchar_t reportNote[161];               // the user's line on the month's report (kReportNoteSize)
    UINT_PTR countdownTimer;
    int countdownRemaining;
    LinkState shownState;               // the state the icon shows; UI thread only
    BreakCause shownCause;              // where the break is, or ThroughProxy; UI thread only
    // Set by the user interface thread, read by the monitor: suspends and
    // resumes so far, whether the machine is going to sleep (from the
    // suspend notice to the resume), and the event that cuts the monitor's
    // wait short.
    volatile LONG powerChanges;
    volatile LONG suspending;
    HANDLE monitorWake;                 // made before the monitor thread starts
    ULONGLONG shownSince;               // when the state (or cause) shown began (UTC, 100 ns since 1601); 0 until the first probe
    ULONGLONG shownSinceTick;           // the same moment on the monotonic clock (ms), for durations
    // Since the log's last Not watching row, while nothing is watched (from
    // the suspend to the first row after the resume, or from the start when
    // the last run ended unseen): its moment (UTC), and on the monotonic
    // clock (0 for a moment of an earlier run); 0 while watching.
    ULONGLONG notWatchingSince;
    ULONGLONG notWatchingTick;
    bool exiting;                       // Exit has begun: no state is shown any more; UI thread only
};

extern AppState g_app;

// Zeroes the record, then sets the fields whose start value is not zero.
void setStartValues(AppState& state);
