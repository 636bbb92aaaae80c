// When a notification icon the shell refused is offered again: on a slow
// logon the shell may not be ready when the program starts. Portable: no
// <windows.h>.
#pragma once

#include <cstdint>

enum : uint32_t { kIconRetryMs = 2000, kIconRetryForMs = 120000 };

struct IconRetry {
    bool retrying;
    uint32_t firstRefusedMs;
};

// The shell refused the icon at that moment: true when a try should follow
// in kIconRetryMs (counted from the first refusal of a run of them, for up
// to 2 minutes).
bool iconRefused(IconRetry& retry, uint32_t nowMs);
// The shell took it: no more tries.
void iconTaken(IconRetry& retry);
