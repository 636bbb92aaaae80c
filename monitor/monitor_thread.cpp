#include "monitor/monitor_thread.h"

#include <winsock2.h>

#include "core/app_state.h"
#include "core/messages.h"
#include "monitor/monitor_logic.h"
#include "monitor/probe.h"

namespace {

// How often the wait looks at the local network. The system's change
// notifications are not used: they do not exist on every version, and never
// fire under Wine.
enum : DWORD { kNetworkLookMs = 1000 };

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

LinkState probeForMonitor(const char* host, void*)
{
    return probeHost(host);
}

// Waits out the pause unless the local network changes or the machine
// resumes from sleep first (the user interface thread then sets the event).
void waitForMonitor(uint32_t milliseconds, void*)
{
    const DWORD start = GetTickCount();
    const uint32_t network = localRouteAddress(g_routeSocket);
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            return;
        const DWORD left = milliseconds - elapsed;
        if (WaitForSingleObject(g_app.monitorWake, left < kNetworkLookMs ? left : kNetworkLookMs) == WAIT_OBJECT_0)
            return;
        if (localRouteAddress(g_routeSocket) != network)
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
