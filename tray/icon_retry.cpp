#include "tray/icon_retry.h"

uint32_t iconRefused(IconRetry& retry, uint32_t nowMs)
{
    if (!retry.retrying) {
        retry.retrying = true;
        retry.firstRefusedMs = nowMs;
    }
    return nowMs - retry.firstRefusedMs + kIconRetryMs <= kIconRetryForMs ? static_cast<uint32_t>(kIconRetryMs)
                                                                           : static_cast<uint32_t>(kIconSlowRetryMs);
}

void iconTaken(IconRetry& retry)
{
    retry.retrying = false;
}
