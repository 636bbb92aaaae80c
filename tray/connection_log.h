// "connection-log.csv" beside config.ini: one row for each state the icon
// shows, so that outages can be shown to a provider. Written by the user
// interface thread, a row at a time, the file opened and closed each time.
#pragma once

#include <windows.h>

#include "core/app_state.h"
#include "tray/history_text.h"

// The log's full path; false where there is no settings folder (no log then).
bool connectionLogPath(wchar_t (&path)[kTextBufferSize]);

// Appends the row of a state shown now; secondsInPrevious is how long the
// state shown before lasted, or kNoPreviousState for the first of a run.
// A file that cannot be written is left alone, silently.
void logShownState(LinkState state, long long secondsInPrevious, ULONGLONG utcNow);

// Opens the log in the program the system has for .csv, starting it with
// its header line where there is none yet.
void openConnectionLog();
