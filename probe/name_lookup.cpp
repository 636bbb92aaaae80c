#include "probe/name_lookup.h"

#include <winsock2.h>
#include <windows.h>

namespace {

// One address remembered per name: the three probe hosts and the web check's.
enum : int { kRememberedNames = 4 };

struct RememberedAddress {
    const char* name;
    uint32_t address;
};

// The hand-over between the monitor thread and the lookup thread. The
// monitor writes `name` and sets `asked`; the lookup thread writes `address`
// and `found` before it sets `answered`. `outstanding` is the monitor's own.
struct NameLookups {
    HANDLE thread;
    HANDLE asked, answered;  // auto-reset
    const char* name;
    uint32_t address;
    bool found;
    bool nameServerAnswered;  // if only with "no such name"
    bool outstanding;
    DWORD askedAtMs;  // when the outstanding lookup was asked
    bool lastFailed;  // the last lookup that ended got no answer
    RememberedAddress remembered[kRememberedNames];
};

NameLookups g_lookups;

// Asks the system for the name that `name` holds, into `address` and
// `found`. "No such name" and "no address of that kind" are answers too: the
// name server works, and only a failure to get any answer counts against names.
void resolveAskedName()
{
    const hostent* entry = gethostbyname(g_lookups.name);
    g_lookups.found = entry != nullptr && entry->h_addrtype == AF_INET && entry->h_length == 4 &&
                      entry->h_addr_list[0] != nullptr;
    const int error = entry == nullptr ? WSAGetLastError() : 0;
    g_lookups.nameServerAnswered = entry != nullptr || error == WSAHOST_NOT_FOUND || error == WSANO_DATA;
    if (g_lookups.found)
        CopyMemory(&g_lookups.address, entry->h_addr_list[0], sizeof g_lookups.address);
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

void remember(const char* name, uint32_t address)
{
    RememberedAddress* entry = rememberedFor(name);
    if (entry != nullptr) {
        entry->name = name;
        entry->address = address;
    }
}

// Takes the answer of the lookup that ended: a late one is remembered too.
void takeAnswer()
{
    g_lookups.outstanding = false;
    g_lookups.lastFailed = !g_lookups.nameServerAnswered;
    if (g_lookups.found)
        remember(g_lookups.name, g_lookups.address);
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

bool lookUpHost(const char* host, uint32_t& address, uint32_t newNameWaitMs)
{
    NameLookups& l = g_lookups;
    if (l.outstanding)
        lookupEnded(0);
    const RememberedAddress* entry = rememberedFor(host);
    const bool known = entry != nullptr && entry->name != nullptr;
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
    entry = rememberedFor(host);
    if (entry == nullptr || entry->name == nullptr)
        return false;
    address = entry->address;
    return true;
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

bool rememberedAddress(const char* host, uint32_t& address)
{
    const RememberedAddress* entry = rememberedFor(host);
    if (entry == nullptr || entry->name == nullptr)
        return false;
    address = entry->address;
    return true;
}
