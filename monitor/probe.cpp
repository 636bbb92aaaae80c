// The echo exchange over a raw socket, or over the system's ICMP service
// (IcmpSendEcho) where raw sockets are refused, as they are to users without
// administrator rights.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include "monitor/probe.h"
#include "monitor/probe_route.h"

#include "core/app_state.h"
#include "core/system_library.h"
#include "monitor/echo_reply.h"
#include "monitor/echo_request.h"

namespace {

enum : DWORD { kReplyWaitMs = 5000, kHandshakeWaitMs = 5000 };
enum : u_short { kHttpsPort = 443 };
enum : int { kReplyBufferSize = 321 };

// Reused for every request; only the monitor thread builds requests.
EchoRequest g_request;

enum class WaitOutcome { Answered, TimedOut, Failed };

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

// -1 on error, 0 when the time passed with nothing to read, else 1.
int waitForReply(SOCKET sock, DWORD timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(sock, &readable);
    timeval timeout;
    timeout.tv_sec = static_cast<long>(timeoutMs / 1000);
    timeout.tv_usec = static_cast<long>(timeoutMs % 1000) * 1000;
    return select(1, &readable, nullptr, nullptr, &timeout);
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

// Waits up to 5 s for the reply to any request of this probe. Datagrams that
// are not such a reply (our own request looped back, other ICMP traffic) are
// read and passed over, and the wait goes on for the rest of its time.
WaitOutcome awaitMatchingReply(SOCKET sock, const sockaddr_in& destination, const SentEchoes& sent)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= kReplyWaitMs)
            return WaitOutcome::TimedOut;
        const int ready = waitForReply(sock, kReplyWaitMs - elapsed);
        if (ready < 0)
            return WaitOutcome::Failed;
        if (ready == 0)
            return WaitOutcome::TimedOut;
        char buffer[kReplyBufferSize];
        sockaddr_in sender = {};
        const int received = receiveReply(sock, buffer, sender);
        if (received < 0)
            return WaitOutcome::TimedOut;  // on to the next request
        if (isMatchingEchoReply(reinterpret_cast<const uint8_t*>(buffer), static_cast<size_t>(received),
                                sender.sin_addr.s_addr, destination.sin_addr.s_addr, sent))
            return WaitOutcome::Answered;
    }
}

bool exchangeOnRawSocket(SOCKET sock, const sockaddr_in& destination)
{
    SentEchoes sent;
    bool answered = false;
    for (int i = 0; i < kMaxEchoRequestsPerProbe; ++i) {
        // A request that could not leave (no route) is lost at once: no answer can come.
        if (sendEchoRequest(sock, destination) == SOCKET_ERROR)
            continue;
        rememberSentEcho(sent, g_request.identifier, g_request.sequence);
        const WaitOutcome outcome = awaitMatchingReply(sock, destination, sent);
        if (outcome == WaitOutcome::Answered)
            answered = true;
        else if (outcome == WaitOutcome::Failed)
            break;
    }
    return answered;
}

bool isServiceReplyFrom(const void* replyBuffer, const sockaddr_in& destination)
{
    const ICMP_ECHO_REPLY* reply = static_cast<const ICMP_ECHO_REPLY*>(replyBuffer);
    return reply->Status == IP_SUCCESS && reply->Address == destination.sin_addr.s_addr;
}

// The system's ICMP service, from iphlpapi.dll in the system folder.
struct IcmpService {
    HANDLE(WINAPI* create)();
    DWORD(WINAPI* sendEcho)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);
    BOOL(WINAPI* close)(HANDLE);
};

// Found on first use; the monitor thread's alone.
IcmpService g_icmp;

bool findIcmpService()
{
    IcmpService& service = g_icmp;
    if (service.create == nullptr || service.sendEcho == nullptr || service.close == nullptr) {
        service.create = reinterpret_cast<decltype(service.create)>(systemFunction(L"iphlpapi.dll", "IcmpCreateFile"));
        service.sendEcho = reinterpret_cast<decltype(service.sendEcho)>(systemFunction(L"iphlpapi.dll", "IcmpSendEcho"));
        service.close = reinterpret_cast<decltype(service.close)>(systemFunction(L"iphlpapi.dll", "IcmpCloseHandle"));
    }
    return service.create != nullptr && service.sendEcho != nullptr && service.close != nullptr;
}

// The same requests through the system's ICMP service: the service picks the
// identifier and sequence and matches the replies itself; we send the same
// 37 bytes that follow the header of a raw request.
bool exchangeViaIcmpService(const sockaddr_in& destination)
{
    if (!findIcmpService())
        return false;
    const HANDLE service = g_icmp.create();
    if (service == INVALID_HANDLE_VALUE)
        return false;
    bool answered = false;
    for (int i = 0; i < kMaxEchoRequestsPerProbe; ++i) {
        buildEchoRequest(g_request, g_echoCounters, GetTickCount());
        unsigned char* data = reinterpret_cast<unsigned char*>(&g_request) + kEchoHeaderSize;
        // Room for the reply record, the echoed data and an ICMP error message.
        alignas(8) unsigned char reply[sizeof(ICMP_ECHO_REPLY) + kEchoDataSize + 8 + 64];
        const DWORD replies = g_icmp.sendEcho(service, destination.sin_addr.s_addr, data, kEchoDataSize,
                                           nullptr, reply, sizeof reply, kReplyWaitMs);
        if (replies > 0 && isServiceReplyFrom(reply, destination))
            answered = true;
    }
    g_icmp.close(service);
    return answered;
}

// One TCP handshake with port 443 of the address, at most 5 s, closed at
// once: no data is sent. Any failure (refused, timed out) means no.
bool completesHttpsHandshake(const sockaddr_in& destination)
{
    const SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (sock == INVALID_SOCKET)
        return false;
    u_long nonBlocking = 1;
    ioctlsocket(sock, FIONBIO, &nonBlocking);
    sockaddr_in https = destination;
    https.sin_port = htons(kHttpsPort);
    bool connected = connect(sock, reinterpret_cast<const sockaddr*>(&https), sizeof https) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_SET(sock, &writable);
        FD_ZERO(&failed);
        FD_SET(sock, &failed);
        timeval timeout = {static_cast<long>(kHandshakeWaitMs / 1000), 0};
        int error = 0;
        int errorSize = sizeof error;
        connected = select(0, nullptr, &writable, &failed, &timeout) > 0 && FD_ISSET(sock, &writable) &&
                    getsockopt(sock, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &errorSize) == 0 &&
                    error == 0;
    }
    closesocket(sock);
    return connected;
}

bool resolveHost(const char* host, sockaddr_in& destination)
{
    const hostent* entry = gethostbyname(host);
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list[0] == nullptr)
        return false;
    destination = {};
    destination.sin_family = AF_INET;
    destination.sin_port = 0;
    CopyMemory(&destination.sin_addr, entry->h_addr_list[0], sizeof destination.sin_addr);
    return true;
}

LinkState probeStartedSockets(const char* host, ProbeRoute route)
{
    const SOCKET sock = route == ProbeRoute::RawSocketFirst ? socket(AF_INET, SOCK_RAW, IPPROTO_ICMP)
                                                            : INVALID_SOCKET;
    sockaddr_in destination;
    if (!resolveHost(host, destination)) {
        if (sock != INVALID_SOCKET)
            closesocket(sock);
        return Broken;
    }
    bool answered = false;
    bool closed = true;
    if (sock == INVALID_SOCKET) {
        answered = exchangeViaIcmpService(destination);
    } else {
        answered = exchangeOnRawSocket(sock, destination);
        closed = closesocket(sock) == 0;
    }
    // Networks that drop ICMP (many offices, some hotels) still let a web connection through.
    if (!answered)
        answered = completesHttpsHandshake(destination);
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

LinkState probeHost(const char* host)
{
    return probeHostVia(host, ProbeRoute::RawSocketFirst);
}
