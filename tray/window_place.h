// Where the program's windows (the status window, the History) are put when
// they show: the one rule for both.
#pragma once

#include <windows.h>

// At the place remembered for it (its left and top edges; both 0: none
// remembered), whole on the monitor nearest that place: the monitor may be
// gone, or the display's scale may have grown since. With none remembered,
// centred on the monitor it is on. Neither its size nor its order changes.
void placeWindow(HWND window, int rememberedX, int rememberedY);
