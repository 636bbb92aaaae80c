#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "core/text.h"

namespace {

TEST(Text, CopyAndAppendStayWithinTheBuffer)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_TRUE(copyText(buffer, "abc"));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_TRUE(appendText(buffer, "defg"));
    EXPECT_STREQ(buffer, "abcdefg") << "7 characters and the NUL fill 8 bytes exactly";
    EXPECT_FALSE(appendText(buffer, "h"));
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_FALSE(copyText(buffer, "0123456789"));
    EXPECT_STREQ(buffer, "0123456") << "cut, but terminated";
    EXPECT_FALSE(copyText(buffer, 0, "a"));
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_FALSE(copyText(buffer, "0123456789"));
    EXPECT_EQ(std::string(buffer, strnlen(buffer, sizeof buffer)), "0123456") << "cut into a buffer of no zeros";
    wchar_t wide[4];
    EXPECT_TRUE(widenAsciiText(wide, "\x80" "a"));
    EXPECT_STREQ(wide, L"?a") << "a byte outside ASCII";
}

TEST(Text, AnUnterminatedDestinationIsTakenAsFull)
{
    char narrow[6];
    std::memset(narrow, 'x', sizeof narrow);
    EXPECT_FALSE(appendText(narrow, "a"));
    EXPECT_EQ(std::string(narrow), "xxxxx");
    wchar_t wide[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_FALSE(appendText(wide, L"a"));
    EXPECT_EQ(std::wstring(wide), L"xxx");
    char decimal[3] = {'1', '2', '3'};
    EXPECT_FALSE(appendDecimal(decimal, 4));
    EXPECT_STREQ(decimal, "12");
}

TEST(Text, WideTextAndAsciiValues)
{
    wchar_t path[8] = L"";
    EXPECT_TRUE(copyText(path, L"C:\\\u6771"));
    EXPECT_TRUE(appendText(path, L"\\a"));
    EXPECT_STREQ(path, L"C:\\\u6771\\a");
    EXPECT_FALSE(appendText(path, L"bcd"));
    EXPECT_STREQ(path, L"C:\\\u6771\\ab");

    char value[4];
    EXPECT_TRUE(narrowAsciiText(value, L"y\u00e9s"));
    EXPECT_STREQ(value, "y?s");
    EXPECT_TRUE(narrowAsciiText(value, L"\u007f\u0080"));
    EXPECT_STREQ(value, "\x7f?") << "ASCII ends at U+007F";
    EXPECT_FALSE(narrowAsciiText(value, L"yess"));
    EXPECT_STREQ(value, "yes");
    wchar_t key[8];
    EXPECT_TRUE(widenAsciiText(key, "k\xe9y"));
    EXPECT_STREQ(key, L"k?y");
}

TEST(Text, DecimalAsPercentD)
{
    const struct { long value; const char* text; } cases[] = {
        {0, "0"}, {7, "7"}, {-1, "-1"}, {412, "412"}, {-800, "-800"},
        {2147483647L, "2147483647"}, {-2147483647L - 1, "-2147483648"}};
    for (const auto& c : cases) {
        char buffer[24] = "";
        EXPECT_TRUE(appendDecimal(buffer, c.value));
        EXPECT_STREQ(buffer, c.text);
    }
    char small[4] = "";
    EXPECT_FALSE(appendDecimal(small, -800));
    EXPECT_STREQ(small, "-80");
    char longMin[24] = "";
    EXPECT_TRUE(appendDecimal(longMin, LONG_MIN));
    EXPECT_EQ(std::strlen(longMin), std::strlen(LONG_MIN == -2147483647L - 1 ? "-2147483648" : "-9223372036854775808"));
}

} // namespace
