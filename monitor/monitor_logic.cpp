#include "monitor/monitor_logic.h"

uint32_t pauseBeforeNextProbe(LinkState previous, uint32_t pingIntervalMs)
{
    return previous == Broken ? static_cast<uint32_t>(kBrokenRetryMs) : pingIntervalMs;
}

LinkState monitorFirstProbe(const MonitorHooks& hooks, HostGenerator& generator)
{
    const LinkState state = hooks.probe(pickProbeHost(generator), hooks.context);
    hooks.report(state, true, hooks.context);
    return state;
}

LinkState monitorPass(const MonitorHooks& hooks, HostGenerator& generator, LinkState previous)
{
    hooks.sleep(pauseBeforeNextProbe(previous, hooks.pingIntervalMs), hooks.context);
    const LinkState state = hooks.probe(pickProbeHost(generator), hooks.context);
    if (state != previous)
        hooks.report(state, false, hooks.context);
    return state;
}
