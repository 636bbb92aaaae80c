#include <gtest/gtest.h>

#include <string>

#include "watch/traffic_watch.h"

namespace {

// Looks every 500 ms at scripted counters; the string says, per look, what
// happened since the one before: 'b' both ways, 'o' out only, 'i' in only,
// '.' nothing. Returns the looks (by number, from 1) that called for a probe.
std::string watch(TrafficWatch& w, const std::string& script, LinkState shown, uint32_t& clock,
                  TrafficCounters& c)
{
    std::string calls;
    for (size_t n = 0; n < script.size(); ++n) {
        clock += 500;
        if (script[n] == 'b' || script[n] == 'o')
            c.out += 3;
        if (script[n] == 'b' || script[n] == 'i')
            c.in += 2;
        if (trafficCallsForProbe(w, c, shown, clock))
            calls += (calls.empty() ? "" : " ") + std::to_string(n + 1);
    }
    return calls;
}

TEST(TrafficWatch, WhileConnectedAnswersThatStopWhileTrafficGoesOutCallForOneProbe)
{
    TrafficWatch w = {};
    uint32_t clock = 0xFFFFFF00u;  // across the clock's wrap
    TrafficCounters c = {0xFFFFFFFEu, 7};
    EXPECT_EQ(watch(w, "bbbb", Connected, clock, c), "");
    EXPECT_EQ(watch(w, "oooooooooo", Connected, clock, c), "3")
        << "1.5 s of silence, then no second probe while still nothing came back";
    EXPECT_EQ(watch(w, "oo.o", Connected, clock, c), "");
    restartTrafficWatch(w);
    EXPECT_EQ(watch(w, "bbooo", Connected, clock, c), "") << "re-armed, but within 10 s of the last";
    EXPECT_EQ(watch(w, "bbbbbboooo", Connected, clock, c), "9");
}

TEST(TrafficWatch, AnIdleComputerOrAStuckConnectionCallsForNothing)
{
    TrafficWatch w = {};
    uint32_t clock = 0;
    TrafficCounters c = {};
    EXPECT_EQ(watch(w, std::string(200, '.'), Connected, clock, c), "") << "idle: only the interval's probes";
    EXPECT_EQ(watch(w, std::string(40, 'o'), Connected, clock, c), "") << "nothing ever came back: not armed";
    EXPECT_EQ(watch(w, "boiooiooiooi", Connected, clock, c), "") << "answers within every 1.5 s";
    EXPECT_EQ(watch(w, "iioo", Connected, clock, c), "") << "in only a look ago";
}

TEST(TrafficWatch, AnIdleComputerAfterAnAnswerAndAStuckStreamCallForNoMoreThanOneProbe)
{
    TrafficWatch w = {};
    uint32_t clock = 0;
    TrafficCounters c = {};
    EXPECT_EQ(watch(w, "bbb" + std::string(40, '.'), Connected, clock, c), "") << "nothing either way after an answer";
    EXPECT_EQ(watch(w, "b" + std::string(30, 'o'), Connected, clock, c), "4")
        << "one stuck stream over 15 s: one probe, not one every 10 s";
    w = {};
    EXPECT_EQ(watch(w, "bbboo", Connected, clock, c), "");
    restartTrafficWatch(w);  // a probe: what went out before it is answered or not by now
    EXPECT_EQ(watch(w, "oooo", Connected, clock, c), "4") << "silence counted from the restart's first look";
}

TEST(TrafficWatch, AProbeStartedByReturningTrafficDoesNotDelayTheNextStartedBySilence)
{
    TrafficWatch w = {};
    uint32_t clock = 0;
    TrafficCounters c = {};
    EXPECT_EQ(watch(w, "oob", Broken, clock, c), "3");
    restartTrafficWatch(w);
    EXPECT_EQ(watch(w, ".bbbooooo", Connected, clock, c), "7") << "an outage 4 s after the return";
}

TEST(TrafficWatch, WhatIsSeenGoingOutAfterAQuietSpellGetsItsTimeToBeAnswered)
{
    TrafficWatch w = {};
    TrafficCounters c = {1, 1};
    trafficCallsForProbe(w, c, Connected, 0);
    ++c.in, ++c.out;
    trafficCallsForProbe(w, c, Connected, 250);
    ++c.out;
    EXPECT_FALSE(trafficCallsForProbe(w, c, Connected, 5250)) << "5 s after the last look, but only just seen";
    EXPECT_FALSE(trafficCallsForProbe(w, c, Connected, 5500));
    EXPECT_TRUE(trafficCallsForProbe(w, c, Connected, 5750)) << "1.5 s from at most 1 s before it was seen";
}

TEST(TrafficWatch, LooksComeOftenWhileTheCountersMoveAndSeldomWhileTheyStandStill)
{
    TrafficWatch w = {};
    uint32_t clock = 0;
    TrafficCounters c = {};
    EXPECT_EQ(nextTrafficLookMs(w), uint32_t(kQuietLookMs));
    watch(w, "..o", Connected, clock, c);
    EXPECT_EQ(nextTrafficLookMs(w), uint32_t(kTrafficLookMs));
    watch(w, ".", Connected, clock, c);
    EXPECT_EQ(nextTrafficLookMs(w), uint32_t(kQuietLookMs));
    watch(w, "bo.", Connected, clock, c);
    EXPECT_EQ(nextTrafficLookMs(w), uint32_t(kTrafficLookMs)) << "a stream paused with its answer awaited";
    watch(w, "i.", Connected, clock, c);
    EXPECT_EQ(nextTrafficLookMs(w), uint32_t(kQuietLookMs)) << "answered";
    restartTrafficWatch(w);
    EXPECT_EQ(nextTrafficLookMs(w), uint32_t(kTrafficLookMs)) << "after a probe, traffic already flowing is seen soon";
}

TEST(TrafficWatch, WhileBrokenAnswersComingInCallForAProbeEveryTenSecondsAtMost)
{
    TrafficWatch w = {};
    uint32_t clock = 5000;
    TrafficCounters c = {};
    EXPECT_EQ(watch(w, "oooooo", Broken, clock, c), "") << "nothing comes back";
    EXPECT_EQ(watch(w, "oib", Broken, clock, c), "2");
    EXPECT_EQ(watch(w, std::string(20, 'b'), Broken, clock, c), "19") << "10 s after the last";
    restartTrafficWatch(w);
    clock += 20000;
    EXPECT_EQ(watch(w, "i", Broken, clock, c), "") << "the probe's own packets before the restart do not count";
}

} // namespace
