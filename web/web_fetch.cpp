#include "web/web_fetch.h"

#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>

namespace {

enum : u_short { kHttpPort = 80 };

// The fetch under way: connecting, then reading the answer. All zero before
// the first (so it lies in zeroed memory, not in the program file).
struct WebFetch {
    bool open;  // the socket is open
    SOCKET sock;
    DWORD startMs;
    DWORD connectLimitMs;
    bool connected;
    bool over;
    WebAnswer answer;
    WebAnswerReader reader;  // 2 KiB
};
WebFetch g_fetch;

// Milliseconds left of that many from the start, 0 once they are over.
DWORD timeLeft(DWORD start, DWORD limit)
{
    const DWORD elapsed = GetTickCount() - start;
    return elapsed < limit ? limit - elapsed : 0;
}

// Whether the socket can be written (connected) or read within that long;
// failed: the wait or the connection failed.
bool readyWithin(SOCKET sock, bool writable, DWORD milliseconds, bool& failed)
{
    fd_set ready, failures;
    FD_ZERO(&ready);
    FD_SET(sock, &ready);
    FD_ZERO(&failures);
    FD_SET(sock, &failures);
    timeval timeout = {static_cast<long>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000};
    const int result = select(0, writable ? nullptr : &ready, writable ? &ready : nullptr, &failures, &timeout);
    failed = result < 0 || (result > 0 && FD_ISSET(sock, &failures));
    return result > 0 && !failed && FD_ISSET(sock, &ready);
}

void finish(WebFetch& f, bool closed)
{
    f.answer = judgeWebAnswer(f.reader, closed);
    f.over = true;
}

// Connected: the request goes at once, whole (83 bytes).
void onConnected(WebFetch& f)
{
    int error = 0;
    int size = sizeof error;
    const int length = lstrlenA(kWebCheckRequest);
    f.connected = getsockopt(f.sock, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
                  error == 0 && send(f.sock, kWebCheckRequest, length, 0) == length;
    if (!f.connected)
        f.over = true;
}

// Reads what came, until the server closes or the answer says enough.
void onReadable(WebFetch& f)
{
    char bytes[512];
    const int received = recv(f.sock, bytes, sizeof bytes, 0);
    if (received <= 0) {
        finish(f, received == 0);
        return;
    }
    addWebAnswerBytes(f.reader, bytes, static_cast<size_t>(received));
    if (webAnswerComplete(f.reader))
        finish(f, false);
}

} // namespace

bool startWebFetch(const HostAddresses& host, bool overIpv6, uint32_t connectWaitMs)
{
    WebFetch& f = g_fetch;
    endWebFetch();
    f = WebFetch();
    f.startMs = GetTickCount();
    f.connectLimitMs = connectWaitMs < kWebCheckWaitMs ? connectWaitMs : kWebCheckWaitMs;
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
    f.sock = socket(overIpv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    f.open = f.sock != INVALID_SOCKET;
    if (!f.open) {
        f.over = true;
        return false;
    }
    u_long nonBlocking = 1;
    ioctlsocket(f.sock, FIONBIO, &nonBlocking);
    const int size = overIpv6 ? sizeof address.ipv6 : sizeof address.ipv4;
    if (connect(f.sock, reinterpret_cast<const sockaddr*>(&address), size) == 0)
        onConnected(f);
    else if (WSAGetLastError() != WSAEWOULDBLOCK)
        f.over = true;
    return true;
}

bool stepWebFetch(uint32_t waitMs)
{
    WebFetch& f = g_fetch;
    while (!f.over) {
        const DWORD left = timeLeft(f.startMs, f.connected ? static_cast<DWORD>(kWebCheckWaitMs) : f.connectLimitMs);
        if (left == 0) {
            finish(f, false);  // out of time: judged on what came
            break;
        }
        const DWORD wait = left < waitMs ? left : waitMs;
        bool failed = false;
        if (!readyWithin(f.sock, !f.connected, wait, failed)) {
            if (failed)
                finish(f, false);
            else if (wait == waitMs)
                return false;  // the caller's time is over first
            continue;
        }
        if (!f.connected)
            onConnected(f);
        else
            onReadable(f);
    }
    return true;
}

WebAnswer webFetchAnswer()
{
    return g_fetch.answer;
}

void endWebFetch()
{
    WebFetch& f = g_fetch;
    if (f.open)
        closesocket(f.sock);
    f.open = false;
    f.over = true;
}

WebAnswer fetchWebAnswer(const HostAddresses& host, bool overIpv6, uint32_t connectWaitMs)
{
    WebAnswer answer = WebAnswer::None;
    if (startWebFetch(host, overIpv6, connectWaitMs)) {
        stepWebFetch(INFINITE);
        answer = webFetchAnswer();
    }
    endWebFetch();
    return answer;
}
