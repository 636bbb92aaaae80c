#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "app/text.h"

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
