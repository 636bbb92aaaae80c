#include "watch/traffic_watch.h"

namespace {

bool spacedOut(bool before, uint32_t lastMs, uint32_t nowMs)
{
    return !before || nowMs - lastMs >= kEarlyProbeSpacingMs;
}

// While Connected: something went out and nothing came back for 1.5 s, on a
// stream that was answered since the last such probe.
bool silenceCallsForProbe(TrafficWatch& watch, uint32_t nowMs)
{
    if (!watch.armed || !watch.unanswered || nowMs - watch.unansweredSinceMs < kSilenceMs ||
        !spacedOut(watch.silenceProbed, watch.silenceProbeMs, nowMs))
        return false;
    watch.armed = false;
    watch.silenceProbed = true;
    watch.silenceProbeMs = nowMs;
    return true;
}

// While Broken: something came in.
bool returnCallsForProbe(TrafficWatch& watch, bool cameIn, uint32_t nowMs)
{
    if (!cameIn || !spacedOut(watch.returnProbed, watch.returnProbeMs, nowMs))
        return false;
    watch.returnProbed = true;
    watch.returnProbeMs = nowMs;
    return true;
}

} // namespace

void restartTrafficWatch(TrafficWatch& watch)
{
    watch.started = false;
    watch.moving = true;  // unknown yet: the first looks come soon
}

bool trafficCallsForProbe(TrafficWatch& watch, TrafficCounters now, LinkState shown, uint32_t nowMs)
{
    if (!watch.started) {
        watch.started = true;
        watch.last = now;
        watch.lastLookMs = nowMs;
        watch.unanswered = false;
        return false;
    }
    // Counters wrap; any difference is traffic.
    const bool cameIn = now.in != watch.last.in;
    const bool wentOut = now.out != watch.last.out;
    watch.last = now;
    watch.moving = cameIn || wentOut;
    if (cameIn) {
        watch.unanswered = false;
        watch.armed = true;
    } else if (wentOut && !watch.unanswered) {
        watch.unanswered = true;
        watch.unansweredSinceMs = nowMs - watch.lastLookMs > kLongestUnseenMs ? nowMs - kLongestUnseenMs : watch.lastLookMs;
    }
    watch.lastLookMs = nowMs;
    return shown == Connected ? silenceCallsForProbe(watch, nowMs) : returnCallsForProbe(watch, cameIn, nowMs);
}

uint32_t nextTrafficLookMs(const TrafficWatch& watch)
{
    // A stream whose answers are awaited is looked at often even when it
    // pauses (TCP backs off before it tries again), so that its silence is
    // seen when it is due.
    const bool awaited = watch.unanswered && watch.armed;
    return watch.moving || awaited ? static_cast<uint32_t>(kTrafficLookMs) : static_cast<uint32_t>(kQuietLookMs);
}
