#include "probe/name_lookup.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace {

// One address remembered per name: the three probe hosts and the web check's.
enum : int { kRememberedNames = 4 };

struct RememberedAddress {
    const char* name;
    HostAddresses addresses;
};

// The hand-over between the monitor thread and the lookup thread. The
// monitor writes `name` and sets `asked`; the lookup thread writes `answer`
// before it sets `answered`. `outstanding` is the monitor's own.
struct NameLookups {
    HANDLE thread;
    HANDLE asked, answered;  // auto-reset
    const char* name;
    HostAddresses answer;  // no family: not found
    bool nameServerAnswered;  // if only with "no such name"
    bool outstanding;
    DWORD askedAtMs;  // when the outstanding lookup was asked
    bool lastFailed;  // the last lookup that ended got no answer
    RememberedAddress remembered[kRememberedNames];
};

NameLookups g_lookups;

// The first address of each family in the answer.
HostAddresses addressesOf(const addrinfo* found)
{
    HostAddresses addresses = {};
    for (; found != nullptr; found = found->ai_next) {
        if (found->ai_family == AF_INET && !addresses.hasIpv4 && found->ai_addrlen >= sizeof(sockaddr_in)) {
            addresses.hasIpv4 = true;
            addresses.ipv4 = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
        } else if (found->ai_family == AF_INET6 && !addresses.hasIpv6 && found->ai_addrlen >= sizeof(sockaddr_in6)) {
            addresses.hasIpv6 = true;
            CopyMemory(addresses.ipv6.bytes, &reinterpret_cast<const sockaddr_in6*>(found->ai_addr)->sin6_addr, 16);
        }
    }
    return addresses;
}

// Asks the system for the name that `name` holds, both families, into
// `answer`. "No such name" and "no address of that kind" are answers too: the
// name server works, and only a failure to get any answer counts against names.
void resolveAskedName()
{
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = getaddrinfo(g_lookups.name, nullptr, &hints, &found);
    g_lookups.answer = error == 0 ? addressesOf(found) : HostAddresses();
    g_lookups.nameServerAnswered = error == 0 || error == WSAHOST_NOT_FOUND || error == WSANO_DATA;
    if (found != nullptr)
        freeaddrinfo(found);
}

DWORD WINAPI lookupLoop(LPVOID)
{
    for (;;) {
        WaitForSingleObject(g_lookups.asked, INFINITE);
        resolveAskedName();
        SetEvent(g_lookups.answered);
    }
}

bool startLookupThread()
{
    NameLookups& l = g_lookups;
    if (l.thread != nullptr)
        return true;
    if (l.asked == nullptr)
        l.asked = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (l.answered == nullptr)
        l.answered = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (l.asked != nullptr && l.answered != nullptr)
        l.thread = CreateThread(nullptr, 0, lookupLoop, nullptr, 0, nullptr);
    return l.thread != nullptr;
}

RememberedAddress* rememberedFor(const char* name)
{
    for (RememberedAddress& entry : g_lookups.remembered)
        if (entry.name == nullptr || lstrcmpA(entry.name, name) == 0)
            return &entry;
    return nullptr;  // more names than there is room for: none remembered
}

void remember(const char* name, const HostAddresses& answer)
{
    RememberedAddress* entry = rememberedFor(name);
    if (entry != nullptr) {
        entry->name = name;
        takeNameAnswer(entry->addresses, answer);
    }
}

// Takes the answer of the lookup that ended: a late one is remembered too.
void takeAnswer()
{
    g_lookups.outstanding = false;
    g_lookups.lastFailed = !g_lookups.nameServerAnswered;
    if (g_lookups.answer.hasIpv4 || g_lookups.answer.hasIpv6)
        remember(g_lookups.name, g_lookups.answer);
}

// Whether the outstanding lookup has ended, waiting at most that long.
bool lookupEnded(DWORD milliseconds)
{
    if (WaitForSingleObject(g_lookups.answered, milliseconds) != WAIT_OBJECT_0)
        return false;
    takeAnswer();
    return true;
}

} // namespace

bool lookUpHostAddresses(const char* host, HostAddresses& addresses, uint32_t newNameWaitMs)
{
    NameLookups& l = g_lookups;
    if (l.outstanding)
        lookupEnded(0);
    const bool known = rememberedAddresses(host, addresses);
    if (!l.outstanding) {
        l.name = host;
        l.outstanding = true;
        l.askedAtMs = GetTickCount();
        if (startLookupThread()) {
            SetEvent(l.asked);
            lookupEnded(known ? 0 : newNameWaitMs);  // a known address serves at once
        } else {
            resolveAskedName();  // no thread to be had: the old way, unbounded
            takeAnswer();
        }
    }
    return rememberedAddresses(host, addresses);
}

bool lookUpHost(const char* host, uint32_t& address, uint32_t newNameWaitMs)
{
    HostAddresses addresses;
    const bool found = lookUpHostAddresses(host, addresses, newNameWaitMs) && addresses.hasIpv4;
    address = addresses.ipv4;
    return found;
}

bool namesUnanswered()
{
    NameLookups& l = g_lookups;
    if (l.outstanding) {
        const DWORD age = GetTickCount() - l.askedAtMs;
        if (!lookupEnded(age < kNameLookupWaitMs ? kNameLookupWaitMs - age : 0))
            return true;  // out past its 2 s
    }
    return l.lastFailed;
}

bool rememberedAddresses(const char* host, HostAddresses& addresses)
{
    const RememberedAddress* entry = rememberedFor(host);
    const bool known = entry != nullptr && entry->name != nullptr;
    addresses = known ? entry->addresses : HostAddresses();
    return known;
}

bool rememberedAddress(const char* host, uint32_t& address)
{
    HostAddresses addresses;
    const bool found = rememberedAddresses(host, addresses) && addresses.hasIpv4;
    address = addresses.ipv4;
    return found;
}
