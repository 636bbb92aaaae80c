// Echo requests through the system's ICMP service (IcmpSendEcho2, and
// Icmp6SendEcho2 for IPv6, from iphlpapi.dll in the system folder), for
// users without raw sockets.
#include "probe/probe_exchange.h"

#include <cstddef>
#include <cstring>

#include <iphlpapi.h>
#include <icmpapi.h>

#include "core/system_library.h"
#include "probe/echo_request.h"

namespace {

struct IcmpService {
    HANDLE(WINAPI* create)();
    DWORD(WINAPI* sendEcho)(HANDLE, HANDLE, void*, void*, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID,
                            DWORD, DWORD);
    DWORD(WINAPI* parseReplies)(LPVOID, DWORD);
    BOOL(WINAPI* close)(HANDLE);
    HANDLE(WINAPI* create6)();
    DWORD(WINAPI* sendEcho6)(HANDLE, HANDLE, void*, void*, sockaddr_in6*, sockaddr_in6*, LPVOID, WORD,
                             PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);
    DWORD(WINAPI* parseReplies6)(LPVOID, DWORD);
};

// Found on first use.
IcmpService g_icmp;
bool g_icmpLooked = false;

// The functions of IPv4's service, or of IPv6's (which also closes with
// IcmpCloseHandle); a system may have the one without the other.
bool findIcmpService(bool ipv6)
{
    IcmpService& f = g_icmp;
    if (!g_icmpLooked) {
        g_icmpLooked = true;
        findSystemFunction(f.create, L"iphlpapi.dll", "IcmpCreateFile");
        findSystemFunction(f.sendEcho, L"iphlpapi.dll", "IcmpSendEcho2");
        findSystemFunction(f.parseReplies, L"iphlpapi.dll", "IcmpParseReplies");
        findSystemFunction(f.close, L"iphlpapi.dll", "IcmpCloseHandle");
        findSystemFunction(f.create6, L"iphlpapi.dll", "Icmp6CreateFile");
        findSystemFunction(f.sendEcho6, L"iphlpapi.dll", "Icmp6SendEcho2");
        findSystemFunction(f.parseReplies6, L"iphlpapi.dll", "Icmp6ParseReplies");
    }
    if (f.close == nullptr)
        return false;
    return ipv6 ? f.create6 != nullptr && f.sendEcho6 != nullptr && f.parseReplies6 != nullptr
                : f.create != nullptr && f.sendEcho != nullptr && f.parseReplies != nullptr;
}

// ICMPV6_ECHO_REPLY as the system lays it out: the address record packed
// (26 bytes), then the status. The headers here leave it out, or unpacked.
#pragma pack(push, 1)
struct Icmpv6ReplyAddress {
    USHORT port;
    ULONG flowInfo;
    BYTE address[16];
    ULONG scopeId;
};
#pragma pack(pop)
struct Icmpv6EchoReply {
    Icmpv6ReplyAddress address;
    ULONG status;
    unsigned int roundTripTime;
};
static_assert(sizeof(Icmpv6ReplyAddress) == 26 && offsetof(Icmpv6EchoReply, status) == 28 &&
                  sizeof(Icmpv6EchoReply) == 36,
              "the system's ICMPv6 reply record");

// Room for the service's reply record (either family's), the echoed data,
// an ICMP error message and the status of the asynchronous request; a
// multiple of 8, so that each buffer of a set is aligned for the records
// the service writes into it.
enum : DWORD {
    kReplyRecordSize = sizeof(ICMP_ECHO_REPLY) > sizeof(Icmpv6EchoReply) ? sizeof(ICMP_ECHO_REPLY)
                                                                         : sizeof(Icmpv6EchoReply),
    kReplyAlignment = 8,
    kServiceReplySize = (kReplyRecordSize + kEchoDataSize + 8 + 64 + kReplyAlignment - 1) / kReplyAlignment *
                        kReplyAlignment
};
static_assert(kServiceReplySize % alignof(ICMP_ECHO_REPLY) == 0 && kServiceReplySize % alignof(Icmpv6EchoReply) == 0,
              "every reply buffer aligned");

} // namespace

// One probe's requests: each answered on its own event, in its own buffer. A
// probe that has its verdict leaves its requests still under way to finish
// in their own set while the next probe uses the other; a set is used again
// only once all its requests are over, so a late reply can neither land in
// nor be taken for another probe's.
struct ServiceRequests {
    HANDLE service;  // open while requests of this set may be under way
    int sent;
    HANDLE answeredEvents[kMaxEchoRequestsPerProbe];
    bool pending[kMaxEchoRequestsPerProbe];
    alignas(8) unsigned char replies[kMaxEchoRequestsPerProbe][kServiceReplySize];
};

namespace {

ServiceRequests g_serviceSets[2];

// Reused for every request: its data is what the service sends.
EchoRequest g_request;

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

// Whether request n was answered by the host; its round trip as the service timed it.
bool isServiceReply(Exchange& x, int n)
{
    ServiceRequests& set = *x.requests;
    set.pending[n] = false;
    bool answered;
    uint32_t roundTripMs;
    if (x.echo6) {
        const Icmpv6EchoReply* reply = reinterpret_cast<const Icmpv6EchoReply*>(set.replies[n]);
        answered = g_icmp.parseReplies6(set.replies[n], kServiceReplySize) > 0 && reply->status == IP_SUCCESS &&
                   std::memcmp(reply->address.address, &x.destination6.sin6_addr, 16) == 0;
        roundTripMs = reply->roundTripTime;
    } else {
        const ICMP_ECHO_REPLY* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(set.replies[n]);
        answered = g_icmp.parseReplies(set.replies[n], kServiceReplySize) > 0 && reply->Status == IP_SUCCESS &&
                   reply->Address == x.destination.sin_addr.s_addr;
        roundTripMs = reply->RoundTripTime;
    }
    if (answered)
        noteEchoAnswered(x, n, roundTripMs);
    return answered;
}

} // namespace

// Both sets busy (two probes within 5 s): the requests of the first are
// waited out, 6 s at most, where the caller waits.
bool openServiceRequests(Exchange& x, bool waitForSet)
{
    ServiceRequests* set = nullptr;
    for (ServiceRequests& candidate : g_serviceSets)
        if (set == nullptr && serviceRequestsOver(candidate, 0))
            set = &candidate;
    if (set == nullptr && waitForSet && serviceRequestsOver(g_serviceSets[0], kReplyWindowMs + 1000))
        set = &g_serviceSets[0];
    if (set == nullptr || !findIcmpService(x.echo6))
        return false;
    set->service = x.echo6 ? g_icmp.create6() : g_icmp.create();
    if (set->service == INVALID_HANDLE_VALUE)
        return false;
    x.requests = set;
    return true;
}

bool sendServiceRequest(Exchange& x)
{
    ServiceRequests& set = *x.requests;
    const int n = set.sent;
    if (n >= kMaxEchoRequestsPerProbe)
        return false;
    if (set.answeredEvents[n] == nullptr)
        set.answeredEvents[n] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (set.answeredEvents[n] == nullptr)
        return false;
    ResetEvent(set.answeredEvents[n]);
    buildEchoRequest(g_request, g_echoCounters, GetTickCount());
    // The same 37 bytes that follow the header of a raw request; the service
    // picks the identifier and sequence and matches the replies itself.
    unsigned char* data = reinterpret_cast<unsigned char*>(&g_request) + kEchoHeaderSize;
    sockaddr_in6 anySource = {};
    anySource.sin6_family = AF_INET6;
    const DWORD done =
        x.echo6 ? g_icmp.sendEcho6(set.service, set.answeredEvents[n], nullptr, nullptr, &anySource, &x.destination6,
                                   data, kEchoDataSize, nullptr, set.replies[n], kServiceReplySize, x.replyWaitMs)
                : g_icmp.sendEcho(set.service, set.answeredEvents[n], nullptr, nullptr, x.destination.sin_addr.s_addr,
                                  data, kEchoDataSize, nullptr, set.replies[n], kServiceReplySize, x.replyWaitMs);
    if (done == 0 && GetLastError() != ERROR_IO_PENDING)
        return false;
    if (done != 0)
        SetEvent(set.answeredEvents[n]);  // answered at once: the wait finds it like any other
    set.pending[n] = true;
    ++set.sent;
    return true;
}

// The service signals each request's event when it is answered or out of
// time. The events are looked at once even where no time is left.
ProbeEvent waitOnService(Exchange& x, uint32_t milliseconds)
{
    const DWORD start = GetTickCount();
    for (bool first = true;; first = false) {
        bool datagram = false;
        const ProbeEvent handshake = waitOnSockets(x, false, 0, datagram);
        if (handshake != ProbeEvent::Nothing)
            return handshake;
        const DWORD elapsed = GetTickCount() - start;
        if (!first && elapsed >= milliseconds)
            return ProbeEvent::Nothing;
        DWORD slice = elapsed < milliseconds ? milliseconds - elapsed : 0;
        if (handshakeRunning(x) && slice > 50)
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

int serviceRequestsSent(const Exchange& x)
{
    return x.requests != nullptr ? x.requests->sent : 0;
}

void releaseServiceRequests(Exchange& x)
{
    if (x.requests != nullptr)
        serviceRequestsOver(*x.requests, 0);
    x.requests = nullptr;
}

void finishServiceRequests()
{
    for (ServiceRequests& set : g_serviceSets)
        serviceRequestsOver(set, kReplyWindowMs + 1000);
}
