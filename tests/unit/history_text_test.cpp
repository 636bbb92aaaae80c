#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>

#include "history/history_text.h"
#include "history/kept_rows.h"

namespace {

TEST(LogRow, IsoTimeWithItsOffsetStateAndSeconds)
{
    char row[kLogRowSize];
    formatLogRow(row, {2026, 12, 7, 16, 5, 9, 60}, Connected, 3600, NoCause);
    EXPECT_STREQ(row, "2026-12-07T16:05:09+01:00,Connected,3600,\r\n");
    formatLogRow(row, {2027, 1, 1, 0, 0, 0, -330}, Broken, 0, RouterSilent);
    EXPECT_STREQ(row, "2027-01-01T00:00:00-05:30,Broken,0,router\r\n");
    formatLogRow(row, {2026, 6, 30, 23, 59, 59, 0}, Broken, kNoPreviousState, NoNetwork);
    EXPECT_STREQ(row, "2026-06-30T23:59:59+00:00,Broken,,no network\r\n") << "the first row of a run";
    formatLogRow(row, {2026, 3, 29, 2, 30, 0, 840}, Broken, 2147483647, SignInPage);
    EXPECT_STREQ(row, "2026-03-29T02:30:00+14:00,Broken,2147483647,sign-in page\r\n") << "the longest row fits";
    EXPECT_STREQ(kLogHeader, "time,state,seconds_in_previous_state,cause\r\n");
    formatLogRow(row, {2030, 10, 10, 10, 10, 10, -600}, Connected, 10, NoCause);
    EXPECT_STREQ(row, "2030-10-10T10:10:10-10:00,Connected,10,\r\n") << "fields of exactly 10";
}

TEST(LogRow, ALogBegunWithThreeColumnsGetsRowsWithoutTheCause)
{
    const char old[] = "time,state,seconds_in_previous_state\r\n2026-12-07T16:05:09+01:00,Connected,\r\n";
    EXPECT_TRUE(startsWithThreeColumnHeader(old, sizeof old - 1));
    EXPECT_FALSE(startsWithThreeColumnHeader(kLogHeader, std::strlen(kLogHeader))) << "the new header";
    EXPECT_FALSE(startsWithThreeColumnHeader(old, 20)) << "a file shorter than the header";
    EXPECT_TRUE(startsWithThreeColumnHeader(kThreeColumnLogHeader, std::strlen(kThreeColumnLogHeader)))
        << "a file that is the header alone";
    EXPECT_FALSE(startsWithThreeColumnHeader("2026-12-07T16:05:09+01:00,Broken,\r\n", 36)) << "no header";

    char row[kLogRowSize];
    formatLogRow(row, {2026, 12, 7, 16, 5, 9, 60}, Broken, 12, ProviderDown);
    dropCauseColumn(row);
    EXPECT_STREQ(row, "2026-12-07T16:05:09+01:00,Broken,12\r\n");
    formatLogRow(row, {2026, 12, 7, 16, 5, 9, 60}, Connected, kNoPreviousState, NoCause);
    dropCauseColumn(row);
    EXPECT_STREQ(row, "2026-12-07T16:05:09+01:00,Connected,\r\n");
    formatLostRowsLine(row, 2);
    dropCauseColumn(row);
    EXPECT_STREQ(row, "# 2 rows lost here: the log could not be written for too long\r\n") << "no columns to drop";
}

TEST(LogRow, NotWatchingSaysWhyAndTheLastKnownMomentReadsBackOnlyWhole)
{
    char row[kLogRowSize];
    formatNotWatchingRow(row, {2026, 12, 7, 18, 0, 0, 60}, 3600, NotWatching::Sleep);
    EXPECT_STREQ(row, "2026-12-07T18:00:00+01:00,Not watching,3600,sleep\r\n");
    formatNotWatchingRow(row, {2026, 12, 7, 18, 0, 0, 60}, kNoPreviousState, NotWatching::Unknown);
    EXPECT_STREQ(row, "2026-12-07T18:00:00+01:00,Not watching,,unknown\r\n");
    formatNotWatchingRow(row, {2026, 12, 7, 18, 0, 0, 60}, 5, NotWatching::Exit);
    dropCauseColumn(row);
    EXPECT_STREQ(row, "2026-12-07T18:00:00+01:00,Not watching,5\r\n") << "in a three-column log";

    char text[kLastKnownSize];
    uint64_t utc = 0;
    long long seconds = 0;
    formatLastKnown(text, 18446744073709551615ull, 2147483647);
    EXPECT_STREQ(text, "18446744073709551615 2147483647\r\n");
    ASSERT_TRUE(parseLastKnown(text, std::strlen(text), utc, seconds));
    EXPECT_EQ(utc, 18446744073709551615ull);
    EXPECT_EQ(seconds, 2147483647);
    formatLastKnown(text, 134000000000000000ull, kNoPreviousState);
    ASSERT_TRUE(parseLastKnown(text, std::strlen(text), utc, seconds));
    EXPECT_EQ(seconds, kNoPreviousState);
    for (const char* bad : {"", "1", "1 2", "1 2\r", " 2\r\n", "18446744073709551616 0\r\n", "1 2147483648\r\n",
                            "1 2\r\nx", "1x 2\r\n", "1 -2\r\n"})
        EXPECT_FALSE(parseLastKnown(bad, std::strlen(bad), utc, seconds)) << bad;
}

TEST(LogRow, OffsetIsTheNearestWholeMinuteEastAndWest)
{
    const long long minute = 600000000;
    const long long subMillisecond = 4321;  // what a clock value can hold beyond its milliseconds
    EXPECT_EQ(utcOffsetMinutes(330 * minute - subMillisecond), 330) << "India";
    EXPECT_EQ(utcOffsetMinutes(345 * minute + subMillisecond), 345) << "Nepal";
    EXPECT_EQ(utcOffsetMinutes(60 * minute - 1), 60) << "Central Europe";
    EXPECT_EQ(utcOffsetMinutes(-210 * minute - subMillisecond), -210) << "Newfoundland";
    EXPECT_EQ(utcOffsetMinutes(-300 * minute + subMillisecond), -300);
    EXPECT_EQ(utcOffsetMinutes(-subMillisecond), 0);
    char row[kLogRowSize];
    formatLogRow(row, {2026, 12, 8, 5, 32, 39, utcOffsetMinutes(330 * minute - subMillisecond)}, Broken, 1, NoCause);
    EXPECT_STREQ(row, "2026-12-08T05:32:39+05:30,Broken,1,\r\n");
}

TEST(KeptRows, KeptInOrderAndTheOldestMakeRoomCounted)
{
    static KeptRows kept;  // 96 KB: not on the stack
    EXPECT_EQ(oldestKeptRow(kept), nullptr);
    keepRow(kept, "a\r\n");
    keepRow(kept, "b\r\n");
    EXPECT_STREQ(oldestKeptRow(kept), "a\r\n");
    dropOldestKeptRow(kept);
    EXPECT_STREQ(oldestKeptRow(kept), "b\r\n");
    for (int i = 0; i < 1002; ++i)
        keepRow(kept, std::to_string(i).c_str());
    EXPECT_EQ(kept.count, 1000u);
    EXPECT_EQ(kept.lost, 3u) << "b, 0 and 1 made room";
    EXPECT_STREQ(oldestKeptRow(kept), "2");
    for (int i = 2; i < 1002; ++i) {
        ASSERT_STREQ(oldestKeptRow(kept), std::to_string(i).c_str());
        dropOldestKeptRow(kept);
    }
    EXPECT_EQ(oldestKeptRow(kept), nullptr);
    dropOldestKeptRow(kept);
    EXPECT_EQ(kept.count, 0u);

    char line[kLogRowSize];
    formatLostRowsLine(line, 3);
    EXPECT_STREQ(line, "# 3 rows lost here: the log could not be written for too long\r\n");
    formatLostRowsLine(line, 1);
    EXPECT_STREQ(line, "# 1 row lost here: the log could not be written for too long\r\n");
}

TEST(LogRow, RotationKeepsTheFileWithinOneMebibyte)
{
    EXPECT_FALSE(logNeedsRotation(0, 44));
    EXPECT_FALSE(logNeedsRotation(1048576 - 44, 44)) << "exactly 1 MiB is allowed";
    EXPECT_TRUE(logNeedsRotation(1048576 - 43, 44));
    EXPECT_TRUE(logNeedsRotation(5u << 20, 44)) << "an oversized file found in place";
    EXPECT_FALSE(logNeedsRotation(0, 2u << 20)) << "an empty file has nothing to set aside";
}

TEST(Tip, StateTextThenCauseAndSinceOnASecondLine)
{
    wchar_t since[kTipSize];
    formatSince(since, true, L"5 Dec", L"16:05");
    EXPECT_STREQ(since, L"since 16:05");
    formatSince(since, false, L"5 Dec", L"16:05");
    EXPECT_STREQ(since, L"since 5 Dec 16:05");

    wchar_t tip[kTipSize];
    formatTip(tip, "Internet connection is broken.", "", since);
    EXPECT_STREQ(tip, L"Internet connection is broken.\nsince 5 Dec 16:05");
    formatTip(tip, "Internet connection is established.", "", L"");
    EXPECT_STREQ(tip, L"Internet connection is established.");
    formatTip(tip, linkStateText(Broken), breakCauseText(ProviderDown), since);
    EXPECT_STREQ(tip, L"Internet connection is broken.\nThe router answers; the internet beyond it does not, "
                      L"since 5 Dec 16:05");
    formatTip(tip, linkStateText(Broken), breakCauseText(NamesUnanswered), L"");
    EXPECT_STREQ(tip, L"Internet connection is broken.\nNames are not being answered (DNS)");
    // A Polish date, as GetDateFormatW writes it: every letter intact.
    formatSince(since, false, L"5 pa\u017a", L"16:05");
    formatTip(tip, linkStateText(Connected), "", since);
    EXPECT_STREQ(tip, L"Internet connection is established.\nsince 5 pa\u017a 16:05");
}

TEST(MonotonicClock, ADurationOfTheThirtyTwoBitCountSurvivesItsWrap)
{
    EXPECT_EQ(millisecondsBetween(0xFFFFF000u, 0x1000u, true), 0x2000u) << "49.7 days in";
    EXPECT_EQ(millisecondsBetween(1000, 61000, true), 60000u);
    EXPECT_EQ(millisecondsBetween(0xFFFFF000u, 0x100001000ull, false), 0x2000u) << "a 64-bit count never wraps";
}

TEST(Tip, SinceStopsAtTheTipsSizeWhateverTheLocaleWrites)
{
    wchar_t since[kTipSize + 8];
    std::fill(std::begin(since), std::end(since), L'#');
    const std::wstring longDate(200, L'd'), longClock(200, L'c');
    formatSince(reinterpret_cast<wchar_t(&)[kTipSize]>(since), false, longDate.c_str(), longClock.c_str());
    EXPECT_EQ(std::wcslen(since), kTipSize - 1u);
    for (size_t i = kTipSize; i < kTipSize + 8; ++i)
        EXPECT_EQ(since[i], L'#') << "nothing written past the tip's 128 characters";
}

TEST(Tip, TheRoundTripFollowsSinceWholeOrNotAtAll)
{
    wchar_t tip[kTipSize];
    formatTip(tip, linkStateText(Connected), "", L"since 16:05", L"23 ms");
    EXPECT_STREQ(tip, L"Internet connection is established.\nsince 16:05 \x00b7 23 ms");
    formatTip(tip, linkStateText(Connected), "", L"", L"23 ms");
    EXPECT_STREQ(tip, L"Internet connection is established.") << "no time, no round trip";
    // A long date in the user's words: the tip at its 127 characters, the round trip left out whole.
    const std::wstring longSince = L"since " + std::wstring(78, L'd') + L" 16:05";  // 90 characters
    formatTip(tip, linkStateText(Connected), "", longSince.c_str(), L"1234 ms");
    EXPECT_EQ(std::wstring(tip), L"Internet connection is established.\n" + longSince);
    const std::wstring fits = L"since " + std::wstring(78, L'd');  // 35 + 1 + 84 + 3 + 4 = 127
    formatTip(tip, linkStateText(Connected), "", fits.c_str(), L"9 ms");
    EXPECT_EQ(std::wcslen(tip), 127u);
    EXPECT_EQ(std::wstring(tip).substr(std::wcslen(tip) - 4), L"9 ms");
}

TEST(Tip, CutToItsHundredAndTwentyEightCharacters)
{
    wchar_t tip[kTipSize];
    const std::wstring state = L"Internet connection is established.";  // 35 characters
    const std::wstring since = L"since " + std::wstring(100, L'x');
    formatTip(tip, "Internet connection is established.", "", since.c_str());
    EXPECT_EQ(std::wcslen(tip), 127u);
    EXPECT_EQ(std::wstring(tip), state + L"\n" + since.substr(0, 127 - 36));

    const std::string longState(126, 's');  // room for the line break, not for one more character
    formatTip(tip, longState.c_str(), "", L"since 9:00");
    EXPECT_EQ(std::wstring(tip), std::wstring(126, L's'));
    const std::string tooLong(150, 's');
    formatTip(tip, tooLong.c_str(), "", L"since 9:00");
    EXPECT_EQ(std::wstring(tip), std::wstring(127, L's'));

    // A since that does not fit whole after the cause is left out.
    const std::string cause = breakCauseText(ProviderDown);
    const std::wstring broken = L"Internet connection is broken.\n" + std::wstring(cause.begin(), cause.end());
    const std::wstring longSince = L"since " + std::wstring(40, L'd') + L" 16:05";
    formatTip(tip, linkStateText(Broken), cause.c_str(), longSince.c_str());
    EXPECT_EQ(std::wstring(tip), broken);
    // Whole after the cause where it fits with its NUL, and not a character more.
    const std::wstring head = broken + L", ";
    const std::wstring fits = L"since " + std::wstring(127 - head.size() - 6, L'd');
    formatTip(tip, linkStateText(Broken), cause.c_str(), fits.c_str());
    EXPECT_EQ(std::wstring(tip), head + fits);
    formatTip(tip, linkStateText(Broken), cause.c_str(), (fits + L"d").c_str());
    EXPECT_EQ(std::wstring(tip), broken) << "128 characters";
}

} // namespace
