#include "web/web_fetch.h"

#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>

namespace {

enum : u_short { kHttpPort = 80 };

// Milliseconds left of that many from the start, 0 once they are over.
DWORD timeLeft(DWORD start, DWORD limit)
{
    const DWORD elapsed = GetTickCount() - start;
    return elapsed < limit ? limit - elapsed : 0;
}

// Waits until the socket can be written (connected) or read; false when the
// time (from the start) is over or it failed.
bool waitFor(SOCKET sock, bool writable, DWORD start, DWORD limit = kWebCheckWaitMs)
{
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_SET(sock, &ready);
    FD_ZERO(&failed);
    FD_SET(sock, &failed);
    const DWORD left = timeLeft(start, limit);
    timeval timeout = {static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
    if (select(0, writable ? nullptr : &ready, writable ? &ready : nullptr, &failed, &timeout) <= 0)
        return false;
    return FD_ISSET(sock, &ready) != 0 && FD_ISSET(sock, &failed) == 0;
}

bool connectWithin(SOCKET sock, const sockaddr* address, int addressSize, DWORD start, DWORD limit)
{
    if (connect(sock, address, addressSize) == 0)
        return true;
    if (WSAGetLastError() != WSAEWOULDBLOCK || !waitFor(sock, true, start, limit))
        return false;
    int error = 0;
    int size = sizeof error;
    return getsockopt(sock, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0;
}

// Reads until the server closes, the answer says enough, or the time is over.
WebAnswer readAnswer(SOCKET sock, DWORD start)
{
    static WebAnswerReader reader;  // 2 KiB; the monitor thread's alone
    reader = {};
    bool closed = false;
    while (!closed && !webAnswerComplete(reader) && waitFor(sock, false, start)) {
        char bytes[512];
        const int received = recv(sock, bytes, sizeof bytes, 0);
        if (received <= 0) {
            closed = received == 0;
            break;
        }
        addWebAnswerBytes(reader, bytes, static_cast<size_t>(received));
    }
    return judgeWebAnswer(reader, closed);
}

} // namespace

WebAnswer fetchWebAnswer(const HostAddresses& host, bool overIpv6, uint32_t connectWaitMs)
{
    const DWORD start = GetTickCount();
    union {
        sockaddr_in ipv4;
        sockaddr_in6 ipv6;
    } address = {};
    if (overIpv6) {
        address.ipv6.sin6_family = AF_INET6;
        address.ipv6.sin6_port = htons(kHttpPort);
        CopyMemory(&address.ipv6.sin6_addr, host.ipv6.bytes, sizeof host.ipv6.bytes);
    } else {
        address.ipv4.sin_family = AF_INET;
        address.ipv4.sin_port = htons(kHttpPort);
        address.ipv4.sin_addr.s_addr = host.ipv4;
    }
    const SOCKET sock = socket(overIpv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (sock == INVALID_SOCKET)
        return WebAnswer::None;
    u_long nonBlocking = 1;
    ioctlsocket(sock, FIONBIO, &nonBlocking);
    WebAnswer answer = WebAnswer::None;
    const int length = lstrlenA(kWebCheckRequest);
    const DWORD connectLimit = connectWaitMs < kWebCheckWaitMs ? connectWaitMs : kWebCheckWaitMs;
    const int size = overIpv6 ? sizeof address.ipv6 : sizeof address.ipv4;
    if (connectWithin(sock, reinterpret_cast<const sockaddr*>(&address), size, start, connectLimit) &&
        send(sock, kWebCheckRequest, length, 0) == length)
        answer = readAnswer(sock, start);
    closesocket(sock);
    return answer;
}
