#include "history/history_days.h"

#include <cstring>
#include <initializer_list>

#include "core/text.h"
#include "history/history_text.h"

namespace {

// Reads `count` digits at `at`; false where any is not one.
bool digits(const char* text, std::size_t at, std::size_t count, int& value)
{
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// "2026-12-07T16:05:09+01:00" as UTC seconds, by its own offset.
bool parseMoment(const char* text, std::size_t length, int64_t& utc)
{
    if (length < 25 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':' ||
        (text[19] != '+' && text[19] != '-') || text[22] != ':')
        return false;
    int year, month, day, hour, minute, second, offsetHours, offsetMinutes;
    if (!digits(text, 0, 4, year) || !digits(text, 5, 2, month) || !digits(text, 8, 2, day) ||
        !digits(text, 11, 2, hour) || !digits(text, 14, 2, minute) || !digits(text, 17, 2, second) ||
        !digits(text, 20, 2, offsetHours) || !digits(text, 23, 2, offsetMinutes))
        return false;
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59 || offsetHours > 14 || offsetMinutes > 59)
        return false;
    const int offset = (offsetHours * 60 + offsetMinutes) * (text[19] == '-' ? -1 : 1);
    utc = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset * 60;
    return true;
}

bool sameText(const char* text, std::size_t length, const char* expected)
{
    return std::strlen(expected) == length && std::memcmp(text, expected, length) == 0;
}

// The fields after the moment: "State,seconds[,cause]".
bool parseFields(const char* text, std::size_t length, LogRow& row)
{
    const char* comma = static_cast<const char*>(std::memchr(text, ',', length));
    if (comma == nullptr)
        return false;
    const std::size_t stateLength = static_cast<std::size_t>(comma - text);
    if (sameText(text, stateLength, "Connected"))
        row.kind = RowKind::Connected;
    else if (sameText(text, stateLength, "Broken"))
        row.kind = RowKind::Broken;
    else if (sameText(text, stateLength, "Not watching"))
        row.kind = RowKind::NotWatching;
    else
        return false;
    std::size_t at = stateLength + 1;
    long long seconds = 0;
    const std::size_t secondsFrom = at;
    for (; at < length && text[at] >= '0' && text[at] <= '9'; ++at) {
        seconds = seconds * 10 + (text[at] - '0');
        if (seconds > 2147483647LL)
            return false;
    }
    row.secondsBefore = at == secondsFrom ? -1 : seconds;
    row.cause = NoCause;
    if (at == length)
        return true;  // a three-column row
    if (text[at] != ',')
        return false;
    const char* cause = text + at + 1;
    const std::size_t causeLength = length - at - 1;
    if (causeLength == 0)
        return true;
    if (row.kind == RowKind::Connected)
        return false;
    if (row.kind == RowKind::NotWatching) {
        for (int reason = 0; reason < kNotWatchingReasons; ++reason)
            if (sameText(cause, causeLength, notWatchingReasonName(static_cast<NotWatching>(reason))))
                return true;
        return false;
    }
    for (int c = NoNetwork; c < kBreakCauses; ++c)
        if (sameText(cause, causeLength, breakCauseName(static_cast<BreakCause>(c)))) {
            row.cause = static_cast<BreakCause>(c);
            return true;
        }
    return false;
}

// How much of [from, to) lies within [low, high).
int64_t overlap(int64_t from, int64_t to, int64_t low, int64_t high)
{
    const int64_t start = from > low ? from : low;
    const int64_t end = to < high ? to : high;
    return end > start ? end - start : 0;
}

} // namespace

bool parseLogRow(const char* line, std::size_t length, LogRow& row)
{
    if (length < 27 || length > 200 || line[25] != ',')
        return false;
    return parseMoment(line, length, row.utc) && parseFields(line + 26, length - 26, row);
}

std::size_t periodsOfRows(const LogRow* rows, std::size_t count, int64_t now, Period* periods, std::size_t room)
{
    std::size_t made = 0;
    int64_t start = count > 0 ? rows[0].utc : 0;
    for (std::size_t i = 0; i < count && made < room; ++i) {
        int64_t end = now;
        if (i + 1 < count) {
            end = rows[i + 1].utc;
            const long long lasted = rows[i + 1].secondsBefore;
            if (lasted >= 0 && end < start + lasted)
                end = start + lasted;  // the clock was set back: the durations place the next row
        }
        if (end < start)
            end = start;
        periods[made++] = {start, end, rows[i].kind, rows[i].cause};
        start = end;
    }
    return made;
}

DayFigures figuresBetween(const Period* periods, std::size_t count, int64_t from, int64_t to)
{
    DayFigures figures = {};
    for (std::size_t i = 0; i < count; ++i) {
        const Period& p = periods[i];
        if (p.kind == RowKind::NotWatching)
            continue;
        const int64_t within = overlap(p.from, p.to, from, to);
        figures.watched += within;
        if (p.kind != RowKind::Broken)
            continue;
        figures.down += within;
        const bool begins = i == 0 || periods[i - 1].kind != RowKind::Broken;
        if (!begins || p.from < from || p.from >= to)
            continue;
        int64_t end = p.to;
        for (std::size_t k = i + 1; k < count && periods[k].kind == RowKind::Broken; ++k)
            end = periods[k].to;
        ++figures.outages;
        if (end - p.from > figures.longest)
            figures.longest = end - p.from;
    }
    return figures;
}

int uptimeTenths(const DayFigures& figures)
{
    if (figures.watched <= 0)
        return -1;
    // Rounded down: an outage never reads as 100.0 %.
    const int64_t up = figures.watched - figures.down;
    return static_cast<int>(up * 1000 / figures.watched);
}

void formatDuration(char* text, std::size_t size, int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    copyText(text, size, "");
    appendDecimal(text, size, static_cast<long>(seconds / 3600));
    for (const int64_t part : {seconds / 60 % 60, seconds % 60}) {
        appendText(text, size, part < 10 ? ":0" : ":");
        appendDecimal(text, size, static_cast<long>(part));
    }
}

void formatSummaryLine(char* text, std::size_t size, const char* label, const DayFigures& figures)
{
    copyText(text, size, label);
    appendText(text, size, "  uptime ");
    const int tenths = uptimeTenths(figures);
    if (tenths < 0) {
        appendText(text, size, "-");
    } else {
        appendDecimal(text, size, tenths / 10);
        appendText(text, size, ".");
        appendDecimal(text, size, tenths % 10);
        appendText(text, size, " %");
    }
    appendText(text, size, "  outages ");
    appendDecimal(text, size, figures.outages);
    char duration[24];
    formatDuration(duration, sizeof duration, figures.down);
    appendText(text, size, "  down ");
    appendText(text, size, duration);
    formatDuration(duration, sizeof duration, figures.longest);
    appendText(text, size, "  longest ");
    appendText(text, size, duration);
    appendText(text, size, "\r\n");
}
