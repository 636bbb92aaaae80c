#include "monitor/monitor_thread.h"

#include "core/app_state.h"
#include "core/messages.h"
#include "monitor/monitor_logic.h"
#include "monitor/probe.h"

namespace {

LinkState probeForMonitor(const char* host, void*)
{
    return probeHost(host);
}

void sleepForMonitor(uint32_t milliseconds, void*)
{
    Sleep(milliseconds);
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
    const MonitorHooks hooks = {probeForMonitor, sleepForMonitor, postStateToMainWindow, nullptr,
                                g_app.pingIntervalMs};
    HostGenerator generator;
    LinkState state = monitorFirstProbe(hooks, generator);
    for (;;)
        state = monitorPass(hooks, generator, state);
}
