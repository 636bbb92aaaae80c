// The TCP handshake with port 443 that the probe tries alongside echo: many
// offices and some hotels drop ICMP but let a web connection through.
#include "probe/probe_exchange.h"

namespace {

enum : u_short { kHttpsPort = 443 };

ProbeEvent handshakeOutcome(Exchange& x)
{
    int error = 0;
    int errorSize = sizeof error;
    const bool connected =
        getsockopt(x.https, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &errorSize) == 0 && error == 0;
    endHandshake(x);
    return connected ? ProbeEvent::HandshakeSucceeded : ProbeEvent::HandshakeFailed;
}

} // namespace

// Its end shows in waitOnSockets.
bool startHandshake(Exchange& x)
{
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

void endHandshake(Exchange& x)
{
    if (x.https != INVALID_SOCKET)
        closesocket(x.https);
    x.https = INVALID_SOCKET;
}

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
        Sleep(milliseconds);
        return ProbeEvent::Nothing;
    }
    if (x.https != INVALID_SOCKET && (FD_ISSET(x.https, &writable) || FD_ISSET(x.https, &failed)))
        return handshakeOutcome(x);
    datagram = withIcmp && FD_ISSET(x.icmp, &readable);
    return ProbeEvent::Nothing;
}
