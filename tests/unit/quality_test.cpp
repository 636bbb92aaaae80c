// The round trips and losses kept an hour at a time, and which hours were poor.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "history/quality.h"

namespace {

ProbeMeasure probe(std::vector<uint16_t> roundTrips, int requests = 4)
{
    ProbeMeasure measure = {};
    measure.requests = static_cast<uint8_t>(requests);
    measure.answered = static_cast<uint8_t>(roundTrips.size());
    measure.roundTrips = static_cast<uint8_t>(roundTrips.size());
    for (size_t i = 0; i < roundTrips.size(); ++i)
        measure.roundTripMs[i] = roundTrips[i];
    return measure;
}

TEST(Quality, TheMedianAndP95OverKnownSamples)
{
    const uint16_t four[] = {40, 10, 30, 20};
    EXPECT_EQ(medianRoundTrip(four, 4), 25) << "the mean of the middle two";
    EXPECT_EQ(medianRoundTrip(four, 3), 30);
    EXPECT_EQ(medianRoundTrip(four, 0), -1);

    static QualityHour hour;
    startQualityHour(hour, 0);
    for (int ms = 1; ms <= 100; ++ms)  // 1 .. 100 ms, one each, as 25 probes of 4
        if (ms % 4 == 0)
            addProbeMeasure(hour, probe({static_cast<uint16_t>(ms - 3), static_cast<uint16_t>(ms - 2),
                                         static_cast<uint16_t>(ms - 1), static_cast<uint16_t>(ms)}));
    QualityFigures figures = qualityOf(hour);
    EXPECT_EQ(figures.medianMs, 50) << "50 and 51, rounded down";
    EXPECT_EQ(figures.p95Ms, 95) << "the 95th of 100";
    EXPECT_EQ(figures.maxMs, 100);
    EXPECT_EQ(figures.requests, 100u);
    EXPECT_EQ(figures.lostTenths, 0);
    addProbeMeasure(hour, probe({6000}, 4));  // past the longest wait: kept at 5 s
    figures = qualityOf(hour);
    EXPECT_EQ(figures.maxMs, 5000);
    EXPECT_EQ(figures.lostTenths, 29) << "3 lost of 104: 2.88 % rounds to 2.9";
}

TEST(Quality, AnHourOfHandshakesAloneHasNoLoss)
{
    static QualityHour hour;
    startQualityHour(hour, 0);
    ProbeMeasure handshake = probe({31});
    handshake.handshakeOnly = true;
    handshake.requests = 2;
    handshake.answered = 0;
    addProbeMeasure(hour, handshake);
    const QualityFigures figures = qualityOf(hour);
    EXPECT_EQ(figures.lostTenths, -1);
    EXPECT_EQ(figures.requests, 0u);
    EXPECT_EQ(figures.medianMs, 31);
    char row[kQualityRowSize];
    formatQualityRow(row, {2026, 12, 7, 16, 0, 0, 60}, figures);
    EXPECT_STREQ(row, "2026-12-07T16:00:00+01:00,0,0,,31,31,31\r\n");
}

TEST(Quality, TheHoursRowAcrossMidnightAndDaylightSavingReadsBack)
{
    char row[kQualityRowSize];
    QualityFigures figures = {240, 218, 92, 148, 201, 320};
    // The last hour of a day, and the hours on either side of the clocks going back.
    formatQualityRow(row, {2026, 12, 7, 23, 0, 0, -330}, figures);
    EXPECT_STREQ(row, "2026-12-07T23:00:00-05:30,240,218,9.2,148,201,320\r\n");
    QualityRow read;
    ASSERT_TRUE(parseQualityRow(row, std::strlen(row) - 2, read));
    EXPECT_EQ(read.hour, 1796601600 + 24 * 3600 + 4 * 3600 + 30 * 60) << "2026-12-08T04:30Z";
    EXPECT_EQ(read.figures.lostTenths, 92);
    const std::string text = std::string(kQualityHeader) + "2026-10-25T02:00:00+02:00,4,4,0.0,20,20,20\r\n" +
                             "2026-10-25T02:00:00+01:00,4,3,25.0,21,22,22\r\n" + "a line a spreadsheet added\r\n" +
                             "2026-10-25T03:00:00+01:00,4,4,0.0,,,\n";
    QualityRow rows[4];
    std::size_t skipped = 0;
    ASSERT_EQ(readQualityRows(text.data(), text.size(), rows, 4, skipped), 2u);
    EXPECT_EQ(skipped, 2u) << "a foreign line, and a row timed with no times";
    EXPECT_EQ(rows[1].hour - rows[0].hour, 3600) << "the hour 2:00 twice, an hour apart";
    for (const char* damaged : {"2026-12-07T23:30:00+01:00,4,4,0.0,1,1,1", "2026-12-07T23:00:00+01:00,4,5,0.0,1,1,1",
                                "2026-12-07T23:00:00+01:00,4,4,,1,1,1", "2026-12-07T23:00:00+01:00,4,4,0,1,1,1",
                                "2026-12-07T23:00:00+01:00,4,4,0.0,1,1", "2026-12-07T23:00:00+01:00,0,0,0.0,1,1,1"})
        EXPECT_FALSE(parseQualityRow(damaged, std::strlen(damaged), read)) << damaged;
}

QualityFigures hour(uint32_t requests, uint32_t answered, int medianMs)
{
    const uint32_t lost = requests - answered;
    return {requests, answered, requests > 0 ? static_cast<int>((lost * 2000 + requests) / (2 * requests)) : -1,
            medianMs, medianMs, medianMs};
}

TEST(Quality, APoorHourAtTheEdgesOfItsRule)
{
    EXPECT_FALSE(isPoorHour(hour(1000, 981, 20), -1)) << "1.9 %";
    EXPECT_TRUE(isPoorHour(hour(1000, 980, 20), -1)) << "2.0 %";
    EXPECT_FALSE(isPoorHour(hour(20, 19, 20), -1)) << "one lost reply alone";
    EXPECT_TRUE(isPoorHour(hour(20, 18, 20), -1)) << "2 lost of 20";
    EXPECT_FALSE(isPoorHour(hour(19, 17, 20), -1)) << "2 lost of 19 requests";
    EXPECT_FALSE(isPoorHour(hour(240, 240, 299), -1));
    EXPECT_TRUE(isPoorHour(hour(240, 240, 300), -1));
    EXPECT_TRUE(isPoorHour(hour(240, 240, 150), 40)) << "a jump from 40 ms";
    EXPECT_FALSE(isPoorHour(hour(240, 240, 150), 76)) << "not twice the week before";
    EXPECT_FALSE(isPoorHour(hour(240, 240, 99), 30)) << "fast still";
    EXPECT_FALSE(isPoorHour(hour(0, 0, 150), -1)) << "nothing to compare with";

    // A line always slow: 250 ms every hour of the week before, and today.
    std::vector<QualityRow> rows;
    for (int h = 0; h < 8 * 24; ++h)
        rows.push_back({h * 3600LL, hour(240, 240, 250)});
    const int baseline = medianOfHours(rows.data(), rows.size(), 7 * 24 * 3600 - 7 * 86400, 7 * 24 * 3600);
    EXPECT_EQ(baseline, 250);
    EXPECT_FALSE(isPoorHour(rows.back().figures, baseline)) << "a satellite's line is not amber all day";
}

TEST(Quality, ADaysRoundTripAndLossFromItsHours)
{
    const QualityRow rows[] = {{0, hour(100, 90, 40)}, {3600, hour(300, 300, 60)}, {7200, hour(0, 0, 500)},
                               {86400, hour(100, 0, -1)}};
    const DayQuality day = qualityBetween(rows, 4, 0, 86400);
    EXPECT_EQ(day.requests, 400u);
    EXPECT_EQ(day.lostTenths, 25) << "10 of 400";
    EXPECT_EQ(day.medianMs, 60) << "the hour with the most replies weighs most";
    char text[64];
    formatQualityText(text, sizeof text, day);
    EXPECT_STREQ(text, "round trip 60 ms  lost 2.5 %");
    formatQualityText(text, sizeof text, qualityBetween(rows, 4, 2 * 86400, 3 * 86400));
    EXPECT_STREQ(text, "round trip -  lost -");
    EXPECT_EQ(qualityAt(rows, 4, 3600 + 59 * 60)->figures.medianMs, 60);
    EXPECT_EQ(qualityAt(rows, 4, 4 * 3600), nullptr);
}

TEST(Quality, AProbesMeasureCrossesBetweenTheThreadsWhole)
{
    const ProbeMeasure sent = {4, 3, 3, false, {148, 8191, 0, 0}};
    uint32_t first, second;
    packProbeMeasure(sent, first, second);
    const ProbeMeasure got = unpackProbeMeasure(first, second);
    EXPECT_EQ(got.requests, 4);
    EXPECT_EQ(got.answered, 3);
    EXPECT_EQ(got.roundTrips, 3);
    EXPECT_FALSE(got.handshakeOnly);
    EXPECT_EQ(got.roundTripMs[0], 148);
    EXPECT_EQ(got.roundTripMs[1], 8191);
    const ProbeMeasure handshake = {2, 0, 1, true, {5000, 0, 0, 0}};
    packProbeMeasure(handshake, first, second);
    EXPECT_TRUE(unpackProbeMeasure(first, second).handshakeOnly);
    EXPECT_EQ(unpackProbeMeasure(first, second).roundTripMs[0], 5000);
    const ProbeMeasure all = {4, 4, 4, false, {1, 2, 3, 60000}};
    packProbeMeasure(all, first, second);
    EXPECT_EQ(unpackProbeMeasure(first, second).roundTripMs[3], 8191) << "past 8.191 s: kept at the most";
    EXPECT_EQ(unpackProbeMeasure(first, second).roundTripMs[2], 3);
}

} // namespace
