// The monitor's decisions: when to probe, which host, and what to report.
// Portable: no <windows.h>. The thread body supplies the real probe, sleep and
// message post; tests supply scripted ones.
#pragma once

#include <cstdint>

#include "core/link_state.h"
#include "monitor/probe_hosts.h"

enum : uint32_t { kBrokenRetryMs = 5000 };

struct MonitorHooks {
    LinkState (*probe)(const char* host, void* context);
    void (*sleep)(uint32_t milliseconds, void* context);
    // Called with the first state found and then with every change.
    void (*report)(LinkState state, bool first, void* context);
    void* context;
    uint32_t pingIntervalMs;
};

// The pause before the next probe: 5 s while Broken, the interval while Connected.
uint32_t pauseBeforeNextProbe(LinkState previous, uint32_t pingIntervalMs);

// The first probe of the run; always reported, as the first state.
LinkState monitorFirstProbe(const MonitorHooks& hooks, HostGenerator& generator);

// One pass of the loop: pause, probe, report a change. Returns the state now in force.
LinkState monitorPass(const MonitorHooks& hooks, HostGenerator& generator, LinkState previous);
