// The clock of the connection's history: moments as 100-nanosecond units
// since 1601 (UTC), and their local time for the log and the tip.
#pragma once

#include <windows.h>

#include <cstdint>

#include "history/history_text.h"
#include "history/history_week.h"

ULONGLONG utcNow();
// Milliseconds of a clock that only goes forward, sleep included, whatever
// is done to the time of day (GetTickCount64; GetTickCount before Vista),
// and how many have passed since an earlier reading of it.
ULONGLONG monotonicMs();
ULONGLONG monotonicMsSince(ULONGLONG earlier);
// Whole seconds from one moment to a later one; 0 if the clock went back.
long long wholeSecondsBetween(ULONGLONG earlier, ULONGLONG later);
// The local time of a moment, with its distance from UTC.
void localTimeOf(ULONGLONG utc, LocalTime& time, SYSTEMTIME& local);

// A moment as seconds since 1970-01-01 UTC, the history's unit, and back.
int64_t unixSecondsOf(ULONGLONG utc);
ULONGLONG utcOfUnixSeconds(int64_t seconds);
// The local date and time of a moment given in seconds since 1970.
SYSTEMTIME localTimeOfSeconds(int64_t seconds);
// The moment, in seconds since 1970, at which a local date begins: its
// midnight by the time zone's rules for that date, so that a day across a
// change of daylight saving time has 23 or 25 hours.
int64_t localMidnight(const SYSTEMTIME& date);
// The date some days after (or before, for a negative count) a date.
SYSTEMTIME daysAfter(const SYSTEMTIME& date, int days);

// The user's time zone as the history's days use it, and today's date.
extern const LocalClock kUserClock;
CalendarDay today();
SYSTEMTIME systemTimeOf(const CalendarDay& day);
