// What one probe measured, handed from the monitor thread to the user
// interface thread in a posted message. Portable: no <windows.h>.
#pragma once

#include <cstdint>

// Its echo requests and the replies that matched, and the round trip of
// each reply; or, where echo went unanswered and the handshake decided, the
// handshake's round trip alone.
enum : int { kRoundTripsPerProbe = 4 };
struct ProbeMeasure {
    uint8_t requests;
    uint8_t answered;
    uint8_t roundTrips;  // how many of roundTripMs hold one
    bool handshakeOnly;
    uint16_t roundTripMs[kRoundTripsPerProbe];
};

// Packed into a message's two parameters, 32 bits each: the counts in 10
// bits, each round trip in 13 (up to 8.191 s; a reply is waited for 5 s).
void packProbeMeasure(const ProbeMeasure& measure, uint32_t& first, uint32_t& second);
ProbeMeasure unpackProbeMeasure(uint32_t first, uint32_t second);
