// One probe's exchange with a host, and the three paths it goes by: echo
// requests over a raw socket (probe_raw.cpp) or, where raw sockets are
// refused, as they are to users without administrator rights, through the
// system's ICMP service, IcmpSendEcho2 (probe_service.cpp); and a TCP
// handshake with port 443 tried alongside when echo goes unanswered
// (probe_handshake.cpp). probe.cpp runs the exchange. The monitor thread's
// alone, as is all the state behind these functions.
#pragma once

#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>

#include "core/probe_measure.h"
#include "probe/echo_reply.h"
#include "probe/probe_route.h"
#include "probe/probe_timing.h"

struct ServiceRequests;

struct Exchange {
    sockaddr_in destination;  // address 0: the host is not reached over IPv4
    sockaddr_in6 destination6;
    bool ipv6;                // the handshake goes over IPv6 too, to destination6
    bool echo6;               // echo goes over IPv6 (ICMPv6), from local6
    Ipv6Bytes local6;
    SOCKET https, https6;     // INVALID_SOCKET while no handshake of that family runs
    SOCKET icmp;   // INVALID_SOCKET: the ICMP service instead
    SentEchoes sent;
    ServiceRequests* requests;  // the ICMP service's
    DWORD replyWaitMs;          // how long the service waits for each reply
    DWORD handshakeStartMs;
    int handshakeMs;            // its round trip, once it succeeded; else -1
    ProbeMeasure measure;       // the round trips of the replies, as they come
};

// A reply to request n came, that long after it left: counted once.
void noteEchoAnswered(Exchange& x, int n, uint32_t roundTripMs);

// The raw socket, ICMPv6's where asked.
SOCKET openIcmpSocket(ProbeRoute route, bool ipv6 = false);
bool sendRawRequest(Exchange& x);
// Datagrams that are no reply of this probe are read and passed over, within
// the same wait.
ProbeEvent waitOnRawSocket(Exchange& x, uint32_t milliseconds);

// The ICMP service (for ICMPv6 where the exchange's echo goes over IPv6).
// Gives the exchange a set of requests with none under way; false when the
// service cannot be had, or with waitForSet false, when no set is free now.
bool openServiceRequests(Exchange& x, bool waitForSet);
bool sendServiceRequest(Exchange& x);
// A handshake under way is looked at every 50 ms meanwhile.
ProbeEvent waitOnService(Exchange& x, uint32_t milliseconds);
// Done with the set: requests still under way finish in it, unseen.
void releaseServiceRequests(Exchange& x);
// How many requests the exchange sent through the service.
int serviceRequestsSent(const Exchange& x);

// The handshake: a connect that does not wait, over each family the host is
// reached by, closed at once when it ends; no data is sent. Either one that
// succeeds is the handshake's success.
bool startHandshake(Exchange& x);
bool handshakeRunning(const Exchange& x);
void endHandshake(Exchange& x);
// Waits on the raw socket (when asked) and the handshake under way: the
// handshake's end if it came, else whether a datagram waits to be read.
// Nothing to wait on returns at once; a failed wait counts as silence.
ProbeEvent waitOnSockets(Exchange& x, bool withIcmp, uint32_t milliseconds, bool& datagram);
