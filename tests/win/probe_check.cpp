// Runs one probe and prints what came of it, for the network tests:
//   probe_check HOST [--icmp-service] [--first N]
// prints "result=Connected|Broken first=N next=N ms=N", N being the request
// counters before and after the probe, and the milliseconds it took to decide;
//   probe_check --proxy
// prints "proxy=NoProxy|Reached|Cut|NoOpinion|Unreachable ms=N": the web check
// through the user's proxy.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

#include "probe/probe_route.h"
#include "web/web_proxy.h"

namespace {

int checkThroughProxy()
{
    const char* const names[] = {"NoProxy", "Reached", "Cut", "NoOpinion", "Unreachable", "Unasked"};
    const DWORD start = GetTickCount();
    const ProxyAnswer answer = fetchThroughProxy(kWebCheckWaitMs);
    std::printf("proxy=%s ms=%lu\n", names[static_cast<int>(answer)], static_cast<unsigned long>(GetTickCount() - start));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: probe_check HOST [--icmp-service] [--first N]\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--proxy") == 0)
        return checkThroughProxy();
    ProbeRoute route = ProbeRoute::RawSocketFirst;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--icmp-service") == 0)
            route = ProbeRoute::IcmpServiceOnly;
        else if (std::strcmp(argv[i], "--first") == 0 && i + 1 < argc)
            g_echoCounters.identifier = g_echoCounters.sequence = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    }
    const uint32_t first = g_echoCounters.identifier;
    const DWORD start = GetTickCount();
    const LinkState result = probeHostVia(argv[1], route);
    const DWORD elapsed = GetTickCount() - start;
    std::printf("result=%s first=%u next=%u ms=%lu\n", result == Connected ? "Connected" : "Broken",
                static_cast<unsigned>(first), static_cast<unsigned>(g_echoCounters.identifier),
                static_cast<unsigned long>(elapsed));
    std::fflush(stdout);
    finishServiceRequests();
    return 0;
}
