// The echo exchange over a raw socket, or over the system's ICMP service
// (IcmpSendEcho) where raw sockets are refused, as they are to users without
// administrator rights.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include "probe/probe.h"
#include "probe/probe_route.h"

#include "core/system_library.h"
#include "probe/echo_reply.h"
#include "probe/echo_request.h"
#include "probe/name_lookup.h"
#include "probe/probe_hosts.h"
#include "probe/probe_timing.h"

namespace {

enum : DWORD { kReplyWaitMs = kReplyWindowMs };
enum : u_short { kHttpsPort = 443 };
enum : int { kReplyBufferSize = 321 };

// Reused for every request; only the monitor thread builds requests.
EchoRequest g_request;

// The error sink of the send and receive steps: the exchange goes on regardless.
void reportSocketError(const char* /*call*/) {}

int sendEchoRequest(SOCKET sock, const sockaddr_in& destination)
{
    buildEchoRequest(g_request, g_echoCounters, GetTickCount());
    const int sent = sendto(sock, reinterpret_cast<const char*>(&g_request), sizeof g_request, 0,
                            reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (sent == SOCKET_ERROR)
        reportSocketError("sendto()");
    return sent;
}

// Reads one datagram; its size, or -1.
int receiveReply(SOCKET sock, char (&buffer)[kReplyBufferSize], sockaddr_in& sender)
{
    int senderSize = sizeof sender;
    const int received = recvfrom(sock, buffer, sizeof buffer, 0,
                                  reinterpret_cast<sockaddr*>(&sender), &senderSize);
    if (received == SOCKET_ERROR)
        reportSocketError("recvfrom()");
    return received;
}

// The system's ICMP service, from iphlpapi.dll in the system folder.
struct IcmpService {
    HANDLE(WINAPI* create)();
    DWORD(WINAPI* sendEcho)(HANDLE, HANDLE, void*, void*, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID,
                            DWORD, DWORD);
    DWORD(WINAPI* parseReplies)(LPVOID, DWORD);
    BOOL(WINAPI* close)(HANDLE);
};

// Found on first use; the monitor thread's alone.
IcmpService g_icmp;

bool findIcmpService()
{
    IcmpService& service = g_icmp;
    if (service.create == nullptr || service.sendEcho == nullptr || service.parseReplies == nullptr ||
        service.close == nullptr) {
        service.create = reinterpret_cast<decltype(service.create)>(systemFunction(L"iphlpapi.dll", "IcmpCreateFile"));
        service.sendEcho = reinterpret_cast<decltype(service.sendEcho)>(systemFunction(L"iphlpapi.dll", "IcmpSendEcho2"));
        service.parseReplies =
            reinterpret_cast<decltype(service.parseReplies)>(systemFunction(L"iphlpapi.dll", "IcmpParseReplies"));
        service.close = reinterpret_cast<decltype(service.close)>(systemFunction(L"iphlpapi.dll", "IcmpCloseHandle"));
    }
    return service.create != nullptr && service.sendEcho != nullptr && service.parseReplies != nullptr &&
           service.close != nullptr;
}

// Room for the service's reply record, the echoed data, an ICMP error
// message and the status of the asynchronous request.
enum : DWORD { kServiceReplySize = sizeof(ICMP_ECHO_REPLY) + kEchoDataSize + 8 + 64 };

// One probe's requests through the system's ICMP service: each answered on
// its own event, in its own buffer. A probe that has its verdict leaves its
// requests still under way to finish in their own set while the next probe
// uses the other; a set is used again only once all its requests are over,
// so a late reply can neither land in nor be taken for another probe's.
struct ServiceRequests {
    HANDLE service;  // open while requests of this set may be under way
    int sent;
    HANDLE answeredEvents[kMaxEchoRequestsPerProbe];
    bool pending[kMaxEchoRequestsPerProbe];
    alignas(8) unsigned char replies[kMaxEchoRequestsPerProbe][kServiceReplySize];
};

// The monitor thread's alone.
ServiceRequests g_serviceSets[2];

// Whether every request of the set is over, waiting at most that long for
// each; the service is closed once they are.
bool serviceRequestsOver(ServiceRequests& set, DWORD milliseconds)
{
    for (int n = 0; n < set.sent; ++n)
        if (set.pending[n] && WaitForSingleObject(set.answeredEvents[n], milliseconds) == WAIT_OBJECT_0)
            set.pending[n] = false;
    for (int n = 0; n < set.sent; ++n)
        if (set.pending[n])
            return false;
    if (set.service != nullptr && set.service != INVALID_HANDLE_VALUE)
        g_icmp.close(set.service);
    set.service = nullptr;
    set.sent = 0;
    return true;
}

// A set with no request under way, opened on the service; null when the
// service cannot be had. Both busy (two probes within 5 s): the requests
// of the first are waited out, 6 s at most.
ServiceRequests* openServiceRequests()
{
    ServiceRequests* set = nullptr;
    for (ServiceRequests& candidate : g_serviceSets)
        if (set == nullptr && serviceRequestsOver(candidate, 0))
            set = &candidate;
    if (set == nullptr && serviceRequestsOver(g_serviceSets[0], kReplyWaitMs + 1000))
        set = &g_serviceSets[0];
    if (set == nullptr || !findIcmpService())
        return nullptr;
    set->service = g_icmp.create();
    return set->service != INVALID_HANDLE_VALUE ? set : nullptr;
}

// One probe's requests over the raw socket or through the system's ICMP
// service, and the handshake tried alongside when echo goes unanswered (see
// probe/probe_timing.h).
struct Exchange {
    sockaddr_in destination;
    SOCKET https;  // INVALID_SOCKET while no handshake runs
    SOCKET icmp;   // INVALID_SOCKET: the ICMP service instead
    SentEchoes sent;
    ServiceRequests* requests;  // the ICMP service's
    DWORD replyWaitMs;          // how long the service waits for each reply
};

// The probe under way; the monitor thread's alone.
Exchange g_exchange;

bool sendServiceRequest(Exchange& x)
{
    ServiceRequests& set = *x.requests;
    const int n = set.sent;
    if (set.answeredEvents[n] == nullptr)
        set.answeredEvents[n] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (set.answeredEvents[n] == nullptr)
        return false;
    ResetEvent(set.answeredEvents[n]);
    buildEchoRequest(g_request, g_echoCounters, GetTickCount());
    // The same 37 bytes that follow the header of a raw request; the service
    // picks the identifier and sequence and matches the replies itself.
    unsigned char* data = reinterpret_cast<unsigned char*>(&g_request) + kEchoHeaderSize;
    const DWORD done = g_icmp.sendEcho(set.service, set.answeredEvents[n], nullptr, nullptr,
                                       x.destination.sin_addr.s_addr, data, kEchoDataSize, nullptr, set.replies[n],
                                       kServiceReplySize, x.replyWaitMs);
    if (done == 0 && GetLastError() != ERROR_IO_PENDING)
        return false;
    if (done != 0)
        SetEvent(set.answeredEvents[n]);  // answered at once: the wait finds it like any other
    set.pending[n] = true;
    ++set.sent;
    return true;
}

bool sendExchangeRequest(void* context)
{
    Exchange& x = *static_cast<Exchange*>(context);
    if (x.icmp == INVALID_SOCKET)
        return sendServiceRequest(x);
    if (sendEchoRequest(x.icmp, x.destination) == SOCKET_ERROR)
        return false;
    rememberSentEcho(x.sent, g_request.identifier, g_request.sequence);
    return true;
}

void endHandshake(Exchange& x)
{
    if (x.https != INVALID_SOCKET)
        closesocket(x.https);
    x.https = INVALID_SOCKET;
}

// A connect that does not wait: its end shows in waitForExchange. Closed at
// once when it ends; no data is sent.
bool startExchangeHandshake(void* context)
{
    Exchange& x = *static_cast<Exchange*>(context);
    x.https = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (x.https == INVALID_SOCKET)
        return false;
    u_long nonBlocking = 1;
    ioctlsocket(x.https, FIONBIO, &nonBlocking);
    sockaddr_in https = x.destination;
    https.sin_port = htons(kHttpsPort);
    if (connect(x.https, reinterpret_cast<const sockaddr*>(&https), sizeof https) == 0 ||
        WSAGetLastError() == WSAEWOULDBLOCK)
        return true;  // an immediate success shows as writable too
    endHandshake(x);
    return false;
}

ProbeEvent handshakeOutcome(Exchange& x)
{
    int error = 0;
    int errorSize = sizeof error;
    const bool connected =
        getsockopt(x.https, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &errorSize) == 0 && error == 0;
    endHandshake(x);
    return connected ? ProbeEvent::HandshakeSucceeded : ProbeEvent::HandshakeFailed;
}

// Waits on the raw socket (when asked) and the handshake under way: the
// handshake's end if it came, else whether a datagram waits to be read.
// Nothing to wait on returns at once; a failed wait counts as silence.
ProbeEvent waitOnSockets(Exchange& x, bool withIcmp, uint32_t milliseconds, bool& datagram)
{
    datagram = false;
    if (!withIcmp && x.https == INVALID_SOCKET)
        return ProbeEvent::Nothing;
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    if (withIcmp)
        FD_SET(x.icmp, &readable);
    if (x.https != INVALID_SOCKET) {
        FD_SET(x.https, &writable);
        FD_SET(x.https, &failed);
    }
    timeval timeout;
    timeout.tv_sec = static_cast<long>(milliseconds / 1000);
    timeout.tv_usec = static_cast<long>(milliseconds % 1000) * 1000;
    if (select(0, &readable, &writable, &failed, &timeout) < 0) {
        reportSocketError("select()");
        Sleep(milliseconds);
        return ProbeEvent::Nothing;
    }
    if (x.https != INVALID_SOCKET && (FD_ISSET(x.https, &writable) || FD_ISSET(x.https, &failed)))
        return handshakeOutcome(x);
    datagram = withIcmp && FD_ISSET(x.icmp, &readable);
    return ProbeEvent::Nothing;
}

// Datagrams that are no reply of this probe (our own request looped back,
// other ICMP traffic) are read and passed over.
ProbeEvent waitOnRawSocket(Exchange& x, uint32_t milliseconds)
{
    bool datagram = false;
    const ProbeEvent handshake = waitOnSockets(x, true, milliseconds, datagram);
    if (handshake != ProbeEvent::Nothing || !datagram)
        return handshake;
    char buffer[kReplyBufferSize];
    sockaddr_in sender = {};
    const int received = receiveReply(x.icmp, buffer, sender);
    const bool matching = received > 0 &&
                          isMatchingEchoReply(reinterpret_cast<const uint8_t*>(buffer), static_cast<size_t>(received),
                                              sender.sin_addr.s_addr, x.destination.sin_addr.s_addr, x.sent);
    return matching ? ProbeEvent::Reply : ProbeEvent::Nothing;
}

bool isServiceReply(Exchange& x, int n)
{
    ServiceRequests& set = *x.requests;
    set.pending[n] = false;
    const ICMP_ECHO_REPLY* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(set.replies[n]);
    return g_icmp.parseReplies(set.replies[n], kServiceReplySize) > 0 && reply->Status == IP_SUCCESS &&
           reply->Address == x.destination.sin_addr.s_addr;
}

// The service signals each request's event when it is answered or out of
// time; a handshake under way is looked at every 50 ms meanwhile.
ProbeEvent waitOnService(Exchange& x, uint32_t milliseconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        bool datagram = false;
        const ProbeEvent handshake = waitOnSockets(x, false, 0, datagram);
        if (handshake != ProbeEvent::Nothing)
            return handshake;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            return ProbeEvent::Nothing;
        DWORD slice = milliseconds - elapsed;
        if (x.https != INVALID_SOCKET && slice > 50)
            slice = 50;
        HANDLE events[kMaxEchoRequestsPerProbe];
        int requests[kMaxEchoRequestsPerProbe];
        DWORD count = 0;
        for (int n = 0; n < x.requests->sent; ++n)
            if (x.requests->pending[n]) {
                events[count] = x.requests->answeredEvents[n];
                requests[count++] = n;
            }
        const DWORD signalled = count > 0 ? WaitForMultipleObjects(count, events, FALSE, slice) : WAIT_TIMEOUT;
        if (count == 0)
            Sleep(slice);
        if (signalled < WAIT_OBJECT_0 + count && isServiceReply(x, requests[signalled - WAIT_OBJECT_0]))
            return ProbeEvent::Reply;
    }
}

ProbeEvent waitForExchange(uint32_t milliseconds, void* context)
{
    Exchange& x = *static_cast<Exchange*>(context);
    return x.icmp != INVALID_SOCKET ? waitOnRawSocket(x, milliseconds) : waitOnService(x, milliseconds);
}

uint32_t exchangeClockMs(void*)
{
    return GetTickCount();
}

// Echo requests paced 1 s apart unless answered sooner, and a handshake with
// port 443 once two are unanswered: networks that drop ICMP (many offices,
// some hotels) still let a web connection through. Without a raw socket the
// requests go through the system's ICMP service. The verdict is reported as
// soon as it is known, by either route.
// The exchange readied for its first request; false where the ICMP service
// is needed and cannot be had.
bool startExchange(Exchange& x, SOCKET icmp, const sockaddr_in& destination, DWORD replyWaitMs)
{
    x.destination = destination;
    x.https = INVALID_SOCKET;
    x.icmp = icmp;
    x.sent = SentEchoes();
    x.requests = nullptr;
    x.replyWaitMs = replyWaitMs;
    return icmp != INVALID_SOCKET || (x.requests = openServiceRequests()) != nullptr;
}

bool exchangeWithHost(SOCKET icmp, const sockaddr_in& destination)
{
    Exchange& x = g_exchange;
    if (!startExchange(x, icmp, destination, kReplyWaitMs))
        return false;
    const ProbeIo io = {sendExchangeRequest, startExchangeHandshake, waitForExchange, exchangeClockMs, &x};
    const bool connected = exchangeEchoes(io);
    endHandshake(x);
    if (x.requests != nullptr)
        serviceRequestsOver(*x.requests, 0);  // those still under way finish in their set
    return connected;
}

// One request, answered within the time or not. The service's request ends
// by then too, so that its set is free for the next probe.
bool oneEchoAnswered(SOCKET icmp, const sockaddr_in& destination, DWORD milliseconds)
{
    Exchange& x = g_exchange;
    if (!startExchange(x, icmp, destination, milliseconds))
        return false;
    bool answered = false;
    if (sendExchangeRequest(&x)) {
        const DWORD start = GetTickCount();
        for (DWORD elapsed = 0; !answered && elapsed < milliseconds; elapsed = GetTickCount() - start)
            answered = waitForExchange(milliseconds - elapsed, &x) == ProbeEvent::Reply;
    }
    if (x.requests != nullptr)
        serviceRequestsOver(*x.requests, 0);
    return answered;
}

// A host never resolved while names fail: another probe host's address
// serves, so that the probe still asks the internet.
bool anyProbeHostRemembered(uint32_t& address)
{
    for (const char* host : kProbeHosts)
        if (rememberedAddress(host, address))
            return true;
    return false;
}

SOCKET openIcmpSocket(ProbeRoute route)
{
    return route == ProbeRoute::RawSocketFirst ? socket(AF_INET, SOCK_RAW, IPPROTO_ICMP) : INVALID_SOCKET;
}

// The address to probe: the host's own; while its name was never resolved,
// another probe host's at once (the name is asked meanwhile: a name server
// gone with the uplink must not hold the verdict up); with none known at
// all, the name's answer, waited for 2 s at most.
bool addressToProbe(const char* host, uint32_t& address)
{
    uint32_t standIn = 0;
    const uint32_t waitMs = anyProbeHostRemembered(standIn) ? 0u : static_cast<uint32_t>(kNameLookupWaitMs);
    return lookUpHost(host, address, waitMs) || anyProbeHostRemembered(address);
}

LinkState probeStartedSockets(const char* host, ProbeRoute route)
{
    const SOCKET sock = openIcmpSocket(route);
    sockaddr_in destination = {};
    destination.sin_family = AF_INET;
    uint32_t address = 0;
    if (!addressToProbe(host, address)) {
        if (sock != INVALID_SOCKET)
            closesocket(sock);
        return Broken;
    }
    destination.sin_addr.s_addr = address;
    const bool answered = exchangeWithHost(sock, destination);
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

bool echoAnswered(uint32_t address, uint32_t milliseconds)
{
    const SOCKET sock = openIcmpSocket(ProbeRoute::RawSocketFirst);
    sockaddr_in destination = {};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = address;
    const bool answered = oneEchoAnswered(sock, destination, milliseconds);
    if (sock != INVALID_SOCKET)
        closesocket(sock);
    return answered;
}

void finishServiceRequests()
{
    for (ServiceRequests& set : g_serviceSets)
        serviceRequestsOver(set, kReplyWaitMs + 1000);
}

LinkState probeHost(const char* host)
{
    return probeHostVia(host, ProbeRoute::RawSocketFirst);
}
