// One probe of a host with ICMP echo requests.
#pragma once

#include "app/link_state.h"

enum class ProbeRoute {
    RawSocketFirst,  // a raw socket, or the system's ICMP service when none can be had
    IcmpServiceOnly, // the system's ICMP service alone (what an ordinary user gets)
};

// Connected when the host answers at least one of up to four echo requests;
// Broken otherwise, and when the name does not resolve. Blocks for up to
// about 20 s plus the name lookup.
LinkState probeHost(const char* host);
LinkState probeHostVia(const char* host, ProbeRoute route);
