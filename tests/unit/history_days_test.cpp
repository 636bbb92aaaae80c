#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "history/history_days.h"

namespace {

const int64_t kDec7 = 1796601600;  // 2026-12-07T00:00:00Z
const int64_t kHour = 3600;

// A made-up log: its rows, the lines skipped, and its periods until `now`.
struct Log {
    std::vector<LogRow> rows;
    int skipped = 0;
    std::vector<Period> periods;
};

Log read(const std::vector<std::string>& lines, int64_t now)
{
    Log log;
    for (const std::string& line : lines) {
        LogRow row;
        if (parseLogRow(line.data(), line.size(), row))
            log.rows.push_back(row);
        else
            ++log.skipped;
    }
    log.periods.resize(log.rows.size());
    log.periods.resize(periodsOfRows(log.rows.data(), log.rows.size(), now, log.periods.data(), log.periods.size()));
    return log;
}

DayFigures day(const Log& log, int64_t from, int64_t hours = 24)
{
    return figuresBetween(log.periods.data(), log.periods.size(), from, from + hours * kHour);
}

TEST(HistoryRows, EveryFormLintoraWritesAndNothingElse)
{
    LogRow row;
    const std::string four = "2026-12-07T16:05:09+01:00,Broken,3600,sign-in page";
    ASSERT_TRUE(parseLogRow(four.data(), four.size(), row));
    EXPECT_EQ(row.utc, kDec7 + 15 * kHour + 5 * 60 + 9);
    EXPECT_EQ(row.kind, RowKind::Broken);
    EXPECT_EQ(row.cause, SignInPage);
    EXPECT_EQ(row.secondsBefore, 3600);
    const std::string three = "2026-12-07T16:05:09-05:30,Connected,";
    ASSERT_TRUE(parseLogRow(three.data(), three.size(), row)) << "an old three-column row";
    EXPECT_EQ(row.utc, kDec7 + 21 * kHour + 35 * 60 + 9);
    EXPECT_EQ(row.secondsBefore, -1);
    const std::string asleep = "2026-12-07T16:05:09+00:00,Not watching,12,sleep";
    ASSERT_TRUE(parseLogRow(asleep.data(), asleep.size(), row));
    EXPECT_EQ(row.kind, RowKind::NotWatching);
    const std::string proxied = "2026-12-07T16:05:09+01:00,Connected,7,through proxy";
    ASSERT_TRUE(parseLogRow(proxied.data(), proxied.size(), row));
    EXPECT_EQ(row.cause, ThroughProxy);

    for (const char* foreign : {"time,state,seconds_in_previous_state,cause",
                                "# 2 rows lost here: the log could not be written for too long",
                                "2026-02-29T10:00:00+01:00,Connected,,", "2026-12-07T24:00:00+01:00,Connected,,",
                                "2026-12-07 16:05:09+01:00,Connected,,", "2026-12-07T16:05:09+01:00,Up,,",
                                "2026-12-07T16:05:09+01:00,Connected,5,router", "2026-12-07T16:05:09+01:00,Broken,x,",
                                "2026-12-07T16:05:09+01:00,Broken,1,weather", "2026-12-07T16:05:09+01:00,Broken,1,through proxy", "2026-12-07T16:05:09+01:00,Broken,1,router,",
                                "2026-12-07T16:05:09+01:00,Not watching,1,nap", "2026-12-07T16:05:09+15:00,Connected,,",
                                "2026-12-07T16:05:09+01:00,Broken,99999999999,", "\"2026-12-07T16:05:09+01:00\",Broken,,",
                                "2026-12-07T16:05:09+01:00"}) {
        EXPECT_FALSE(parseLogRow(foreign, std::strlen(foreign), row)) << foreign;
    }
}

TEST(HistoryDays, SleepAndAPowerCutAreNotWatchedAndForeignLinesAreCounted)
{
    const Log log = read({"time,state,seconds_in_previous_state,cause",
                          "2026-12-07T10:00:00+00:00,Connected,,",
                          "2026-12-07T11:00:00+00:00,Not watching,3600,sleep",
                          "# a line a spreadsheet added",
                          "2026-12-07T13:00:00+00:00,Broken,7200,provider",
                          "2026-12-07T13:30:00+00:00,Connected,1800,",
                          "2026-12-07T15:00:00+00:00,Not watching,5400,unknown",
                          "2026-12-07T20:00:00+00:00,Connected,18000,"},
                         kDec7 + 22 * kHour);
    EXPECT_EQ(log.skipped, 2);
    const DayFigures figures = day(log, kDec7);
    EXPECT_EQ(figures.watched, (1 + 2 + 2) * kHour) << "10-11, 13-15 and 20-22";
    EXPECT_EQ(figures.down, kHour / 2);
    EXPECT_EQ(figures.outages, 1);
    EXPECT_EQ(figures.longest, kHour / 2);
    EXPECT_EQ(uptimeTenths(figures), 900);
    EXPECT_EQ(uptimeTenths(day(log, kDec7 - 24 * kHour)), -1) << "a day with nothing watched";
}

TEST(HistoryDays, AnOutageAcrossMidnightIsSplitCountedOnceAndEndsAtNotWatching)
{
    const Log log = read({"2026-12-07T23:00:00+00:00,Connected,,",
                          "2026-12-07T23:30:00+00:00,Broken,1800,router",
                          "2026-12-08T00:10:00+00:00,Broken,2400,provider",
                          "2026-12-08T00:30:00+00:00,Connected,1200,",
                          "2026-12-08T01:00:00+00:00,Broken,1800,names",
                          "2026-12-08T01:06:00+00:00,Not watching,360,exit"},
                         kDec7 + 30 * kHour);
    const DayFigures first = day(log, kDec7), second = day(log, kDec7 + 24 * kHour);
    EXPECT_EQ(first.down, 30 * 60);
    EXPECT_EQ(first.outages, 1) << "counted on the day it began";
    EXPECT_EQ(first.longest, 60 * 60) << "whole, whatever its causes";
    EXPECT_EQ(second.down, (30 + 6) * 60);
    EXPECT_EQ(second.outages, 1);
    EXPECT_EQ(second.longest, 6 * 60);
    EXPECT_EQ(second.watched, 66 * 60);
    const DayFigures week = figuresBetween(log.periods.data(), log.periods.size(), kDec7 - 5 * 24 * kHour,
                                           kDec7 + 48 * kHour);
    EXPECT_EQ(week.outages, 2);
    EXPECT_EQ(week.down, first.down + second.down);
}

TEST(HistoryDays, DaylightSavingAZoneMoveAndAClockSetBack)
{
    // A day of 25 hours (the clocks go back): the platform gives its bounds.
    const Log longDay = read({"2026-10-25T00:00:00+02:00,Connected,,"}, kDec7);
    const int64_t oct25 = 1792879200;  // 2026-10-24T22:00:00Z, local midnight at +02:00
    EXPECT_EQ(day(longDay, oct25, 25).watched, 25 * kHour);
    // Rows placed by their own offsets: 10:00 at +01:00, then 10:00 at -05:00, six hours later.
    const Log moved = read({"2026-12-07T10:00:00+01:00,Connected,,", "2026-12-07T10:00:00-05:00,Broken,21600,router"},
                           kDec7 + 16 * kHour);
    ASSERT_EQ(moved.periods.size(), 2u);
    EXPECT_EQ(moved.periods[0].to - moved.periods[0].from, 6 * kHour);
    // The clock set back an hour: the durations place the row, nothing counts twice.
    const Log setBack = read({"2026-12-07T10:00:00+00:00,Connected,,", "2026-12-07T10:30:00+00:00,Broken,5400,provider",
                              "2026-12-07T11:00:00+00:00,Connected,1800,"},
                             kDec7 + 13 * kHour);
    const DayFigures figures = day(setBack, kDec7);
    EXPECT_EQ(figures.watched, 3 * kHour) << "10:00 to 13:00 by the clock that only goes forward";
    EXPECT_EQ(figures.down, 30 * 60);
}

TEST(HistoryDays, TheSetAsideFileAndTheLogReadAsOneTextWithForeignLinesCounted)
{
    // connection-log.1.csv (three columns, CR LF) followed by connection-log.csv (four, a spreadsheet's LF).
    const std::string text = "time,state,seconds_in_previous_state\r\n"
                             "2026-12-07T10:00:00+01:00,Connected,\r\n"
                             "2026-12-07T11:00:00+01:00,Broken,3600\r\n"
                             "time,state,seconds_in_previous_state,cause\n"
                             "\n"
                             "Time;State;Seconds\n"
                             "2026-12-07T11:30:00+01:00,Connected,1800,\n"
                             "2026-12-07T12:00:00+01:00,Broken,1800,router";
    LogRow rows[8];
    std::size_t skipped = 0;
    ASSERT_EQ(readLogRows(text.data(), text.size(), rows, 8, skipped), 4u);
    EXPECT_EQ(skipped, 1u) << "another program's header is counted, Lintora's own and empty lines are not";
    EXPECT_EQ(rows[3].cause, RouterSilent) << "a last line without its line end";
    Period periods[4];
    ASSERT_EQ(periodsOfRows(rows, 4, rows[3].utc + 60, periods, 4), 4u);
    EXPECT_EQ(stripShade(periods[1]), StripShade::Down) << "a three-column Broken row has no cause";
    EXPECT_EQ(stripShade(periods[3]), StripShade::DownFar);

    EXPECT_EQ(periodAt(periods, 4, rows[0].utc - 1), nullptr) << "before the first row";
    EXPECT_EQ(periodAt(periods, 4, rows[1].utc), &periods[1]) << "a row's own moment is its period's";
    EXPECT_EQ(periodAt(periods, 4, rows[1].utc - 1), &periods[0]);
    EXPECT_EQ(periodAt(periods, 4, rows[3].utc + 59), &periods[3]);
    EXPECT_EQ(periodAt(periods, 4, rows[3].utc + 60), nullptr) << "from now on";
}

TEST(HistoryDays, EachCauseIsOnOneSideAndOldRowsOnNone)
{
    for (BreakCause beyond : {ProviderDown, InternetSilent, NamesUnanswered})
        EXPECT_EQ(sideOfCause(beyond), BreakSide::BeyondRouter) << breakCauseName(beyond);
    for (BreakCause near : {NoNetwork, RouterSilent, SignInPage, ProxyCut, ProxySignIn})
        EXPECT_EQ(sideOfCause(near), BreakSide::ThisSide) << breakCauseName(near);
    EXPECT_EQ(sideOfCause(NoCause), BreakSide::Unknown);

    const Log log = read({"2026-12-07T10:00:00+00:00,Connected,,", "2026-12-07T11:00:00+00:00,Broken,3600,no network",
                          "2026-12-07T11:10:00+00:00,Connected,600,", "2026-12-07T12:00:00+00:00,Broken,3000,provider",
                          "2026-12-07T12:05:00+00:00,Broken,300,router", "2026-12-07T12:35:00+00:00,Connected,1800,",
                          "2026-12-07T13:00:00+00:00,Broken,1500"},  // an older log's row, without its cause
                         kDec7 + 14 * kHour);
    const DayFigures figures = day(log, kDec7);
    EXPECT_EQ(figures.outages, 3);
    EXPECT_EQ(figures.down, (10 + 35 + 60) * 60);
    EXPECT_EQ(figures.downBeyond, 5 * 60) << "only the provider's five minutes";
    EXPECT_EQ(figures.outagesBeyond, 0) << "the second outage was mostly the router's";
}

TEST(HistoryDays, TheOutageListAcrossMidnightASleepOldRowsAndOneGoingOn)
{
    const Log log = read({"2026-12-07T22:00:00+00:00,Connected,", "2026-12-07T23:50:00+00:00,Broken,6600",
                          "2026-12-08T00:20:00+00:00,Connected,1800", "2026-12-08T09:00:00+00:00,Broken,31200,provider",
                          "2026-12-08T09:30:00+00:00,Not watching,1800,sleep", "2026-12-08T10:00:00+00:00,Broken,1800,internet",
                          "2026-12-08T10:10:00+00:00,Connected,600,", "2026-12-08T20:00:00+00:00,Broken,35400,no network"},
                         kDec7 + 45 * kHour);
    Outage outages[8];
    const std::size_t count = outagesBetween(log.periods.data(), log.periods.size(), kDec7, kDec7 + 48 * kHour,
                                             kDec7 + 45 * kHour, outages, 8);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(outages[0].from, kDec7 + 23 * kHour + 50 * 60) << "past midnight, listed once, whole";
    EXPECT_EQ(outages[0].to, kDec7 + 24 * kHour + 20 * 60);
    EXPECT_EQ(outages[0].side, BreakSide::Unknown) << "three-column rows";
    EXPECT_EQ(outages[1].to, kDec7 + 33 * kHour + 30 * 60) << "the sleep ends it";
    EXPECT_EQ(outages[1].side, BreakSide::BeyondRouter);
    EXPECT_EQ(outages[2].from, kDec7 + 34 * kHour) << "after the sleep, another";
    EXPECT_FALSE(outages[2].ongoing);
    EXPECT_TRUE(outages[3].ongoing);
    EXPECT_EQ(outages[3].to, kDec7 + 45 * kHour);
    EXPECT_EQ(outages[3].cause, NoNetwork);
    EXPECT_EQ(outagesBetween(log.periods.data(), log.periods.size(), kDec7 + 24 * kHour, kDec7 + 48 * kHour,
                             kDec7 + 45 * kHour, outages, 8),
              3u)
        << "one that began the day before is not the next day's";
}

TEST(HistoryDays, TheShadesOfTheStrip)
{
    const auto shade = [](RowKind kind, BreakCause cause) { return stripShade(Period{0, 1, kind, cause}); };
    EXPECT_EQ(shade(RowKind::Connected, NoCause), StripShade::Up);
    EXPECT_EQ(shade(RowKind::NotWatching, NoCause), StripShade::NotWatched);
    for (BreakCause far : {RouterSilent, ProviderDown, InternetSilent, NamesUnanswered})
        EXPECT_EQ(shade(RowKind::Broken, far), StripShade::DownFar) << breakCauseName(far);
    for (BreakCause near : {NoNetwork, SignInPage})
        EXPECT_EQ(shade(RowKind::Broken, near), StripShade::DownNear) << breakCauseName(near);
}

TEST(HistorySummary, ExactPercentagesAndDurations)
{
    DayFigures figures = {86400, 36, 1, 36, 0, 0};
    EXPECT_EQ(uptimeTenths(figures), 999) << "99.958 % reads 99.9, never 100.0 with an outage";
    char line[128];
    formatSummaryLine(line, sizeof line, "2026-12-07", figures);
    EXPECT_STREQ(line, "2026-12-07  uptime 99.9 %  outages 1  down 0:00:36  longest 0:00:36"
                       "  beyond the router: outages 0  down 0:00:00\r\n");
    figures = {7 * 86400, 3 * 3600 + 5 * 60 + 9, 12, 2 * 3600, 3600 + 1, 4};
    formatSummaryLine(line, sizeof line, "Week", figures);
    EXPECT_STREQ(line, "Week  uptime 98.1 %  outages 12  down 3:05:09  longest 2:00:00"
                       "  beyond the router: outages 4  down 1:00:01\r\n");
    figures = {};
    formatSummaryLine(line, sizeof line, "2026-12-01", figures);
    EXPECT_STREQ(line, "2026-12-01  uptime -  outages 0  down 0:00:00  longest 0:00:00"
                       "  beyond the router: outages 0  down 0:00:00\r\n");
    char duration[24];
    for (const auto& known : {std::make_pair(610, "0:10:10"), std::make_pair(36609, "10:10:09"),
                              std::make_pair(599, "0:09:59"), std::make_pair(3600 * 100, "100:00:00")}) {
        formatDuration(duration, sizeof duration, known.first);
        EXPECT_STREQ(duration, known.second);
    }
}

TEST(HistoryDays, AnOutageFromMidnightIsTheNewDaysAndAClockSetBackNeverMakesTimeRunBackwards)
{
    const Log log = read({"2026-12-07T22:00:00+00:00,Connected,", "2026-12-08T00:00:00+00:00,Broken,7200,router",
                          "2026-12-08T01:00:00+00:00,Connected,3600,"},
                         kDec7 + 48 * kHour);
    EXPECT_EQ(day(log, kDec7).outages, 0) << "ends at the outage's first second";
    EXPECT_EQ(day(log, kDec7).down, 0);
    EXPECT_EQ(day(log, kDec7 + 24 * kHour).outages, 1);

    // A row with no duration (an older log's), the clock set back an hour before it.
    const Log setBack = read({"2026-12-07T10:00:00+00:00,Connected,", "2026-12-07T09:00:00+00:00,Broken,",
                              "2026-12-07T09:30:00+00:00,Connected,1800,"},
                             kDec7 + 12 * kHour);
    ASSERT_EQ(setBack.periods.size(), 3u);
    EXPECT_EQ(setBack.periods[0].to, setBack.periods[0].from) << "no time of its own, never less";
    EXPECT_EQ(setBack.periods[1].from, kDec7 + 10 * kHour);
    EXPECT_GE(day(setBack, kDec7).watched, 0);
}

} // namespace
