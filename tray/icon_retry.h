// When a notification icon the shell refused is offered again: on a slow
// logon the shell may not be ready when the program starts. Portable: no
// <windows.h>.
#pragma once

#include <cstdint>

enum : uint32_t {
    kIconRetryMs = 2000,       // often at first,
    kIconRetryForMs = 120000,  // for 2 minutes from the first refusal of a run of them,
    kIconSlowRetryMs = 30000,  // then twice a minute for as long as it takes
};

struct IconRetry {
    bool retrying;
    uint32_t firstRefusedMs;
};

// The shell refused the icon at that moment: how long until it is offered
// again. The program never runs without an icon for good.
uint32_t iconRefused(IconRetry& retry, uint32_t nowMs);
// The shell took it: no more tries, and a later refusal starts a new run.
void iconTaken(IconRetry& retry);
