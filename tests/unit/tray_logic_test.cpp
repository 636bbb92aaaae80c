#include <gtest/gtest.h>

#include <string>

#include "core/link_state.h"
#include "core/name_uuid.h"
#include "tray/countdown.h"
#include "tray/hide_times.h"
#include "tray/icon_retry.h"
#include "tray/quiet_hours.h"

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

TEST(IconRetry, EveryTwoSecondsForTwoMinutesFromTheFirstRefusalThenEveryThirtyForGood)
{
    IconRetry retry = {};
    uint32_t now = 0xFFFFF000u;  // across the clock's wrap
    int quick = 0;
    for (uint32_t delay; (delay = iconRefused(retry, now)) == kIconRetryMs; now += delay)
        ++quick;
    EXPECT_EQ(quick, 60) << "the last quick try 120 s after the first refusal";
    for (int n = 0; n < 200; ++n, now += kIconSlowRetryMs)
        ASSERT_EQ(iconRefused(retry, now), 30000u) << "never given up: try " << n;
    iconTaken(retry);
    EXPECT_EQ(iconRefused(retry, now + 300000), 2000u) << "a refusal after the icon was taken starts again";
    EXPECT_EQ(iconRefused(retry, now + 300000 + 118000), 2000u);
    EXPECT_EQ(iconRefused(retry, now + 300000 + 120000), 30000u);
}

std::string written(const Uuid& uuid)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += digits[uuid.bytes[i] >> 4];
        text += digits[uuid.bytes[i] & 15];
    }
    return text;
}

TEST(NameUuid, VersionFiveAsPublishedStableAndOnePerName)
{
    // The DNS namespace of RFC 4122 and a name whose UUID others publish.
    const Uuid dns = {{0x6b, 0xa7, 0xb8, 0x10, 0x9d, 0xad, 0x11, 0xd1, 0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8}};
    const std::string name = "www.example.com";
    const auto of = [&](const std::string& n) {
        return written(nameBasedUuid(dns, reinterpret_cast<const uint8_t*>(n.data()), n.size()));
    };
    EXPECT_EQ(of(name), "2ed6657d-e927-568b-95e1-2665a8aea6a2");
    EXPECT_EQ(of(name), of(name));
    EXPECT_NE(of("C:\\A\\LINTORA.EXE"), of("C:\\B\\LINTORA.EXE"));
    const std::string longPath(300, 'x');  // more than one block of the hash
    EXPECT_NE(of(longPath), of(longPath + "y"));
}

// Changes told (T) or held (-) over a scripted run of what Windows says of
// the user; at the end of the quiet, whether the window tells the state then.
TEST(QuietHours, PresentingPlayingAndQuietTimeHoldTheWindowItTellsWhatStandsAfter)
{
    for (int state = kUserNotPresent; state <= kUserRunningApp; ++state)
        EXPECT_EQ(userWantsQuiet(state), state == kUserBusy || state == kUserFullScreenD3D ||
                                             state == kUserPresenting || state == kUserQuietTime)
            << state;
    EXPECT_FALSE(userWantsQuiet(0)) << "an answer not understood";

    PopupHold hold = {};
    EXPECT_TRUE(tellNow(hold, false, Connected));
    EXPECT_FALSE(tellNow(hold, true, Connected));  // Connected -> Broken during a slide show
    EXPECT_FALSE(tellNow(hold, true, Broken));     // and back
    EXPECT_FALSE(tellAfterQuiet(hold, Connected)) << "back where it was: nothing to tell";
    EXPECT_FALSE(tellNow(hold, true, Connected));
    EXPECT_TRUE(tellAfterQuiet(hold, Broken)) << "Broken stands after the quiet";
    EXPECT_FALSE(tellAfterQuiet(hold, Connected)) << "told once";
    EXPECT_TRUE(tellNow(hold, false, Broken));
}

TEST(QuietHours, EachQuietSpellComparesWithWhatWasToldLastAndAChangeToldEndsTheHold)
{
    PopupHold hold = {};
    EXPECT_FALSE(tellNow(hold, true, Connected));  // to Broken, held
    EXPECT_TRUE(tellAfterQuiet(hold, Broken));
    EXPECT_FALSE(tellNow(hold, true, Broken));     // a second spell: to Connected, held
    EXPECT_TRUE(tellAfterQuiet(hold, Connected)) << "compared with Broken, told after the first spell";

    EXPECT_FALSE(tellNow(hold, true, Connected));  // to Broken, held
    EXPECT_TRUE(tellNow(hold, false, Broken));     // the quiet over: to Connected, told
    EXPECT_TRUE(tellNow(hold, false, Connected));  // and to Broken, told
    EXPECT_FALSE(tellAfterQuiet(hold, Broken)) << "the window told it already: not twice";
}

} // namespace
