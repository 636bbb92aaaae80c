// The probe with its route chosen: what probeHost does, or the system's ICMP
// service alone, as a user without administrator rights gets it. Only the
// probe and its network test need the choice.
#pragma once

#include "core/link_state.h"
#include "probe/echo_request.h"

enum class ProbeRoute {
    RawSocketFirst,  // a raw socket, or the system's ICMP service when none can be had
    IcmpServiceOnly, // the system's ICMP service alone
};

LinkState probeHostVia(const char* host, ProbeRoute route);

// The numbers of the next request; the monitor thread's alone.
extern EchoCounters g_echoCounters;
