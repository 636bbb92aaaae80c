// The small modeless window that tells the user of each change of state.
#pragma once

#include <windows.h>

// Creates the window hidden (destroying an earlier one), captioned "Lintora?".
void openStatusWindow();
// Destroys the window, if any: status messages are off.
void closeStatusWindow();
// Sets the message and shows the window; nothing while messages are off.
// A message of more lines or longer than one line of the template widens and
// heightens the window to hold it.
void showStatusMessage(const char* text);
// Sets the message without showing the window or raising it.
void setStatusMessage(const char* text);
INT_PTR CALLBACK statusDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void saveStatusWindowPosition(HWND window);
