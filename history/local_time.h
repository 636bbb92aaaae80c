// The clock of the connection's history: moments as 100-nanosecond units
// since 1601 (UTC), and their local time for the log and the tip.
#pragma once

#include <windows.h>

#include "history/history_text.h"

ULONGLONG utcNow();
// Milliseconds of a clock that only goes forward, sleep included, whatever
// is done to the time of day (GetTickCount64; GetTickCount before Vista).
ULONGLONG monotonicMs();
// Whole seconds from one moment to a later one; 0 if the clock went back.
long long wholeSecondsBetween(ULONGLONG earlier, ULONGLONG later);
// The local time of a moment, with its distance from UTC.
void localTimeOf(ULONGLONG utc, LocalTime& time, SYSTEMTIME& local);
