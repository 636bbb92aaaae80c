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
    wchar_t backslash[] = L"C:\\Program Files\\Lintora\\Lintora.exe";
    EXPECT_TRUE(keepDirectoryPart(backslash));
    EXPECT_STREQ(backslash, L"C:\\Program Files\\Lintora\\");
    wchar_t forward[] = L"/opt/lintora/Lintora.exe";
    EXPECT_TRUE(keepDirectoryPart(forward));
    EXPECT_STREQ(forward, L"/opt/lintora/");
    wchar_t mixed[] = L"C:\\a/b\\c/Lintora.exe";  // a backslash wins over a later forward slash
    EXPECT_TRUE(keepDirectoryPart(mixed));
    EXPECT_STREQ(mixed, L"C:\\a/b\\");
    wchar_t wide[] = L"C:\\\u041f\u0451\u0442\u0440 \u6771\u4eac\\Lintora.exe";
    EXPECT_TRUE(keepDirectoryPart(wide));
    EXPECT_STREQ(wide, L"C:\\\u041f\u0451\u0442\u0440 \u6771\u4eac\\");
    // No folder in it: a relative name would put the settings in another folder.
    wchar_t bare[] = L"Lintora.exe";
    EXPECT_FALSE(keepDirectoryPart(bare));
    EXPECT_STREQ(bare, L"Lintora.exe");
    wchar_t empty[] = L"";
    EXPECT_FALSE(keepDirectoryPart(empty));
}

TEST(RemoveLongPathPrefix, TheUsualFormOfAFinalPath)
{
    auto removed = [](std::wstring path) { removeLongPathPrefix(&path[0]); return std::wstring(path.c_str()); };
    EXPECT_EQ(removed(L"\\\\?\\C:\\Users\\a\\connection-log.csv"), L"C:\\Users\\a\\connection-log.csv");
    EXPECT_EQ(removed(L"\\\\?\\UNC\\server\\share\\log.csv"), L"\\\\server\\share\\log.csv");
    EXPECT_EQ(removed(L"C:\\log.csv"), L"C:\\log.csv");
    EXPECT_EQ(removed(L"\\\\server\\share"), L"\\\\server\\share");
}

TEST(SettingValues, TheReportsNoteKeepsEveryCharacterInAsciiAndComesBackWhole)
{
    char stored[kReportNoteSettingSize];
    encodeReportNote(stored, L"Zo\u00eb M\u00fcller \u6771\u4eac, C:\\tickets #4711\tok");
    EXPECT_STREQ(stored, "Zo\\u00eb M\\u00fcller \\u6771\\u4eac, C:\\\\tickets #4711ok") << "the tab dropped";
    wchar_t note[kReportNoteSize];
    decodeReportNote(note, stored);
    EXPECT_STREQ(note, L"Zo\u00eb M\u00fcller \u6771\u4eac, C:\\tickets #4711ok");
    decodeReportNote(note, "a \\u12 b \\x \\");
    EXPECT_STREQ(note, L"a \\u12 b \\x \\") << "a broken escape is read as it stands";
    std::wstring longest(400, L'\u00e9');
    encodeReportNote(stored, longest.c_str());
    decodeReportNote(note, stored);
    EXPECT_EQ(std::wstring(note), std::wstring(kReportNoteSize - 1, L'\u00e9')) << "160 characters at most";
}

} // namespace
