// Noticing an outage from the traffic the computer has anyway, without
// sending anything: counters the system keeps (TCP segments out and in) are
// read between probes. While Connected, segments that keep going out with
// nothing coming back mean the answers stopped: probe now. While Broken,
// segments coming in again mean the network may be back: probe now.
// Portable: no <windows.h>.
#pragma once

#include <cstdint>

#include "core/link_state.h"

enum : uint32_t {
    kTrafficLookMs = 500,
    // How long nothing may come back while something goes out.
    kSilentLooks = 3,
    // At most one probe started by the traffic in this time.
    kEarlyProbeSpacingMs = 10000,
};

struct TrafficCounters {
    uint32_t in;   // segments received
    uint32_t out;  // segments sent, retransmissions included
};

struct TrafficWatch {
    TrafficCounters looks[kSilentLooks + 1];  // the last looks, the newest at [count - 1]
    uint32_t count;
    // Something came back since the last probe that the traffic started; a
    // single stuck connection then starts no second probe.
    bool armed;
    bool probedEarly;
    uint32_t lastEarlyProbeMs;
};

// Starts over: after each probe, whose own packets must not count.
void restartTrafficWatch(TrafficWatch& watch);

// Takes one look's counters; true when they call for a probe now, which is
// then counted as started by the traffic.
bool trafficCallsForProbe(TrafficWatch& watch, TrafficCounters now, LinkState shown, uint32_t nowMs);
