// The scale of one window or one monitor, asked the way per-monitor-aware
// programs ask it (Windows 10 1607 and later); where those calls are
// missing, the system's scale, the one at logon.
#pragma once

#include <windows.h>

UINT windowDpi(HWND window);
// The window rect for that client rect, with the frame of that scale.
void adjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
int systemMetricForDpi(int metric, UINT dpi);
// The scale of the monitor that shows the task bar, where the tray icon is
// drawn; 0 where it cannot be told.
UINT taskbarDpi();
