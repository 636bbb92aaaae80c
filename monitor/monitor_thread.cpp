#include "monitor/monitor_thread.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include "core/app_state.h"
#include "core/messages.h"
#include "core/system_library.h"
#include "monitor/monitor_logic.h"
#include "monitor/probe.h"
#include "monitor/traffic_watch.h"
#include "monitor/web_fetch.h"

namespace {

enum : DWORD {
    // How often the wait looks at the local network. The system's change
    // notifications are not used: they do not exist on every version, and
    // never fire under Wine. The traffic is looked at twice as often.
    kNetworkLookMs = 1000,
    // A look that comes this much later than asked means the machine slept:
    // the tick count goes on through sleep, and the thread did not run.
    kSleptMs = 10000,
};

// Where the internet would be reached from now: the local address the system
// would send from to an outside address (network byte order), or 0 when it
// has no route there.
// A connect on a datagram socket sends nothing; it only asks the system. The
// address asked about is one of the documentation ranges: reached through
// the default route like any other, and no host's. A fresh socket each time:
// a socket connected again keeps the source address of its first connect, and
// a move to another network would go unseen.
uint32_t localRouteAddress()
{
    const SOCKET sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sock == INVALID_SOCKET)
        return 0;
    sockaddr_in outside = {};
    outside.sin_family = AF_INET;
    outside.sin_port = htons(443);
    outside.sin_addr.s_addr = htonl(0xC6336401);  // 198.51.100.1
    sockaddr_in local = {};
    int size = sizeof local;
    const bool found = connect(sock, reinterpret_cast<const sockaddr*>(&outside), sizeof outside) == 0 &&
                       getsockname(sock, reinterpret_cast<sockaddr*>(&local), &size) == 0;
    closesocket(sock);
    return found ? local.sin_addr.s_addr : 0;
}

// The TCP segments this computer has sent (retransmissions included) and
// received so far, as the system counts them anyway; false where it cannot say.
bool readTrafficCounters(TrafficCounters& counters)
{
    typedef ULONG(WINAPI * TcpStatisticsFunction)(PMIB_TCPSTATS);
    static TcpStatisticsFunction readStatistics;
    static bool lookedUp;  // once: a look comes twice a second
    if (!lookedUp) {
        readStatistics = reinterpret_cast<TcpStatisticsFunction>(systemFunction(L"iphlpapi.dll", "GetTcpStatistics"));
        lookedUp = true;
    }
    MIB_TCPSTATS statistics;
    if (readStatistics == nullptr || readStatistics(&statistics) != NO_ERROR)
        return false;
    counters.in = statistics.dwInSegs;
    counters.out = statistics.dwOutSegs + statistics.dwRetransSegs;
    return true;
}

// The local network as the last probe began with it. The wait compares with
// this, so that a change while a probe ran (a cable pulled after the first
// answer) still cuts the next pause short.
uint32_t g_probedNetwork = 0;

// The resumes from sleep counted when the last probe began.
uint32_t g_probedResumes = 0;

// The state last reported (and whether a sign-in page was why it was
// Broken), and the traffic seen since the last probe ended.
LinkState g_reported = Broken;
bool g_reportedSignIn = false;
TrafficWatch g_traffic;

// The web check's schedule, and whether the last probe met a sign-in page.
WebCheckSchedule g_webChecks;
bool g_signInPage = false;

uint32_t resumeCount(void*)
{
    return static_cast<uint32_t>(InterlockedCompareExchange(&g_app.resumeCount, 0, 0));
}

// A probe that says Connected is followed by the web check where one is due:
// a sign-in page in the way makes it Broken, no answer leaves it as it is.
LinkState probeForMonitor(const char* host, void*)
{
    const uint32_t network = localRouteAddress();
    const uint32_t resumes = resumeCount(nullptr);
    const bool changed = network != g_probedNetwork || resumes != g_probedResumes;
    g_probedNetwork = network;
    g_probedResumes = resumes;
    LinkState result = probeHost(host);
    g_signInPage = false;
    if (result == Connected && webCheckDue(g_webChecks, g_reported, g_reportedSignIn, changed, GetTickCount())) {
        noteWebCheck(g_webChecks, GetTickCount());
        g_signInPage = fetchWebAnswer() == WebAnswer::Other;
        if (g_signInPage)
            result = Broken;
    }
    restartTrafficWatch(g_traffic);  // the probe's own packets do not count
    return result;
}

bool signInPageSeen(void*)
{
    return g_signInPage;
}

// What one look between probes finds that calls for a probe now.
bool lookCallsForProbe(DWORD now, bool lookAtNetwork)
{
    TrafficCounters counters;
    if (readTrafficCounters(counters) && trafficCallsForProbe(g_traffic, counters, g_reported, now))
        return true;
    return lookAtNetwork && localRouteAddress() != g_probedNetwork;
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
    uint32_t looks = 0;
    while (now - start < milliseconds) {
        const DWORD left = milliseconds - (now - start);
        const DWORD slice = left < kTrafficLookMs ? left : static_cast<DWORD>(kTrafficLookMs);
        if (WaitForSingleObject(g_app.monitorWake, slice) == WAIT_OBJECT_0)
            return;
        const DWORD sliceStart = now;
        now = GetTickCount();
        if (now - sliceStart >= slice + kSleptMs) {
            InterlockedIncrement(&g_app.resumeCount);
            return;
        }
        if (lookCallsForProbe(now, ++looks % (kNetworkLookMs / kTrafficLookMs) == 0))
            return;
    }
}

uint32_t clockMs(void*)
{
    return GetTickCount();
}

// Everything the user sees and hears of a state happens on the user interface
// thread, which owns the windows, the menu and the sound paths.
void postStateToMainWindow(LinkState state, bool first, void*)
{
    g_reported = state;
    g_reportedSignIn = state == Broken && g_signInPage;
    const LPARAM flags = (first ? LPARAM(kLinkStateFirst) : 0) | (g_reportedSignIn ? LPARAM(kLinkStateSignInPage) : 0);
    PostMessageA(g_app.mainWindow, WM_LINKSTATE, static_cast<WPARAM>(state), flags);
}

} // namespace

DWORD WINAPI monitorLoop(LPVOID)
{
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);  // held for the thread's life: the looks use sockets
    const MonitorHooks hooks = {probeForMonitor, waitForMonitor, postStateToMainWindow, nullptr,
                                g_app.pingIntervalMs, resumeCount, clockMs, signInPageSeen};
    HostGenerator generator;
    MonitorState state = monitorFirstProbe(hooks, generator);
    for (;;)
        state = monitorPass(hooks, generator, state);
}
