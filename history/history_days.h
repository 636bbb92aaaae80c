// The connection's history read back from the log: its rows, the periods
// they stand for, and what each day held (uptime, outages, down time). The
// log is a file other programs edit (a spreadsheet may have saved it), so
// every line is checked, and a line Lintora did not write is skipped and
// counted. Portable: no <windows.h>; the platform gives the local days.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/link_state.h"

enum class RowKind { Connected, Broken, NotWatching };

struct LogRow {
    int64_t utc;              // the row's moment, seconds since 1970-01-01 UTC, by its own offset
    RowKind kind;
    BreakCause cause;         // while Broken
    long long secondsBefore;  // how long the row before lasted; -1 where the column is empty
};

// One line without its line end: false for the header and for any line
// Lintora did not write ("#" lines, damaged lines, another program's).
bool parseLogRow(const char* line, std::size_t length, LogRow& row);
// "2026-12-07T16:05:09+01:00" (25 characters and more) as UTC seconds, by its own offset.
bool parseLogMoment(const char* text, std::size_t length, int64_t& utc);

// A stretch of time in one state. Not watched is a kind of its own.
struct Period {
    int64_t from, to;  // [from, to), UTC seconds
    RowKind kind;
    BreakCause cause;
};

// Reads a record's text, lines ended by LF or CR LF, into rows in file
// order, at most `room`: empty lines and those `isHeader` knows are passed
// over, and every line `parse` refuses is skipped and counted in `skipped`.
template <typename Row>
std::size_t readRecordRows(const char* text, std::size_t length, bool (*isHeader)(const char*, std::size_t),
                           bool (*parse)(const char*, std::size_t, Row&), Row* rows, std::size_t room,
                           std::size_t& skipped)
{
    std::size_t count = 0;
    for (std::size_t start = 0, end; start < length; start = end + 1) {
        const char* newline = static_cast<const char*>(std::memchr(text + start, '\n', length - start));
        end = newline != nullptr ? static_cast<std::size_t>(newline - text) : length;
        const std::size_t lineLength = end > start && text[end - 1] == '\r' ? end - start - 1 : end - start;
        const char* line = text + start;
        if (lineLength == 0 || isHeader(line, lineLength))
            continue;
        if (count < room && parse(line, lineLength, rows[count]))
            ++count;
        else
            ++skipped;
    }
    return count;
}

// The log's rows; Lintora's own header lines are passed over.
std::size_t readLogRows(const char* text, std::size_t length, LogRow* rows, std::size_t room, std::size_t& skipped);

// The periods of rows in file order, each until the next row: where the
// next row's moment lies before the end its duration gives (a clock set
// back), the next row starts at that end, so that nothing counts twice. The
// last row lasts until `now` (a Not watching row, unwatched). Returns how
// many periods were written, at most `room`.
std::size_t periodsOfRows(const LogRow* rows, std::size_t count, int64_t now, Period* periods, std::size_t room);

// How a period is drawn in the day's strip: Connected; Broken, by where the
// break is (beyond the computer: router, provider, internet, names, the
// proxy's way out; near it: no network, sign-in pages; unknown in logs older
// than causes); or not watched. The strips keep these colours whatever the
// side a provider is told.
enum class StripShade { Up, Down, DownFar, DownNear, NotWatched, Poor };  // Poor: up, in a poor hour
StripShade stripShade(const Period& period);

// The strips' legend, in its order: the window's short label of each shade,
// and the report's that explains it.
struct LegendEntry {
    StripShade shade;
    const char* label;
    const char* explained;
};
enum : int { kLegendEntries = 6 };
extern const LegendEntry kStripLegend[kLegendEntries];

// The period in force at a moment, or null where the log says nothing of it
// (before its first row, from `now` on).
const Period* periodAt(const Period* periods, std::size_t count, int64_t moment);

// Whose side a break was on, for a provider: beyond the router (the
// provider, the internet, names), or on this side (no network, the router,
// a sign-in page, the proxy); unknown for rows of logs older than causes.
enum class BreakSide { Unknown, ThisSide, BeyondRouter };
BreakSide sideOfCause(BreakCause cause);
// "beyond the router", "this side", "side unknown".
const char* breakSideName(BreakSide side);

// What one stretch of time held, from the watched time only.
struct DayFigures {
    int64_t watched;     // seconds Connected or Broken
    int64_t down;        // seconds Broken
    int outages;         // runs of Broken rows that began within the stretch
    int64_t longest;     // the longest of those runs, whole
    // Of those, beyond the router: the seconds Broken there, and the
    // outages whose time was mostly there.
    int64_t downBeyond;
    int outagesBeyond;
};

// The figures of [from, to). An outage is a run of Broken periods, whatever
// their causes, up to the next Connected or Not watching.
DayFigures figuresBetween(const Period* periods, std::size_t count, int64_t from, int64_t to);

// One outage, whole: from its first Broken row to the row after its last
// (until now while it goes on), on the side where most of its time was, and
// the cause it held longest.
struct Outage {
    int64_t from, to;
    bool ongoing;
    BreakSide side;
    BreakCause cause;
};

// Whether period `i` begins an outage; if so, the outage, whole.
bool outageBeginningAt(const Period* periods, std::size_t count, std::size_t i, int64_t now, Outage& outage);

// The outages that began within [from, to), in order, at most `room`;
// returns how many. One that runs past the end is listed whole, once.
std::size_t outagesBetween(const Period* periods, std::size_t count, int64_t from, int64_t to, int64_t now,
                           Outage* outages, std::size_t room);

// Uptime in tenths of a percent of the watched time (995 for 99.5 %),
// rounded down; -1 where nothing was watched.
int uptimeTenths(const DayFigures& figures);

// "99.5 %", or "-" where nothing was watched.
void formatUptime(char* text, std::size_t size, const DayFigures& figures);

// "3:05:09" for hours, minutes and seconds.
void formatDuration(char* text, std::size_t size, int64_t seconds);

// One line of the summary: the label (a date, or "Week"), then uptime,
// outages, down time and the longest outage, then the outages and the down
// time beyond the router, then the tail (the round trip and loss), CR LF ended.
void formatSummaryLine(char* text, std::size_t size, const char* label, const DayFigures& figures,
                       const char* tail = "");
