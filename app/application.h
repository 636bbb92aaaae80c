// Start-up, the single-instance guard and the message loop.
#pragma once

#include <windows.h>

// True when another copy holds the machine-wide mutex, or it cannot be had.
bool isAnotherInstanceRunning(const char* productName);
// The program: returns the process exit code.
int runApplication(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
