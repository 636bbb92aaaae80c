// Name lookups that never hold a verdict up. The system's lookup can take
// 10 s and more when the name server goes down with the uplink, so it runs
// on a thread of its own. Each use of a name asks again; the address the
// name last resolved to serves at once, and the new answer, when it comes,
// serves the next time. A name never resolved yet is waited for 2 s at
// most. At most one lookup is outstanding: while a late one still runs, no
// other starts, and the remembered addresses serve.
#pragma once

#include <cstdint>

#include "probe/address_families.h"

enum : uint32_t { kNameLookupWaitMs = 2000 };

// The name's addresses, one per family (network byte order): those
// remembered, or the lookup's answer for a name never resolved yet, waited
// for that long; false when none is known. The monitor thread's alone; its
// sockets must be started.
bool lookUpHostAddresses(const char* host, HostAddresses& addresses, uint32_t newNameWaitMs = kNameLookupWaitMs);
// The same, for its IPv4 address alone.
bool lookUpHost(const char* host, uint32_t& address, uint32_t newNameWaitMs = kNameLookupWaitMs);

// Whether names go unanswered: the last lookup got no answer (not even "no
// such name"), or is still out 2 s after it was asked (the one outstanding is
// waited for until then).
bool namesUnanswered();

// The addresses the name last resolved to, without asking again; false when
// it never has (or, for the IPv4 address alone, never to one of IPv4).
bool rememberedAddresses(const char* host, HostAddresses& addresses);
bool rememberedAddress(const char* host, uint32_t& address);
