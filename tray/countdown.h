// The status window's auto-hide countdown. Portable: no <windows.h>.
#pragma once

#include <cstddef>

enum : std::size_t { kOkButtonTextSize = 20 };

// "OK" while no countdown runs, "OK[n]" with the seconds left while one does.
void formatOkButtonText(char (&text)[kOkButtonTextSize], bool running, int remaining);

// One tick of the countdown. Returns true when this tick ends it and the
// window is to hide; a countdown already at 0 does nothing.
bool countdownTick(int& remaining);
