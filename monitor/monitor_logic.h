// The monitor's decisions: when to probe, which host, and what to report.
// Portable: no <windows.h>. The thread body supplies the real probe, wait and
// message post; tests supply scripted ones.
#pragma once

#include <cstdint>

#include "core/link_state.h"
#include "probe/probe_hosts.h"
#include "web/web_check.h"

enum : uint32_t { kBrokenRetryMs = 5000, kResumeGraceMs = 30000, kNameFailuresForBroken = 2 };

// What a probe found besides its answer, for the cause of a Broken verdict.
struct ProbeFindings {
    // The route as it stands at the verdict, not as the probe began: a cable
    // pulled during the probe is no network, not the provider.
    bool localAddress;  // a local address toward the internet
    uint32_t gateway;   // the default route's next hop (IPv6's by a number standing for it); 0 where it
                        // has none (a tunnel, PPP)
    bool namesFailed;   // a name lookup failed or stayed out past its 2 s
    bool webCheckDue;   // a Connected answer is to be followed by the web check (see web/web_check.h)
    bool networkChanged;  // another local network since the last probe: its gateway is learned anew
};

enum : uint32_t {
    // The gateway asked at a Broken verdict: two requests this far apart, the
    // second waited for 1 s; one answer is enough.
    kGatewayRequests = 2,
    kGatewaySpacingMs = 500,
    kGatewayWaitMs = 1000,
};

// Whether the gateway answers echo, learned while the hosts answer. Many
// firewalls, tunnel ends and virtual switches never do; their silence
// tells nothing of an outage.
enum class GatewayEcho { Unlearned, Answers, Silent };

struct MonitorHooks {
    // Broken when the host does not answer.
    LinkState (*probe)(const char* host, void* context) = nullptr;
    // Waits that long, or less when the local network changes or the machine
    // sleeps or resumes.
    void (*sleep)(uint32_t milliseconds, void* context) = nullptr;
    // Called with the first state found and then with every change, of the
    // state or of where the break is.
    void (*report)(LinkState state, BreakCause cause, bool first, void* context) = nullptr;
    void* context = nullptr;
    uint32_t pingIntervalMs = 0;
    // The suspends and resumes counted so far, and a millisecond clock; both
    // null where sleep is not watched.
    uint32_t (*powerChanges)(void* context) = nullptr;
    uint32_t (*clockMs)(void* context) = nullptr;
    // What the last probe found; null where only its answer is known.
    ProbeFindings (*findings)(void* context) = nullptr;
    // Whether the gateway answers any of that many echo requests, sent
    // kGatewaySpacingMs apart; null where the gateway is never asked.
    bool (*askGateway)(uint32_t gateway, uint32_t requests, void* context) = nullptr;
    // The web check's answer, after a probe that said that; null where there
    // is none.
    WebAnswer (*checkWeb)(LinkState probeAnswer, void* context) = nullptr;
    // The web check through the user's proxy. alone: no direct probe came
    // before; the local network is looked at first (Unasked where it
    // changed or is gone). Null where no proxy is ever asked.
    ProxyAnswer (*checkProxy)(bool alone, void* context) = nullptr;
};

struct MonitorState {
    LinkState shown;       // the state last reported
    BreakCause cause;      // and where the break is, while Broken
    // Another cause found while Broken, reported once the next probe agrees.
    BreakCause nextCause;
    uint32_t namesFailedInRow;  // probes in a row whose hosts answered and names did not
    uint32_t powerChangesSeen;
    // Within 30 s of a resume: the network may still be coming back, so a
    // Broken result is tried again every 5 s instead of being reported.
    bool resumeGrace;
    uint32_t resumedAtMs;
    // The first verdict after the machine slept is reported even where it
    // is the state shown before: the log starts watching again with it.
    bool reportAfterSleep;
    // The gateway last learned, and whether it answers echo.
    uint32_t gateway;
    GatewayEcho gatewayEcho;
};

// The pause before the next probe: 5 s while Broken, the interval while Connected.
uint32_t pauseBeforeNextProbe(LinkState previous, uint32_t pingIntervalMs);

struct Verdict {
    LinkState state;
    BreakCause cause;
};

// What a probe's answer and findings show, in this order: no network; with
// the hosts silent, where the silence comes from (a gateway known to answer
// that does not is the router; one that answers, the provider; one that
// never answers echo, or none at all, the internet), then a sign-in page if
// the web check, asked for the provider or the internet, finds one; with the
// hosts answering, a sign-in page the web check finds (while one is shown,
// an answer with no opinion keeps it), then names unanswered in two probes
// in a row. The gateway is learned here too: one echo request after each
// change of gateway while the hosts answer, nothing more.
Verdict judgeProbe(const MonitorHooks& hooks, LinkState answer, MonitorState& state);

// The first probe of the run; always reported, as the first state.
MonitorState monitorFirstProbe(const MonitorHooks& hooks, HostGenerator& generator);

// One pass of the loop: pause, probe, report a change: of the state at once,
// of where the break is once two probes in a row agree (a lost echo on a
// busy network must not move it back and forth), except that no network is
// certain and reported at once. A first name failure brings the next probe
// as near as Broken does. The result of a probe during which the machine
// went to sleep or woke is dropped, and for 30 s after a resume a Broken
// result is retried every 5 s instead of being reported. The first verdict
// reported after a sleep is reported even where nothing changed. While the
// proxy carries the check (Connected through it, or its way out cut), the
// check through it is the probe; the hosts are probed directly again when
// the proxy is not reached or the local network changes.
MonitorState monitorPass(const MonitorHooks& hooks, HostGenerator& generator, MonitorState state);
