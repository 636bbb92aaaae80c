// The History window: the last seven days of the connection log, a strip of
// each day's hours and its figures, a week at a time back through all that
// the log and its set-aside file hold, and a summary for the clipboard.
// A thin shell over history/history_days.
#pragma once

#include <windows.h>

// Reads the log and shows its last seven days; brings an open window forward
// with the log read again.
void openHistoryWindow();
// Reads the log again and draws the week shown, if the window is open: a
// new row was written, or a minute has passed.
void refreshHistoryWindow();
// Closes the window, if open, remembering its position.
void closeHistoryWindow();
// The window's keys, before the message is dispatched: Page Up and Page Down
// page a week, Ctrl+C copies the summary, and Tab, Enter and Esc work as in a
// dialog. True where the message was handled.
bool handleHistoryWindowMessage(MSG& message);
