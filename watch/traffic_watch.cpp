#include "monitor/traffic_watch.h"

namespace {

bool earlyProbeAllowed(const TrafficWatch& watch, uint32_t nowMs)
{
    return !watch.probedEarly || nowMs - watch.lastEarlyProbeMs >= kEarlyProbeSpacingMs;
}

void keepLook(TrafficWatch& watch, TrafficCounters now)
{
    if (watch.count == kSilentLooks + 1) {
        for (uint32_t i = 1; i < watch.count; ++i)
            watch.looks[i - 1] = watch.looks[i];
        --watch.count;
    }
    watch.looks[watch.count++] = now;
}

// Counters wrap; any difference is traffic.
bool answersStopped(const TrafficWatch& watch)
{
    if (watch.count < kSilentLooks + 1)
        return false;
    const TrafficCounters& first = watch.looks[0];
    const TrafficCounters& last = watch.looks[watch.count - 1];
    return last.in == first.in && last.out != first.out;
}

bool answersCame(const TrafficWatch& watch)
{
    return watch.count >= 2 && watch.looks[watch.count - 1].in != watch.looks[watch.count - 2].in;
}

} // namespace

void restartTrafficWatch(TrafficWatch& watch)
{
    watch.count = 0;
}

bool trafficCallsForProbe(TrafficWatch& watch, TrafficCounters now, LinkState shown, uint32_t nowMs)
{
    keepLook(watch, now);
    if (answersCame(watch))
        watch.armed = true;
    const bool called = shown == Connected ? watch.armed && answersStopped(watch) : answersCame(watch);
    if (!called || !earlyProbeAllowed(watch, nowMs))
        return false;
    watch.armed = false;
    watch.probedEarly = true;
    watch.lastEarlyProbeMs = nowMs;
    return true;
}
