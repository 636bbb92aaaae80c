#include "tray/main_window.h"

#include <shellapi.h>

#include "core/app_state.h"
#include "core/messages.h"
#include "core/system_library.h"
#include "history/connection_log.h"
#include "history/local_time.h"
#include "history/quality_record.h"
#include "sound/sound_choice.h"
#include "system/message_filter.h"
#include "tray/hide_times.h"
#include "tray/history_window.h"
#include "tray/quiet_hours.h"
#include "tray/status_window.h"
#include "tray/tray_icon.h"
#include "tray/tray_menu.h"
#include "tray/user_guide.h"

namespace {

// While log rows wait for a busy file: how often they are tried again. (The
// tray icon's retry is timer 2, the last-known moment's 4, the quality hour's 5.) While a change is
// held back for the user's quiet: how often the quiet is looked at.
enum : UINT_PTR { kLogRetryTimer = 1, kQuietEndTimer = 3 };
enum : UINT { kLogRetryMs = 60000, kQuietLookMs = 2000 };

PopupHold g_popupHold;

// Whether the user presents, plays full screen or has quiet time; never
// before Vista, which cannot say.
bool userWantsQuietNow()
{
    static HRESULT(WINAPI * query)(int*);
    static bool looked = false;
    if (!looked)
        findSystemFunction(query, L"shell32.dll", "SHQueryUserNotificationState");
    looked = true;
    int state = kUserAcceptsNotifications;
    return query != nullptr && SUCCEEDED(query(&state)) && userWantsQuiet(state);
}

// Sent to every top-level window when the shell's task bar is (re)created.
UINT g_taskbarCreatedMessage;

// The shell may run with fewer rights than we do (raw sockets want an
// administrator), and then its broadcast is filtered out unless let through.
void onCreate(HWND window)
{
    g_taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    letMessageThrough(window, g_taskbarCreatedMessage, findMessageFilterFunctions());
}

// How long the state shown has lasted, by the monotonic clock: a clock set
// by hand or by time sync changes nothing; empty before the first state.
long long secondsInStateShown()
{
    return g_app.shownSinceTick != 0 ? static_cast<long long>(monotonicMsSince(g_app.shownSinceTick) / 1000)
                                     : static_cast<long long>(kNoPreviousState);
}

void openTrayMenu(HWND window)
{
    refreshTrayMenu();
    SetForegroundWindow(window);
    POINT cursor;
    GetCursorPos(&cursor);
    TrackPopupMenu(g_app.trayMenu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
    // Lets the menu close when the user clicks elsewhere.
    PostMessageA(window, WM_NULL, 0, 0);
}

// The tip must be true whenever it shows: "since" may have become a date.
void onTrayNotify(HWND window, LPARAM mouseMessage)
{
    if (mouseMessage == WM_RBUTTONUP)
        openTrayMenu(window);
    else if (mouseMessage == WM_MOUSEMOVE)
        refreshTrayTip();
}

// Runs only while rows wait: nothing wakes the program otherwise.
void scheduleLogRetry(HWND window)
{
    if (logHasKeptRows())
        SetTimer(window, kLogRetryTimer, kLogRetryMs, nullptr);
    else
        KillTimer(window, kLogRetryTimer);
}

// The status window's message: the state's text, and under it where the
// break is, or that only the proxy goes out.
void formatStatusMessage(char (&message)[kTipSize], LinkState state, BreakCause cause)
{
    lstrcpynA(message, linkStateText(state), sizeof message);
    if (cause != NoCause) {
        lstrcatA(message, "\n");
        lstrcatA(message, breakCauseText(cause));  // both fit: the longest are 30 and 51 characters
    }
}

// The quiet is over: the window tells the state that stands, if it changed meanwhile.
void onQuietLook(HWND window)
{
    if (userWantsQuietNow())
        return;
    KillTimer(window, kQuietEndTimer);
    if (!tellAfterQuiet(g_popupHold, g_app.shownState))
        return;
    char message[kTipSize];
    formatStatusMessage(message, g_app.shownState, g_app.shownCause);
    showStatusMessage(message);
}

void onTimer(HWND window, UINT_PTR timer)
{
    if (timer == kLastKnownTimer) {
        if (g_app.notWatchingSince == 0 && g_app.shownSinceTick != 0)
            noteRunning(secondsInStateShown(), utcNow());
    } else if (timer == kQuietEndTimer) {
        onQuietLook(window);
    } else if (timer == kTrayIconRetryTimer) {
        retryTrayIcon();
    } else if (timer == kLogRetryTimer) {
        retryKeptRows();
        scheduleLogRetry(window);
    } else if (timer == kQualityHourTimer) {
        KillTimer(window, kQualityHourTimer);
        writeQualityHour();
        scheduleLogRetry(window);
    }
}

// A probe the hosts answered: its round trips into the hour's record, and the
// last one into the tip.
void onProbeMeasured(HWND window, WPARAM first, LPARAM second)
{
    if (g_app.exiting)
        return;
    noteProbeMeasure(window, unpackProbeMeasure(static_cast<uint32_t>(first), static_cast<uint32_t>(second)));
    refreshTrayTip();
}

// How long the row before lasted: the state shown, or the time nothing was
// watched since a Not watching row (across runs by the time of day, the only
// clock they share); empty for the first row of a run that follows none.
long long secondsInPreviousRow(bool first, ULONGLONG now)
{
    if (g_app.notWatchingSince != 0)
        return g_app.notWatchingTick != 0 ? static_cast<long long>(monotonicMsSince(g_app.notWatchingTick) / 1000)
                                          : wholeSecondsBetween(g_app.notWatchingSince, now);
    return first ? static_cast<long long>(kNoPreviousState) : secondsInStateShown();
}

// The row of what is shown now, with how long the row before lasted.
void logNewlyShown(HWND window, LinkState state, BreakCause cause, bool first)
{
    const ULONGLONG now = utcNow();
    logShownState(state, cause, secondsInPreviousRow(first, now), now);
    scheduleLogRetry(window);
    g_app.shownSince = now;
    g_app.shownSinceTick = monotonicMs();
    g_app.notWatchingSince = g_app.notWatchingTick = 0;
    g_app.shownCause = cause;
    showSignInPageItem(cause == SignInPage);
    noteRunning(0, now);
    refreshHistoryWindow();
}

// Nothing is watched from now on (Exit, the session's end, sleep): a row says why.
void logStopWatching(HWND window, NotWatching reason)
{
    const ULONGLONG now = utcNow();
    logNotWatching(reason, secondsInStateShown(), now);
    scheduleLogRetry(window);
    g_app.notWatchingSince = now;
    g_app.notWatchingTick = monotonicMs();
}

// The state stays, a new row begins: the break is found elsewhere, or the
// state found after a sleep is the one shown before it. The log, the tip and
// the status window's text say so, without a sound or raising the window.
void onNewRowOfTheStateShown(HWND window, LinkState state, BreakCause cause)
{
    logNewlyShown(window, state, cause, false);
    refreshTrayTip();
    char message[kTipSize];
    formatStatusMessage(message, state, cause);
    setStatusMessage(message);
}

// Every state shown goes into the log. The first state found only replaces
// the starting Broken icon; every later change is also told in the status
// window and with the chosen sound, unless the user wants quiet (then the
// window tells the state that stands once the quiet is over). A sign-in page
// in the way is Broken.
void onLinkState(HWND window, LinkState state, LPARAM flags)
{
    if (g_app.exiting)
        return;  // posted before Exit, handled after: no icon comes back, no row follows Exit's
    const bool first = (flags & kLinkStateFirst) != 0;
    const BreakCause cause = state == Broken || breakCauseOfFlags(flags) == ThroughProxy ? breakCauseOfFlags(flags)
                                                                                          : NoCause;
    if (!first && state == g_app.shownState) {
        if (cause != g_app.shownCause || g_app.notWatchingSince != 0)
            onNewRowOfTheStateShown(window, state, cause);
        return;
    }
    logNewlyShown(window, state, cause, first);
    const LinkState previous = g_app.shownState;
    g_app.shownState = state;
    if (state != previous)
        showTrayIcon(state);
    else
        refreshTrayTip();
    if (first)
        return;
    if (!tellNow(g_popupHold, userWantsQuietNow(), previous)) {
        SetTimer(window, kQuietEndTimer, kQuietLookMs, nullptr);
        return;
    }
    char message[kTipSize];
    formatStatusMessage(message, state, cause);
    showStatusMessage(message);
    playStateSound(state);
}

// Going to sleep: the monitor stops, and drops what it was doing, for the
// network may go before the program is frozen. Back from sleep: it looks
// again, giving the network time to come back before it calls it broken.
void onPowerEvent(WPARAM event)
{
    if (event != PBT_APMSUSPEND && event != PBT_APMRESUMEAUTOMATIC)
        return;
    if (event == PBT_APMSUSPEND && g_app.notWatchingSince == 0 && !g_app.exiting)
        logStopWatching(g_app.mainWindow, NotWatching::Sleep);
    InterlockedExchange(&g_app.suspending, event == PBT_APMSUSPEND);
    InterlockedIncrement(&g_app.powerChanges);
    SetEvent(g_app.monitorWake);
}

// Logoff or shutdown: the rows still waiting for a busy log get a last try,
// as at Exit. The session may end on return, without WM_DESTROY.
void onSessionEnding()
{
    retryKeptRows();
}

// The session ends: nothing is watched from now on, and nothing more shown.
void onSessionEnd(HWND window)
{
    if (!g_app.exiting && g_app.notWatchingSince == 0)
        logStopWatching(window, NotWatching::Shutdown);
    g_app.exiting = true;
    writeQualityHour();
    onSessionEnding();
}

void exitProgram()
{
    if (!g_app.exiting && g_app.notWatchingSince == 0)
        logStopWatching(g_app.mainWindow, NotWatching::Exit);
    g_app.exiting = true;
    KillTimer(g_app.mainWindow, kTrayIconRetryTimer);
    KillTimer(g_app.mainWindow, kQuietEndTimer);
    KillTimer(g_app.mainWindow, kLastKnownTimer);
    KillTimer(g_app.mainWindow, kQualityHourTimer);
    writeQualityHour();
    retryKeptRows();  // a last try for rows still waiting
    closeStatusWindow();
    closeHistoryWindow();
    removeTrayIcon();
    PostQuitMessage(0);
}

// The browser asks for a page over plain HTTP, which lets the portal show its own.
void openSignInPage()
{
    ShellExecuteA(nullptr, "open", kSignInPageAddress, "", "", SW_SHOWNORMAL);
}

void onCommand(UINT commandId)
{
    switch (commandId) {
    case IDM_SOUND_UP:
        toggleSoundItem(commandId, g_app.upSoundPath);
        break;
    case IDM_SOUND_DOWN:
        toggleSoundItem(commandId, g_app.downSoundPath);
        break;
    case IDM_DISPLAY_MESSAGE:
        toggleDisplayMessage();
        break;
    case IDM_EXIT:
        exitProgram();
        break;
    case IDM_HELP:
        openUserGuide();
        break;
    case IDM_HISTORY:
        openHistoryWindow();
        break;
    case IDM_CONNECTION_LOG:
        openConnectionLog();
        break;
    case IDM_START_WITH_WINDOWS:
        toggleStartWithWindows();
        break;
    case IDM_OPEN_SIGN_IN_PAGE:
        openSignInPage();
        break;
    default:
        if (commandId >= IDM_HIDE_NEVER && commandId < IDM_HIDE_NEVER + kHideTimeChoiceCount)
            selectHideTime(commandId);
        break;
    }
}

} // namespace

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        onCreate(window);
        return 0;
    case WM_TRAYNOTIFY:
        onTrayNotify(window, lParam);
        return 0;
    case WM_LINKSTATE:
        onLinkState(window, static_cast<LinkState>(wParam), lParam);
        return 0;
    case WM_PROBEMEASURED:
        onProbeMeasured(window, wParam, lParam);
        return 0;
    case WM_TIMER:
        onTimer(window, wParam);
        return 0;
    case WM_COMMAND:
        onCommand(LOWORD(wParam));
        return 0;
    case WM_POWERBROADCAST:
        onPowerEvent(wParam);
        return TRUE;
    case kDpiChangedMessage:
    case WM_DISPLAYCHANGE:
        reloadTrayIcons();  // the notification area's icons are another size now
        return 0;
    case WM_QUERYENDSESSION:
        onSessionEnding();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            onSessionEnd(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        // The icon vanished with the old task bar; show the current state again.
        if (message == g_taskbarCreatedMessage && message != 0) {
            if (!g_app.exiting)
                trayIconLost(g_app.shownState);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
