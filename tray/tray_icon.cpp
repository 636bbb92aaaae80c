#include <windows.h>
#include <shellapi.h>

#include "tray/tray_icon.h"

#include "core/app_state.h"
#include "core/messages.h"

// The version-1 layout of the notification record is all we use, and it is
// understood by every version of the shell.
static_assert(NOTIFYICONDATAA_V1_SIZE == (sizeof(void*) == 4 ? 88 : 104),
              "the version-1 notification record is 88 bytes in a 32-bit build");

namespace {

NOTIFYICONDATAA notifyRecord(LinkState state)
{
    NOTIFYICONDATAA record = {};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = g_app.mainWindow;
    record.uID = static_cast<UINT>(linkStateIconId(state));
    return record;
}

HICON loadStateIcon(LinkState state)
{
    return LoadIconA(g_app.instance, MAKEINTRESOURCEA(linkStateIconId(state)));
}

} // namespace

void setWindowIcons(LinkState state)
{
    SendMessageA(g_app.statusWindow, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(loadStateIcon(state)));
    const HANDLE big = LoadImageA(g_app.instance, MAKEINTRESOURCEA(linkStateIconId(state)), IMAGE_ICON,
                                  0, 0, LR_DEFAULTSIZE | LR_SHARED);
    SendMessageA(g_app.mainWindow, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
}

void addTrayIcon(LinkState state)
{
    NOTIFYICONDATAA record = notifyRecord(state);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = loadStateIcon(state);
    lstrcpynA(record.szTip, linkStateText(state), sizeof record.szTip);
    setWindowIcons(state);
    Shell_NotifyIconA(NIM_ADD, &record);
}

void removeTrayIcon(LinkState state)
{
    NOTIFYICONDATAA record = notifyRecord(state);
    Shell_NotifyIconA(NIM_DELETE, &record);
}

void swapTrayIcon(LinkState from, LinkState to)
{
    removeTrayIcon(from);
    addTrayIcon(to);
}
