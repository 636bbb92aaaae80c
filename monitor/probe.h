// One probe of a host with ICMP echo requests.
#pragma once

#include "core/link_state.h"

// Connected when the host answers at least one of up to four echo requests,
// or, when none is answered, accepts a TCP handshake on port 443; Broken
// otherwise, and when the name does not resolve. A request that cannot be
// sent is not waited for. Blocks for up to about 25 s plus the name lookup.
LinkState probeHost(const char* host);
