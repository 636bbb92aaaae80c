// The one process-wide record of handles, settings and buffers.
#pragma once

#include <windows.h>

#include "app/link_state.h"
#include "monitor/echo_request.h"

enum : DWORD { kTextBufferSize = 1024 };

struct AppState {
    HINSTANCE instance;
    HWND mainWindow;
    HWND statusWindow;                  // null while status messages are off
    HMENU trayMenu;
    HMENU hideTimeMenu;
    DWORD pingIntervalMs = 60000;       // pause between probes while Connected
    int hideSeconds;                    // 0 means the status window never hides itself
    int statusX;                        // remembered position of the status window;
    int statusY;                        //   0 means none
    char upSoundPath[kTextBufferSize];  // empty means no sound
    char downSoundPath[kTextBufferSize];
    char configPath[kTextBufferSize];   // empty when the path did not fit: no settings file
    UINT_PTR countdownTimer;
    int countdownRemaining;
    EchoCounters echo;                  // monitor thread only
    LinkState shownState = Broken;      // the state the icon shows; UI thread only
};

extern AppState g_app;
