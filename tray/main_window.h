// The hidden main window: owner of the notification icon, receiver of the
// menu's commands and of the monitor's state messages.
#pragma once

#include <windows.h>

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
