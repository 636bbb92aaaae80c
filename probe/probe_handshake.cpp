// The TCP handshake with port 443 that the probe tries alongside echo: many
// offices and some hotels drop ICMP but let a web connection through.
#include "probe/probe_exchange.h"

namespace {

enum : u_short { kHttpsPort = 443 };

// A connect that does not wait; INVALID_SOCKET where it failed at once.
SOCKET startConnect(const sockaddr* address, int size)
{
    const SOCKET sock = socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP);
    if (sock == INVALID_SOCKET)
        return sock;
    u_long nonBlocking = 1;
    ioctlsocket(sock, FIONBIO, &nonBlocking);
    if (connect(sock, address, size) == 0 || WSAGetLastError() == WSAEWOULDBLOCK)
        return sock;  // an immediate success shows as writable too
    closesocket(sock);
    return INVALID_SOCKET;
}

void closeHandshake(SOCKET& sock)
{
    if (sock != INVALID_SOCKET)
        closesocket(sock);
    sock = INVALID_SOCKET;
}

bool connectedNow(SOCKET sock)
{
    int error = 0;
    int errorSize = sizeof error;
    return getsockopt(sock, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &errorSize) == 0 && error == 0;
}

// The handshake of one family that ended: true where it succeeded; one
// that failed is closed, and the other family may still succeed.
bool handshakeEnded(SOCKET& sock, const fd_set& writable, const fd_set& failed, bool& ended)
{
    if (sock == INVALID_SOCKET || (!FD_ISSET(sock, &writable) && !FD_ISSET(sock, &failed)))
        return false;
    ended = true;
    const bool connected = connectedNow(sock);
    closeHandshake(sock);
    return connected;
}

ProbeEvent handshakeOutcome(Exchange& x, const fd_set& writable, const fd_set& failed)
{
    bool ended = false;
    const bool connected = handshakeEnded(x.https, writable, failed, ended) ||
                           handshakeEnded(x.https6, writable, failed, ended);
    if (connected) {
        x.handshakeMs = static_cast<int>(GetTickCount() - x.handshakeStartMs);
        endHandshake(x);
        return ProbeEvent::HandshakeSucceeded;
    }
    return ended && !handshakeRunning(x) ? ProbeEvent::HandshakeFailed : ProbeEvent::Nothing;
}

void addHandshake(SOCKET sock, fd_set& writable, fd_set& failed)
{
    if (sock != INVALID_SOCKET) {
        FD_SET(sock, &writable);
        FD_SET(sock, &failed);
    }
}

} // namespace

// Its end shows in waitOnSockets.
bool startHandshake(Exchange& x)
{
    x.handshakeStartMs = GetTickCount();
    if (x.destination.sin_addr.s_addr != 0) {
        sockaddr_in https = x.destination;
        https.sin_port = htons(kHttpsPort);
        x.https = startConnect(reinterpret_cast<const sockaddr*>(&https), sizeof https);
    }
    if (x.ipv6) {
        sockaddr_in6 https = x.destination6;
        https.sin6_port = htons(kHttpsPort);
        x.https6 = startConnect(reinterpret_cast<const sockaddr*>(&https), sizeof https);
    }
    return handshakeRunning(x);
}

bool handshakeRunning(const Exchange& x)
{
    return x.https != INVALID_SOCKET || x.https6 != INVALID_SOCKET;
}

void endHandshake(Exchange& x)
{
    closeHandshake(x.https);
    closeHandshake(x.https6);
}

ProbeEvent waitOnSockets(Exchange& x, bool withIcmp, uint32_t milliseconds, bool& datagram)
{
    datagram = false;
    if (!withIcmp && !handshakeRunning(x))
        return ProbeEvent::Nothing;
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    if (withIcmp)
        FD_SET(x.icmp, &readable);
    addHandshake(x.https, writable, failed);
    addHandshake(x.https6, writable, failed);
    timeval timeout;
    timeout.tv_sec = static_cast<long>(milliseconds / 1000);
    timeout.tv_usec = static_cast<long>(milliseconds % 1000) * 1000;
    if (select(0, &readable, &writable, &failed, &timeout) < 0) {
        Sleep(milliseconds);
        return ProbeEvent::Nothing;
    }
    const ProbeEvent handshake = handshakeOutcome(x, writable, failed);
    if (handshake != ProbeEvent::Nothing)
        return handshake;
    datagram = withIcmp && FD_ISSET(x.icmp, &readable);
    return ProbeEvent::Nothing;
}
