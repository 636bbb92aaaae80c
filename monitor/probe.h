// One probe of a host with ICMP echo requests.
#pragma once

#include "core/link_state.h"

// Connected when the host answers at least one of up to four echo requests;
// Broken otherwise, and when the name does not resolve. Blocks for up to
// about 20 s plus the name lookup.
LinkState probeHost(const char* host);
