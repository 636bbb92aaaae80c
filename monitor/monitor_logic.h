// The monitor's decisions: when to probe, which host, and what to report.
// Portable: no <windows.h>. The thread body supplies the real probe, wait and
// message post; tests supply scripted ones.
#pragma once

#include <cstdint>

#include "core/link_state.h"
#include "probe/probe_hosts.h"

enum : uint32_t { kBrokenRetryMs = 5000, kResumeGraceMs = 30000, kNameFailuresForBroken = 2 };

// What a probe found besides its answer, for the cause of a Broken verdict.
// The hosts answered when the answer is Connected or a sign-in page made it
// Broken.
struct ProbeFindings {
    bool localAddress;  // the route look found a local address toward the internet
    bool signInPage;    // the web check met a sign-in page
    bool namesFailed;   // a name lookup failed or stayed out past its 2 s
};

enum class GatewayAnswer {
    None,      // no gateway found, or the computer itself (point-to-point links)
    Answered,
    Silent,
};

struct MonitorHooks {
    // Broken when the host does not answer or a sign-in page is in the way.
    LinkState (*probe)(const char* host, void* context);
    // Waits that long, or less when the local network changes or the machine resumes.
    void (*sleep)(uint32_t milliseconds, void* context);
    // Called with the first state found and then with every change, of the
    // state or of where the break is.
    void (*report)(LinkState state, BreakCause cause, bool first, void* context);
    void* context;
    uint32_t pingIntervalMs;
    // The resumes from sleep counted so far, and a millisecond clock; both
    // null where resumes are not watched.
    uint32_t (*resumeCount)(void* context);
    uint32_t (*clockMs)(void* context);
    // What the last probe found; null where only its answer is known.
    ProbeFindings (*findings)(void* context);
    // Sends one echo request to the default gateway; null where there is none.
    GatewayAnswer (*askGateway)(void* context);
};

struct MonitorState {
    LinkState shown;       // the state last reported
    BreakCause cause;      // and where the break is, while Broken
    uint32_t namesFailedInRow;  // probes in a row whose hosts answered and names did not
    uint32_t resumesSeen;
    // Within 30 s of a resume: the network may still be coming back, so a
    // Broken result is tried again every 5 s instead of being reported.
    bool resumeGrace;
    uint32_t resumedAtMs;
};

// The pause before the next probe: 5 s while Broken, the interval while Connected.
uint32_t pauseBeforeNextProbe(LinkState previous, uint32_t pingIntervalMs);

struct Verdict {
    LinkState state;
    BreakCause cause;
};

// What a probe's answer and findings show, in this order: a sign-in page; no
// network; the router silent to one echo request (asked only here, only for a
// Broken verdict); the provider; and, with the hosts answering, names
// unanswered in two probes in a row. Counts the probes in a row whose names
// failed.
Verdict judgeProbe(const MonitorHooks& hooks, LinkState answer, uint32_t& namesFailedInRow);

// The first probe of the run; always reported, as the first state.
MonitorState monitorFirstProbe(const MonitorHooks& hooks, HostGenerator& generator);

// One pass of the loop: pause, probe, report a change (also of where the
// break is). A first name failure brings the next probe as near as Broken
// does. After a resume the
// result of a probe that spanned the suspend is dropped, and for 30 s a
// Broken result is retried every 5 s instead of being reported.
MonitorState monitorPass(const MonitorHooks& hooks, HostGenerator& generator, MonitorState state);
