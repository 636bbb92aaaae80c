// The tray's icon and the status window at the display's scale, as the
// program makes them: prints "dpi=N small=N icon=N" (the screen's DPI, the
// system's small-icon width, the width of the icon that would be handed to
// the shell), then "status=X Y W H", the status window showing a Broken with
// its cause, which stays up for SECONDS when asked (for a screenshot).
// Carries the program's manifest, so it is as DPI-aware as the program.
//   tray_icon_check [SECONDS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "core/app_state.h"
#include "tray/status_window.h"
#include "tray/tray_icon.h"

int main(int argc, char** argv)
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

    openStatusWindow();
    showStatusMessage("Internet connection is broken.\nThe router answers; the internet beyond it does not");
    RECT rect = {};
    GetWindowRect(g_app.statusWindow, &rect);
    std::printf("status=%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    std::fflush(stdout);
    const DWORD end = GetTickCount() + 1000 * static_cast<DWORD>(argc > 1 ? std::atoi(argv[1]) : 0);
    MSG message;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(20);
    }
    return icon != nullptr ? 0 : 1;
}
