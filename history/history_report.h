// What the history tells a provider: the summary that Copy Summary puts on
// the clipboard, and the report of a month, one self-contained HTML page (no
// script, no outside link, no image file) that prints on A4 and Letter.
// Portable: no <windows.h>; the text goes to a writer the caller gives.
#pragma once

#include <cstddef>
#include <cstdint>

#include "history/history_days.h"
#include "history/history_week.h"

struct TextWriter {
    void (*write)(const char* text, std::size_t length, void* context);
    void* context;
};

// What both tell: the days, their outages, and how the program probed.
struct HistoryFacts {
    const char* version;            // "1.0.0"
    const char* const* hosts;       // the probe hosts
    int hostCount;
    uint32_t intervalSeconds;       // between probes while connected
    const DayLayout* days;          // in order
    int dayCount;
    HistoryRecords records;         // the log's periods until now, and the hours' quality
    int64_t now;
    const LocalClock* clock;
};

// Their quality together.
DayQuality totalQualityOf(const HistoryFacts& facts);

// The days' figures together.
DayFigures totalOf(const DayLayout* days, int count);

// "Lintora 1.0.0: connection history", how it probes, a line per day and one
// for the whole ("Week"), each ending with its round trip and loss, then
// every outage that began within the days, a line each: its start and end
// (local time, "going on" for one that lasts), its length, whose side and
// the cause's text. CR LF ended lines.
void writeSummary(const TextWriter& writer, const HistoryFacts& facts, const char* totalLabel);

// The report's name: "Lintora report 2026-11-10 to 2026-12-09.html".
void formatReportName(char (&name)[64], const CalendarDay& first, const CalendarDay& last);

// The report: the period, the version and how it probes, the user's note
// (UTF-16, as typed), a strip of each day with its legend (poor hours in
// amber), the day figures and the totals split by side with the hours
// watched, the round trip and loss, the outages, the poor hours, and the
// down time beyond the router by hour of the day.
void writeReport(const TextWriter& writer, const HistoryFacts& facts, const wchar_t* note);

// The seconds of down time beyond the router in each hour of the local day
// (0 to 23) over the days.
void downBeyondByHour(const HistoryFacts& facts, int64_t (&seconds)[24]);
