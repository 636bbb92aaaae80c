// One probe's exchange with a host, over whichever paths it has (see
// probe/probe_exchange.h), the checks that go alongside it, and the echo
// requests sent to the router.
#include "probe/probe.h"

#include "probe/probe_exchange.h"

#include "probe/name_lookup.h"
#include "probe/probe_hosts.h"
#include "watch/network_look.h"

namespace {

enum : DWORD {
    // The checks alongside start this long after the handshake, where it has
    // not succeeded by then: on a network that drops echo, a live host takes
    // the handshake well within it, and nothing more is sent.
    kCompanionDelayMs = 500,
    // While checks run alongside, the probe's waits are cut into slices this
    // long, each followed by a look at them: a few dozen wakes in an outage.
    kCompanionSliceMs = 50,
    // How long a companion still running after a Broken verdict is waited
    // for at most (its own limits end it first).
    kCompanionFinishMs = 6000,
};

// The probe under way, and its companion (null where none goes with it):
// due from a moment on, once the handshake began; then started.
Exchange g_exchange = {};
const ProbeCompanion* g_companion = nullptr;
bool g_companionDue = false;
DWORD g_companionDueMs = 0;
bool g_companionStarted = false;

bool companionRunning()
{
    return g_companionStarted && g_companion->running(g_companion->context);
}

// Milliseconds until the companion is to start; 0 when it is due now, or
// never (INFINITE) where it is not waiting to start.
DWORD untilCompanionStarts()
{
    if (!g_companionDue || g_companionStarted)
        return INFINITE;
    const DWORD left = g_companionDueMs - GetTickCount();
    return left > 0x80000000u ? 0 : left;
}

// Called from the probe's waits alone, which come only while its verdict is out.
void startCompanionWhenDue()
{
    if (untilCompanionStarts() != 0)
        return;
    g_companionStarted = true;
    g_companion->start(g_companion->context);
}

// Echo goes over IPv4, or over IPv6 where IPv4 does not go; with neither
// (no ICMPv6 to be had) the host gets the handshake alone.
bool sendExchangeRequest(void* context)
{
    Exchange& x = *static_cast<Exchange*>(context);
    if (x.destination.sin_addr.s_addr == 0 && !x.echo6)
        return false;
    return x.icmp != INVALID_SOCKET ? sendRawRequest(x) : sendServiceRequest(x);
}

// The checks alongside follow the handshake, unless it succeeds first.
bool startExchangeHandshake(void* context)
{
    if (g_companion != nullptr && !g_companionDue) {
        g_companionDue = true;
        g_companionDueMs = GetTickCount() + kCompanionDelayMs;
    }
    return startHandshake(*static_cast<Exchange*>(context));
}

ProbeEvent waitOnExchange(Exchange& x, uint32_t milliseconds)
{
    bool datagram;
    return x.icmp != INVALID_SOCKET ? waitOnRawSocket(x, milliseconds)
           : x.requests != nullptr  ? waitOnService(x, milliseconds)
                                    : waitOnSockets(x, false, milliseconds, datagram);
}

// The probe's own wait, in slices while checks run alongside.
ProbeEvent waitForExchange(uint32_t milliseconds, void* context)
{
    Exchange& x = *static_cast<Exchange*>(context);
    const DWORD start = GetTickCount();
    for (bool first = true;; first = false) {
        const DWORD elapsed = GetTickCount() - start;
        startCompanionWhenDue();
        const bool companion = companionRunning();
        if (companion)
            g_companion->step(g_companion->context);
        if (!first && elapsed >= milliseconds)
            return ProbeEvent::Nothing;
        DWORD slice = elapsed < milliseconds ? milliseconds - elapsed : 0;
        if (companion && slice > kCompanionSliceMs)
            slice = kCompanionSliceMs;
        if (untilCompanionStarts() < slice)
            slice = untilCompanionStarts();
        const ProbeEvent event = waitOnExchange(x, slice);
        if (event != ProbeEvent::Nothing || slice == milliseconds - elapsed)
            return event;
    }
}

// A Broken verdict waits for the checks alongside; a Connected one stops them.
void endCompanion(bool connected)
{
    const DWORD start = GetTickCount();
    while (!connected && companionRunning() && GetTickCount() - start < kCompanionFinishMs) {
        g_companion->step(g_companion->context);
        Sleep(kCompanionSliceMs);
    }
    if (g_companionStarted)
        g_companion->stop(g_companion->context);
    g_companionStarted = g_companionDue = false;
    g_companion = nullptr;
}

uint32_t exchangeClockMs(void*)
{
    return GetTickCount();
}

// The exchange readied for its first request; false where the ICMP service
// is needed for IPv4 and cannot be had (or, with waitForSet false, has no
// set free now). ICMPv6 that cannot be had leaves the handshake (Wine has
// neither its raw socket nor its service).
bool startExchange(Exchange& x, SOCKET icmp, const sockaddr_in& destination, DWORD replyWaitMs,
                   const sockaddr_in6* destination6 = nullptr, const Ipv6Bytes* local6 = nullptr,
                   bool waitForSet = true)
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
    x.handshakeMs = -1;
    x.measure = ProbeMeasure();
    if (icmp != INVALID_SOCKET || openServiceRequests(x, waitForSet))
        return true;
    x.echo6 = false;
    return x.ipv6 && destination.sin_addr.s_addr == 0;
}

// What the last probe measured.
ProbeMeasure g_lastMeasure;

// The requests the probe sent; where none was answered and the handshake
// decided, its round trip instead.
void keepMeasure(const Exchange& x)
{
    g_lastMeasure = x.measure;
    ProbeMeasure& m = g_lastMeasure;
    const int sent = x.icmp != INVALID_SOCKET ? x.sent.count : serviceRequestsSent(x);
    m.requests = static_cast<uint8_t>(sent);
    if (m.answered == 0 && x.handshakeMs >= 0) {
        m.handshakeOnly = true;
        m.roundTrips = 1;
        m.roundTripMs[0] = static_cast<uint16_t>(x.handshakeMs < 0xFFFF ? x.handshakeMs : 0xFFFF);
    }
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
    endCompanion(connected);
    keepMeasure(x);
    releaseServiceRequests(x);
    return connected;
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

sockaddr_in6 destination6At(const Ipv6Bytes& address, uint32_t scope)
{
    sockaddr_in6 destination = {};
    destination.sin6_family = AF_INET6;
    destination.sin6_scope_id = scope;
    CopyMemory(&destination.sin6_addr, address.bytes, sizeof address.bytes);
    return destination;
}

// Over the families chosen: echo over IPv4, or ICMPv6 where IPv4 does not
// go, its checksum made for the local address that the system sends to
// that host from; the handshake over IPv6 too where that goes out (on an
// IPv6-only network, or one whose IPv4 is broken), so that either family's
// answer counts within the same 7 s.
LinkState probeStartedSockets(const char* host, ProbeRoute route)
{
    HostAddresses addresses;
    if (!addressesToProbe(host, addresses))
        return Broken;
    Ipv6Bytes local6;
    const bool ipv6Route = addresses.hasIpv6 && localIpv6AddressToward(addresses.ipv6, 0, local6);
    const ProbeFamilies families = chooseProbeFamilies(localIpv4RouteAddress() != 0, ipv6Route, addresses);
    if (!families.ipv4 && !families.ipv6)
        return Broken;
    const sockaddr_in6 destination6 = destination6At(addresses.ipv6, 0);
    const bool echo6 = !families.ipv4;
    const SOCKET sock = openIcmpSocket(route, echo6);
    const bool answered = exchangeWithHost(sock, destinationAt(families.ipv4 ? addresses.ipv4 : 0),
                                           families.ipv6 ? &destination6 : nullptr, echo6 ? &local6 : nullptr);
    const bool closed = sock == INVALID_SOCKET || closesocket(sock) == 0;
    return answered && closed ? Connected : Broken;
}

// The echo ask under way: its own exchange (a raw socket of its own, or the
// ICMP service's other set of requests), and its schedule.
struct EchoAsk {
    Exchange x;
    SOCKET icmp;
    uint32_t requests, sent, spacingMs, waitMs;
    DWORD startMs;
    bool cannotSend;  // a request could not leave (no route): nothing more is sent
    bool answered, over;
};
EchoAsk g_ask = {};

// When the ask is over at the latest, or the next request is due: the last
// request sent is waited for `waitMs`, each before it `spacingMs`.
DWORD askDeadline(const EchoAsk& ask)
{
    if (ask.sent < ask.requests && !ask.cannotSend)
        return ask.sent * ask.spacingMs;
    return ask.sent == 0 ? 0 : (ask.sent - 1) * ask.spacingMs + ask.waitMs;
}
} // namespace

EchoCounters g_echoCounters;

void noteEchoAnswered(Exchange& x, int n, uint32_t roundTripMs)
{
    if (n < 0 || n >= kMaxEchoRequestsPerProbe || x.sent.answered[n])
        return;
    x.sent.answered[n] = true;
    ProbeMeasure& m = x.measure;
    ++m.answered;
    if (m.roundTrips < kRoundTripsPerProbe)
        m.roundTripMs[m.roundTrips++] = static_cast<uint16_t>(roundTripMs < 0xFFFF ? roundTripMs : 0xFFFF);
}

const ProbeMeasure& lastProbeMeasure()
{
    return g_lastMeasure;
}

LinkState probeHostVia(const char* host, ProbeRoute route, const ProbeCompanion* companion)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return Broken;
    g_companion = companion;
    g_companionStarted = g_companionDue = false;
    g_lastMeasure = ProbeMeasure();
    const LinkState result = data.wVersion == MAKEWORD(1, 1) ? probeStartedSockets(host, route) : Broken;
    endCompanion(result == Connected);
    WSACleanup();
    return result;
}

LinkState probeHost(const char* host, const ProbeCompanion* companion)
{
    return probeHostVia(host, ProbeRoute::RawSocketFirst, companion);
}

bool startEchoAsk(const EchoTarget& target, uint32_t requests, uint32_t spacingMs, uint32_t waitMs)
{
    EchoAsk& ask = g_ask;
    ask = EchoAsk();
    ask.requests = requests;
    ask.spacingMs = spacingMs;
    ask.waitMs = waitMs;
    ask.over = true;
    Ipv6Bytes local6;
    if (requests == 0 || (target.ipv6 && !localIpv6AddressToward(target.address6, target.scope, local6)))
        return false;
    ask.icmp = openIcmpSocket(ProbeRoute::RawSocketFirst, target.ipv6);
    const sockaddr_in6 destination6 = destination6At(target.address6, target.scope);
    // Only the echo goes, never a handshake; and never a wait for the ICMP
    // service's requests of an earlier probe to end.
    const bool started =
        target.ipv6 ? startExchange(ask.x, ask.icmp, destinationAt(0), waitMs, &destination6, &local6, false) &&
                          ask.x.echo6
                    : startExchange(ask.x, ask.icmp, destinationAt(target.ipv4), waitMs, nullptr, nullptr, false);
    if (!started) {
        endEchoAsk();
        return false;
    }
    ask.startMs = GetTickCount();
    ask.over = false;
    stepEchoAsk(0);
    return true;
}

bool stepEchoAsk(uint32_t waitMs)
{
    EchoAsk& ask = g_ask;
    while (!ask.over) {
        const DWORD elapsed = GetTickCount() - ask.startMs;
        while (ask.sent < ask.requests && !ask.cannotSend && elapsed >= ask.sent * ask.spacingMs) {
            if (sendExchangeRequest(&ask.x))
                ++ask.sent;
            else
                ask.cannotSend = true;
        }
        // Past it, every request that could leave has been sent and waited for.
        const DWORD deadline = askDeadline(ask);
        if (elapsed >= deadline) {
            ask.over = true;
            break;
        }
        const DWORD wait = deadline - elapsed < waitMs ? deadline - elapsed : waitMs;
        if (waitOnExchange(ask.x, wait) == ProbeEvent::Reply)
            ask.answered = ask.over = true;
        else if (wait == waitMs)
            return false;  // the caller's time is over first
    }
    return true;
}

bool echoAskAnswered()
{
    return g_ask.answered;
}

void endEchoAsk()
{
    EchoAsk& ask = g_ask;
    ask.over = true;
    releaseServiceRequests(ask.x);
    if (ask.icmp != INVALID_SOCKET)
        closesocket(ask.icmp);
    ask.icmp = INVALID_SOCKET;
}

bool echoAnswered(const EchoTarget& target, uint32_t requests, uint32_t spacingMs, uint32_t waitMs)
{
    if (!startEchoAsk(target, requests, spacingMs, waitMs))
        return false;
    while (!stepEchoAsk(INFINITE)) {
    }
    const bool answered = echoAskAnswered();
    endEchoAsk();
    return answered;
}
