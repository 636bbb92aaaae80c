// The web check's one request, over a plain TCP socket (see web/web_check.h).
#pragma once

#include "probe/address_families.h"
#include "web/web_check.h"

// Fetches the check page from port 80 of its host (the address of that
// family that its name resolved to), waiting at most connectWaitMs for
// the connection and 5 s in all, following no redirect and reading at most
// 2 KiB; the monitor thread's sockets must be started.
WebAnswer fetchWebAnswer(const HostAddresses& host, bool overIpv6, uint32_t connectWaitMs = kWebCheckWaitMs);

// The same, stepped without blocking, so that it can run alongside a probe:
// one fetch at a time. stepWebFetch waits at most that long for the socket
// and is true once the answer is in (or the time is over); the answer is
// judged then. The monitor thread's alone.
bool startWebFetch(const HostAddresses& host, bool overIpv6, uint32_t connectWaitMs);
bool stepWebFetch(uint32_t waitMs);
WebAnswer webFetchAnswer();
void endWebFetch();
