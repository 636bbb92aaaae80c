#include <gtest/gtest.h>

#include "core/link_state.h"
#include "tray/countdown.h"
#include "tray/hide_times.h"

namespace {

TEST(LinkState, EachStateHasItsTextAndItsIconGroup)
{
    EXPECT_STREQ(linkStateText(Connected), "Internet connection is established.");
    EXPECT_STREQ(linkStateText(Broken), "Internet connection is broken.");
    EXPECT_EQ(linkStateIconId(Connected), 102);
    EXPECT_EQ(linkStateIconId(Broken), 101);
}

TEST(HideTimes, TableInMenuOrder)
{
    const char* labels[] = {"Never", "10 s", "20 s", "30 s", "40 s", "50 s", "60 s"};
    for (int i = 0; i < kHideTimeChoiceCount; ++i) {
        EXPECT_EQ(kHideTimeChoices[i].commandId, 110 + i);
        EXPECT_STREQ(kHideTimeChoices[i].label, labels[i]);
        EXPECT_EQ(kHideTimeChoices[i].seconds, 10 * i);
    }
}

TEST(HideTimes, LookUpByIdAndBySeconds)
{
    EXPECT_EQ(findHideTimeById(113)->seconds, 30);
    EXPECT_EQ(findHideTimeById(110)->seconds, 0);
    EXPECT_EQ(findHideTimeById(109), nullptr);
    EXPECT_EQ(findHideTimeById(117), nullptr);
    EXPECT_EQ(findHideTimeBySeconds(60)->commandId, 116);
    EXPECT_EQ(findHideTimeBySeconds(25), nullptr) << "a stored 25 matches no row";
    EXPECT_EQ(findHideTimeBySeconds(-10), nullptr);
}

TEST(Countdown, ButtonText)
{
    char text[kOkButtonTextSize];
    formatOkButtonText(text, false, 7);
    EXPECT_STREQ(text, "OK");
    formatOkButtonText(text, true, 10);
    EXPECT_STREQ(text, "OK[10]");
    formatOkButtonText(text, true, 0);
    EXPECT_STREQ(text, "OK[0]");
}

TEST(Countdown, HidesOnTheNthTick)
{
    int remaining = 10;
    for (int tick = 1; tick < 10; ++tick) {
        EXPECT_FALSE(countdownTick(remaining)) << "tick " << tick;
        EXPECT_EQ(remaining, 10 - tick);
    }
    EXPECT_TRUE(countdownTick(remaining));
    EXPECT_EQ(remaining, 0);
    EXPECT_FALSE(countdownTick(remaining)) << "a finished countdown does nothing";
    EXPECT_EQ(remaining, 0);
    int negative = -3;
    EXPECT_FALSE(countdownTick(negative));
    EXPECT_EQ(negative, -3);
}

} // namespace
