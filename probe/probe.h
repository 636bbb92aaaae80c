// One probe of a host with ICMP echo requests.
#pragma once

#include <cstdint>

#include "core/link_state.h"
#include "probe/echo_request.h"

// Connected when the host answers at least one of up to four echo requests,
// or, when none is answered, accepts a TCP handshake on port 443; Broken
// otherwise, and when no address is known for its name nor for any other
// probe host (another's serves while a name never resolved cannot be). A
// request that cannot be sent is not waited for. The requests go 1 s apart when
// unanswered and the handshake is tried alongside, over a raw socket and
// through the system's ICMP service (no administrator rights) alike, so the
// probe blocks for at most 7 s, plus at most 2 s for the name (see
// probe/name_lookup.h).
LinkState probeHost(const char* host);

// Whether the address (network byte order) answers any of `requests` echo
// requests, sent the way the probe sends its own, `spacingMs` apart until
// one is answered; the last is waited for `waitMs`. The caller's sockets
// must be started.
bool echoAnswered(uint32_t address, int requests, uint32_t spacingMs, uint32_t waitMs);
// The same over ICMPv6, to an address with its scope (a link-local router's
// interface); false where ICMPv6 cannot be had.
bool echoAnswered6(const Ipv6Bytes& address, uint32_t scope, int requests, uint32_t spacingMs, uint32_t waitMs);
