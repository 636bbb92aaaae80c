// "connection-log.csv" beside config.ini: one row for each state the icon
// shows, so that outages can be shown to a provider. Written by the user
// interface thread, a row at a time, the file opened and closed each time.
#pragma once

#include <windows.h>

#include "core/app_state.h"
#include "history/history_text.h"

// The log's full path; false where there is no settings folder (no log then).
bool connectionLogPath(wchar_t (&path)[kTextBufferSize]);

// Appends the row of a state (or a cause of Broken) shown now;
// secondsInPrevious is how long the row before lasted, or kNoPreviousState
// for the first of a run.
// A row that cannot be written now (the file busy, read-only, the disk full)
// is kept, with its time, and written before the next one that can be.
void logShownState(LinkState state, BreakCause cause, long long secondsInPrevious, ULONGLONG utcNow);

// Appends the row that says nothing is watched from now on, and why; the
// last-known moment is forgotten (the run did not end unseen).
void logNotWatching(NotWatching reason, long long secondsInPrevious, ULONGLONG utcNow);

// Keeps the moment the program last knew it was running, and how long the
// state shown had lasted then, in a small file beside the log, rewritten in
// place: at each row and every 10 minutes (kLastKnownEveryMs) between.
enum : UINT { kLastKnownEveryMs = 600000 };
void noteRunning(long long secondsInState, ULONGLONG utcNow);

// At the start: where the last run ended without its Not watching row (a
// power cut, a crash), writes it for the moment that run last knew it was
// running, with the reason "unknown". True when it did, with that moment.
bool logRunEndedUnseen(ULONGLONG& endedAt);

// Whether rows wait to be written; the main window then retries once a minute.
bool logHasKeptRows();
// Writes the rows kept, if the file can be written now.
void retryKeptRows();

// Opens the log in the program the system has for .csv, starting it with
// its header line where there is none yet. The file opened is the one the
// rows went to, wherever the system put it (see writtenLogPath).
void openConnectionLog();

// The text of the set-aside file, then of the log, as one, in memory from
// the process heap that the caller frees (HeapFree); null, with a length of
// 0, where neither can be read. Rows still kept are written first.
char* readWholeLog(DWORD& length);

// "connection-quality.csv" beside the log, kept and set aside as the log is:
// appends an hour's row (see history/quality.h); and its text read back
// with the set-aside file's before it, as readWholeLog.
void logQualityRow(const char* row);
char* readWholeQualityRecord(DWORD& length);

// The full path of the log as the system names the file itself: where the
// system redirects writes (a program folder under Program Files, virtualized
// into the user's VirtualStore), the file really written. False when there is
// no log file to open.
bool writtenLogPath(wchar_t (&path)[kTextBufferSize]);
