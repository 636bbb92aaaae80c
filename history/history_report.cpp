#include "history/history_report.h"

#include <cstring>
#include <initializer_list>

#include "core/text.h"

namespace {

void write(const TextWriter& writer, const char* text)
{
    writer.write(text, std::strlen(text), writer.context);
}

void writeNumber(const TextWriter& writer, long value)
{
    char text[24] = "";
    appendDecimal(text, value);
    write(writer, text);
}

void writeDuration(const TextWriter& writer, int64_t seconds)
{
    char text[24];
    formatDuration(text, sizeof text, seconds);
    write(writer, text);
}

// "2026-12-07 16:05:09", local time.
void formatLocalMoment(char (&text)[32], const LocalClock& clock, int64_t moment)
{
    const LocalTime t = clock.localTimeOf(moment, clock.context);
    char date[16];
    formatIsoDate(date, {t.year, t.month, t.day});
    copyText(text, date);
    appendText(text, " ");
    appendTwoDigits(text, t.hour);
    appendText(text, ":");
    appendTwoDigits(text, t.minute);
    appendText(text, ":");
    appendTwoDigits(text, t.second);
}

// Calls `each` with every outage that began within the days, in order.
template <typename Each> void forEachOutage(const HistoryFacts& facts, Each each)
{
    if (facts.dayCount <= 0)
        return;
    const int64_t from = facts.days[0].start, to = facts.days[facts.dayCount - 1].end;
    Outage outage;
    for (std::size_t i = 0; i < facts.records.periodCount && facts.records.periods[i].from < to; ++i)
        if (facts.records.periods[i].from >= from &&
            outageBeginningAt(facts.records.periods, facts.records.periodCount, i, facts.now, outage))
            each(outage);
}

std::size_t outageCount(const HistoryFacts& facts)
{
    std::size_t count = 0;
    forEachOutage(facts, [&count](const Outage&) { ++count; });
    return count;
}

void writeOutageLine(const TextWriter& writer, const LocalClock& clock, const Outage& outage)
{
    char moment[32];
    formatLocalMoment(moment, clock, outage.from);
    write(writer, moment);
    write(writer, "  ");
    if (outage.ongoing) {
        write(writer, "going on           ");
    } else {
        formatLocalMoment(moment, clock, outage.to);
        write(writer, moment);
    }
    write(writer, "  ");
    writeDuration(writer, outage.to - outage.from);
    write(writer, "  ");
    write(writer, breakSideName(outage.side));
    write(writer, "  ");
    write(writer, outage.cause != NoCause ? breakCauseText(outage.cause) : "cause not logged");
    write(writer, "\r\n");
}

} // namespace

DayFigures totalOf(const DayLayout* days, int count)
{
    DayFigures total = {};
    for (int i = 0; i < count; ++i) {
        const DayFigures& day = days[i].figures;
        total.watched += day.watched;
        total.down += day.down;
        total.outages += day.outages;
        total.downBeyond += day.downBeyond;
        total.outagesBeyond += day.outagesBeyond;
        if (day.longest > total.longest)
            total.longest = day.longest;
    }
    return total;
}

DayQuality totalQualityOf(const HistoryFacts& facts)
{
    return facts.dayCount > 0 ? qualityBetween(facts.records.hours, facts.records.hourCount, facts.days[0].start,
                                               facts.days[facts.dayCount - 1].end)
                              : qualityBetween(nullptr, 0, 0, 0);
}

void writeSummary(const TextWriter& writer, const HistoryFacts& facts, const char* totalLabel)
{
    write(writer, "Lintora ");
    write(writer, facts.version);
    write(writer, ": connection history\r\nProbes ");
    for (int host = 0; host < facts.hostCount; ++host) {
        write(writer, host > 0 ? ", " : "");
        write(writer, facts.hosts[host]);
    }
    write(writer, " every ");
    writeNumber(writer, static_cast<long>(facts.intervalSeconds));
    write(writer, " s while connected, every 5 s while broken\r\n");
    char line[224], date[16], quality[48];
    for (int day = 0; day < facts.dayCount; ++day) {
        formatIsoDate(date, facts.days[day].date);
        formatQualityText(quality, sizeof quality, facts.days[day].quality);
        formatSummaryLine(line, sizeof line, date, facts.days[day].figures, quality);
        write(writer, line);
    }
    formatQualityText(quality, sizeof quality, totalQualityOf(facts));
    formatSummaryLine(line, sizeof line, totalLabel, totalOf(facts.days, facts.dayCount), quality);
    write(writer, line);
    write(writer, outageCount(facts) > 0 ? "Outages\r\n" : "Outages: none\r\n");
    forEachOutage(facts, [&](const Outage& outage) { writeOutageLine(writer, *facts.clock, outage); });
}

void formatReportName(char (&name)[64], const CalendarDay& first, const CalendarDay& last)
{
    char date[16];
    copyText(name, "Lintora report ");
    formatIsoDate(date, first);
    appendText(name, date);
    appendText(name, " to ");
    formatIsoDate(date, last);
    appendText(name, date);
    appendText(name, ".html");
}

void downBeyondByHour(const HistoryFacts& facts, int64_t (&seconds)[24])
{
    for (int64_t& hour : seconds)
        hour = 0;
    if (facts.dayCount <= 0)
        return;
    // Whole hours from the first midnight, each put under the hour its local
    // clock shows: on the days the clocks change, one hour is missing or twice.
    const int64_t from = facts.days[0].start, to = facts.days[facts.dayCount - 1].end;
    std::size_t first = 0;
    for (int64_t hour = from; hour < to; hour += 3600) {
        const int64_t hourEnd = hour + 3600 < to ? hour + 3600 : to;
        while (first < facts.records.periodCount && facts.records.periods[first].to <= hour)
            ++first;
        int64_t down = 0;
        for (std::size_t i = first; i < facts.records.periodCount && facts.records.periods[i].from < hourEnd; ++i) {
            const Period& p = facts.records.periods[i];
            if (p.kind != RowKind::Broken || sideOfCause(p.cause) != BreakSide::BeyondRouter)
                continue;
            const int64_t start = p.from > hour ? p.from : hour, end = p.to < hourEnd ? p.to : hourEnd;
            if (end > start)
                down += end - start;
        }
        const int local = facts.clock->localTimeOf(hour, facts.clock->context).hour;
        if (local >= 0 && local < 24)
            seconds[local] += down;
    }
}

namespace {

// ---- the report's page ----

const char* shadeColour(StripShade shade)
{
    // The History window's colours.
    switch (shade) {
    case StripShade::Up:
        return "#1f9a34";
    case StripShade::Down:
        return "#a01010";
    case StripShade::DownFar:
        return "#6e0a0a";
    case StripShade::DownNear:
        return "#e06c6c";
    case StripShade::Poor:
        return "#f0a800";
    default:
        return "#c8c8c8";
    }
}

// Calls `each` with the index of every poor hour among the rows within [from, to).
template <typename Each> void forEachPoorHour(const HistoryRecords& records, int64_t from, int64_t to, Each each)
{
    for (std::size_t i = 0; i < records.hourCount; ++i)
        if (records.hours[i].hour >= from && records.hours[i].hour < to &&
            isPoorRow(records.hours, records.hourCount, i))
            each(i);
}

// Text in a page: the few characters HTML gives a meaning escaped.
void writeEscaped(const TextWriter& writer, const char* text)
{
    for (; *text != '\0'; ++text) {
        const char c = *text;
        const char* escaped = c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : c == '"' ? "&quot;" : nullptr;
        if (escaped != nullptr)
            write(writer, escaped);
        else
            writer.write(text, 1, writer.context);
    }
}

// The user's note, typed in any language, as UTF-8.
void writeEscapedWide(const TextWriter& writer, const wchar_t* text)
{
    for (; text != nullptr && *text != 0; ++text) {
        uint32_t c = static_cast<uint16_t>(*text);
        if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(*++text) - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;  // half a pair
        char bytes[5] = {};
        if (c < 0x80) {
            bytes[0] = static_cast<char>(c);
            writeEscaped(writer, bytes);
            continue;
        }
        int length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        for (int i = length - 1; i > 0; --i, c >>= 6)
            bytes[i] = static_cast<char>(0x80 | (c & 0x3F));
        bytes[0] = static_cast<char>((length == 2 ? 0xC0 : length == 3 ? 0xE0 : 0xF0) | c);
        writer.write(bytes, static_cast<std::size_t>(length), writer.context);
    }
}

void writeCell(const TextWriter& writer, const char* text)
{
    write(writer, "<td>");
    writeEscaped(writer, text);
    write(writer, "</td>");
}

void writeNumberCell(const TextWriter& writer, long number)
{
    write(writer, "<td>");
    writeNumber(writer, number);
    write(writer, "</td>");
}

void writeDurationCell(const TextWriter& writer, int64_t seconds)
{
    write(writer, "<td>");
    writeDuration(writer, seconds);
    write(writer, "</td>");
}

// "12.5 h" of watched time, to a tenth of an hour.
void writeHours(const TextWriter& writer, int64_t seconds)
{
    const long tenths = static_cast<long>(seconds / 360);
    char text[24] = "";
    appendDecimal(text, tenths / 10);
    appendText(text, ".");
    appendDecimal(text, tenths % 10);
    appendText(text, " h");
    writeCell(writer, text);
}

// A strip of 1000 units wide: grey where nothing was watched, the periods,
// Broken last so that a short outage shows, and the hours 6, 12 and 18
// marked where the day's own clock had them.
void writeStrip(const TextWriter& writer, const HistoryFacts& facts, const DayLayout& day)
{
    enum : int { kUnits = 1000 };
    write(writer, "<svg class=\"strip\" viewBox=\"0 0 1000 10\" preserveAspectRatio=\"none\" role=\"img\">");
    const int64_t shownEnd = day.end < facts.now ? day.end : facts.now;
    const auto rect = [&](int64_t from, int64_t to, const char* colour) {
        const int left = stripOffset(day, from, kUnits);
        int width = stripOffset(day, to, kUnits) - left;
        if (width < 1)
            width = 1;
        write(writer, "<rect x=\"");
        writeNumber(writer, left);
        write(writer, "\" width=\"");
        writeNumber(writer, width);
        write(writer, "\" height=\"10\" fill=\"");
        write(writer, colour);
        write(writer, "\"/>");
    };
    if (shownEnd > day.start)
        rect(day.start, shownEnd, shadeColour(StripShade::NotWatched));
    const auto periods = [&](bool broken, int64_t from, int64_t to, const char* colour) {
        for (std::size_t i = 0; i < facts.records.periodCount && facts.records.periods[i].from < to; ++i) {
            const Period& p = facts.records.periods[i];
            if (p.to <= from || (p.kind == RowKind::Broken) != broken || p.kind == RowKind::NotWatching)
                continue;
            rect(p.from > from ? p.from : from, p.to < to ? p.to : to, colour != nullptr ? colour : shadeColour(stripShade(p)));
        }
    };
    periods(false, day.start, shownEnd, nullptr);
    // Amber within the green where an hour was poor; outages stay on top.
    forEachPoorHour(facts.records, day.start, shownEnd, [&](std::size_t i) {
        const int64_t hour = facts.records.hours[i].hour, end = hour + 3600 < shownEnd ? hour + 3600 : shownEnd;
        for (std::size_t k = 0; k < facts.records.periodCount && facts.records.periods[k].from < end; ++k) {
            const Period& p = facts.records.periods[k];
            if (p.kind == RowKind::Connected && p.to > hour)
                rect(p.from > hour ? p.from : hour, p.to < end ? p.to : end, shadeColour(StripShade::Poor));
        }
    });
    periods(true, day.start, shownEnd, nullptr);
    for (int64_t mark : day.hourMarks) {
        write(writer, "<rect x=\"");
        writeNumber(writer, stripOffset(day, mark, kUnits));
        write(writer, "\" width=\"1\" height=\"10\" fill=\"#fff\" opacity=\".7\"/>");
    }
    write(writer, "</svg>");
}

void writeLegend(const TextWriter& writer)
{
    write(writer, "<p class=\"legend\">");
    for (const LegendEntry& entry : kStripLegend) {
        write(writer, "<span><i style=\"background:");
        write(writer, shadeColour(entry.shade));
        write(writer, "\"></i>");
        write(writer, entry.explained);
        write(writer, "</span> ");
    }
    write(writer, "Marks at 6, 12 and 18 o'clock.</p>\n");
}

void writeFiguresRow(const TextWriter& writer, const char* label, const DayFigures& figures, const DayQuality& quality)
{
    write(writer, "<tr>");
    writeCell(writer, label);
    writeHours(writer, figures.watched);
    char text[24];
    formatUptime(text, sizeof text, figures);
    writeCell(writer, text);
    writeNumberCell(writer, figures.outages);
    writeDurationCell(writer, figures.down);
    writeDurationCell(writer, figures.longest);
    writeNumberCell(writer, figures.outagesBeyond);
    writeDurationCell(writer, figures.downBeyond);
    formatRoundTrip(text, sizeof text, quality.medianMs);
    writeCell(writer, text);
    formatLoss(text, sizeof text, quality.lostTenths);
    writeCell(writer, text);
    write(writer, "</tr>\n");
}

const char kStyle[] =
    "<style>\n"
    "body{font:10.5pt/1.4 sans-serif;color:#222;max-width:52em;margin:0 auto;padding:1em}\n"
    "h1{font-size:1.5em;margin:.2em 0}h2{font-size:1.15em;margin:1.2em 0 .4em}\n"
    "table{border-collapse:collapse;width:100%}th,td{padding:.15em .35em;text-align:right;"
    "border-bottom:1px solid #ddd;vertical-align:middle}\n"
    "th{font-weight:600;border-bottom:1px solid #888}th:first-child,td:first-child{text-align:left;"
    "white-space:nowrap}\n"
    "td{white-space:nowrap}td.text,th.text{text-align:left}td.text{white-space:normal}\n"
    ".strips td:last-child{width:70%}.strip{display:block;width:100%;height:1em}\n"
    ".legend span{display:inline-block;max-width:100%;margin-right:.8em}"
    ".legend i{display:inline-block;width:.9em;height:.9em;vertical-align:-.1em;margin-right:.3em;"
    "border:1px solid #888}\n"
    ".note{border:1px solid #888;padding:.4em .6em}\n"
    ".hours svg{display:block;width:100%;height:9em}\n"
    // Ten columns of figures: smaller on a narrow window (or at 200 % zoom), and
    // where even that is too wide they scroll on their own, not the page.
    ".wide{overflow-x:auto}\n"
    "@media (max-width:50em){table{font-size:.85em}th,td{padding:.15em .2em}}\n"
    "@page{size:portrait;margin:14mm}\n"
    "@media print{body{max-width:none;padding:0;font-size:9pt}.wide{overflow:visible}"
    "tr,svg{break-inside:avoid}h2{break-after:avoid}}\n"
    "</style>\n";

void writeHead(const TextWriter& writer, const HistoryFacts& facts)
{
    char first[16], last[16];
    formatIsoDate(first, facts.days[0].date);
    formatIsoDate(last, facts.days[facts.dayCount - 1].date);
    write(writer, "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                  "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Internet "
                  "connection report ");
    write(writer, first);
    write(writer, " to ");
    write(writer, last);
    write(writer, "</title>\n");
    write(writer, kStyle);
    write(writer, "</head>\n<body>\n<h1>Internet connection report</h1>\n<p>From ");
    write(writer, first);
    write(writer, " to ");
    write(writer, last);
    write(writer, " (");
    writeNumber(writer, facts.dayCount);
    write(writer, " days), in local time. Made by Lintora ");
    writeEscaped(writer, facts.version);
    write(writer, ", which probes ");
    for (int host = 0; host < facts.hostCount; ++host) {
        write(writer, host == 0 ? "" : host + 1 == facts.hostCount ? " and " : ", ");
        writeEscaped(writer, facts.hosts[host]);
    }
    write(writer, " every ");
    writeNumber(writer, static_cast<long>(facts.intervalSeconds));
    write(writer, " s while connected and every 5 s while broken (echo, or a connection to port 443 where echo "
                  "is dropped), and places each break: beyond the router (the provider, the internet, names) or "
                  "on this side of it (no network, the router, a sign-in page, the proxy).</p>\n");
}

void writeNote(const TextWriter& writer, const wchar_t* note)
{
    if (note == nullptr || note[0] == 0)
        return;
    write(writer, "<p class=\"note\">");
    writeEscapedWide(writer, note);
    write(writer, "</p>\n");
}

void writeStrips(const TextWriter& writer, const HistoryFacts& facts)
{
    static const char* const kWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    write(writer, "<h2>Each day, hour by hour</h2>\n<table class=\"strips\">\n");
    for (int i = 0; i < facts.dayCount; ++i) {
        char date[16];
        formatIsoDate(date, facts.days[i].date);
        write(writer, "<tr><td>");
        write(writer, kWeekdays[weekdayOf(facts.days[i].date)]);
        write(writer, " ");
        write(writer, date);
        write(writer, "</td><td>");
        writeStrip(writer, facts, facts.days[i]);
        write(writer, "</td></tr>\n");
    }
    write(writer, "</table>\n");
    writeLegend(writer);
}

void writeFigures(const TextWriter& writer, const HistoryFacts& facts)
{
    write(writer, "<h2>Figures</h2>\n<p>Hours watched count only the time Lintora ran: time not watched is "
                  "neither up nor down.</p>\n<div class=\"wide\"><table>\n<tr><th>Day</th><th>Watched</th>"
                  "<th>Uptime</th><th>Outages</th><th>Down</th><th>Longest</th><th>Outages beyond the router</th>"
                  "<th>Down beyond the router</th><th>Round trip</th><th>Lost</th></tr>\n");
    for (int i = 0; i < facts.dayCount; ++i) {
        char date[16];
        formatIsoDate(date, facts.days[i].date);
        writeFiguresRow(writer, date, facts.days[i].figures, facts.days[i].quality);
    }
    writeFiguresRow(writer, "Total", totalOf(facts.days, facts.dayCount), totalQualityOf(facts));
    write(writer, "</table></div>\n<p>Round trip: the median of the probes' echo replies (or of the handshakes where "
                  "echo is dropped); lost: the share of echo requests never answered, while connected.</p>\n");
}

// The hours that were poor: slow, or losing replies, while connected.
void writePoorHours(const TextWriter& writer, const HistoryFacts& facts)
{
    write(writer, "<h2>Poor hours</h2>\n");
    const int64_t from = facts.days[0].start, to = facts.days[facts.dayCount - 1].end;
    int poor = 0;
    forEachPoorHour(facts.records, from, to, [&poor](std::size_t) { ++poor; });
    if (poor == 0) {
        write(writer, "<p>None: every hour connected had a median round trip under 300 ms (and under twice the "
                      "week before's where it was 100 ms or more) and lost under 2 % of its echo requests.</p>\n");
        return;
    }
    write(writer, "<p>An hour is poor where it lost at least 2 % of at least 20 echo requests (2 at least), where "
                  "its median round trip was 300 ms or more, or 100 ms or more and twice the median of the 7 days "
                  "before.</p>\n<table>\n<tr><th>Hour</th><th>Round trip</th><th>95 % within</th><th>Lost</th>"
                  "<th>Requests</th></tr>\n");
    forEachPoorHour(facts.records, from, to, [&](std::size_t i) {
        const QualityRow& row = facts.records.hours[i];
        char text[32];
        formatLocalMoment(text, *facts.clock, row.hour);
        text[16] = '\0';  // to the minute
        write(writer, "<tr>");
        writeCell(writer, text);
        for (int value : {row.figures.medianMs, row.figures.p95Ms}) {
            formatRoundTrip(text, sizeof text, value);
            writeCell(writer, text);
        }
        formatLoss(text, sizeof text, row.figures.lostTenths);
        writeCell(writer, text);
        copyText(text, "");
        appendDecimal(text, static_cast<long>(row.figures.requests));
        writeCell(writer, text);
        write(writer, "</tr>\n");
    });
    write(writer, "</table>\n");
}

void writeOutages(const TextWriter& writer, const HistoryFacts& facts)
{
    write(writer, "<h2>Outages</h2>\n");
    if (outageCount(facts) == 0) {
        write(writer, "<p>None.</p>\n");
        return;
    }
    write(writer, "<table>\n<tr><th>Began</th><th>Ended</th><th>Length</th><th class=\"text\">Side</th>"
                  "<th class=\"text\">Where the break was</th></tr>\n");
    forEachOutage(facts, [&](const Outage& outage) {
        char moment[32], length[24];
        write(writer, "<tr>");
        formatLocalMoment(moment, *facts.clock, outage.from);
        writeCell(writer, moment);
        if (outage.ongoing) {
            writeCell(writer, "going on");
        } else {
            formatLocalMoment(moment, *facts.clock, outage.to);
            writeCell(writer, moment);
        }
        formatDuration(length, sizeof length, outage.to - outage.from);
        writeCell(writer, length);
        write(writer, "<td class=\"text\">");
        write(writer, breakSideName(outage.side));
        write(writer, "</td><td class=\"text\">");
        write(writer, outage.cause != NoCause ? breakCauseText(outage.cause) : "cause not logged");
        write(writer, "</td></tr>\n");
    });
    write(writer, "</table>\n");
}

// 24 bars, the tallest the most down time in any hour of the day.
void writeHourProfile(const TextWriter& writer, const HistoryFacts& facts)
{
    int64_t seconds[24];
    downBeyondByHour(facts, seconds);
    int64_t most = 0;
    for (int64_t s : seconds)
        most = s > most ? s : most;
    write(writer, "<h2>Down time beyond the router by hour of the day</h2>\n<p>All ");
    writeNumber(writer, facts.dayCount);
    write(writer, " days together; the tallest bar is ");
    writeDuration(writer, most);
    write(writer, ".</p>\n<div class=\"hours\"><svg viewBox=\"0 0 960 130\" role=\"img\">");
    for (int hour = 0; hour < 24; ++hour) {
        const long height = most > 0 ? static_cast<long>(seconds[hour] * 100 / most) : 0;
        write(writer, "<rect x=\"");
        writeNumber(writer, hour * 40 + 4);
        write(writer, "\" y=\"");
        writeNumber(writer, 105 - height);
        write(writer, "\" width=\"32\" height=\"");
        writeNumber(writer, height);
        write(writer, "\" fill=\"#6e0a0a\"><title>");
        writeNumber(writer, hour);
        write(writer, ":00 ");
        writeDuration(writer, seconds[hour]);
        write(writer, "</title></rect><text x=\"");
        writeNumber(writer, hour * 40 + 20);
        write(writer, "\" y=\"125\" text-anchor=\"middle\" font-size=\"16\">");
        writeNumber(writer, hour);
        write(writer, "</text>");
    }
    write(writer, "<rect x=\"0\" y=\"105\" width=\"960\" height=\"1\" fill=\"#888\"/></svg></div>\n");
}

} // namespace

void writeReport(const TextWriter& writer, const HistoryFacts& facts, const wchar_t* note)
{
    if (facts.dayCount <= 0)
        return;
    writeHead(writer, facts);
    writeNote(writer, note);
    writeStrips(writer, facts);
    writeFigures(writer, facts);
    writeOutages(writer, facts);
    writePoorHours(writer, facts);
    writeHourProfile(writer, facts);
    write(writer, "</body>\n</html>\n");
}
