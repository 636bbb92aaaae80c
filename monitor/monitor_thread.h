// The background thread that probes the network for the life of the process.
#pragma once

#include <windows.h>

// The thread body: reports the first state found and every change to the main
// window as WM_LINKSTATE. It touches no window, sound or menu itself.
DWORD WINAPI monitorLoop(LPVOID);
