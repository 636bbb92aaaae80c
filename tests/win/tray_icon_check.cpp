// The tray's icon at the display's scale, as the program loads it: prints
// "dpi=N small=N icon=N" (the screen's DPI, the system's small-icon width,
// the width of the icon that would be handed to the shell). Carries the
// program's manifest, so it is as DPI-aware as the program.
#include <windows.h>

#include <cstdio>

#include "core/app_state.h"
#include "tray/tray_icon.h"

int main()
{
    g_app.instance = GetModuleHandleA(nullptr);
    const HICON icon = trayIcon(Connected);
    ICONINFO info = {};
    BITMAP bitmap = {};
    if (icon != nullptr && GetIconInfo(icon, &info))
        GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    const HDC screen = GetDC(nullptr);
    std::printf("dpi=%d small=%d icon=%ld\n", GetDeviceCaps(screen, LOGPIXELSX), GetSystemMetrics(SM_CXSMICON),
                bitmap.bmWidth);
    ReleaseDC(nullptr, screen);
    return icon != nullptr ? 0 : 1;
}
