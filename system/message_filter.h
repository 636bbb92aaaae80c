// Letting a message through User Interface Privilege Isolation: a program
// run with raised rights gets no message from a program with fewer (such as
// "TaskbarCreated" from the shell) unless it asks for it. The functions came
// with Vista and 7, so they are looked up when the program runs.
#pragma once

#include <windows.h>

struct MessageFilterFunctions {
    BOOL(WINAPI* changeForWindow)(HWND, UINT, DWORD, void*);  // ChangeWindowMessageFilterEx, 7 and later
    BOOL(WINAPI* changeForProcess)(UINT, DWORD);              // ChangeWindowMessageFilter, Vista
};

// What this system's user32 has; null members where it has not (XP).
MessageFilterFunctions findMessageFilterFunctions();

// Lets message reach the window: for that window alone where the system can,
// else for the process; nothing where neither function exists.
void letMessageThrough(HWND window, UINT message, const MessageFilterFunctions& functions);
