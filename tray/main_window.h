// The hidden main window: owner of the notification icon, receiver of the
// menu's commands and of the monitor's state messages.
#pragma once

#include <windows.h>

// Every 10 minutes while watching: the moment the program last knew it was
// running is kept beside the log.
enum : UINT_PTR { kLastKnownTimer = 4 };

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
