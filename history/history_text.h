// The texts of the connection's history: the rows of "connection-log.csv"
// and the notification icon's tip with the time its state began.
// Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/link_state.h"

// A moment in local time, with the local time's distance from UTC.
struct LocalTime {
    int year, month, day, hour, minute, second;
    int utcOffsetMinutes;  // east of Greenwich positive
};

enum : std::size_t { kLogRowSize = 96, kTipSize = 128 };
enum : uint32_t { kMaxLogBytes = 1u << 20 };
enum : long long { kNoPreviousState = -1 };

// The distance of local time from UTC, in 100-nanosecond units, as whole
// minutes: rounded to the nearest, east and west alike.
int utcOffsetMinutes(long long localMinusUtcUnits);

// Milliseconds from one reading of the monotonic clock to a later one. A
// 32-bit count (GetTickCount, before Vista) wraps every 49.7 days: its
// difference is taken in 32 bits, which survives one wrap.
uint64_t millisecondsBetween(uint64_t earlier, uint64_t later, bool count32);

// The first line of a new log, CR LF included; and that of logs written
// before the cause column, which keep their three columns until they are set
// aside.
extern const char kLogHeader[];
extern const char kThreeColumnLogHeader[];

// Appends "2026-12-07T16:05:09+01:00": the moment as the log and the quality
// record write it.
void appendLogMoment(char* text, std::size_t size, const LocalTime& time);

// "2026-12-07T16:05:09+01:00,Broken,3600,router" and CR LF; the seconds are
// empty for kNoPreviousState, the cause for NoCause.
void formatLogRow(char (&row)[kLogRowSize], const LocalTime& time, LinkState state, long long secondsInPrevious,
                  BreakCause cause);

// Why nothing was watched from a moment on: the program ended by Exit, the
// session ended, the machine went to sleep, or the run ended without a word
// (a power cut, a crash), found at the next start.
enum class NotWatching { Exit, Shutdown, Sleep, Unknown };
enum : int { kNotWatchingReasons = 4 };

// The log's word for a reason: "exit", "shutdown", "sleep", "unknown".
const char* notWatchingReasonName(NotWatching reason);

// "2026-12-07T18:00:00+01:00,Not watching,3600,sleep" and CR LF.
void formatNotWatchingRow(char (&row)[kLogRowSize], const LocalTime& time, long long secondsInPrevious,
                          NotWatching reason);

// The moment a run last knew it was running (100 ns units since 1601, UTC),
// and how long the state shown had lasted then, as the small file beside the
// log holds them: "MOMENT SECONDS" and CR LF.
enum : std::size_t { kLastKnownSize = 48 };
void formatLastKnown(char (&text)[kLastKnownSize], uint64_t utc, long long secondsInState);
// False for anything else (a file cut short, another program's).
bool parseLastKnown(const char* text, std::size_t size, uint64_t& utc, long long& secondsInState);

// Whether a file's first bytes are the three-column header.
bool startsWithThreeColumnHeader(const char* start, std::size_t size);

// A row as a three-column log wants it: without its cause.
void dropCauseColumn(char (&row)[kLogRowSize]);

// Whether a file of fileBytes must first be set aside so that appending
// appendBytes keeps it within kMaxLogBytes.
bool logNeedsRotation(uint64_t fileBytes, uint64_t appendBytes);

// "since 16:05" for a moment of today, "since 5 Dec 16:05" for an earlier
// day: date and clock as the user's locale writes them, in any language,
// hence wide.
void formatSince(wchar_t (&text)[kTipSize], bool today, const wchar_t* date, const wchar_t* clock);

// The state's text whole, then on a second line the cause's text followed by
// ", " and since where the whole fits the tip's 128 characters; without a
// cause, as much of since as fits. The state's text alone when both are empty.
// Then " · " and the round trip ("23 ms") where since came whole and it
// fits whole too. The state's and the cause's texts are ASCII.
void formatTip(wchar_t (&tip)[kTipSize], const char* stateText, const char* cause, const wchar_t* since,
               const wchar_t* roundTrip = L"");
