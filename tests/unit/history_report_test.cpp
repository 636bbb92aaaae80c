// The days laid out by a time zone's own rules, the summary and the month's
// report, over a seeded log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "history/history_report.h"

namespace {

const int64_t kHour = 3600;

// A central European zone: UTC+1, and UTC+2 from 2026-03-29 01:00 UTC to
// 2026-10-25 01:00 UTC.
const int64_t kSummerFrom = 1774746000, kSummerTo = 1792890000;

int offsetHours(int64_t utc)
{
    return utc >= kSummerFrom && utc < kSummerTo ? 2 : 1;
}

int64_t hourBegins(const CalendarDay& day, int hour, void*)
{
    const int64_t local = dayNumber(day) * 86400 + hour * kHour;
    // The earlier of the two readings that agree with the zone: a local time
    // of a day the clocks change exists once here (at 6, 12, 18 and midnight).
    for (int offset : {2, 1})
        if (offsetHours(local - offset * kHour) == offset)
            return local - offset * kHour;
    return local - kHour;
}

LocalTime localTimeOf(int64_t utc, void*)
{
    const int offset = offsetHours(utc);
    const int64_t local = utc + offset * kHour;
    const CalendarDay day = calendarDayOf(local / 86400);
    const int seconds = static_cast<int>(local % 86400);
    return {day.year, day.month, day.day, seconds / 3600, seconds / 60 % 60, seconds % 60, offset * 60};
}

const LocalClock kClock = {hourBegins, localTimeOf, nullptr};

// A log made of "HH:MM DAY STATE [CAUSE]" steps, local times of the zone.
struct Seeded {
    std::vector<LogRow> rows;
    std::vector<Period> periods;
};

Seeded seed(const std::vector<std::string>& lines, int64_t now)
{
    Seeded log;
    for (const std::string& line : lines) {
        LogRow row;
        EXPECT_TRUE(parseLogRow(line.data(), line.size(), row)) << line;
        log.rows.push_back(row);
    }
    log.periods.resize(log.rows.size());
    log.periods.resize(periodsOfRows(log.rows.data(), log.rows.size(), now, log.periods.data(), log.periods.size()));
    return log;
}

void append(const char* text, std::size_t length, void* context)
{
    static_cast<std::string*>(context)->append(text, length);
}

TEST(HistoryCalendar, DatesAndWeekdaysAcrossMonthsYearsAndLeapDays)
{
    EXPECT_EQ(dayNumber({1970, 1, 1}), 0);
    EXPECT_EQ(dayNumber({2026, 12, 7}), 20794);
    for (int64_t n : {-719468LL, -1LL, 0LL, 11016LL, 20794LL, 2932896LL}) {
        const CalendarDay day = calendarDayOf(n);
        EXPECT_EQ(dayNumber(day), n);
    }
    const CalendarDay leap = calendarDaysAfter({2028, 2, 28}, 1);
    EXPECT_EQ(leap.month * 100 + leap.day, 229);
    const CalendarDay newYear = calendarDaysAfter({2026, 12, 9}, 23);
    EXPECT_EQ(newYear.year * 10000 + newYear.month * 100 + newYear.day, 20270101);
    EXPECT_EQ(weekdayOf({2026, 12, 9}), 2) << "a Wednesday";
    char date[16];
    formatIsoDate(date, calendarDaysAfter({2026, 12, 9}, -30));
    EXPECT_STREQ(date, "2026-11-09");
}

TEST(HistoryWeek, HourMarksFallByEachDaysOwnHoursOn23And25HourDays)
{
    DayLayout days[3];
    layOutDays(kClock, {2026, 3, 28}, 3, {}, days);
    EXPECT_EQ(days[0].end - days[0].start, 24 * kHour);
    EXPECT_EQ(days[1].end - days[1].start, 23 * kHour) << "the clocks go forward";
    enum : int { kWidth = 2300 };
    EXPECT_EQ(stripOffset(days[1], days[1].hourMarks[0], kWidth), 500) << "6:00 at 5/23";
    EXPECT_EQ(stripOffset(days[1], days[1].hourMarks[1], kWidth), 1100) << "12:00 at 11/23";
    EXPECT_EQ(stripOffset(days[0], days[0].hourMarks[1], kWidth), 1150) << "a plain day's noon halfway";

    layOutDays(kClock, {2026, 10, 25}, 1, {}, days);
    EXPECT_EQ(days[0].end - days[0].start, 25 * kHour) << "the clocks go back";
    EXPECT_EQ(stripOffset(days[0], days[0].hourMarks[0], 2500), 700) << "6:00 at 7/25";
    EXPECT_EQ(stripOffset(days[0], days[0].hourMarks[2], 2500), 1900) << "18:00 at 19/25";
}

// A seeded month: 30 days to 2026-12-09, a provider's outage every evening
// of the last week 20:00 to 20:30, a cable pulled one morning, one outage
// over midnight and one still going on.
struct Month : ::testing::Test {
    const int64_t now = hourBegins({2026, 12, 9}, 21, nullptr) + 15 * 60;  // 21:15 local
    Seeded log;
    std::vector<QualityRow> hours;
    DayLayout days[30];
    const char* const hosts[2] = {"one.example", "two.example"};
    HistoryFacts facts = {};

    void SetUp() override
    {
        std::vector<std::string> lines = {"2026-11-10T00:00:00+01:00,Connected,,"};
        for (int day = 3; day <= 8; ++day) {
            const std::string date = "2026-12-0" + std::to_string(day);
            lines.push_back(date + "T20:00:00+01:00,Broken,1,provider");
            lines.push_back(date + "T20:30:00+01:00,Connected,1800,");
        }
        lines.insert(lines.begin() + 1, {"2026-11-20T08:00:00+01:00,Broken,1,no network",
                                         "2026-11-20T08:12:00+01:00,Connected,720,",
                                         "2026-11-25T23:40:00+01:00,Broken,1,internet",
                                         "2026-11-26T00:40:00+01:00,Connected,3600,"});
        lines.push_back("2026-12-09T21:00:00+01:00,Broken,1,provider");
        log = seed(lines, now);
        // Every hour of the month timed at 40 ms, but 2026-12-08 14:00: 150 ms and 10 % lost.
        for (int64_t hour = hourBegins({2026, 11, 10}, 0, nullptr); hour < now; hour += 3600)
            hours.push_back({hour, {240, 240, 0, 40, 45, 60}});
        for (QualityRow& row : hours)
            if (row.hour == hourBegins({2026, 12, 8}, 14, nullptr))
                row.figures = {240, 216, 100, 150, 180, 210};
        const HistoryRecords records = {log.periods.data(), log.periods.size(), hours.data(), hours.size()};
        layOutDays(kClock, {2026, 11, 10}, 30, records, days);
        facts = {"1.0.0", hosts, 2, 60, days, 30, records, now, &kClock};
    }
};

TEST_F(Month, TheSummaryGivesTheSplitFiguresAndEveryOutageOnce)
{
    std::string summary;
    writeSummary({append, &summary}, facts, "Total");
    EXPECT_EQ(summary.rfind("Lintora 1.0.0: connection history\r\nProbes one.example, two.example every 60 s", 0), 0u);
    EXPECT_NE(summary.find("\r\n2026-12-03  uptime 97.9 %  outages 1  down 0:30:00  longest 0:30:00"
                           "  beyond the router: outages 1  down 0:30:00  round trip 40 ms  lost 0.0 %\r\n"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("\r\n2026-11-20  uptime 99.1 %  outages 1  down 0:12:00  longest 0:12:00"
                           "  beyond the router: outages 0  down 0:00:00  round trip 40 ms  lost 0.0 %\r\n"),
              std::string::npos);
    EXPECT_NE(summary.find("\r\n2026-12-08  uptime 97.9 %  outages 1  down 0:30:00  longest 0:30:00"
                           "  beyond the router: outages 1  down 0:30:00  round trip 40 ms  lost 0.4 %\r\n"),
              std::string::npos)
        << "24 of 5,760 lost that day";
    EXPECT_NE(summary.find("\r\nTotal  uptime 99.3 %  outages 9  down 4:27:00  longest 1:00:00"
                           "  beyond the router: outages 8  down 4:15:00  round trip 40 ms  lost 0.0 %\r\n"),
              std::string::npos);
    EXPECT_NE(summary.find("\r\nOutages\r\n2026-11-20 08:00:00  2026-11-20 08:12:00  0:12:00  this side  "
                           "No network connection\r\n"),
              std::string::npos);
    EXPECT_NE(summary.find("2026-11-25 23:40:00  2026-11-26 00:40:00  1:00:00  beyond the router  "
                           "The internet does not answer\r\n"),
              std::string::npos)
        << "over midnight, listed once";
    EXPECT_NE(summary.find("2026-12-09 21:00:00  going on             0:15:00  beyond the router  "),
              std::string::npos);
    const std::string list = summary.substr(summary.find("Outages\r\n") + 9);
    size_t lines = 0;
    for (size_t at = 0; (at = list.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines;
    EXPECT_EQ(lines, 9u) << "one line for each outage";
}

TEST_F(Month, TheReportHoldsItsFiguresOutagesProfileAndNoteAndNothingFromOutside)
{
    std::string page;
    writeReport({append, &page}, facts, L"Zo\u00eb M\u00fcller, customer 4711 <ticket #88>");
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("From 2026-11-10 to 2026-12-09 (30 days)"), std::string::npos);
    EXPECT_NE(page.find("one.example and two.example every 60 s"), std::string::npos);
    EXPECT_NE(page.find("Zo\xc3\xab M\xc3\xbcller, customer 4711 &lt;ticket #88&gt;"), std::string::npos)
        << "the note in UTF-8, escaped";
    EXPECT_NE(page.find("<tr><td>2026-12-03</td><td>24.0 h</td><td>97.9 %</td><td>1</td><td>0:30:00</td>"
                        "<td>0:30:00</td><td>1</td><td>0:30:00</td><td>40 ms</td><td>0.0 %</td></tr>"),
              std::string::npos);
    EXPECT_NE(page.find("<tr><td>Total</td><td>717.2 h</td><td>99.3 %</td><td>9</td><td>4:27:00</td>"
                        "<td>1:00:00</td><td>8</td><td>4:15:00</td><td>40 ms</td><td>0.0 %</td></tr>"),
              std::string::npos)
        << "the hours watched: 29 days and 21:15";
    EXPECT_NE(page.find("<tr><td>2026-11-25 23:40:00</td><td>2026-11-26 00:40:00</td><td>1:00:00</td>"
                        "<td class=\"text\">beyond the router</td><td class=\"text\">The internet does not answer"),
              std::string::npos);
    EXPECT_NE(page.find("<td>going on</td>"), std::string::npos);
    EXPECT_NE(page.find("<tr><td>2026-12-08 14:00</td><td>150 ms</td><td>180 ms</td><td>10.0 %</td><td>240</td></tr>"),
              std::string::npos)
        << "the poor hour listed, and no other";
    EXPECT_EQ(page.find("<tr><td>2026-12-08 13:00</td><td>40 ms"), std::string::npos);
    EXPECT_NE(page.find("fill=\"#f0a800\""), std::string::npos) << "amber within the green";
    int64_t byHour[24];
    downBeyondByHour(facts, byHour);
    EXPECT_EQ(byHour[20], 6 * 30 * 60) << "every evening of the last week";
    EXPECT_EQ(byHour[21], 15 * 60);
    EXPECT_EQ(byHour[23], 20 * 60);
    EXPECT_EQ(byHour[0], 40 * 60);
    EXPECT_EQ(byHour[8], 0) << "the cable was this side";
    EXPECT_NE(page.find("<title>20:00 3:00:00</title>"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("http://"), std::string::npos);
    EXPECT_EQ(page.find("https://"), std::string::npos);
    EXPECT_EQ(page.find("src="), std::string::npos) << "no image or other file";
    EXPECT_EQ(page.substr(page.size() - 8), "</html>\n");
    char name[64];
    formatReportName(name, days[0].date, days[29].date);
    EXPECT_STREQ(name, "Lintora report 2026-11-10 to 2026-12-09.html");
}

} // namespace
