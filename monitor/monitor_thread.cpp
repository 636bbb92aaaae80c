#include "monitor/monitor_thread.h"

#include <winsock2.h>
#include <windows.h>

#include "core/app_state.h"
#include "core/messages.h"
#include "monitor/monitor_logic.h"
#include "probe/name_lookup.h"
#include "probe/probe.h"
#include "probe/probe_hosts.h"
#include "watch/network_look.h"
#include "watch/traffic_watch.h"
#include "web/web_fetch.h"
#include "web/web_proxy.h"

namespace {

enum : DWORD {
    // How often the wait looks at the local network: a cable pulled is shown
    // within about 2 s. The system's change notifications are not used: they
    // do not exist on every version, and never fire under Wine. Every other
    // look comes in the same wake as a look at the counters while they stand
    // still (a wake costs about as much as a look).
    kNetworkLookMs = 2000,
    // And at the interface that carries the internet, which costs more. It is
    // looked up at every probe too, and a probe follows every change of the
    // local address, which a move to another adapter brings.
    kInterfaceLookMs = 60000,
    // A look due this soon is made now, with the others.
    kLookSlackMs = 20,
    // A look that comes this much later than asked means the machine slept:
    // the tick count goes on through sleep, and the thread did not run.
    kSleptMs = 10000,
    // From a suspend notice on, the wait looks at the clock this often: a
    // sleep that did not come (refused, or its resume notice lost) ends it.
    kSuspendLookMs = 60000,
};

// The local network as the last probe began with it. The wait compares with
// this, so that a change while a probe ran (a cable pulled after the first
// answer) still cuts the next pause short.
NetworkPlace g_probedNetwork;

// The network as the last look found it: its interface's counters are watched.
NetworkPlace g_network;

// The suspends and resumes counted when the last probe began.
uint32_t g_probedPowerChanges = 0;

// The state last reported, and the traffic seen since the last probe ended.
LinkState g_reported = Broken;
BreakCause g_reportedCause = NoCause;
TrafficWatch g_traffic;

// The web check's schedule, and what the last probe found.
WebCheckSchedule g_webChecks;
ProbeFindings g_found;

// What the probe may ask alongside its handshake (from the monitor's
// decisions), and what that found.
AlongsidePlan g_plan;
AlongsideAnswers g_alongside;
bool g_alongsideEcho, g_alongsideWeb;  // under way

// The IPv6 router, where IPv4 has none (an IPv6-only network): the findings
// name it by a number, and the gateway asked by that number is asked over
// ICMPv6.
struct Gateway6 {
    Ipv6Bytes address;
    uint32_t scope;
    uint32_t number;  // 0: none
};
Gateway6 g_gateway6;

// The next hop toward the internet as the findings name it: IPv4's, or where
// only IPv6 goes out (its folded local address), IPv6's by its number.
uint32_t gatewayFrom(uint32_t localAddress)
{
    const uint32_t gateway = defaultGateway(localAddress);
    Ipv6Bytes local6;
    g_gateway6.number = 0;
    if (gateway == 0 && localIpv6RouteAddress(local6) && foldIpv6Prefix(local6) == localAddress &&
        defaultGateway6(g_gateway6.address, g_gateway6.scope))
        g_gateway6.number = foldIpv6Address(g_gateway6.address);
    return gateway != 0 ? gateway : g_gateway6.number;
}

uint32_t powerChanges(void*)
{
    return static_cast<uint32_t>(InterlockedCompareExchange(&g_app.powerChanges, 0, 0));
}

// The router as the echo asks it: over IPv6 where the findings' number is IPv6's.
EchoTarget gatewayTarget(uint32_t gateway)
{
    EchoTarget target = {};
    target.ipv6 = g_gateway6.number != 0 && gateway == g_gateway6.number;
    target.ipv4 = gateway;
    target.address6 = g_gateway6.address;
    target.scope = g_gateway6.scope;
    return target;
}

uint64_t gatewayLink(uint32_t gateway)
{
    if (gateway == 0)
        return 0;
    return gateway == g_gateway6.number ? gatewayLinkAddress6(g_gateway6.address) : gatewayLinkAddress(gateway);
}

// The local network as one number, for the proxy found on it.
uint32_t networkNumber(const NetworkPlace& network)
{
    return network.localAddress * 31 + network.interfaceIndex;
}

// Started with the probe's handshake: the router's echo (as many requests as
// the monitor allows for it), the web check over the address its name last
// resolved to (never waiting for a name), and the proxy's discovery where
// it is due.
void startAlongside(void*)
{
    g_alongside = AlongsideAnswers();
    const uint32_t localAddress = localRouteAddress();
    const uint32_t gateway = localAddress != 0 ? gatewayFrom(localAddress) : 0;
    const uint32_t requests = gateway == g_plan.learnedGateway ? g_plan.learnedRequests : g_plan.otherRequests;
    g_alongsideEcho = gateway != 0 && startEchoAsk(gatewayTarget(gateway), requests, kGatewaySpacingMs, kGatewayWaitMs);
    if (g_alongsideEcho) {
        g_alongside.gateway = gateway;
        g_alongside.gatewayRequests = requests;
    }
    HostAddresses host;
    Ipv6Bytes local6;
    bool possible = g_plan.web && rememberedAddresses(kWebCheckHost, host);
    const bool overIpv6 =
        webCheckOverIpv6(localIpv4RouteAddress() != 0, possible && host.hasIpv6 && localIpv6RouteAddress(local6),
                         host, possible);
    g_alongsideWeb = possible && startWebFetch(host, overIpv6, kBrokenWebConnectMs);
    if (g_alongsideWeb)
        noteWebCheck(g_webChecks, GetTickCount());
    if (localAddress != 0)
        prepareProxy(networkNumber(g_probedNetwork));
}

void stepAlongside(void*)
{
    if (g_alongsideEcho && stepEchoAsk(0)) {
        g_alongside.gatewayAnswered = echoAskAnswered();
        endEchoAsk();
        g_alongsideEcho = false;
    }
    if (g_alongsideWeb && stepWebFetch(0)) {
        g_alongside.webAsked = true;
        g_alongside.web = webFetchAnswer();
        endWebFetch();
        g_alongsideWeb = false;
    }
}

bool alongsideRunning(void*)
{
    return g_alongsideEcho || g_alongsideWeb;
}

// What was not over is given up; only what ended counts.
void stopAlongside(void*)
{
    if (g_alongsideEcho)
        endEchoAsk();
    if (g_alongsideWeb)
        endWebFetch();
    if (g_alongsideEcho)
        g_alongside.gatewayRequests = 0;
    g_alongsideEcho = g_alongsideWeb = false;
}

const ProbeCompanion kAlongside = {startAlongside, stepAlongside, alongsideRunning, stopAlongside, nullptr};

void planAlongside(const AlongsidePlan& plan, void*)
{
    g_plan = plan;
}

// What the probe found, with the route as it stands now that the answer is
// in: a cable pulled during the probe shows here.
ProbeFindings findingsAtVerdict(LinkState answer, bool networkChanged)
{
    ProbeFindings found = {};
    const uint32_t localAddress = localRouteAddress();
    found.localAddress = localAddress != 0;
    found.gateway = found.localAddress ? gatewayFrom(localAddress) : 0;
    found.gatewayLink = gatewayLink(found.gateway);
    found.namesFailed = namesUnanswered();
    found.networkChanged = networkChanged;
    found.webCheckDue = answer == Connected && webCheckDue(g_webChecks, g_reported, g_reportedCause == SignInPage,
                                                           networkChanged, GetTickCount());
    // Only a Broken verdict waited for what went alongside.
    if (answer == Broken)
        found.alongside = g_alongside;
    return found;
}

// The round trips of a probe the hosts answered go to the user interface
// thread, which keeps them an hour at a time; nothing more is sent for them.
void postMeasure(const ProbeMeasure& measure)
{
    uint32_t first, second;
    packProbeMeasure(measure, first, second);
    PostMessageA(g_app.mainWindow, WM_PROBEMEASURED, first, static_cast<LPARAM>(second));
}

LinkState probeForMonitor(const char* host, void*)
{
    const NetworkPlace network = lookAtNetwork();
    const uint32_t changes = powerChanges(nullptr);
    const bool changed = network != g_probedNetwork || changes != g_probedPowerChanges;
    g_probedNetwork = network;
    g_network = network;
    g_probedPowerChanges = changes;
    g_alongside = AlongsideAnswers();
    const LinkState answer = probeHost(host, &kAlongside);
    if (answer == Connected)
        postMeasure(lastProbeMeasure());
    g_found = findingsAtVerdict(answer, changed);
    restartTrafficWatch(g_traffic);  // the probe's own packets do not count
    return answer;
}

ProbeFindings probeFindings(void*)
{
    return g_found;
}

// Sent the way the probe sends its own.
bool askGateway(uint32_t gateway, uint32_t requests, void*)
{
    const bool answered = echoAnswered(gatewayTarget(gateway), requests, kGatewaySpacingMs, kGatewayWaitMs);
    restartTrafficWatch(g_traffic);  // nor do the gateway's
    return answered;
}

// One plain HTTP request for the web check's page, over the family its name
// and the routes allow; its name failing counts as a name failure.
WebAnswer checkWeb(LinkState probeAnswer, void*)
{
    noteWebCheck(g_webChecks, GetTickCount());
    const uint32_t connectMs = probeAnswer == Broken ? kBrokenWebConnectMs : kWebCheckWaitMs;
    HostAddresses host;
    bool possible = lookUpHostAddresses(kWebCheckHost, host);
    Ipv6Bytes local6;
    const bool ipv6Route = possible && host.hasIpv6 && localIpv6RouteAddress(local6);
    const bool overIpv6 = webCheckOverIpv6(localIpv4RouteAddress() != 0, ipv6Route, host, possible);
    const WebAnswer answer = possible ? fetchWebAnswer(host, overIpv6, connectMs) : WebAnswer::None;
    restartTrafficWatch(g_traffic);
    return answer;
}

// The web check through the user's proxy. Alone, it is the probe: the local
// network is looked at first, and a change leaves the verdict to the hosts.
ProxyAnswer checkProxy(bool alone, void*)
{
    if (alone) {
        const NetworkPlace network = lookAtNetwork();
        if (network != g_probedNetwork || network.localAddress == 0 || powerChanges(nullptr) != g_probedPowerChanges)
            return ProxyAnswer::Unasked;
        g_network = network;
    }
    const ProxyAnswer answer =
        fetchThroughProxy(networkNumber(g_network), g_reported == Broken ? kBrokenWebConnectMs : kWebCheckWaitMs);
    restartTrafficWatch(g_traffic);
    return answer;
}

// When each kind of look was last made.
struct LookTimes {
    DWORD counters, network, interface;
};

// Whether a look made every `interval` is due; a little early is as good.
bool lookDue(DWORD last, DWORD interval, DWORD now)
{
    return now - last + kLookSlackMs >= interval;
}

DWORD timeUntilLook(DWORD last, DWORD interval, DWORD now)
{
    return lookDue(last, interval, now) ? 0 : interval - (now - last);
}

// What the looks that are due find that calls for a probe now: the traffic
// (four times a second while it moves, every 4 s while it stands still),
// another local address every 2 s, and another interface carrying the
// internet every minute. The local network is looked at early, with the
// counters, when it would come due before their next look.
bool lookCallsForProbe(LookTimes& looks, DWORD now)
{
    TrafficCounters counters;
    const DWORD countersEvery = nextTrafficLookMs(g_traffic);
    const bool countersDue = lookDue(looks.counters, countersEvery, now);
    const bool networkDue = lookDue(looks.network, kNetworkLookMs, countersDue ? now + countersEvery : now);
    if (countersDue) {
        looks.counters = now;
        if (readInterfaceCounters(g_network.interfaceIndex, counters) &&
            trafficCallsForProbe(g_traffic, counters, g_reported, now))
            return true;
    }
    if (!networkDue)
        return false;
    looks.network = now;
    g_network.localAddress = localRouteAddress();
    if (lookDue(looks.interface, kInterfaceLookMs, now)) {
        looks.interface = now;
        g_network.interfaceIndex = g_network.localAddress != 0 ? internetInterface() : 0;
    }
    return g_network != g_probedNetwork;
}

// From the suspend notice to the resume: nothing is looked at or probed, for
// the network may go before the program is frozen. Where a minute passes by
// the clock with no sleep in it, none came (refused by a program, or its
// resume notice lost): watching starts again, as after a resume.
void waitWhileSuspending()
{
    while (InterlockedCompareExchange(&g_app.suspending, 0, 0) != 0) {
        const DWORD start = GetTickCount();
        if (WaitForSingleObject(g_app.monitorWake, kSuspendLookMs) == WAIT_OBJECT_0)
            continue;
        if (GetTickCount() - start < kSuspendLookMs + kSleptMs &&
            InterlockedCompareExchange(&g_app.suspending, 0, 1) == 1) {
            InterlockedIncrement(&g_app.powerChanges);
            return;
        }
    }
}

// Waits out the pause unless the local network changes, the traffic calls
// for a probe, or the machine goes to sleep or resumes first (the user
// interface thread then sets the event).
void waitForMonitor(uint32_t milliseconds, void*)
{
    const DWORD start = GetTickCount();
    DWORD now = start;
    LookTimes looks = {start, start, start};
    while (now - start < milliseconds) {
        DWORD slice = milliseconds - (now - start);
        const DWORD untilCounters = timeUntilLook(looks.counters, nextTrafficLookMs(g_traffic), now);
        const DWORD untilNetwork = timeUntilLook(looks.network, kNetworkLookMs, now);
        if (untilCounters < slice)
            slice = untilCounters;
        if (untilNetwork < slice)
            slice = untilNetwork;
        if (WaitForSingleObject(g_app.monitorWake, slice) == WAIT_OBJECT_0) {
            waitWhileSuspending();
            return;
        }
        const DWORD sliceStart = now;
        now = GetTickCount();
        // A sleep is also noticed by the clock: on waking, the network is
        // often still gone, and the system's resume message may come only
        // after the look that sees it gone.
        if (now - sliceStart >= slice + kSleptMs) {
            InterlockedIncrement(&g_app.powerChanges);
            return;
        }
        if (lookCallsForProbe(looks, now))
            return;
    }
}

uint32_t clockMs(void*)
{
    return GetTickCount();
}

// Everything the user sees and hears of a state happens on the user interface
// thread, which owns the windows, the menu and the sound paths.
void postStateToMainWindow(LinkState state, BreakCause cause, bool first, void*)
{
    g_reported = state;
    g_reportedCause = cause;
    PostMessageA(g_app.mainWindow, WM_LINKSTATE, static_cast<WPARAM>(state), linkStateFlags(first, cause));
}

} // namespace

DWORD WINAPI monitorLoop(LPVOID)
{
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);  // held for the thread's life: the looks use sockets
    MonitorHooks hooks;
    hooks.probe = probeForMonitor;
    hooks.sleep = waitForMonitor;
    hooks.report = postStateToMainWindow;
    hooks.pingIntervalMs = g_app.pingIntervalMs;
    hooks.powerChanges = powerChanges;
    hooks.clockMs = clockMs;
    hooks.findings = probeFindings;
    hooks.planAlongside = planAlongside;
    hooks.askGateway = askGateway;
    hooks.checkWeb = checkWeb;
    hooks.checkProxy = checkProxy;
    HostGenerator generator;
    MonitorState state = monitorFirstProbe(hooks, generator);
    for (;;)
        state = monitorPass(hooks, generator, state);
}
