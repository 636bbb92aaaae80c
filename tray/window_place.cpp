#include "tray/window_place.h"

namespace {

// Moves the rectangle into the area, left and top edges first in sight.
void keepWithin(RECT& rect, const RECT& within)
{
    OffsetRect(&rect, rect.right > within.right ? within.right - rect.right : 0,
               rect.bottom > within.bottom ? within.bottom - rect.bottom : 0);
    OffsetRect(&rect, rect.left < within.left ? within.left - rect.left : 0,
               rect.top < within.top ? within.top - rect.top : 0);
}

} // namespace

void placeWindow(HWND window, int rememberedX, int rememberedY)
{
    RECT rect;
    GetWindowRect(window, &rect);
    const bool remembered = rememberedX != 0 || rememberedY != 0;
    if (remembered)
        OffsetRect(&rect, rememberedX - rect.left, rememberedY - rect.top);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(remembered ? MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST)
                               : MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY),
                    &monitor);
    const RECT& work = monitor.rcWork;
    if (!remembered)
        OffsetRect(&rect, (work.left + work.right - rect.right - rect.left) / 2,
                   (work.top + work.bottom - rect.bottom - rect.top) / 2);
    keepWithin(rect, work);
    SetWindowPos(window, nullptr, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
