// One probe of a host with ICMP echo requests, and echo requests to another
// address (the router).
#pragma once

#include <cstdint>

#include "core/link_state.h"
#include "core/probe_measure.h"
#include "probe/echo_request.h"

// Checks run alongside a probe's handshake, once two echo requests went
// unanswered (the router's echo and the web check, so that a Broken verdict
// has its cause when it comes): started with the handshake and stepped
// while the probe waits. Where the probe ends Broken they are waited out
// before it returns; where it ends Connected, stopped.
struct ProbeCompanion {
    void (*start)(void* context);
    // Takes what came and sends what is due; never blocks.
    void (*step)(void* context);
    bool (*running)(void* context);
    void (*stop)(void* context);
    void* context;
};

// Connected when the host answers at least one of up to four echo requests,
// or, when none is answered, accepts a TCP handshake on port 443; Broken
// otherwise, and when no address is known for its name nor for any other
// probe host (another's serves while a name never resolved cannot be). A
// request that cannot be sent is not waited for. The requests go 1 s apart when
// unanswered and the handshake is tried alongside, over a raw socket and
// through the system's ICMP service (no administrator rights) alike, so the
// probe blocks for at most 7 s, plus at most 2 s for the name (see
// probe/name_lookup.h).
LinkState probeHost(const char* host, const ProbeCompanion* companion = nullptr);
// What the last probe measured: its requests, the replies and their round
// trips, or the handshake's where it decided.
const ProbeMeasure& lastProbeMeasure();

// Where echo requests go: an IPv4 address (network byte order), or an IPv6
// one with its scope (a link-local router's interface).
struct EchoTarget {
    bool ipv6;
    uint32_t ipv4;
    Ipv6Bytes address6;
    uint32_t scope;
};

// Up to `requests` echo requests to the target, sent the way the probe sends
// its own, `spacingMs` apart until one is answered; the last is waited for
// `waitMs`. One ask at a time, stepped without blocking: startEchoAsk is
// false where nothing can be sent (no ICMP for that family: Wine has no
// ICMPv6); stepEchoAsk waits at most `waitMs` for a reply, sends what is
// due, and is true once the ask is over. The monitor thread's alone; its
// sockets must be started.
bool startEchoAsk(const EchoTarget& target, uint32_t requests, uint32_t spacingMs, uint32_t waitMs);
bool stepEchoAsk(uint32_t waitMs);
bool echoAskAnswered();
void endEchoAsk();

// The same, waited out: whether any request was answered.
bool echoAnswered(const EchoTarget& target, uint32_t requests, uint32_t spacingMs, uint32_t waitMs);
