// Echo requests and their replies over a raw ICMP socket.
#include "probe/probe_exchange.h"

#include "probe/echo_request.h"

namespace {

enum : int { kReplyBufferSize = 321 };

// Reused for every request.
EchoRequest g_request;

// Reads one datagram; its size, or -1 (the exchange goes on regardless).
int receiveReply(SOCKET sock, char (&buffer)[kReplyBufferSize], sockaddr_in& sender)
{
    int senderSize = sizeof sender;
    return recvfrom(sock, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &senderSize);
}

} // namespace

SOCKET openIcmpSocket(ProbeRoute route)
{
    return route == ProbeRoute::RawSocketFirst ? socket(AF_INET, SOCK_RAW, IPPROTO_ICMP) : INVALID_SOCKET;
}

bool sendRawRequest(Exchange& x)
{
    buildEchoRequest(g_request, g_echoCounters, GetTickCount());
    const int sent = sendto(x.icmp, reinterpret_cast<const char*>(&g_request), sizeof g_request, 0,
                            reinterpret_cast<const sockaddr*>(&x.destination), sizeof x.destination);
    if (sent == SOCKET_ERROR)
        return false;
    rememberSentEcho(x.sent, g_request.identifier, g_request.sequence);
    return true;
}

// Our own request looped back and other ICMP traffic are read and passed over.
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
