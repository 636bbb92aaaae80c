// One probe of a host with ICMP echo requests.
#pragma once

#include "core/link_state.h"

// Connected when the host answers at least one of up to four echo requests,
// or, when none is answered, accepts a TCP handshake on port 443; Broken
// otherwise, and when the name does not resolve. A request that cannot be
// sent is not waited for. Over a raw socket the requests go 1 s apart when
// unanswered and the handshake is tried alongside, so the probe blocks for at
// most 8 s plus the name lookup; through the system's ICMP service (no
// administrator rights) one request at a time, for up to about 25 s.
LinkState probeHost(const char* host);
