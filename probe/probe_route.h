// The probe with its route chosen: what probeHost does, or the system's ICMP
// service alone, as a user without administrator rights gets it. Only the
// probe and its network test need the choice.
#pragma once

#include "core/link_state.h"
#include "probe/echo_request.h"
#include "probe/probe.h"

enum class ProbeRoute {
    RawSocketFirst,  // a raw socket, or the system's ICMP service when none can be had
    IcmpServiceOnly, // the system's ICMP service alone
};

LinkState probeHostVia(const char* host, ProbeRoute route, const ProbeCompanion* companion = nullptr);

// Waits for the ICMP service's requests still under way (at most 6 s each)
// and closes the service: before a program that probed ends. (Wine's ICMP
// service stops answering anyone once a program ends with requests out.)
void finishServiceRequests();

// The numbers of the next request; the monitor thread's alone.
extern EchoCounters g_echoCounters;
