#include <windows.h>
#include <shellapi.h>

#include "tray/tray_icon.h"

#include "core/app_state.h"
#include "core/messages.h"
#include "history/history_text.h"
#include "history/local_time.h"

// The version-2 layout of the notification record (Windows 2000 and later):
// its tip holds 128 characters, room for where the break is. The fields used
// are those of version 1.
static_assert(NOTIFYICONDATAA_V2_SIZE == (sizeof(void*) == 4 ? 488 : 504),
              "the version-2 notification record is 488 bytes in a 32-bit build");
static_assert(sizeof(NOTIFYICONDATAA().szTip) == kTipSize, "the version-2 tip holds 128 characters");

namespace {

// The tip the shell holds now, so that pointing at the icon changes it only when due.
char g_shownTip[kTipSize];

NOTIFYICONDATAA notifyRecord(LinkState state)
{
    NOTIFYICONDATAA record = {};
    record.cbSize = NOTIFYICONDATAA_V2_SIZE;
    record.hWnd = g_app.mainWindow;
    record.uID = static_cast<UINT>(linkStateIconId(state));
    return record;
}

HICON loadStateIcon(LinkState state)
{
    return LoadIconA(g_app.instance, MAKEINTRESOURCEA(linkStateIconId(state)));
}

// The icons handed to the shell, one per state, at the size the notification
// area uses at the display's scale; loaded on first use and again after the
// scale changes. The user interface thread's alone.
HICON g_trayIcons[2];

HICON loadTrayIconImage(LinkState state)
{
    // From Vista on: the image made for the size, not one scaled from another.
    typedef HRESULT(WINAPI * LoadIconMetricFunction)(HINSTANCE, PCWSTR, int, HICON*);
    const HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    const LoadIconMetricFunction loadIconMetric =
        controls != nullptr ? reinterpret_cast<LoadIconMetricFunction>(
                                  reinterpret_cast<void*>(GetProcAddress(controls, "LoadIconMetric")))
                            : nullptr;
    HICON icon = nullptr;
    if (loadIconMetric != nullptr &&
        SUCCEEDED(loadIconMetric(g_app.instance, MAKEINTRESOURCEW(linkStateIconId(state)), 0 /* LIM_SMALL */, &icon)))
        return icon;
    return static_cast<HICON>(LoadImageA(g_app.instance, MAKEINTRESOURCEA(linkStateIconId(state)), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
}

// "since 16:05" today, "since 5 Dec 16:05" before, as the user's locale writes them.
void formatShownSince(char (&since)[kTipSize])
{
    LocalTime began, now;
    SYSTEMTIME beganLocal, nowLocal;
    localTimeOf(g_app.shownSince, began, beganLocal);
    localTimeOf(utcNow(), now, nowLocal);
    char clock[kTipSize] = "", date[kTipSize] = "";
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &beganLocal, nullptr, clock, sizeof clock);
    GetDateFormatA(LOCALE_USER_DEFAULT, 0, &beganLocal, "d MMM", date, sizeof date);
    const bool today = began.year == now.year && began.month == now.month && began.day == now.day;
    formatSince(since, sizeof since, today, date, clock);
}

// The state's text, and on a second line where the break is and when the
// state (or the cause) shown began, once that is known.
void formatStateTip(char (&tip)[kTipSize], LinkState state)
{
    const bool shown = state == g_app.shownState;
    char since[kTipSize] = "";
    if (shown && g_app.shownSince != 0)
        formatShownSince(since);
    const BreakCause cause = shown && state == Broken ? g_app.shownCause : NoCause;
    formatTip(tip, linkStateText(state), breakCauseText(cause), since);
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
    record.hIcon = trayIcon(state);
    formatStateTip(g_shownTip, state);
    lstrcpynA(record.szTip, g_shownTip, sizeof record.szTip);
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

void refreshTrayTip()
{
    char tip[kTipSize];
    formatStateTip(tip, g_app.shownState);
    if (lstrcmpA(tip, g_shownTip) == 0)
        return;
    lstrcpynA(g_shownTip, tip, sizeof g_shownTip);
    NOTIFYICONDATAA record = notifyRecord(g_app.shownState);
    record.uFlags = NIF_TIP;
    lstrcpynA(record.szTip, tip, sizeof record.szTip);
    Shell_NotifyIconA(NIM_MODIFY, &record);
}

HICON trayIcon(LinkState state)
{
    HICON& icon = g_trayIcons[state == Connected ? 0 : 1];
    if (icon == nullptr)
        icon = loadTrayIconImage(state);
    return icon;
}

void reloadTrayIcons()
{
    for (HICON& icon : g_trayIcons) {
        if (icon != nullptr)
            DestroyIcon(icon);
        icon = nullptr;
    }
    NOTIFYICONDATAA record = notifyRecord(g_app.shownState);
    record.uFlags = NIF_ICON;
    record.hIcon = trayIcon(g_app.shownState);
    Shell_NotifyIconA(NIM_MODIFY, &record);
}
