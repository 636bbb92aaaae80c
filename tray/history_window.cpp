#include "tray/history_window.h"

#include "core/app_state.h"
#include "core/messages.h"
#include "core/text.h"
#include "history/connection_log.h"
#include "history/history_days.h"
#include "history/local_time.h"
#include "probe/probe_hosts.h"
#include "res/resource.h"
#include "res/version.h"
#include "settings/config_file.h"
#include "system/dpi.h"
#include "tray/window_place.h"

#include <commctrl.h>

namespace {

enum HistoryControl : int { kPreviousButton = 1201, kNextButton = 1202, kCopyButton = 1203 };  // Close is IDCANCEL
enum : int { kDaysShown = 7, kTipTextSize = 160, kDayNameSize = 32 };
// While open, the window reads the log again each minute, so that today's
// strip keeps up with now; nothing runs while it is closed.
enum : UINT_PTR { kRefreshTimer = 1 };
enum : UINT { kRefreshMs = 60000 };
const wchar_t kHistoryClassName[] = L"LintoraHistory";

// The layout at 96 DPI, in pixels; every place is scaled to the window's DPI.
enum : int {
    kMargin = 12,
    kAxisHeight = 18,
    kRowHeight = 24,
    kLabelWidth = 84,
    kStripWidth = 240,
    kStripHeight = 14,
    kFiguresGap = 16,
    kColumnWidth = 66,
    kFiguresWidth = 4 * kColumnWidth,
    kNoteHeight = 20,
    kButtonWidth = 110,
    kButtonHeight = 26,
    kButtonGap = 8,
    kClientWidth = kMargin + kLabelWidth + kStripWidth + kFiguresGap + kFiguresWidth + kMargin,
    kClientHeight = kMargin + kAxisHeight + (kDaysShown + 1) * kRowHeight + kNoteHeight + kButtonHeight + kMargin,
};

// What the log says, read when the window opens and at each refresh: its
// periods until then.
struct HistoryLog {
    Period* periods;
    std::size_t count;
    std::size_t skipped;  // lines Lintora did not write
    int64_t now;
};

// The seven days shown, oldest first, and their figures.
struct HistoryWeek {
    int weeksBack;                    // 0: the week that ends today
    SYSTEMTIME firstDay;
    int64_t dayStarts[kDaysShown + 1];  // local midnights; the last one ends the week
    DayFigures days[kDaysShown];
    DayFigures week;
};

// The user interface thread's alone.
struct HistoryWindow {
    HWND window, tooltip;
    int dpi;
    HFONT font;
    HistoryLog log;
    HistoryWeek shown;
    wchar_t tip[kTipTextSize];
};
HistoryWindow g_history;

int scaled(int pixels)
{
    return MulDiv(pixels, g_history.dpi, 96);
}

// ---- the log and the week ----

std::size_t countLines(const char* text, DWORD length)
{
    std::size_t lines = 1;
    for (DWORD i = 0; i < length; ++i)
        lines += text[i] == '\n';
    return lines;
}

void forgetLog()
{
    if (g_history.log.periods != nullptr)
        HeapFree(GetProcessHeap(), 0, g_history.log.periods);
    g_history.log = HistoryLog();
}

void readLog()
{
    forgetLog();
    g_history.log.now = unixSecondsOf(utcNow());
    DWORD length = 0;
    char* text = readWholeLog(length);
    if (text == nullptr)
        return;
    const std::size_t room = countLines(text, length);
    const HANDLE heap = GetProcessHeap();
    LogRow* rows = static_cast<LogRow*>(HeapAlloc(heap, 0, room * sizeof(LogRow)));
    Period* periods = static_cast<Period*>(HeapAlloc(heap, 0, room * sizeof(Period)));
    if (rows != nullptr && periods != nullptr) {
        const std::size_t rowCount = readLogRows(text, length, rows, room, g_history.log.skipped);
        g_history.log.count = periodsOfRows(rows, rowCount, g_history.log.now, periods, room);
        g_history.log.periods = periods;
        periods = nullptr;
    }
    HeapFree(heap, 0, text);
    if (rows != nullptr)
        HeapFree(heap, 0, rows);
    if (periods != nullptr)
        HeapFree(heap, 0, periods);
}

void placeWeek(int weeksBack)
{
    HistoryWeek& shown = g_history.shown;
    const HistoryLog& log = g_history.log;
    shown.weeksBack = weeksBack;
    SYSTEMTIME today;
    GetLocalTime(&today);
    shown.firstDay = daysAfter(today, -(kDaysShown - 1) - kDaysShown * weeksBack);
    for (int day = 0; day <= kDaysShown; ++day)
        shown.dayStarts[day] = localMidnight(daysAfter(shown.firstDay, day));
    for (int day = 0; day < kDaysShown; ++day)
        shown.days[day] = figuresBetween(log.periods, log.count, shown.dayStarts[day], shown.dayStarts[day + 1]);
    shown.week = figuresBetween(log.periods, log.count, shown.dayStarts[0], shown.dayStarts[kDaysShown]);
}

bool canGoBack()
{
    return g_history.log.count > 0 && g_history.log.periods[0].from < g_history.shown.dayStarts[0];
}

// ---- texts ----

void appendDayName(wchar_t (&text)[kTipTextSize], const SYSTEMTIME& day)
{
    wchar_t name[kDayNameSize];
    if (GetDateFormatW(LOCALE_USER_DEFAULT, 0, &day, L"ddd d MMM", name, kDayNameSize) > 0)
        appendText(text, name);
}

void appendMoment(wchar_t (&text)[kTipTextSize], int64_t moment)
{
    const SYSTEMTIME local = localTimeOfSeconds(moment);
    appendDayName(text, local);
    wchar_t clock[kDayNameSize];
    if (GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, clock, kDayNameSize) > 0) {
        appendText(text, L" ");
        appendText(text, clock);
    }
}

// "Wed 9 Dec 10:05 – 11:40" and under it the state, for the tooltip.
void describePeriod(wchar_t (&text)[kTipTextSize], const Period& period)
{
    copyText(text, L"");
    appendMoment(text, period.from);
    appendText(text, L" \x2013 ");
    if (period.to >= g_history.log.now)
        appendText(text, L"now");
    else
        appendMoment(text, period.to);
    char state[80];
    copyText(state, period.kind == RowKind::Connected ? "Connected"
                    : period.kind == RowKind::Broken  ? "Broken"
                                                      : "Not watching");
    if (period.kind != RowKind::NotWatching && period.cause != NoCause) {
        appendText(state, ": ");
        appendText(state, breakCauseText(period.cause));
    }
    wchar_t wide[80];
    widenAsciiText(wide, state);
    appendText(text, L"\n");
    appendText(text, wide);
}

void appendTwoDigits(char* text, std::size_t size, int value)
{
    if (value < 10)
        appendText(text, size, "0");
    appendDecimal(text, size, value);
}

// The summary's dates are the same in every locale: "2026-12-09".
void formatIsoDate(char (&text)[16], const SYSTEMTIME& day)
{
    copyText(text, "");
    appendDecimal(text, day.wYear);
    appendText(text, "-");
    appendTwoDigits(text, sizeof text, day.wMonth);
    appendText(text, "-");
    appendTwoDigits(text, sizeof text, day.wDay);
}

// A header that says where it was measured from, a line per day and the week's.
void formatSummary(char* text, std::size_t size)
{
    copyText(text, size, "Lintora " LINTORA_VERSION_TEXT ": connection history\r\nProbes ");
    for (int host = 0; host < kProbeHostCount; ++host) {
        appendText(text, size, host > 0 ? ", " : "");
        appendText(text, size, kProbeHosts[host]);
    }
    appendText(text, size, " every ");
    appendDecimal(text, size, static_cast<long>(g_app.pingIntervalMs / 1000));
    appendText(text, size, " s while connected, every 5 s while broken\r\n");
    char line[kTipTextSize], date[16];
    for (int day = 0; day < kDaysShown; ++day) {
        formatIsoDate(date, daysAfter(g_history.shown.firstDay, day));
        formatSummaryLine(line, sizeof line, date, g_history.shown.days[day]);
        appendText(text, size, line);
    }
    formatSummaryLine(line, sizeof line, "Week", g_history.shown.week);
    appendText(text, size, line);
}

void copySummary()
{
    char summary[2048];
    formatSummary(summary, sizeof summary);
    const SIZE_T size = static_cast<SIZE_T>(lstrlenA(summary)) + 1;
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr)
        return;
    CopyMemory(GlobalLock(memory), summary, size);
    GlobalUnlock(memory);
    // Once set, the memory is the clipboard's.
    const bool set = OpenClipboard(g_history.window) && EmptyClipboard() && SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
    if (!set)
        GlobalFree(memory);
}

// ---- drawing ----

COLORREF shadeColour(StripShade shade)
{
    // The icons' green and red; red darker beyond the computer, lighter near it.
    switch (shade) {
    case StripShade::Up:
        return RGB(0x1f, 0x9a, 0x34);
    case StripShade::Down:
        return RGB(0xa0, 0x10, 0x10);
    case StripShade::DownFar:
        return RGB(0x6e, 0x0a, 0x0a);
    case StripShade::DownNear:
        return RGB(0xe0, 0x6c, 0x6c);
    default:
        return RGB(0xc8, 0xc8, 0xc8);
    }
}

RECT stripRect(int day)
{
    const int top = kMargin + kAxisHeight + day * kRowHeight + (kRowHeight - kStripHeight) / 2;
    const RECT rect = {scaled(kMargin + kLabelWidth), scaled(top), scaled(kMargin + kLabelWidth + kStripWidth),
                       scaled(top + kStripHeight)};
    return rect;
}

RECT rowRect(int row, int left, int width)
{
    const int top = kMargin + kAxisHeight + row * kRowHeight;
    const RECT rect = {scaled(left), scaled(top), scaled(left + width), scaled(top + kRowHeight)};
    return rect;
}

const COLORREF kFrameColour = RGB(0x80, 0x80, 0x80);

// A solid rectangle, with no brush to make.
void fillRect(HDC dc, const RECT& rect, COLORREF colour)
{
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

// Fills the part of a day's strip that [from, to) covers, at least a pixel wide.
void fillSpan(HDC dc, const RECT& strip, int64_t dayStart, int64_t dayEnd, int64_t from, int64_t to,
              COLORREF colour)
{
    // A day is at most 25 hours: its seconds fit MulDiv.
    const int width = strip.right - strip.left, length = static_cast<int>(dayEnd - dayStart);
    RECT span = strip;
    span.left = strip.left + MulDiv(static_cast<int>(from - dayStart), width, length);
    span.right = strip.left + MulDiv(static_cast<int>(to - dayStart), width, length);
    if (span.right <= span.left)
        span.right = span.left + 1;
    fillRect(dc, span, colour);
}

// Grey where nothing was watched, then each period; Broken last, so that a
// short outage is not hidden under the hours around it. Today's ends at now.
void drawStrip(HDC dc, int day)
{
    const RECT strip = stripRect(day);
    const int64_t start = g_history.shown.dayStarts[day], end = g_history.shown.dayStarts[day + 1];
    const HistoryLog& log = g_history.log;
    const int64_t shownEnd = end < log.now ? end : log.now;
    RECT frame = strip;
    InflateRect(&frame, 1, 1);
    fillRect(dc, frame, kFrameColour);
    fillRect(dc, strip, GetSysColor(COLOR_WINDOW));  // the hours still to come
    if (shownEnd <= start)
        return;
    fillSpan(dc, strip, start, end, start, shownEnd, shadeColour(StripShade::NotWatched));
    for (int brokenPass = 0; brokenPass < 2; ++brokenPass)
        for (std::size_t i = 0; i < log.count && log.periods[i].from < shownEnd; ++i) {
            const Period& period = log.periods[i];
            if (period.to <= start || (period.kind == RowKind::Broken) != (brokenPass == 1))
                continue;
            fillSpan(dc, strip, start, end, period.from > start ? period.from : start,
                     period.to < shownEnd ? period.to : shownEnd, shadeColour(stripShade(period)));
        }
}

void drawText(HDC dc, const wchar_t* text, RECT rect, UINT format)
{
    DrawTextW(dc, text, -1, &rect, format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void drawHourAxis(HDC dc)
{
    static const wchar_t* const hours[] = {L"0", L"6", L"12", L"18", L"24"};
    for (int i = 0; i < 5; ++i) {
        const int x = kMargin + kLabelWidth + i * kStripWidth / 4;
        const RECT rect = {scaled(x - 20), scaled(kMargin), scaled(x + 20), scaled(kMargin + kAxisHeight)};
        drawText(dc, hours[i], rect, DT_CENTER);
    }
}

RECT columnRect(int row, int column)
{
    return rowRect(row, kMargin + kLabelWidth + kStripWidth + kFiguresGap + column * kColumnWidth, kColumnWidth);
}

void drawColumn(HDC dc, RECT rect, const char* text)
{
    wchar_t wide[kDayNameSize];
    widenAsciiText(wide, text);
    drawText(dc, wide, rect, DT_RIGHT);
}

// Above the figures, level with the hours.
void drawColumnTitles(HDC dc)
{
    static const char* const titles[] = {"Uptime", "Outages", "Down", "Longest"};
    for (int column = 0; column < 4; ++column) {
        RECT rect = columnRect(0, column);
        rect.top = scaled(kMargin);
        rect.bottom = scaled(kMargin + kAxisHeight);
        drawColumn(dc, rect, titles[column]);
    }
}

// The row's label, then uptime, outages, down time and the longest outage;
// "not watched" instead where nothing was.
void drawFigures(HDC dc, int row, const wchar_t* label, const DayFigures& figures)
{
    drawText(dc, label, rowRect(row, kMargin, kLabelWidth), DT_LEFT);
    if (figures.watched <= 0) {
        drawText(dc, L"not watched", rowRect(row, kMargin + kLabelWidth + kStripWidth + kFiguresGap, kFiguresWidth),
                 DT_RIGHT);
        return;
    }
    char text[kDayNameSize];
    formatUptime(text, sizeof text, figures);
    drawColumn(dc, columnRect(row, 0), text);
    copyText(text, "");
    appendDecimal(text, figures.outages);
    drawColumn(dc, columnRect(row, 1), text);
    formatDuration(text, sizeof text, figures.down);
    drawColumn(dc, columnRect(row, 2), text);
    formatDuration(text, sizeof text, figures.longest);
    drawColumn(dc, columnRect(row, 3), text);
}

void drawSkippedNote(HDC dc)
{
    if (g_history.log.skipped == 0)
        return;
    char note[96];
    copyText(note, "Lines of the log not written by Lintora, left out: ");
    appendDecimal(note, static_cast<long>(g_history.log.skipped));
    wchar_t wide[96];
    widenAsciiText(wide, note);
    drawText(dc, wide, rowRect(kDaysShown + 1, kMargin, kClientWidth - 2 * kMargin), DT_LEFT);
}

void onHistoryPaint(HWND window)
{
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    const HGDIOBJ oldFont = SelectObject(dc, g_history.font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    drawHourAxis(dc);
    drawColumnTitles(dc);
    for (int day = 0; day < kDaysShown; ++day) {
        wchar_t name[kTipTextSize] = L"";
        appendDayName(name, daysAfter(g_history.shown.firstDay, day));
        drawFigures(dc, day, name, g_history.shown.days[day]);
        drawStrip(dc, day);
    }
    drawFigures(dc, kDaysShown, L"Week", g_history.shown.week);
    drawSkippedNote(dc);
    SelectObject(dc, oldFont);
    EndPaint(window, &paint);
}

// ---- the pointer over the strips ----

RECT stripsArea()
{
    RECT area = stripRect(0);
    area.bottom = stripRect(kDaysShown - 1).bottom;
    return area;
}

TOOLINFOW stripsTool()
{
    TOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = g_history.window;
    tool.uId = 1;
    tool.rect = stripsArea();
    tool.lpszText = g_history.tip;
    return tool;
}

// The period under the pointer, if it lies on a strip.
const Period* periodUnder(POINT point)
{
    for (int day = 0; day < kDaysShown; ++day) {
        const RECT strip = stripRect(day);
        if (point.x < strip.left || point.x >= strip.right || point.y < strip.top || point.y >= strip.bottom)
            continue;
        const int64_t start = g_history.shown.dayStarts[day], end = g_history.shown.dayStarts[day + 1];
        const int64_t moment =
            start + MulDiv(point.x - strip.left, static_cast<int>(end - start), strip.right - strip.left);
        return moment < g_history.log.now ? periodAt(g_history.log.periods, g_history.log.count, moment) : nullptr;
    }
    return nullptr;
}

void onHistoryMouseMove(LPARAM position)
{
    const POINT point = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    wchar_t text[kTipTextSize] = L"";
    if (const Period* period = periodUnder(point))
        describePeriod(text, *period);
    if (lstrcmpW(text, g_history.tip) == 0)
        return;
    copyText(g_history.tip, text);
    TOOLINFOW tool = stripsTool();
    SendMessageW(g_history.tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void createTooltip(HWND window)
{
    // The tooltip class was registered at the start (InitCommonControls).
    g_history.tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX, 0, 0, 0,
                                        0, window, nullptr, g_app.instance, nullptr);
    TOOLINFOW tool = stripsTool();
    SendMessageW(g_history.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// ---- the window ----

void showWeek(int weeksBack)
{
    placeWeek(weeksBack);
    wchar_t title[kTipTextSize] = L"Lintora History: ";
    appendDayName(title, g_history.shown.firstDay);
    appendText(title, L" \x2013 ");
    appendDayName(title, daysAfter(g_history.shown.firstDay, kDaysShown - 1));
    SetWindowTextW(g_history.window, title);
    const HWND previous = GetDlgItem(g_history.window, kPreviousButton);
    const HWND next = GetDlgItem(g_history.window, kNextButton);
    const HWND focus = GetFocus();
    EnableWindow(previous, canGoBack());
    EnableWindow(next, weeksBack > 0);
    // A button just disabled gives the keyboard to its neighbour.
    if ((focus == previous || focus == next) && !IsWindowEnabled(focus))
        SetFocus(IsWindowEnabled(previous) ? previous : IsWindowEnabled(next) ? next : GetDlgItem(g_history.window, kCopyButton));
    InvalidateRect(g_history.window, nullptr, TRUE);
}

void pageWeek(int weeksBack)
{
    if (weeksBack < 0 || (weeksBack > g_history.shown.weeksBack && !canGoBack()))
        return;
    showWeek(weeksBack);
}

void layOut(HWND window)
{
    const int top = kClientHeight - kMargin - kButtonHeight;
    const int lefts[] = {kMargin, kMargin + kButtonWidth + kButtonGap,
                         kClientWidth - kMargin - 2 * kButtonWidth - kButtonGap, kClientWidth - kMargin - kButtonWidth};
    const int ids[] = {kPreviousButton, kNextButton, kCopyButton, IDCANCEL};
    for (int i = 0; i < 4; ++i) {
        const HWND button = GetDlgItem(window, ids[i]);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(g_history.font), FALSE);
        MoveWindow(button, scaled(lefts[i]), scaled(top), scaled(kButtonWidth), scaled(kButtonHeight), TRUE);
    }
    TOOLINFOW tool = stripsTool();
    SendMessageW(g_history.tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(g_history.tooltip, TTM_SETMAXTIPWIDTH, 0, scaled(400));
}

void makeFont()
{
    const HFONT font = CreateFontW(-MulDiv(9, g_history.dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_SWISS, L"MS Shell Dlg 2");
    if (font == nullptr)
        return;
    if (g_history.font != nullptr)
        DeleteObject(g_history.font);
    g_history.font = font;
}

// The client area of the layout at the window's scale.
void sizeWindow(HWND window)
{
    RECT rect = {0, 0, scaled(kClientWidth), scaled(kClientHeight)};
    adjustWindowRectForDpi(rect, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                           static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)),
                           static_cast<UINT>(g_history.dpi));
    SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void saveHistoryPosition(HWND window)
{
    RECT rect;
    if (IsIconic(window) || !GetWindowRect(window, &rect))
        return;
    g_app.historyX = rect.left;
    g_app.historyY = rect.top;
    writePositionSettings("history_h_position", "history_v_position", rect.left, rect.top);
}

// The window moved to a display of another scale, or the scale changed.
void onHistoryDpiChanged(HWND window, int dpi, const RECT& suggested)
{
    if (dpi <= 0 || dpi == g_history.dpi)
        return;
    g_history.dpi = dpi;
    makeFont();
    layOut(window);
    SetWindowPos(window, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    sizeWindow(window);
    InvalidateRect(window, nullptr, TRUE);
}

void onHistoryCommand(HWND window, int id)
{
    switch (id) {
    case kPreviousButton:
        pageWeek(g_history.shown.weeksBack + 1);
        break;
    case kNextButton:
        pageWeek(g_history.shown.weeksBack - 1);
        break;
    case kCopyButton:
        copySummary();
        break;
    case IDCANCEL:
        DestroyWindow(window);
        break;
    default:
        break;
    }
}

// The keyboard is always on a button, so that Tab and Enter work from the start.
void focusFirstButton(HWND window)
{
    const HWND previous = GetDlgItem(window, kPreviousButton);
    SetFocus(IsWindowEnabled(previous) ? previous : GetDlgItem(window, kCopyButton));
}

void onHistoryDestroyed(HWND window)
{
    saveHistoryPosition(window);
    forgetLog();
    g_history.window = g_history.tooltip = nullptr;
    if (g_history.font != nullptr)
        DeleteObject(g_history.font);
    g_history.font = nullptr;
    g_history.tip[0] = L'\0';
}

LRESULT CALLBACK historyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        onHistoryPaint(window);
        return 0;
    case WM_COMMAND:
        onHistoryCommand(window, LOWORD(wParam));
        return 0;
    case WM_MOUSEMOVE:
        onHistoryMouseMove(lParam);
        return 0;
    case WM_SETFOCUS:
        focusFirstButton(window);
        return 0;
    case WM_TIMER:
        refreshHistoryWindow();
        return 0;
    case kDpiChangedMessage:
        onHistoryDpiChanged(window, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_DESTROY:
        onHistoryDestroyed(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool registerHistoryClass()
{
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = historyWindowProc;
    windowClass.hInstance = g_app.instance;
    windowClass.hIcon = LoadIconW(g_app.instance, MAKEINTRESOURCEW(IDI_CONNECTED));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kHistoryClassName;
    registered = RegisterClassExW(&windowClass) != 0;
    return registered;
}

void createButtons(HWND window)
{
    static const wchar_t* const labels[] = {L"< &Previous", L"&Next >", L"&Copy Summary", L"Close"};
    const int ids[] = {kPreviousButton, kNextButton, kCopyButton, IDCANCEL};
    for (int i = 0; i < 4; ++i)
        CreateWindowExW(0, L"BUTTON", labels[i], WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
                        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids[i])), g_app.instance, nullptr);
}

HWND createHistoryWindow()
{
    if (!registerHistoryClass())
        return nullptr;
    const HWND window = CreateWindowExW(0, kHistoryClassName, L"Lintora History",
                                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                        CW_USEDEFAULT, 0, 0, nullptr, nullptr, g_app.instance, nullptr);
    if (window == nullptr)
        return nullptr;
    g_history.window = window;
    g_history.dpi = static_cast<int>(windowDpi(window));
    makeFont();
    createButtons(window);
    createTooltip(window);
    layOut(window);
    sizeWindow(window);
    placeWindow(window, g_app.historyX, g_app.historyY);
    SetTimer(window, kRefreshTimer, kRefreshMs, nullptr);
    return window;
}

} // namespace

void openHistoryWindow()
{
    if (g_history.window == nullptr && createHistoryWindow() == nullptr)
        return;
    readLog();
    showWeek(0);
    ShowWindow(g_history.window, IsIconic(g_history.window) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(g_history.window);
    focusFirstButton(g_history.window);
}

void refreshHistoryWindow()
{
    if (g_history.window == nullptr)
        return;
    readLog();
    showWeek(g_history.shown.weeksBack);
}

void closeHistoryWindow()
{
    if (g_history.window != nullptr)
        DestroyWindow(g_history.window);
}

bool handleHistoryWindowMessage(MSG& message)
{
    const HWND window = g_history.window;
    if (window == nullptr || (message.hwnd != window && !IsChild(window, message.hwnd)))
        return false;
    if (message.message == WM_KEYDOWN) {
        if (message.wParam == VK_PRIOR || message.wParam == VK_NEXT) {
            pageWeek(g_history.shown.weeksBack + (message.wParam == VK_PRIOR ? 1 : -1));
            return true;
        }
        if (message.wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
            copySummary();
            return true;
        }
    }
    return IsDialogMessageW(window, &message) != 0;
}
