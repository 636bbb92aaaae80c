#include "tray/quiet_hours.h"

bool userWantsQuiet(int notificationState)
{
    return notificationState == kUserBusy || notificationState == kUserFullScreenD3D ||
           notificationState == kUserPresenting || notificationState == kUserQuietTime;
}

bool tellNow(PopupHold& hold, bool quiet, LinkState previous)
{
    if (!quiet) {
        hold.holding = false;  // told now: the end of the quiet has nothing more to tell
        return true;
    }
    if (!hold.holding) {
        hold.holding = true;
        hold.lastTold = previous;
    }
    return false;
}

bool tellAfterQuiet(PopupHold& hold, LinkState now)
{
    const bool changed = hold.holding && now != hold.lastTold;
    hold.holding = false;
    return changed;
}
