#include "monitor/monitor_thread.h"

#include <winsock2.h>

#include "core/app_state.h"
#include "core/messages.h"
#include "monitor/monitor_logic.h"
#include "monitor/probe.h"

namespace {

enum : DWORD {
    // How often the wait looks at the local network. The system's change
    // notifications are not used: they do not exist on every version, and
    // never fire under Wine.
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
// the default route like any other, and no host's.
uint32_t localRouteAddress(SOCKET sock)
{
    sockaddr_in outside = {};
    outside.sin_family = AF_INET;
    outside.sin_port = htons(443);
    outside.sin_addr.s_addr = htonl(0xC6336401);  // 198.51.100.1
    sockaddr_in local = {};
    int size = sizeof local;
    if (connect(sock, reinterpret_cast<const sockaddr*>(&outside), sizeof outside) != 0 ||
        getsockname(sock, reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return local.sin_addr.s_addr;
}

// The datagram socket the wait asks with, kept for the life of the thread.
SOCKET g_routeSocket = INVALID_SOCKET;

// The local network as the last probe began with it. The wait compares with
// this, so that a change while a probe ran (a cable pulled after the first
// answer) still cuts the next pause short.
uint32_t g_probedNetwork = 0;

LinkState probeForMonitor(const char* host, void*)
{
    g_probedNetwork = localRouteAddress(g_routeSocket);
    return probeHost(host);
}

// Waits out the pause unless the local network changes or the machine
// resumes from sleep first (the user interface thread then sets the event).
// A sleep is also noticed here, by the clock: on waking, the network is often
// still gone, and the system's resume message may come only after the look
// that sees it gone.
void waitForMonitor(uint32_t milliseconds, void*)
{
    const DWORD start = GetTickCount();
    DWORD now = start;
    while (now - start < milliseconds) {
        const DWORD left = milliseconds - (now - start);
        const DWORD slice = left < kNetworkLookMs ? left : kNetworkLookMs;
        if (WaitForSingleObject(g_app.monitorWake, slice) == WAIT_OBJECT_0)
            return;
        const DWORD sliceStart = now;
        now = GetTickCount();
        if (now - sliceStart >= slice + kSleptMs) {
            InterlockedIncrement(&g_app.resumeCount);
            return;
        }
        if (localRouteAddress(g_routeSocket) != g_probedNetwork)
            return;
    }
}

uint32_t resumeCount(void*)
{
    return static_cast<uint32_t>(InterlockedCompareExchange(&g_app.resumeCount, 0, 0));
}

uint32_t clockMs(void*)
{
    return GetTickCount();
}

// Everything the user sees and hears of a state happens on the user interface
// thread, which owns the windows, the menu and the sound paths.
void postStateToMainWindow(LinkState state, bool first, void*)
{
    PostMessageA(g_app.mainWindow, WM_LINKSTATE, static_cast<WPARAM>(state), first ? 1 : 0);
}

} // namespace

DWORD WINAPI monitorLoop(LPVOID)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) == 0)
        g_routeSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const MonitorHooks hooks = {probeForMonitor, waitForMonitor, postStateToMainWindow, nullptr,
                                g_app.pingIntervalMs, resumeCount, clockMs};
    HostGenerator generator;
    MonitorState state = monitorFirstProbe(hooks, generator);
    for (;;)
        state = monitorPass(hooks, generator, state);
}
