// When a probe sends its echo requests, when it tries a TCP handshake instead,
// and when it has its verdict. Portable: no <windows.h>; the probe supplies
// the sockets and the clock, tests a scripted world.
//
// On a network that answers, the four requests go back to back, each after
// the reply to the one before. A request left unanswered for 1 s is followed
// by the next one, but stays open for its reply, and a reply to any request
// of the probe counts. Once two requests are unanswered (and none answered),
// one TCP handshake with port 443 is tried alongside, for networks that drop
// ICMP. The verdict comes at most 7 s after the probe began: each request has
// had at least 4 s by then (the first 7), the handshake its 5 s. An answer
// later than that is not an internet anyone can use, and every second saved
// here is a second sooner that an outage is shown.
#pragma once

#include <cstdint>

enum : uint32_t {
    kRequestSpacingMs = 1000,
    kReplyWindowMs = 5000,  // at most, for one request
    kHandshakeWindowMs = 5000,
    kVerdictWithinMs = 7000,
};

enum class ProbeEvent {
    Nothing,            // the time passed
    Reply,              // a valid reply to one of this probe's requests
    HandshakeSucceeded,
    HandshakeFailed,    // refused, or no network
};

struct ProbeIo {
    // Sends the next request; false when it could not leave (no route): no
    // answer can come, and it is not waited for.
    bool (*sendRequest)(void* context);
    // Starts the handshake without waiting for it; false when it failed at once.
    bool (*startHandshake)(void* context);
    // Waits at most that long for a reply or the handshake's end.
    ProbeEvent (*wait)(uint32_t milliseconds, void* context);
    uint32_t (*clockMs)(void* context);
    void* context;
};

// Runs one probe's exchange: true (Connected) once a reply has come and the
// four rounds are done, or as soon as the handshake succeeds; false when
// every request is out of time and the handshake failed.
bool exchangeEchoes(const ProbeIo& io);
