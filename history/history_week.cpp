#include "history/history_week.h"

#include "core/text.h"

const int kMarkedHour[kMarkedHours] = {6, 12, 18};

int64_t dayNumber(const CalendarDay& day)
{
    // Counted from 1 March 0000, so that the leap day ends each year.
    const int year = day.year - (day.month <= 2);
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (day.month + (day.month > 2 ? -3 : 9)) + 2) / 5 + day.day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<int64_t>(era) * 146097 + dayOfEra - 719468;
}

CalendarDay calendarDayOf(int64_t number)
{
    // The reverse of dayNumber; 32-bit arithmetic within an era.
    number += 719468;
    const int64_t era = (number >= 0 ? number : number - 146096) / 146097;
    const int dayOfEra = static_cast<int>(number - era * 146097);
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int monthIndex = (5 * dayOfYear + 2) / 153;
    CalendarDay day;
    day.day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    day.month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    day.year = static_cast<int>(era * 400) + yearOfEra + (day.month <= 2);
    return day;
}

CalendarDay calendarDaysAfter(const CalendarDay& day, int days)
{
    return calendarDayOf(dayNumber(day) + days);
}

int weekdayOf(const CalendarDay& day)
{
    // 1970-01-01 was a Thursday.
    const int64_t shifted = (dayNumber(day) + 3) % 7;
    return static_cast<int>(shifted < 0 ? shifted + 7 : shifted);
}

void formatIsoDate(char (&text)[16], const CalendarDay& day)
{
    copyText(text, "");
    appendDecimal(text, day.year);
    appendText(text, "-");
    appendTwoDigits(text, day.month);
    appendText(text, "-");
    appendTwoDigits(text, day.day);
}

void layOutDays(const LocalClock& clock, const CalendarDay& first, int count, const HistoryRecords& records,
                DayLayout* days)
{
    int64_t start = clock.hourBegins(first, 0, clock.context);
    for (int i = 0; i < count; ++i) {
        DayLayout& day = days[i];
        day.date = calendarDaysAfter(first, i);
        day.start = start;
        day.end = start = clock.hourBegins(calendarDaysAfter(first, i + 1), 0, clock.context);
        for (int mark = 0; mark < kMarkedHours; ++mark)
            day.hourMarks[mark] = clock.hourBegins(day.date, kMarkedHour[mark], clock.context);
        day.figures = figuresBetween(records.periods, records.periodCount, day.start, day.end);
        day.quality = qualityBetween(records.hours, records.hourCount, day.start, day.end);
    }
}

int stripOffset(const DayLayout& day, int64_t moment, int width)
{
    if (day.end <= day.start || moment <= day.start)
        return 0;
    if (moment >= day.end)
        return width;
    // A day is at most 25 hours: its seconds times a strip's pixels (up to
    // 20,000) fit 32 bits.
    return static_cast<int>(moment - day.start) * width / static_cast<int>(day.end - day.start);
}

void formatPeriodTip(wchar_t (&tip)[kPeriodTipSize], const wchar_t* from, const wchar_t* to, const Period& period,
                     const QualityRow* hour, bool poor)
{
    copyText(tip, from);
    appendText(tip, L" \x2013 ");
    appendText(tip, to);
    char state[96];
    copyText(state, period.kind == RowKind::Connected ? "Connected"
                    : period.kind == RowKind::Broken  ? "Broken"
                                                      : "Not watching");
    if (period.kind == RowKind::Broken && period.cause != NoCause) {
        appendText(state, ": ");
        appendText(state, breakCauseText(period.cause));
        appendText(state, " (");
        appendText(state, breakSideName(sideOfCause(period.cause)));
        appendText(state, ")");
    } else if (period.kind == RowKind::Connected && period.cause == ThroughProxy) {
        appendText(state, ", ");
        appendText(state, breakCauseText(ThroughProxy));
    }
    wchar_t wide[96];
    widenAsciiText(wide, state);
    appendText(tip, L"\n");
    appendText(tip, wide);
    if (hour == nullptr || period.kind != RowKind::Connected)
        return;
    const QualityFigures& q = hour->figures;
    char line[96] = "This hour: round trip ", part[24];
    formatRoundTrip(part, sizeof part, q.medianMs);
    appendText(line, part);
    if (q.p95Ms >= 0) {
        formatRoundTrip(part, sizeof part, q.p95Ms);
        appendText(line, " (95 % within ");
        appendText(line, part);
        appendText(line, ")");
    }
    appendText(line, ", lost ");
    formatLoss(part, sizeof part, q.lostTenths);
    appendText(line, part);
    if (poor)
        appendText(line, " (poor)");
    widenAsciiText(wide, line);
    appendText(tip, L"\n");
    appendText(tip, wide);
}
