// Runs one probe and prints what came of it, for the network tests:
//   probe_check HOST [--icmp-service] [--first N]
// prints "result=Connected|Broken first=N next=N ms=N", N being the request
// counters before and after the probe, and the milliseconds it took to decide;
//   probe_check --echo ADDRESS
// prints "answered=0|1 ms=N": two echo requests to an IPv4 or IPv6 address,
// 0.5 s apart, the last waited for 1 s, as the router is asked;
//   probe_check --proxy
// prints "proxy=NoProxy|Reached|Cut|SignIn|SignInAsked|NoOpinion|Unreachable ms=N":
// the web check through the user's proxy.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>

#include "probe/probe.h"
#include "probe/probe_route.h"
#include "web/web_proxy.h"

namespace {

int checkThroughProxy()
{
    const char* const names[] = {"NoProxy", "Reached", "Cut", "SignIn", "SignInAsked", "NoOpinion", "Unreachable",
                                 "Unasked"};
    const DWORD start = GetTickCount();
    const ProxyAnswer answer = fetchThroughProxy(1, kWebCheckWaitMs);
    std::printf("proxy=%s ms=%lu\n", names[static_cast<int>(answer)], static_cast<unsigned long>(GetTickCount() - start));
    return 0;
}

int askEcho(const char* address)
{
    EchoTarget target = {};
    sockaddr_in6 parsed6 = {};
    sockaddr_in parsed = {};
    int size6 = sizeof parsed6, size = sizeof parsed;
    char text[64];
    lstrcpynA(text, address, sizeof text);
    target.ipv6 = WSAStringToAddressA(text, AF_INET6, nullptr, reinterpret_cast<sockaddr*>(&parsed6), &size6) == 0;
    if (target.ipv6)
        CopyMemory(target.address6.bytes, &parsed6.sin6_addr, 16);
    else if (WSAStringToAddressA(text, AF_INET, nullptr, reinterpret_cast<sockaddr*>(&parsed), &size) == 0)
        target.ipv4 = parsed.sin_addr.s_addr;
    else
        return 2;
    const DWORD start = GetTickCount();
    const bool answered = echoAnswered(target, 2, 500, 1000);
    std::printf("answered=%d ms=%lu\n", answered ? 1 : 0, static_cast<unsigned long>(GetTickCount() - start));
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
    if (std::strcmp(argv[1], "--echo") == 0 && argc > 2) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        return askEcho(argv[2]);
    }
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
