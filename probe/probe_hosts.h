// The hosts the monitor probes and the choice among them.
// Portable: no <windows.h>.
#pragma once

#include <cstdint>

enum : int { kProbeHostCount = 3 };

extern const char* const kProbeHosts[kProbeHostCount];

// The monitor thread's own generator: state = state * 214013 + 2531011,
// output (state >> 16) & 0x7FFF. Starts at 1 and is never reseeded.
struct HostGenerator {
    uint32_t state = 1;
};

unsigned nextProbeHostIndex(HostGenerator& generator);
const char* pickProbeHost(HostGenerator& generator);
