#include "tray/icon_retry.h"

bool iconRefused(IconRetry& retry, uint32_t nowMs)
{
    if (!retry.retrying) {
        retry.retrying = true;
        retry.firstRefusedMs = nowMs;
    }
    if (nowMs - retry.firstRefusedMs + kIconRetryMs <= kIconRetryForMs)
        return true;
    retry.retrying = false;  // given up; a new refusal (a new task bar) starts again
    return false;
}

void iconTaken(IconRetry& retry)
{
    retry.retrying = false;
}
