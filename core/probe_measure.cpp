#include "core/probe_measure.h"

namespace {

enum : uint32_t { kRoundTripBits = 13, kRoundTripMask = (1u << kRoundTripBits) - 1 };

// The four round trips side by side in 52 bits: 19 of them beside the
// counts in the first word, 32 in the second, the last bit spare.
uint64_t roundTripBits(const ProbeMeasure& measure)
{
    uint64_t bits = 0;
    for (int i = kRoundTripsPerProbe - 1; i >= 0; --i) {
        const uint32_t ms = i < measure.roundTrips ? measure.roundTripMs[i] : 0;
        bits = bits << kRoundTripBits | (ms < kRoundTripMask ? ms : kRoundTripMask);
    }
    return bits;
}

} // namespace

void packProbeMeasure(const ProbeMeasure& measure, uint32_t& first, uint32_t& second)
{
    const uint32_t counts = (measure.requests & 7u) | (measure.answered & 7u) << 3 | (measure.roundTrips & 7u) << 6 |
                            (measure.handshakeOnly ? 1u : 0u) << 9;
    const uint64_t trips = roundTripBits(measure);
    first = counts | static_cast<uint32_t>(trips & 0x3FFFFFu) << 10;
    second = static_cast<uint32_t>(trips >> 22);
}

ProbeMeasure unpackProbeMeasure(uint32_t first, uint32_t second)
{
    ProbeMeasure measure = {};
    measure.requests = static_cast<uint8_t>(first & 7u);
    measure.answered = static_cast<uint8_t>(first >> 3 & 7u);
    measure.roundTrips = static_cast<uint8_t>(first >> 6 & 7u);
    measure.handshakeOnly = (first >> 9 & 1u) != 0;
    if (measure.roundTrips > kRoundTripsPerProbe)
        measure.roundTrips = kRoundTripsPerProbe;
    uint64_t trips = static_cast<uint64_t>(second) << 22 | first >> 10;
    for (int i = 0; i < kRoundTripsPerProbe; ++i, trips >>= kRoundTripBits)
        measure.roundTripMs[i] = static_cast<uint16_t>(trips & kRoundTripMask);
    return measure;
}
