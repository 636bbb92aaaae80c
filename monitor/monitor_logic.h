// The monitor's decisions: when to probe, which host, and what to report.
// Portable: no <windows.h>. The thread body supplies the real probe, wait and
// message post; tests supply scripted ones.
//
// Every answer the probe, the router, the web check or the proxy can give
// maps to Connected, Broken with a cause, or no opinion; no opinion holds
// the state shown for a few checks at most, and every mode (through the
// proxy, a sign-in page held, a router learned) has a way out.
#pragma once

#include <cstdint>

#include "core/link_state.h"
#include "probe/probe_hosts.h"
#include "web/web_check.h"

enum : uint32_t {
    kBrokenRetryMs = 5000,
    kResumeGraceMs = 30000,
    kNameFailuresForBroken = 2,
    // While the proxy carries the check and it is Connected: an outage of the
    // proxy's way out is seen within 15 s and a probe's 5.
    kProxyCheckMs = 15000,
    // While the proxy carries the check, the hosts are probed directly this
    // often: a firewall opened, a network that moved on.
    kDirectProbeThroughProxyMs = 600000,
    // The third answer in a row that has no opinion no longer holds the
    // state shown (a stalled portal, a proxy's 403).
    kNoOpinionsInRow = 3,
    // How often a router is learned again while Connected, beside the hourly web check.
    kGatewayRelearnMs = 3600000,
};

// What the checks run alongside a probe's handshake found: once two echo
// requests went unanswered, the router's echo and the web check are asked
// at the same time as the handshake, so that a Broken verdict has its cause
// when it comes. Nothing asked: gatewayRequests and webAsked stay 0.
struct AlongsideAnswers {
    uint32_t gateway;          // the router asked (the findings' number for it)
    uint32_t gatewayRequests;  // how many requests it could be sent
    bool gatewayAnswered;
    bool webAsked;
    WebAnswer web;
};

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
    uint64_t gatewayLink;  // the router's link-layer address, 0 where the system does not say
    AlongsideAnswers alongside;
};

enum : uint32_t {
    // The gateway asked at a Broken verdict: up to two requests this far
    // apart, the second waited for 1 s; one answer is enough. One known not
    // to answer echo gets one request: an answer shows it does after all.
    kGatewayRequests = 2,
    kSilentGatewayRequests = 1,
    kGatewaySpacingMs = 500,
    kGatewayWaitMs = 1000,
    // A router is learned with up to three, stopping at the first answer:
    // routers limit the echo they answer, and Wi-Fi drops packets.
    kGatewayLearningRequests = 3,
};

// What the probe may ask alongside its handshake, from what is known of the
// router: how many echo requests it gets, and whether the web check goes too.
struct AlongsidePlan {
    uint32_t learnedGateway;     // 0: none learned
    uint32_t learnedRequests;    // for that router
    uint32_t otherRequests;      // for any other
    bool web;
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
    // The suspends and resumes counted so far; null where sleep is not watched.
    uint32_t (*powerChanges)(void* context) = nullptr;
    // A millisecond clock; null where time is not told (no resume grace, no
    // relearning, no direct probe while the proxy carries the check).
    uint32_t (*clockMs)(void* context) = nullptr;
    // What the last probe found; null where only its answer is known.
    ProbeFindings (*findings)(void* context) = nullptr;
    // What the next probe may ask alongside its handshake; null where nothing is.
    void (*planAlongside)(const AlongsidePlan& plan, void* context) = nullptr;
    // Whether the gateway answers any of that many echo requests, sent
    // kGatewaySpacingMs apart; null where the gateway is never asked.
    bool (*askGateway)(uint32_t gateway, uint32_t requests, void* context) = nullptr;
    // The web check's answer, after a probe that said that; null where there
    // is none.
    WebAnswer (*checkWeb)(LinkState probeAnswer, void* context) = nullptr;
    // The web check through the user's proxy, as it counts (see
    // proxyAnswerThatCounts). alone: no direct probe came before; the local
    // network is looked at first (Unasked where it changed or is gone).
    // Null where no proxy is ever asked.
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
    // The gateway last learned (address and link-layer address), whether it
    // answers echo, and when that was learned.
    uint32_t gateway;
    uint64_t gatewayLink;
    GatewayEcho gatewayEcho;
    uint32_t gatewayLearnedAtMs;
    // The last verdict came through the proxy: its answer is the probe, and
    // nothing is sent to the hosts directly but every 10 minutes.
    bool viaProxy;
    uint32_t directProbeAtMs;
    // Answers with no opinion in a row: through the proxy, and from the web
    // check while a sign-in page is held.
    uint32_t proxyNoOpinions;
    uint32_t webNoOpinions;
};

// The pause before the next probe: 5 s while Broken, the interval while
// Connected, or 15 s at most while the proxy carries the check.
uint32_t pauseBeforeNextProbe(const MonitorState& state, uint32_t pingIntervalMs);

struct Verdict {
    LinkState state;
    BreakCause cause;
};

// What a probe's answer and findings show, in this order: no network; with
// the hosts silent, the proxy's answer where one is set, then where the
// silence comes from (a gateway known to answer that does not is the
// router; one that answers, the provider; one not learned, learned as
// silent, or none at all, the internet), then a sign-in page if the web
// check, asked for the provider or the internet, finds one; with the hosts
// answering, a sign-in page the web check finds (while one is shown, an
// answer with no opinion keeps it, twice in a row at most and never across
// a change of network), then names unanswered in two probes in a row. The
// gateway is learned here too: up to three echo requests after each change
// of gateway and once an hour while the hosts answer, nothing more.
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
// proxy carries the check, the check through it is the probe, every 15 s at
// most; the hosts are probed directly again every 10 minutes, when the
// proxy is not reached, after its third answer in a row with no opinion, or
// when the local network changes.
MonitorState monitorPass(const MonitorHooks& hooks, HostGenerator& generator, MonitorState state);
