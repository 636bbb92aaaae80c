#include "tray/countdown.h"

#include "core/text.h"

void formatOkButtonText(char (&text)[kOkButtonTextSize], bool running, int remaining)
{
    copyText(text, "OK");
    if (running) {
        appendText(text, "[");
        appendDecimal(text, remaining);
        appendText(text, "]");
    }
}

bool countdownTick(int& remaining)
{
    if (remaining <= 0)
        return false;
    --remaining;
    return remaining == 0;
}
