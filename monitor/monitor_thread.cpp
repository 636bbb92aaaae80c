#include "monitor/monitor_thread.h"

#include <winsock2.h>
#include <windows.h>

#include "core/app_state.h"
#include "core/messages.h"
#include "monitor/monitor_logic.h"
#include "probe/name_lookup.h"
#include "probe/probe.h"
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

// What the probe found, with the route as it stands now that the answer is
// in: a cable pulled during the probe shows here.
ProbeFindings findingsAtVerdict(LinkState answer, bool networkChanged)
{
    ProbeFindings found = {};
    const uint32_t localAddress = localRouteAddress();
    found.localAddress = localAddress != 0;
    found.gateway = found.localAddress ? gatewayFrom(localAddress) : 0;
    found.namesFailed = namesUnanswered();
    found.networkChanged = networkChanged;
    found.webCheckDue = answer == Connected && webCheckDue(g_webChecks, g_reported, g_reportedCause == SignInPage,
                                                           networkChanged, GetTickCount());
    return found;
}

LinkState probeForMonitor(const char* host, void*)
{
    const NetworkPlace network = lookAtNetwork();
    const uint32_t changes = powerChanges(nullptr);
    const bool changed = network != g_probedNetwork || changes != g_probedPowerChanges;
    g_probedNetwork = network;
    g_network = network;
    g_probedPowerChanges = changes;
    const LinkState answer = probeHost(host);
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
    const int count = static_cast<int>(requests);
    const bool answered =
        g_gateway6.number != 0 && gateway == g_gateway6.number
            ? echoAnswered6(g_gateway6.address, g_gateway6.scope, count, kGatewaySpacingMs, kGatewayWaitMs)
            : echoAnswered(gateway, count, kGatewaySpacingMs, kGatewayWaitMs);
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
    const ProxyAnswer answer = fetchThroughProxy(g_reported == Broken ? kBrokenWebConnectMs : kWebCheckWaitMs);
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
// the network may go before the program is frozen.
void waitWhileSuspending()
{
    while (InterlockedCompareExchange(&g_app.suspending, 0, 0) != 0)
        WaitForSingleObject(g_app.monitorWake, INFINITE);
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
    hooks.askGateway = askGateway;
    hooks.checkWeb = checkWeb;
    hooks.checkProxy = checkProxy;
    HostGenerator generator;
    MonitorState state = monitorFirstProbe(hooks, generator);
    for (;;)
        state = monitorPass(hooks, generator, state);
}
