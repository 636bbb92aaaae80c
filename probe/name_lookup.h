// Name lookups that never hold a verdict up. The system's lookup can take
// 10 s and more when the name server goes down with the uplink, so it runs
// on a thread of its own and is waited for 2 s at most; meanwhile, or when
// it fails or is late, the address the name last resolved to serves. At most
// one lookup is outstanding: while a late one still runs, no other starts,
// and the remembered addresses serve.
#pragma once

#include <cstdint>

enum : uint32_t { kNameLookupWaitMs = 2000 };

// The name's IPv4 address (network byte order): the lookup's answer, or the
// one remembered; false when neither is known. The monitor thread's alone;
// its sockets must be started.
bool lookUpHost(const char* host, uint32_t& address);
