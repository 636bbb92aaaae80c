// The days the History window and the report show: their dates, their
// bounds by the time zone's rules (23 or 25 hours on the days the clocks
// change), where their hours fall, and their figures; and the texts the
// window shows of them. Portable: no <windows.h>; the platform gives the
// time zone, tests give their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "history/history_days.h"
#include "history/history_text.h"
#include "history/quality.h"

// A date of the Gregorian calendar.
struct CalendarDay {
    int year, month, day;
};

// Days since 1970-01-01, and back.
int64_t dayNumber(const CalendarDay& day);
CalendarDay calendarDayOf(int64_t dayNumber);
CalendarDay calendarDaysAfter(const CalendarDay& day, int days);
// 0 for Monday to 6 for Sunday.
int weekdayOf(const CalendarDay& day);
// "2026-12-09".
void formatIsoDate(char (&text)[16], const CalendarDay& day);

// The time zone, by its rules for each date.
struct LocalClock {
    // The moment (UTC seconds since 1970) at which an hour of a local date
    // begins: hour 0 is its midnight, 24 the next day's.
    int64_t (*hourBegins)(const CalendarDay& day, int hour, void* context);
    // The local date and time of a moment.
    LocalTime (*localTimeOf)(int64_t moment, void* context);
    void* context;
};

// The hours marked on a day's strip, as the day's own clock shows them.
enum : int { kMarkedHours = 3 };
extern const int kMarkedHour[kMarkedHours];  // 6, 12, 18

struct DayLayout {
    CalendarDay date;
    int64_t start, end;                 // its local midnight, and the next
    int64_t hourMarks[kMarkedHours];    // when 6:00, 12:00 and 18:00 came that day
    DayFigures figures;
    DayQuality quality;
};

// What the log and the quality record hold, read back.
struct HistoryRecords {
    const Period* periods;
    std::size_t periodCount;
    const QualityRow* hours;
    std::size_t hourCount;
};

// `count` days from `first`, with their figures and their quality.
void layOutDays(const LocalClock& clock, const CalendarDay& first, int count, const HistoryRecords& records,
                DayLayout* days);

// Where a moment of a day lies across its strip, `width` pixels wide: by
// the day's own length, so that on a 23-hour day 6:00 is at 5/23 of it.
int stripOffset(const DayLayout& day, int64_t moment, int width);

// The tooltip over a period: "FROM – TO" (TO "now" where it lasts until
// now), and under it the state and where the break was, or why nothing was
// watched. FROM and TO are written by the platform, in the user's words.
// Over an hour that was timed, its round trip (median and p95) and its loss
// on a third line, and whether it was poor.
enum : std::size_t { kPeriodTipSize = 256 };
void formatPeriodTip(wchar_t (&tip)[kPeriodTipSize], const wchar_t* from, const wchar_t* to, const Period& period,
                     const QualityRow* hour = nullptr, bool poor = false);
