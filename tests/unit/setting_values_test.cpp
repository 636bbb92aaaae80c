#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "settings/setting_values.h"

namespace {

TEST(SettingToInt, FollowsAtoiForOrdinaryValues)
{
    EXPECT_EQ(settingToInt("5"), 5);
    EXPECT_EQ(settingToInt("-800"), -800);
    EXPECT_EQ(settingToInt("  \t42"), 42);
    EXPECT_EQ(settingToInt("+17"), 17);
    EXPECT_EQ(settingToInt("90s"), 90);
    EXPECT_EQ(settingToInt("007"), 7);
    EXPECT_EQ(settingToInt("abc"), 0);
    EXPECT_EQ(settingToInt(""), 0);
    EXPECT_EQ(settingToInt("-"), 0);
    EXPECT_EQ(settingToInt("+-3"), 0);
    EXPECT_EQ(settingToInt("- 3"), 0);
    EXPECT_EQ(settingToInt("12 34"), 12);
}

TEST(SettingToInt, SaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(settingToInt("2147483647"), INT_MAX);
    EXPECT_EQ(settingToInt("2147483648"), INT_MAX);
    EXPECT_EQ(settingToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(settingToInt("-2147483649"), INT_MIN);
    EXPECT_EQ(settingToInt("9999999999999999999"), INT_MAX);
    EXPECT_EQ(settingToInt(std::string(500, '9').c_str()), INT_MAX);
}

TEST(PingInterval, StoredSecondsInRangeAreTakenAsThey)
{
    EXPECT_EQ(pingIntervalMsFromSetting("5"), 5000u);
    EXPECT_EQ(pingIntervalMsFromSetting("60"), 60000u);
    EXPECT_EQ(pingIntervalMsFromSetting("1"), 1000u);
    EXPECT_EQ(pingIntervalMsFromSetting("86400"), 86400000u);
    EXPECT_EQ(pingIntervalMsFromSetting("90s"), 90000u);
}

TEST(PingInterval, ValuesThatCannotBeMeantAreClamped)
{
    EXPECT_EQ(pingIntervalMsFromSetting("abc"), 1000u);
    EXPECT_EQ(pingIntervalMsFromSetting("0"), 1000u);
    EXPECT_EQ(pingIntervalMsFromSetting("-5"), 1000u);
    EXPECT_EQ(pingIntervalMsFromSetting("86401"), 86400000u);
    EXPECT_EQ(pingIntervalMsFromSetting("99999999"), 86400000u);  // 1000x would wrap 32 bits
    EXPECT_EQ(pingIntervalMsFromSetting("4294968"), 86400000u);   // wraps to 704 ms unclamped
}

TEST(SettingYes, OnlyLowerCaseYes)
{
    EXPECT_TRUE(isSettingYes("yes"));
    EXPECT_FALSE(isSettingYes("Yes"));
    EXPECT_FALSE(isSettingYes("YES"));
    EXPECT_FALSE(isSettingYes("yes "));
    EXPECT_FALSE(isSettingYes("y"));
    EXPECT_FALSE(isSettingYes(""));
}

TEST(FormatSettingInt, AsPercentD)
{
    char text[kSettingValueSize];
    formatSettingInt(text, 0);
    EXPECT_STREQ(text, "0");
    formatSettingInt(text, -800);
    EXPECT_STREQ(text, "-800");
    formatSettingInt(text, INT_MIN);
    EXPECT_STREQ(text, "-2147483648");
    formatSettingInt(text, 86400);
    EXPECT_STREQ(text, "86400");
}

TEST(KeepDirectoryPart, CutsAfterTheLastSeparator)
{
    char backslash[] = "C:\\Program Files\\Lintora\\Lintora.exe";
    keepDirectoryPart(backslash);
    EXPECT_STREQ(backslash, "C:\\Program Files\\Lintora\\");
    char forward[] = "/opt/lintora/Lintora.exe";
    keepDirectoryPart(forward);
    EXPECT_STREQ(forward, "/opt/lintora/");
    char mixed[] = "C:\\a/b\\c/Lintora.exe";  // a backslash wins over a later forward slash
    keepDirectoryPart(mixed);
    EXPECT_STREQ(mixed, "C:\\a/b\\");
    char bare[] = "Lintora.exe";
    keepDirectoryPart(bare);
    EXPECT_STREQ(bare, "Lintora.exe");
    char empty[] = "";
    keepDirectoryPart(empty);
    EXPECT_STREQ(empty, "");
}

} // namespace
