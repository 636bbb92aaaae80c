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
// Years run from 1601 to 9999: 32-bit arithmetic suffices.
int64_t daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const int era = year / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<int64_t>(era) * 146097 + dayOfEra - 719468;
}

} // namespace

bool parseLogMoment(const char* text, std::size_t length, int64_t& utc)
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

namespace {

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
    if (row.kind == RowKind::NotWatching) {
        for (int reason = 0; reason < kNotWatchingReasons; ++reason)
            if (sameText(cause, causeLength, notWatchingReasonName(static_cast<NotWatching>(reason))))
                return true;
        return false;
    }
    // Connected carries only the way it goes out; Broken, where the break is.
    for (int c = NoNetwork; c < kBreakCauses; ++c)
        if (sameText(cause, causeLength, breakCauseName(static_cast<BreakCause>(c)))) {
            row.cause = static_cast<BreakCause>(c);
            return (row.kind == RowKind::Connected) == (c == ThroughProxy);
        }
    return false;
}

// Either header Lintora writes, without its line end.
bool isLogHeader(const char* line, std::size_t length)
{
    for (const char* header : {kLogHeader, kThreeColumnLogHeader})
        if (length + 2 == std::strlen(header) && std::memcmp(line, header, length) == 0)
            return true;
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
    return parseLogMoment(line, length, row.utc) && parseFields(line + 26, length - 26, row);
}

std::size_t readLogRows(const char* text, std::size_t length, LogRow* rows, std::size_t room, std::size_t& skipped)
{
    return readRecordRows(text, length, isLogHeader, parseLogRow, rows, room, skipped);
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

const LegendEntry kStripLegend[kLegendEntries] = {
    {StripShade::Up, "up", "connected"},
    {StripShade::Poor, "poor hour", "connected, a poor hour (slow, or losing replies)"},
    {StripShade::DownFar, "down past this PC",
     "broken past this computer (router, provider, internet, names, the proxy's way out)"},
    {StripShade::DownNear, "down at this PC", "broken near it (no network, a sign-in page)"},
    {StripShade::Down, "down", "broken, cause not logged"},
    {StripShade::NotWatched, "not watched", "not watched"},
};

StripShade stripShade(const Period& period)
{
    if (period.kind == RowKind::Connected)
        return StripShade::Up;
    if (period.kind == RowKind::NotWatching)
        return StripShade::NotWatched;
    switch (period.cause) {
    case NoNetwork:
    case SignInPage:
    case ProxySignIn:
        return StripShade::DownNear;
    case RouterSilent:
    case ProviderDown:
    case NamesUnanswered:
    case InternetSilent:
    case ProxyCut:
        return StripShade::DownFar;
    default:
        return StripShade::Down;
    }
}

const Period* periodAt(const Period* periods, std::size_t count, int64_t moment)
{
    // The periods follow one another: the first whose end lies past the moment.
    std::size_t low = 0, high = count;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (periods[middle].to <= moment)
            low = middle + 1;
        else
            high = middle;
    }
    return low < count && periods[low].from <= moment ? &periods[low] : nullptr;
}

namespace {

bool beginsOutage(const Period* periods, std::size_t i)
{
    return periods[i].kind == RowKind::Broken && (i == 0 || periods[i - 1].kind != RowKind::Broken);
}

// The outage that begins with period `first`: its end, its side and its
// longest cause.
Outage outageFrom(const Period* periods, std::size_t count, std::size_t first, int64_t now)
{
    Outage outage = {periods[first].from, periods[first].to, false, BreakSide::Unknown, periods[first].cause};
    int64_t sideSeconds[3] = {}, longestCause = -1;
    std::size_t k = first;
    for (; k < count && periods[k].kind == RowKind::Broken; ++k) {
        const int64_t seconds = periods[k].to - periods[k].from;
        sideSeconds[static_cast<int>(sideOfCause(periods[k].cause))] += seconds;
        if (seconds > longestCause) {
            longestCause = seconds;
            outage.cause = periods[k].cause;
        }
        outage.to = periods[k].to;
    }
    outage.ongoing = k == count && outage.to >= now;
    const int64_t beyond = sideSeconds[static_cast<int>(BreakSide::BeyondRouter)];
    const int64_t near = sideSeconds[static_cast<int>(BreakSide::ThisSide)];
    outage.side = beyond > near ? BreakSide::BeyondRouter : near > 0 ? BreakSide::ThisSide : BreakSide::Unknown;
    return outage;
}

} // namespace

BreakSide sideOfCause(BreakCause cause)
{
    switch (cause) {
    case ProviderDown:
    case InternetSilent:
    case NamesUnanswered:
        return BreakSide::BeyondRouter;
    case NoNetwork:
    case RouterSilent:
    case SignInPage:
    case ProxyCut:
    case ProxySignIn:
        return BreakSide::ThisSide;
    default:
        return BreakSide::Unknown;
    }
}

const char* breakSideName(BreakSide side)
{
    return side == BreakSide::BeyondRouter ? "beyond the router"
           : side == BreakSide::ThisSide   ? "this side"
                                           : "side unknown";
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
        if (sideOfCause(p.cause) == BreakSide::BeyondRouter)
            figures.downBeyond += within;
        if (!beginsOutage(periods, i) || p.from < from || p.from >= to)
            continue;
        const Outage outage = outageFrom(periods, count, i, to);
        ++figures.outages;
        figures.outagesBeyond += outage.side == BreakSide::BeyondRouter;
        if (outage.to - outage.from > figures.longest)
            figures.longest = outage.to - outage.from;
    }
    return figures;
}

bool outageBeginningAt(const Period* periods, std::size_t count, std::size_t i, int64_t now, Outage& outage)
{
    if (i >= count || !beginsOutage(periods, i))
        return false;
    outage = outageFrom(periods, count, i, now);
    return true;
}

std::size_t outagesBetween(const Period* periods, std::size_t count, int64_t from, int64_t to, int64_t now,
                           Outage* outages, std::size_t room)
{
    std::size_t made = 0;
    for (std::size_t i = 0; i < count && made < room && periods[i].from < to; ++i)
        if (periods[i].from >= from && outageBeginningAt(periods, count, i, now, outages[made]))
            ++made;
    return made;
}

int uptimeTenths(const DayFigures& figures)
{
    if (figures.watched <= 0)
        return -1;
    // Rounded down: an outage never reads as 100.0 %.
    // In double, exact here: the quotient is at most 1000 and any fraction of
    // it at least 1/watched, far above the rounding; no 64-bit division code.
    const double up = static_cast<double>(figures.watched - figures.down);
    return static_cast<int>(up * 1000 / static_cast<double>(figures.watched));
}

void formatDuration(char* text, std::size_t size, int64_t total)
{
    // Up to 68 years in 32 bits; beyond, it reads as that.
    const unsigned long seconds = total < 0 ? 0 : total > 0x7FFFFFFF ? 0x7FFFFFFFUL : static_cast<unsigned long>(total);
    copyText(text, size, "");
    appendDecimal(text, size, static_cast<long>(seconds / 3600));
    for (const unsigned long part : {seconds / 60 % 60, seconds % 60}) {
        appendText(text, size, part < 10 ? ":0" : ":");
        appendDecimal(text, size, static_cast<long>(part));
    }
}

void formatUptime(char* text, std::size_t size, const DayFigures& figures)
{
    const int tenths = uptimeTenths(figures);
    if (tenths < 0) {
        copyText(text, size, "-");
        return;
    }
    copyText(text, size, "");
    appendDecimal(text, size, tenths / 10);
    appendText(text, size, ".");
    appendDecimal(text, size, tenths % 10);
    appendText(text, size, " %");
}

void formatSummaryLine(char* text, std::size_t size, const char* label, const DayFigures& figures, const char* tail)
{
    copyText(text, size, label);
    appendText(text, size, "  uptime ");
    char uptime[16];
    formatUptime(uptime, sizeof uptime, figures);
    appendText(text, size, uptime);
    appendText(text, size, "  outages ");
    appendDecimal(text, size, figures.outages);
    char duration[24];
    formatDuration(duration, sizeof duration, figures.down);
    appendText(text, size, "  down ");
    appendText(text, size, duration);
    formatDuration(duration, sizeof duration, figures.longest);
    appendText(text, size, "  longest ");
    appendText(text, size, duration);
    appendText(text, size, "  beyond the router: outages ");
    appendDecimal(text, size, figures.outagesBeyond);
    formatDuration(duration, sizeof duration, figures.downBeyond);
    appendText(text, size, "  down ");
    appendText(text, size, duration);
    if (tail[0] != '\0')
        appendText(text, size, "  ");
    appendText(text, size, tail);
    appendText(text, size, "\r\n");
}
