// One probe's exchange with a host, over whichever paths it has (see
// probe/probe_exchange.h), and the echo requests sent to the gateway.
#include "probe/probe.h"

#include "probe/probe_exchange.h"

#include "probe/name_lookup.h"
#include "probe/probe_hosts.h"
#include "watch/network_look.h"

namespace {

// The probe under way.
Exchange g_exchange = {};

// Echo goes over IPv4, or over IPv6 where IPv4 does not go; with neither
// (no ICMPv6 to be had) the host gets the handshake alone.
bool sendExchangeRequest(void* context)
{
    Exchange& x = *static_cast<Exchange*>(context);
    if (x.destination.sin_addr.s_addr == 0 && !x.echo6)
        return false;
    return x.icmp != INVALID_SOCKET ? sendRawRequest(x) : sendServiceRequest(x);
}

bool startExchangeHandshake(void* context)
{
    return startHandshake(*static_cast<Exchange*>(context));
}

ProbeEvent waitForExchange(uint32_t milliseconds, void* context)
{
    Exchange& x = *static_cast<Exchange*>(context);
    bool datagram;
    return x.icmp != INVALID_SOCKET ? waitOnRawSocket(x, milliseconds)
           : x.requests != nullptr  ? waitOnService(x, milliseconds)
                                    : waitOnSockets(x, false, milliseconds, datagram);
}

uint32_t exchangeClockMs(void*)
{
    return GetTickCount();
}

// The exchange readied for its first request; false where the ICMP service
// is needed for IPv4 and cannot be had. ICMPv6 that cannot be had leaves the
// handshake (Wine has neither its raw socket nor its service).
bool startExchange(Exchange& x, SOCKET icmp, const sockaddr_in& destination, DWORD replyWaitMs,
                   const sockaddr_in6* destination6 = nullptr, const Ipv6Bytes* local6 = nullptr)
{
    x.destination = destination;
    x.ipv6 = destination6 != nullptr;
    x.echo6 = local6 != nullptr;
    if (x.ipv6)
        x.destination6 = *destination6;
    if (x.echo6)
        x.local6 = *local6;
    x.https = x.https6 = INVALID_SOCKET;
    x.icmp = icmp;
    x.sent = SentEchoes();
    x.requests = nullptr;
    x.replyWaitMs = replyWaitMs;
    if (icmp != INVALID_SOCKET || openServiceRequests(x))
        return true;
    x.echo6 = false;
    return x.ipv6 && destination.sin_addr.s_addr == 0;
}

// Echo requests paced 1 s apart unless answered sooner, and a handshake with
// port 443 once two are unanswered (see probe/probe_timing.h). The verdict
// is reported as soon as it is known, by either path.
bool exchangeWithHost(SOCKET icmp, const sockaddr_in& destination, const sockaddr_in6* destination6,
                      const Ipv6Bytes* local6)
{
    Exchange& x = g_exchange;
    if (!startExchange(x, icmp, destination, kReplyWindowMs, destination6, local6))
        return false;
    const ProbeIo io = {sendExchangeRequest, startExchangeHandshake, waitForExchange, exchangeClockMs, &x};
    const bool connected = exchangeEchoes(io);
    endHandshake(x);
    releaseServiceRequests(x);
    return connected;
}

// Waits until `until` (milliseconds after start) for a reply; true once one came.
bool replyBy(Exchange& x, DWORD start, DWORD until)
{
    for (DWORD elapsed = GetTickCount() - start; elapsed < until; elapsed = GetTickCount() - start)
        if (waitForExchange(until - elapsed, &x) == ProbeEvent::Reply)
            return true;
    return false;
}

// Requests `spacingMs` apart until one is answered; the last waited for
// `waitMs`. The service's requests end by then too, so that its set is free
// for the next probe.
bool anyEchoAnswered(SOCKET icmp, const sockaddr_in& destination, int requests, DWORD spacingMs, DWORD waitMs,
                     const sockaddr_in6* destination6 = nullptr, const Ipv6Bytes* local6 = nullptr)
{
    Exchange& x = g_exchange;
    if (!startExchange(x, icmp, destination, waitMs, destination6, local6))
        return false;
    const DWORD start = GetTickCount();
    bool answered = false;
    for (int n = 0; n < requests && !answered; ++n) {
        const bool last = n + 1 == requests;
        const DWORD until = static_cast<DWORD>(n) * spacingMs + (last ? waitMs : spacingMs);
        // One that could not leave is not waited for, but an earlier one may still be answered.
        if (sendExchangeRequest(&x) || (last && n > 0))
            answered = replyBy(x, start, until);
    }
    releaseServiceRequests(x);
    return answered;
}

// A host never resolved while names fail: another probe host's addresses
// serve, so that the probe still asks the internet.
bool anyProbeHostRemembered(HostAddresses& addresses)
{
    for (const char* host : kProbeHosts)
        if (rememberedAddresses(host, addresses))
            return true;
    return false;
}

// The addresses to probe: the host's own; while its name was never resolved,
// another probe host's at once (the name is asked meanwhile: a name server
// gone with the uplink must not hold the verdict up); with none known at
// all, the name's answer, waited for 2 s at most.
bool addressesToProbe(const char* host, HostAddresses& addresses)
{
    HostAddresses standIn;
    const uint32_t waitMs = anyProbeHostRemembered(standIn) ? 0u : static_cast<uint32_t>(kNameLookupWaitMs);
    return lookUpHostAddresses(host, addresses, waitMs) || anyProbeHostRemembered(addresses);
}

sockaddr_in destinationAt(uint32_t address)
{
    sockaddr_in destination = {};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = address;
    return destination;
}

// Over the families chosen: echo over IPv4, or ICMPv6 where IPv4 does not
// go; the handshake over IPv6 too where that goes out (on an IPv6-only
// network, or one whose IPv4 is broken), so that either family's answer
// counts within the same 7 s.
LinkState probeStartedSockets(const char* host, ProbeRoute route)
{
    HostAddresses addresses;
    if (!addressesToProbe(host, addresses))
        return Broken;
    Ipv6Bytes local6;
    const bool ipv6Route = addresses.hasIpv6 && localIpv6RouteAddress(local6);
    const ProbeFamilies families = chooseProbeFamilies(localIpv4RouteAddress() != 0, ipv6Route, addresses);
    if (!families.ipv4 && !families.ipv6)
        return Broken;
    sockaddr_in6 destination6 = {};
    destination6.sin6_family = AF_INET6;
    CopyMemory(&destination6.sin6_addr, addresses.ipv6.bytes, sizeof addresses.ipv6.bytes);
    const bool echo6 = !families.ipv4;
    const SOCKET sock = openIcmpSocket(route, echo6);
    const bool answered = exchangeWithHost(sock, destinationAt(families.ipv4 ? addresses.ipv4 : 0),
                                           families.ipv6 ? &destination6 : nullptr, echo6 ? &local6 : nullptr);
    const bool closed = sock == INVALID_SOCKET || closesocket(sock) == 0;
    return answered && closed ? Connected : Broken;
}

} // namespace

EchoCounters g_echoCounters;

LinkState probeHostVia(const char* host, ProbeRoute route)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return Broken;
    const LinkState result = data.wVersion == MAKEWORD(1, 1) ? probeStartedSockets(host, route) : Broken;
    WSACleanup();
    return result;
}

LinkState probeHost(const char* host)
{
    return probeHostVia(host, ProbeRoute::RawSocketFirst);
}

bool echoAnswered(uint32_t address, int requests, uint32_t spacingMs, uint32_t waitMs)
{
    const SOCKET sock = openIcmpSocket(ProbeRoute::RawSocketFirst);
    const bool answered = anyEchoAnswered(sock, destinationAt(address), requests, spacingMs, waitMs);
    if (sock != INVALID_SOCKET)
        closesocket(sock);
    return answered;
}

bool echoAnswered6(const Ipv6Bytes& address, uint32_t scope, int requests, uint32_t spacingMs, uint32_t waitMs)
{
    Ipv6Bytes local;
    if (!localIpv6AddressToward(address, scope, local))
        return false;
    sockaddr_in6 destination = {};
    destination.sin6_family = AF_INET6;
    destination.sin6_scope_id = scope;
    CopyMemory(&destination.sin6_addr, address.bytes, sizeof address.bytes);
    const SOCKET sock = openIcmpSocket(ProbeRoute::RawSocketFirst, true);
    const bool answered = anyEchoAnswered(sock, destinationAt(0), requests, spacingMs, waitMs, &destination, &local);
    if (sock != INVALID_SOCKET)
        closesocket(sock);
    return answered;
}
