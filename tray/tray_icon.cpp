#include <windows.h>
#include <shellapi.h>

#include <cstddef>

#include "tray/tray_icon.h"

#include "core/app_state.h"
#include "core/messages.h"
#include "core/name_uuid.h"
#include "core/system_library.h"
#include "core/text.h"
#include "history/history_text.h"
#include "history/local_time.h"
#include "history/quality_record.h"
#include "system/dpi.h"
#include "tray/icon_retry.h"

// The version-3 layout of the notification record (XP and later), wide: its
// tip holds 128 characters, room for where the break is, in any language;
// and it carries guidItem, the icon's identity from Windows 7 on.
static_assert(NOTIFYICONDATAW_V3_SIZE == (sizeof(void*) == 4 ? 952 : 968),
              "the version-3 notification record is 952 bytes in a 32-bit build");
static_assert(offsetof(NOTIFYICONDATAW, guidItem) == (sizeof(void*) == 4 ? 936 : 952),
              "guidItem ends the version-3 record");
static_assert(sizeof(NOTIFYICONDATAW().szTip) / sizeof(wchar_t) == kTipSize, "the tip holds 128 characters");

BOOL(WINAPI* g_notifyIcon)(DWORD, PNOTIFYICONDATAW) = Shell_NotifyIconW;
DWORD(WINAPI* g_iconClock)() = GetTickCount;

namespace {

// The tip the shell holds now, so that pointing at the icon changes it only when due.
wchar_t g_shownTip[kTipSize];

IconRetry g_iconRetry;
// The shell holds the icon: a change is made in place.
bool g_iconHeld;

// Made once from the program's own path; the shell refusing it (an older
// Windows, or a GUID it holds for another file) leaves the uIDs alone.
struct IconIdentity {
    bool made;
    bool refused;
    GUID guid;
};
IconIdentity g_identity;

// Ours, for the icon's identity: a name-based UUID of the upper-cased full
// path within it. Two copies in two folders get two identities.
const Uuid kIconNamespace = {
    {0x5c, 0x1e, 0x8a, 0x47, 0x3b, 0x90, 0x4d, 0x2e, 0x9f, 0x61, 0x0a, 0xd4, 0x72, 0xc3, 0x15, 0xb8}};

GUID guidOf(const Uuid& uuid)
{
    const uint8_t* b = uuid.bytes;
    GUID guid;
    guid.Data1 = static_cast<unsigned long>(b[0]) << 24 | static_cast<unsigned long>(b[1]) << 16 |
                 static_cast<unsigned long>(b[2]) << 8 | b[3];
    guid.Data2 = static_cast<unsigned short>(b[4] << 8 | b[5]);
    guid.Data3 = static_cast<unsigned short>(b[6] << 8 | b[7]);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = b[8 + i];
    return guid;
}

const IconIdentity& iconIdentity()
{
    if (!g_identity.made) {
        g_identity.made = true;
        wchar_t path[MAX_PATH * 2] = L"";
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
        CharUpperBuffW(path, length);
        g_identity.guid = guidOf(nameBasedUuid(kIconNamespace, reinterpret_cast<const uint8_t*>(path),
                                               length * sizeof(wchar_t)));
    }
    return g_identity;
}

// The icon's identity alone: its GUID, or where the shell refused that, its ID.
NOTIFYICONDATAW notifyRecord()
{
    NOTIFYICONDATAW record = {};
    record.cbSize = NOTIFYICONDATAW_V3_SIZE;
    record.hWnd = g_app.mainWindow;
    record.uID = kTrayIconId;
    const IconIdentity& identity = iconIdentity();
    if (!identity.refused) {
        record.uFlags = NIF_GUID;
        record.guidItem = identity.guid;
    }
    return record;
}

// Where the shell refuses the icon with its GUID, an icon it still holds
// under that GUID (left by a run that was killed) is deleted and the icon
// offered once more; refused again, it is offered without the GUID, and
// taken so, the GUID is given up for good. Refused every way, the shell is
// not ready yet, and the GUID is offered again with the icon.
BOOL addWithIdentity(const NOTIFYICONDATAW& record)
{
    NOTIFYICONDATAW offered = record;
    if (g_notifyIcon(NIM_ADD, &offered))
        return TRUE;
    if ((record.uFlags & NIF_GUID) == 0)
        return FALSE;
    NOTIFYICONDATAW left = notifyRecord();
    g_notifyIcon(NIM_DELETE, &left);
    offered = record;
    if (g_notifyIcon(NIM_ADD, &offered))
        return TRUE;
    offered.uFlags &= ~NIF_GUID;
    offered.guidItem = GUID();
    if (!g_notifyIcon(NIM_ADD, &offered))
        return FALSE;
    g_identity.refused = true;
    return TRUE;
}

HICON loadStateIcon(LinkState state)
{
    return LoadIconA(g_app.instance, MAKEINTRESOURCEA(linkStateIconId(state)));
}

// The icons handed to the shell, one per state, at the size the notification
// area uses at the display's scale; loaded on first use and again after the
// scale changes. The user interface thread's alone.
HICON g_trayIcons[2];

// At the small-icon size of the task bar's monitor, where Windows can tell
// it (a laptop at 150 % docked to a monitor at 100 %); else at the system's
// small-icon size. From Vista on (comctl32 6): the image made for the size,
// not one scaled from another.
HICON loadTrayIconImage(LinkState state)
{
    static HRESULT(WINAPI * loadIconMetric)(HINSTANCE, PCWSTR, int, HICON*);
    static HRESULT(WINAPI * loadScaledDown)(HINSTANCE, PCWSTR, int, int, HICON*);
    static bool looked = false;
    if (!looked) {
        findSystemFunction(loadIconMetric, L"comctl32.dll", "LoadIconMetric");
        findSystemFunction(loadScaledDown, L"comctl32.dll", "LoadIconWithScaleDown");
    }
    looked = true;
    const PCWSTR name = MAKEINTRESOURCEW(linkStateIconId(state));
    HICON icon = nullptr;
    const UINT dpi = taskbarDpi();
    if (dpi != 0 && loadScaledDown != nullptr) {
        const int size = systemMetricForDpi(SM_CXSMICON, dpi);
        if (SUCCEEDED(loadScaledDown(g_app.instance, name, size, size, &icon)))
            return icon;
    }
    if (loadIconMetric != nullptr && SUCCEEDED(loadIconMetric(g_app.instance, name, 0 /* LIM_SMALL */, &icon)))
        return icon;
    return static_cast<HICON>(LoadImageA(g_app.instance, MAKEINTRESOURCEA(linkStateIconId(state)), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
}

// "since 16:05" today, "since 5 Dec 16:05" before, as the user's locale
// writes them, in its own letters whatever the code page.
void formatShownSince(wchar_t (&since)[kTipSize], LCID locale)
{
    LocalTime began, now;
    SYSTEMTIME beganLocal, nowLocal;
    localTimeOf(g_app.shownSince, began, beganLocal);
    localTimeOf(utcNow(), now, nowLocal);
    wchar_t clock[kTipSize] = L"", date[kTipSize] = L"";
    GetTimeFormatW(locale, TIME_NOSECONDS, &beganLocal, nullptr, clock, kTipSize);
    GetDateFormatW(locale, 0, &beganLocal, L"d MMM", date, kTipSize);
    const bool today = began.year == now.year && began.month == now.month && began.day == now.day;
    formatSince(since, today, date, clock);
}

} // namespace

// The state's text, and on a second line where the break is (or that only
// the proxy goes out), when the state (or the cause) shown began, once that
// is known, and while Connected the last probe's round trip.
void formatStateTip(wchar_t (&tip)[kTipSize], LinkState state, LCID locale)
{
    const bool shown = state == g_app.shownState;
    wchar_t since[kTipSize] = L"";
    if (shown && g_app.shownSince != 0)
        formatShownSince(since, locale);
    const BreakCause cause = shown ? g_app.shownCause : NoCause;
    // While Connected directly, the last probe's round trip, where it timed one.
    wchar_t roundTrip[16] = L"";
    if (shown && state == Connected && cause == NoCause && lastRoundTripMs() >= 0)
        wsprintfW(roundTrip, L"%d ms", lastRoundTripMs());
    formatTip(tip, linkStateText(state), breakCauseText(cause), since, roundTrip);
}

void setWindowIcons(LinkState state)
{
    SendMessageA(g_app.statusWindow, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(loadStateIcon(state)));
    const HANDLE big = LoadImageA(g_app.instance, MAKEINTRESOURCEA(linkStateIconId(state)), IMAGE_ICON,
                                  0, 0, LR_DEFAULTSIZE | LR_SHARED);
    SendMessageA(g_app.mainWindow, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
}

namespace {

// The record that shows a state: its icon, its tip, the messages it sends.
NOTIFYICONDATAW stateRecord(LinkState state)
{
    NOTIFYICONDATAW record = notifyRecord();
    record.uFlags |= NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = trayIcon(state);
    formatStateTip(g_shownTip, state, LOCALE_USER_DEFAULT);
    copyText(record.szTip, g_shownTip);
    return record;
}

void addTrayIcon(LinkState state)
{
    g_iconHeld = addWithIdentity(stateRecord(state));
    if (g_iconHeld) {
        iconTaken(g_iconRetry);
        KillTimer(g_app.mainWindow, kTrayIconRetryTimer);
    } else {
        SetTimer(g_app.mainWindow, kTrayIconRetryTimer, iconRefused(g_iconRetry, g_iconClock()), nullptr);
    }
}

} // namespace

void showTrayIcon(LinkState state)
{
    setWindowIcons(state);
    if (g_iconHeld) {
        NOTIFYICONDATAW record = stateRecord(state);
        if (g_notifyIcon(NIM_MODIFY, &record))
            return;
        g_iconHeld = false;  // the shell lost it (a task bar made anew, unannounced)
    }
    addTrayIcon(state);
}

void trayIconLost(LinkState state)
{
    g_iconHeld = false;
    showTrayIcon(state);
}

void retryTrayIcon()
{
    if (g_iconRetry.retrying && !g_iconHeld)  // not a tick queued before the icon was taken
        showTrayIcon(g_app.shownState);
}

void removeTrayIcon()
{
    NOTIFYICONDATAW record = notifyRecord();
    g_notifyIcon(NIM_DELETE, &record);
    g_iconHeld = false;
    iconTaken(g_iconRetry);
    KillTimer(g_app.mainWindow, kTrayIconRetryTimer);
}

void refreshTrayTip()
{
    wchar_t tip[kTipSize];
    formatStateTip(tip, g_app.shownState, LOCALE_USER_DEFAULT);
    if (lstrcmpW(tip, g_shownTip) == 0)
        return;
    copyText(g_shownTip, tip);
    NOTIFYICONDATAW record = notifyRecord();
    record.uFlags |= NIF_TIP;
    copyText(record.szTip, tip);
    g_notifyIcon(NIM_MODIFY, &record);
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
    NOTIFYICONDATAW record = notifyRecord();
    record.uFlags |= NIF_ICON;
    record.hIcon = trayIcon(g_app.shownState);
    g_notifyIcon(NIM_MODIFY, &record);
}
