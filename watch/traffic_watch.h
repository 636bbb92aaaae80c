// Noticing an outage from the traffic the computer has anyway, without
// sending anything: the packet counters the system keeps for the interface
// that carries the internet are read between probes. They count every
// protocol and both IP versions (a download, a call, a video), and leave the
// computer's talk with itself (loopback) out. While Connected, packets that
// keep going out with nothing coming back mean the answers stopped: probe
// now. While Broken, packets coming in again mean the network may be back:
// probe now.
// Portable: no <windows.h>.
#pragma once

#include <cstdint>

#include "core/link_state.h"

enum : uint32_t {
    // How often the counters are looked at while they move (often, so that
    // answers that stop are seen soon after the 1.5 s), and while they stand
    // still: a stream that starts is seen within 4 s. Each look costs the
    // system a round trip to its network driver, about 2 ms of processor
    // time under Wine, so a computer left alone pays for few of them.
    kTrafficLookMs = 250,
    kQuietLookMs = 4000,
    // What is seen going out after a quiet spell counts as sent at most this
    // long before the look that saw it.
    kLongestUnseenMs = 1000,
    // How long nothing may come back while something goes out.
    kSilenceMs = 1500,
    // At most one probe started by silence in this time, and one by returning traffic.
    kEarlyProbeSpacingMs = 10000,
};

struct TrafficCounters {
    uint32_t in;   // unicast packets received (the low 32 bits: only differences count)
    uint32_t out;  // unicast packets sent
};

struct TrafficWatch {
    TrafficCounters last;  // the last look's counters, once `started`
    bool started;
    bool moving;           // the last look saw either counter change
    uint32_t lastLookMs;
    // Something went out that nothing came back for, since the look at that
    // moment (the earliest it can have left).
    bool unanswered;
    uint32_t unansweredSinceMs;
    // Something came back since the last probe that silence started; a single
    // stuck stream then starts no second probe.
    bool armed;
    bool silenceProbed, returnProbed;
    uint32_t silenceProbeMs, returnProbeMs;
};

// Starts over: after each probe, whose own packets must not count, and when
// the interface that carries the internet changes.
void restartTrafficWatch(TrafficWatch& watch);

// Takes one look's counters; true when they call for a probe now, which is
// then counted as started by the traffic.
bool trafficCallsForProbe(TrafficWatch& watch, TrafficCounters now, LinkState shown, uint32_t nowMs);

// How long until the next look: sooner while the counters move, and while
// something that went out waits for its answer.
uint32_t nextTrafficLookMs(const TrafficWatch& watch);
