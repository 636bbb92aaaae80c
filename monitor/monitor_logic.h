// The monitor's decisions: when to probe, which host, and what to report.
// Portable: no <windows.h>. The thread body supplies the real probe, wait and
// message post; tests supply scripted ones.
#pragma once

#include <cstdint>

#include "core/link_state.h"
#include "probe/probe_hosts.h"

enum : uint32_t { kBrokenRetryMs = 5000, kResumeGraceMs = 30000 };

struct MonitorHooks {
    LinkState (*probe)(const char* host, void* context);
    // Waits that long, or less when the local network changes or the machine resumes.
    void (*sleep)(uint32_t milliseconds, void* context);
    // Called with the first state found and then with every change.
    void (*report)(LinkState state, bool first, void* context);
    void* context;
    uint32_t pingIntervalMs;
    // The resumes from sleep counted so far, and a millisecond clock; both
    // null where resumes are not watched.
    uint32_t (*resumeCount)(void* context);
    uint32_t (*clockMs)(void* context);
    // Whether the last probe's Broken was a sign-in page in the way (see
    // web/web_check.h); null where there is no web check.
    bool (*signInPage)(void* context);
};

struct MonitorState {
    LinkState shown;       // the state last reported
    bool signInShown;      // and whether a sign-in page was why it was Broken
    uint32_t resumesSeen;
    // Within 30 s of a resume: the network may still be coming back, so a
    // Broken result is tried again every 5 s instead of being reported.
    bool resumeGrace;
    uint32_t resumedAtMs;
};

// The pause before the next probe: 5 s while Broken, the interval while Connected.
uint32_t pauseBeforeNextProbe(LinkState previous, uint32_t pingIntervalMs);

// The first probe of the run; always reported, as the first state.
MonitorState monitorFirstProbe(const MonitorHooks& hooks, HostGenerator& generator);

// One pass of the loop: pause, probe, report a change (also between Broken
// and Broken for a sign-in page). After a resume the
// result of a probe that spanned the suspend is dropped, and for 30 s a
// Broken result is retried every 5 s instead of being reported.
MonitorState monitorPass(const MonitorHooks& hooks, HostGenerator& generator, MonitorState state);
