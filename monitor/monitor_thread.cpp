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

namespace {

enum : DWORD {
    // How long the default gateway has to answer its one echo request.
    kGatewayWaitMs = 1000,
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

// The resumes from sleep counted when the last probe began.
uint32_t g_probedResumes = 0;

// The state last reported, and the traffic seen since the last probe ended.
LinkState g_reported = Broken;
BreakCause g_reportedCause = NoCause;
TrafficWatch g_traffic;

// The web check's schedule, and what the last probe found.
WebCheckSchedule g_webChecks;
ProbeFindings g_found;

uint32_t resumeCount(void*)
{
    return static_cast<uint32_t>(InterlockedCompareExchange(&g_app.resumeCount, 0, 0));
}

// Whether the web check finds a sign-in page in the way; its name failing
// counts as a name failure.
bool signInPageInTheWay()
{
    noteWebCheck(g_webChecks, GetTickCount());
    uint32_t address = 0;
    if (!lookUpHost(kWebCheckHost, address))
        return false;
    return fetchWebAnswer(address) == WebAnswer::Other;
}

// A probe that says Connected is followed by the web check where one is due:
// a sign-in page in the way makes it Broken, no answer leaves it as it is.
LinkState probeForMonitor(const char* host, void*)
{
    const NetworkPlace network = lookAtNetwork();
    const uint32_t resumes = resumeCount(nullptr);
    const bool changed = network != g_probedNetwork || resumes != g_probedResumes;
    g_probedNetwork = network;
    g_network = network;
    g_probedResumes = resumes;
    g_found = ProbeFindings();
    g_found.localAddress = network.localAddress != 0;
    LinkState result = probeHost(host);
    if (result == Connected &&
        webCheckDue(g_webChecks, g_reported, g_reportedCause == SignInPage, changed, GetTickCount()) &&
        signInPageInTheWay()) {
        g_found.signInPage = true;
        result = Broken;
    }
    g_found.namesFailed = namesUnanswered();
    restartTrafficWatch(g_traffic);  // the probe's own packets do not count
    return result;
}

ProbeFindings probeFindings(void*)
{
    return g_found;
}

// One echo request to the default gateway, 1 s for its answer, sent the way
// the probe sends its own.
GatewayAnswer askGateway(void*)
{
    const uint32_t gateway = defaultGateway(g_probedNetwork.localAddress);
    if (gateway == 0)
        return GatewayAnswer::None;
    const bool answered = echoAnswered(gateway, kGatewayWaitMs);
    restartTrafficWatch(g_traffic);  // nor do the gateway's
    return answered ? GatewayAnswer::Answered : GatewayAnswer::Silent;
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

// Waits out the pause unless the local network changes, the traffic calls
// for a probe, or the machine resumes from sleep first (the user interface
// thread then sets the event).
// A sleep is also noticed here, by the clock: on waking, the network is often
// still gone, and the system's resume message may come only after the look
// that sees it gone.
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
        if (WaitForSingleObject(g_app.monitorWake, slice) == WAIT_OBJECT_0)
            return;
        const DWORD sliceStart = now;
        now = GetTickCount();
        if (now - sliceStart >= slice + kSleptMs) {
            InterlockedIncrement(&g_app.resumeCount);
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
    const MonitorHooks hooks = {probeForMonitor, waitForMonitor, postStateToMainWindow, nullptr,
                                g_app.pingIntervalMs, resumeCount, clockMs, probeFindings, askGateway};
    HostGenerator generator;
    MonitorState state = monitorFirstProbe(hooks, generator);
    for (;;)
        state = monitorPass(hooks, generator, state);
}
