// Echo requests and their replies over a raw ICMP or ICMPv6 socket.
#include "probe/probe_exchange.h"

#include "probe/echo_request.h"

namespace {

enum : int { kReplyBufferSize = 321 };

// Reused for every request.
EchoRequest g_request;

// Reads one datagram; its size, or -1 (the exchange goes on regardless).
template <typename Address>
int receiveReply(SOCKET sock, char (&buffer)[kReplyBufferSize], Address& sender)
{
    int senderSize = sizeof sender;
    return recvfrom(sock, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &senderSize);
}

// An ICMPv6 socket gives the message alone, without its IPv6 header.
// Which request of the probe a datagram read answers, or -1.
int replyOfThisProbe6(Exchange& x)
{
    char buffer[kReplyBufferSize];
    sockaddr_in6 sender = {};
    const int received = receiveReply(x.icmp, buffer, sender);
    Ipv6Bytes from, to;
    CopyMemory(from.bytes, &sender.sin6_addr, sizeof from.bytes);
    CopyMemory(to.bytes, &x.destination6.sin6_addr, sizeof to.bytes);
    return received > 0 ? matchingEchoReply6(reinterpret_cast<const uint8_t*>(buffer), static_cast<size_t>(received),
                                             from, to, x.local6, x.sent)
                        : -1;
}

} // namespace

SOCKET openIcmpSocket(ProbeRoute route, bool ipv6)
{
    if (route != ProbeRoute::RawSocketFirst)
        return INVALID_SOCKET;
    return ipv6 ? socket(AF_INET6, SOCK_RAW, IPPROTO_ICMPV6) : socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
}

bool sendRawRequest(Exchange& x)
{
    int sent;
    if (x.echo6) {
        Ipv6Bytes destination;
        CopyMemory(destination.bytes, &x.destination6.sin6_addr, sizeof destination.bytes);
        buildEchoRequest6(g_request, g_echoCounters, GetTickCount(), x.local6, destination);
        sent = sendto(x.icmp, reinterpret_cast<const char*>(&g_request), sizeof g_request, 0,
                      reinterpret_cast<const sockaddr*>(&x.destination6), sizeof x.destination6);
    } else {
        buildEchoRequest(g_request, g_echoCounters, GetTickCount());
        sent = sendto(x.icmp, reinterpret_cast<const char*>(&g_request), sizeof g_request, 0,
                      reinterpret_cast<const sockaddr*>(&x.destination), sizeof x.destination);
    }
    if (sent == SOCKET_ERROR)
        return false;
    rememberSentEcho(x.sent, g_request.identifier, g_request.sequence, GetTickCount());
    return true;
}

namespace {

int replyOfThisProbe(Exchange& x)
{
    if (x.echo6)
        return replyOfThisProbe6(x);
    char buffer[kReplyBufferSize];
    sockaddr_in sender = {};
    const int received = receiveReply(x.icmp, buffer, sender);
    return received > 0 ? matchingEchoReply(reinterpret_cast<const uint8_t*>(buffer), static_cast<size_t>(received),
                                            sender.sin_addr.s_addr, x.destination.sin_addr.s_addr, x.sent)
                        : -1;
}

// At most this many datagrams are read in one wait: every raw socket gets a
// copy of all ICMP that comes in.
enum : int { kDatagramsPerWait = 16 };

} // namespace

// Our own request looped back and other ICMP traffic are read and passed
// over, within the same wait.
ProbeEvent waitOnRawSocket(Exchange& x, uint32_t milliseconds)
{
    const DWORD start = GetTickCount();
    for (int datagrams = 0; datagrams < kDatagramsPerWait; ++datagrams) {
        const DWORD elapsed = GetTickCount() - start;
        bool datagram = false;
        const ProbeEvent handshake = waitOnSockets(x, true, elapsed < milliseconds ? milliseconds - elapsed : 0, datagram);
        if (handshake != ProbeEvent::Nothing || !datagram)
            return handshake;
        const int answered = replyOfThisProbe(x);
        if (answered >= 0) {
            noteEchoAnswered(x, answered, GetTickCount() - x.sent.sentAtMs[answered]);
            return ProbeEvent::Reply;
        }
    }
    return ProbeEvent::Nothing;
}
