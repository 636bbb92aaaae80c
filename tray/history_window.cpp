#include "tray/history_window.h"

#include <commctrl.h>

#include "core/app_state.h"
#include "core/messages.h"
#include "core/text.h"
#include "history/connection_log.h"
#include "history/history_report.h"
#include "history/local_time.h"
#include "probe/probe_hosts.h"
#include "res/resource.h"
#include "res/version.h"
#include "settings/config_file.h"
#include "settings/setting_values.h"
#include "system/dpi.h"
#include "tray/report_file.h"
#include "tray/window_place.h"

namespace {

enum HistoryControl : int {
    kPreviousButton = 1201,
    kNextButton = 1202,
    kCopyButton = 1203,
    kSaveButton = 1204,
    kNoteEdit = 1205,
    kNoteLabel = 1206,
};  // Close is IDCANCEL
enum : int { kDaysShown = 7, kReportDays = 30, kDayNameSize = 32 };
// While open, the window reads the log again each minute, so that today's
// strip keeps up with now; nothing runs while it is closed.
enum : UINT_PTR { kRefreshTimer = 1 };
enum : UINT { kRefreshMs = 60000 };
const wchar_t kHistoryClassName[] = L"LintoraHistory";

// The layout at 96 DPI, in pixels; every place is scaled to the window's DPI.
enum : int {
    kMargin = 12,
    kTitleHeight = 16,  // "beyond the router", over its two columns
    kAxisHeight = 18,
    kRowHeight = 24,
    kLabelWidth = 80,
    kStripWidth = 216,
    kStripHeight = 14,
    kTickHeight = 4,
    kFiguresGap = 12,
    kColumns = 7,
    kFiguresWidth = 62 + 62 + 62 + 62 + 62 + 76 + 56,  // the columns' widths, below
    kLegendHeight = 22,
    kLegendBox = 10,
    kNoteHeight = 20,
    kNoteLabelWidth = 130,
    kEditHeight = 22,
    kButtonWidth = 104,
    kButtonHeight = 26,
    kButtonGap = 8,
    kClientWidth = kMargin + kLabelWidth + kStripWidth + kFiguresGap + kFiguresWidth + kMargin,
    kDaysTop = kMargin + kTitleHeight + kAxisHeight,
    kLegendTop = kDaysTop + (kDaysShown + 1) * kRowHeight,
    kSkippedTop = kLegendTop + kLegendHeight,
    kNoteTop = kSkippedTop + kNoteHeight,
    kButtonsTop = kNoteTop + kEditHeight + kMargin,
    kClientHeight = kButtonsTop + kButtonHeight + kMargin,
};

// The buttons, where they are made and laid out: from the left or the right edge.
struct HistoryButton {
    int id;
    const wchar_t* label;
    int fromLeft;   // the place from the left edge, or -1
    int fromRight;  // else from the right edge
};
const HistoryButton kButtons[] = {
    {kPreviousButton, L"< &Previous", 0, -1},
    {kNextButton, L"&Next >", 1, -1},
    {kSaveButton, L"&Save Report\x2026", -1, 2},
    {kCopyButton, L"&Copy Summary", -1, 1},
    {IDCANCEL, L"Close", -1, 0},
};

// What the log and the quality record say, read when the window opens and
// at each refresh: the log's periods until then, and the hours' quality.
struct HistoryLog {
    Period* periods;
    std::size_t count;
    std::size_t skipped;  // lines Lintora did not write
    QualityRow* hours;
    std::size_t hourCount;
    int64_t now;
};

// The user interface thread's alone.
struct HistoryWindow {
    HWND window, tooltip;
    int dpi;
    HFONT font;
    HistoryLog log;
    int weeksBack;  // 0: the week that ends today
    DayLayout days[kDaysShown];
    wchar_t tip[kPeriodTipSize];
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
    if (g_history.log.hours != nullptr)
        HeapFree(GetProcessHeap(), 0, g_history.log.hours);
    g_history.log = HistoryLog();
}

// The hours of the quality record; a line not written by Lintora counts with the log's.
void readQualityRecord()
{
    DWORD length = 0;
    char* text = readWholeQualityRecord(length);
    if (text == nullptr)
        return;
    const std::size_t room = countLines(text, length);
    const HANDLE heap = GetProcessHeap();
    g_history.log.hours = static_cast<QualityRow*>(HeapAlloc(heap, 0, room * sizeof(QualityRow)));
    if (g_history.log.hours != nullptr)
        g_history.log.hourCount = readQualityRows(text, length, g_history.log.hours, room, g_history.log.skipped);
    HeapFree(heap, 0, text);
}

void readLog()
{
    forgetLog();
    readQualityRecord();
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

HistoryRecords records()
{
    const HistoryLog& log = g_history.log;
    return {log.periods, log.count, log.hours, log.hourCount};
}

// `count` days that end `weeksBack` weeks before today.
void layOut(DayLayout* days, int count, int weeksBack)
{
    const CalendarDay first = calendarDaysAfter(today(), -(count - 1) - kDaysShown * weeksBack);
    layOutDays(kUserClock, first, count, records(), days);
}

bool canGoBack()
{
    return g_history.log.count > 0 && g_history.log.periods[0].from < g_history.days[0].start;
}

// What the summary and the report tell of these days.
HistoryFacts factsOf(const DayLayout* days, int count)
{
    return {LINTORA_VERSION_TEXT,
            kProbeHosts,
            kProbeHostCount,
            g_app.pingIntervalMs / 1000,
            days,
            count,
            records(),
            g_history.log.now,
            &kUserClock};
}

// ---- texts ----

void appendDayName(wchar_t* text, std::size_t size, const CalendarDay& day)
{
    wchar_t name[kDayNameSize];
    const SYSTEMTIME date = systemTimeOf(day);
    if (GetDateFormatW(LOCALE_USER_DEFAULT, 0, &date, L"ddd d MMM", name, kDayNameSize) > 0)
        appendText(text, size, name);
}

// "Wed 9 Dec 10:05", in the user's words.
void formatMoment(wchar_t (&text)[kDayNameSize * 2], int64_t moment)
{
    const LocalTime local = kUserClock.localTimeOf(moment, nullptr);
    copyText(text, L"");
    appendDayName(text, kDayNameSize * 2, {local.year, local.month, local.day});
    SYSTEMTIME clock = systemTimeOf({local.year, local.month, local.day});
    clock.wHour = static_cast<WORD>(local.hour);
    clock.wMinute = static_cast<WORD>(local.minute);
    wchar_t time[kDayNameSize];
    if (GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &clock, nullptr, time, kDayNameSize) > 0) {
        appendText(text, L" ");
        appendText(text, time);
    }
}

// The summary's text grows as it is written: it lists every outage.
struct GrowingText {
    HGLOBAL memory;
    SIZE_T length, room;
    bool failed;
};

void appendToGlobal(const char* text, std::size_t length, void* context)
{
    GrowingText& out = *static_cast<GrowingText*>(context);
    if (out.failed)
        return;
    if (out.length + length + 1 > out.room) {
        const SIZE_T room = (out.length + length + 1) * 2;
        const HGLOBAL grown = out.memory == nullptr ? GlobalAlloc(GMEM_MOVEABLE, room)
                                                    : GlobalReAlloc(out.memory, room, GMEM_MOVEABLE);
        if (grown == nullptr) {
            out.failed = true;
            return;
        }
        out.memory = grown;
        out.room = room;
    }
    char* bytes = static_cast<char*>(GlobalLock(out.memory));
    CopyMemory(bytes + out.length, text, length);
    out.length += length;
    bytes[out.length] = '\0';
    GlobalUnlock(out.memory);
}

void copySummary()
{
    GrowingText summary = {};
    writeSummary({appendToGlobal, &summary}, factsOf(g_history.days, kDaysShown), "Week");
    if (summary.memory == nullptr)
        return;
    // Once set, the memory is the clipboard's.
    const bool set = !summary.failed && OpenClipboard(g_history.window) && EmptyClipboard() &&
                     SetClipboardData(CF_TEXT, summary.memory);
    CloseClipboard();
    if (!set)
        GlobalFree(summary.memory);
}

// ---- the note and the report ----

HWND noteEdit()
{
    return GetDlgItem(g_history.window, kNoteEdit);
}

// The note as typed, kept when it changed.
void keepNote()
{
    wchar_t note[kReportNoteSize];
    GetWindowTextW(noteEdit(), note, kReportNoteSize);
    if (lstrcmpW(note, g_app.reportNote) == 0)
        return;
    copyText(g_app.reportNote, note);
    writeReportNote(note);
}

// The 30 days that end with the last day shown.
void saveMonthsReport()
{
    keepNote();
    static DayLayout month[kReportDays];
    layOut(month, kReportDays, g_history.weeksBack);
    saveReport(g_history.window, factsOf(month, kReportDays), g_app.reportNote);
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
    case StripShade::Poor:
        return RGB(0xf0, 0xa8, 0x00);
    default:
        return RGB(0xc8, 0xc8, 0xc8);
    }
}

// The strips' frames and hour marks: a grey of their own, which no control's
// edge has.
const COLORREF kFrameColour = RGB(0x70, 0x70, 0x70);

RECT stripRect(int day)
{
    const int top = kDaysTop + day * kRowHeight + (kRowHeight - kStripHeight) / 2;
    const RECT rect = {scaled(kMargin + kLabelWidth), scaled(top), scaled(kMargin + kLabelWidth + kStripWidth),
                       scaled(top + kStripHeight)};
    return rect;
}

RECT rowRect(int row, int left, int width)
{
    const int top = kDaysTop + row * kRowHeight;
    const RECT rect = {scaled(left), scaled(top), scaled(left + width), scaled(top + kRowHeight)};
    return rect;
}

// A solid rectangle, with no brush to make.
void fillRect(HDC dc, const RECT& rect, COLORREF colour)
{
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

// Fills the part of a day's strip that [from, to) covers, at least a pixel wide.
void fillSpan(HDC dc, const RECT& strip, const DayLayout& day, int64_t from, int64_t to, COLORREF colour)
{
    const int width = strip.right - strip.left;
    RECT span = strip;
    span.left = strip.left + stripOffset(day, from, width);
    span.right = strip.left + stripOffset(day, to, width);
    if (span.right <= span.left)
        span.right = span.left + 1;
    fillRect(dc, span, colour);
}

// The periods within [from, to) of one kind (Broken, or the others), in
// their shades as `colourOf` gives them.
template <typename ColourOf>
void drawPeriods(HDC dc, const RECT& strip, const DayLayout& day, int64_t from, int64_t to, bool broken,
                 ColourOf colourOf)
{
    const HistoryLog& log = g_history.log;
    for (std::size_t i = 0; i < log.count && log.periods[i].from < to; ++i) {
        const Period& period = log.periods[i];
        if (period.to <= from || (period.kind == RowKind::Broken) != broken)
            continue;
        fillSpan(dc, strip, day, period.from > from ? period.from : from, period.to < to ? period.to : to,
                 colourOf(stripShade(period)));
    }
}

// Grey where nothing was watched, then each period; Broken last, so that a
// short outage is not hidden under the hours around it. Today's ends at now.
// Short marks at 6, 12 and 18 o'clock, where the day's own clock had them
// (on a 23- or 25-hour day, not at the quarters), below the strip's middle.
void drawStrip(HDC dc, int index)
{
    const DayLayout& day = g_history.days[index];
    const RECT strip = stripRect(index);
    const HistoryLog& log = g_history.log;
    const int64_t shownEnd = day.end < log.now ? day.end : log.now;
    RECT frame = strip;
    InflateRect(&frame, 1, 1);
    fillRect(dc, frame, kFrameColour);
    fillRect(dc, strip, GetSysColor(COLOR_WINDOW));  // the hours still to come
    if (shownEnd > day.start) {
        fillSpan(dc, strip, day, day.start, shownEnd, shadeColour(StripShade::NotWatched));
        drawPeriods(dc, strip, day, day.start, shownEnd, false, shadeColour);
        // Amber within the green where an hour was poor; outages stay on top.
        for (std::size_t i = 0; i < log.hourCount; ++i) {
            const int64_t hour = log.hours[i].hour;
            if (hour + 3600 > day.start && hour < shownEnd && isPoorRow(log.hours, log.hourCount, i))
                drawPeriods(dc, strip, day, hour > day.start ? hour : day.start,
                            hour + 3600 < shownEnd ? hour + 3600 : shownEnd, false,
                            [](StripShade shade) { return shadeColour(shade == StripShade::Up ? StripShade::Poor : shade); });
        }
        drawPeriods(dc, strip, day, day.start, shownEnd, true, shadeColour);
    }
    for (int64_t mark : day.hourMarks) {
        RECT tick = strip;
        tick.left += stripOffset(day, mark, strip.right - strip.left);
        tick.right = tick.left + 1;
        tick.top = strip.bottom - scaled(kTickHeight);
        fillRect(dc, tick, kFrameColour);
    }
}

void drawText(HDC dc, const wchar_t* text, RECT rect, UINT format)
{
    DrawTextW(dc, text, -1, &rect, format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void drawAsciiText(HDC dc, const char* text, const RECT& rect, UINT format)
{
    wchar_t wide[kPeriodTipSize];
    widenAsciiText(wide, text);
    drawText(dc, wide, rect, format);
}

// The hours of a day of 24; the marks on each strip follow its own.
void drawHourAxis(HDC dc)
{
    static const wchar_t* const hours[] = {L"0", L"6", L"12", L"18", L"24"};
    for (int i = 0; i < 5; ++i) {
        const int x = kMargin + kLabelWidth + i * kStripWidth / 4;
        const RECT rect = {scaled(x - 20), scaled(kMargin + kTitleHeight), scaled(x + 20), scaled(kDaysTop)};
        drawText(dc, hours[i], rect, DT_CENTER);
    }
}

// The figures' columns: their titles and widths, each with room for a gap
// before its text in wider fonts than Tahoma (Wine's). The longest outage is
// in the summary and the report, not here, so that the window fits a screen
// of 1024 pixels at 100 % (or 1536 at 150 %, the least Windows offers it on).
struct FiguresColumn {
    const char* title;
    int width;
};
const FiguresColumn kFiguresColumns[kColumns] = {
    {"Uptime", 62}, {"Outages", 62}, {"Down", 62}, {"Outages", 62}, {"Down", 62}, {"Round trip", 76}, {"Lost", 56},
};
enum : int { kFirstBeyondColumn = 3 };  // the two under "beyond the router"

RECT columnRect(int row, int column)
{
    int left = kMargin + kLabelWidth + kStripWidth + kFiguresGap;
    for (int i = 0; i < column; ++i)
        left += kFiguresColumns[i].width;
    return rowRect(row, left, kFiguresColumns[column].width);
}

// Above the figures, level with the hours; two under "beyond the router".
void drawColumnTitles(HDC dc)
{
    for (int column = 0; column < kColumns; ++column) {
        RECT rect = columnRect(0, column);
        rect.top = scaled(kMargin + kTitleHeight);
        rect.bottom = scaled(kDaysTop);
        drawAsciiText(dc, kFiguresColumns[column].title, rect, DT_RIGHT);
    }
    RECT beyond = columnRect(0, kFirstBeyondColumn);
    beyond.right = columnRect(0, kFirstBeyondColumn + 1).right;
    beyond.top = scaled(kMargin);
    beyond.bottom = scaled(kMargin + kTitleHeight);
    drawAsciiText(dc, "beyond the router", beyond, DT_RIGHT);
}

// The row's label, then uptime, outages and down time, then the outages and
// the down time beyond the router, then the round trip and the loss; "not
// watched" instead where nothing was.
void drawFigures(HDC dc, int row, const wchar_t* label, const DayFigures& figures, const DayQuality& quality)
{
    drawText(dc, label, rowRect(row, kMargin, kLabelWidth), DT_LEFT);
    if (figures.watched <= 0) {
        drawText(dc, L"not watched", rowRect(row, kMargin + kLabelWidth + kStripWidth + kFiguresGap, kFiguresWidth),
                 DT_RIGHT);
        return;
    }
    char text[kColumns][kDayNameSize];
    formatUptime(text[0], kDayNameSize, figures);
    copyText(text[1], "");
    appendDecimal(text[1], figures.outages);
    formatDuration(text[2], kDayNameSize, figures.down);
    copyText(text[3], "");
    appendDecimal(text[3], figures.outagesBeyond);
    formatDuration(text[4], kDayNameSize, figures.downBeyond);
    formatRoundTrip(text[5], kDayNameSize, quality.medianMs);
    formatLoss(text[6], kDayNameSize, quality.lostTenths);
    for (int column = 0; column < kColumns; ++column)
        drawAsciiText(dc, text[column], columnRect(row, column), DT_RIGHT);
}

// What each colour of the strips stands for.
void drawLegend(HDC dc)
{
    int left = kMargin;
    for (const LegendEntry& entry : kStripLegend) {
        const int top = kLegendTop + (kLegendHeight - kLegendBox) / 2;
        RECT box = {scaled(left), scaled(top), scaled(left + kLegendBox), scaled(top + kLegendBox)};
        RECT frame = box;
        InflateRect(&frame, 1, 1);
        fillRect(dc, frame, kFrameColour);
        fillRect(dc, box, shadeColour(entry.shade));
        RECT label = {box.right + scaled(4), scaled(kLegendTop), scaled(kClientWidth), scaled(kLegendTop + kLegendHeight)};
        drawAsciiText(dc, entry.label, label, DT_LEFT);
        SIZE size = {};
        wchar_t wide[kPeriodTipSize];
        widenAsciiText(wide, entry.label);
        GetTextExtentPoint32W(dc, wide, lstrlenW(wide), &size);
        left += kLegendBox + 4 + MulDiv(size.cx, 96, g_history.dpi) + 14;
    }
}

void drawSkippedNote(HDC dc)
{
    if (g_history.log.skipped == 0)
        return;
    char note[96];
    copyText(note, "Lines of the log not written by Lintora, left out: ");
    appendDecimal(note, static_cast<long>(g_history.log.skipped));
    const RECT rect = {scaled(kMargin), scaled(kSkippedTop), scaled(kClientWidth - kMargin),
                       scaled(kSkippedTop + kNoteHeight)};
    drawAsciiText(dc, note, rect, DT_LEFT);
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
        wchar_t name[kDayNameSize] = L"";
        appendDayName(name, kDayNameSize, g_history.days[day].date);
        drawFigures(dc, day, name, g_history.days[day].figures, g_history.days[day].quality);
        drawStrip(dc, day);
    }
    const HistoryFacts week = factsOf(g_history.days, kDaysShown);
    drawFigures(dc, kDaysShown, L"Week", totalOf(g_history.days, kDaysShown), totalQualityOf(week));
    drawLegend(dc);
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

// The period under the pointer, if it lies on a strip, and the moment.
const Period* periodUnder(POINT point, int64_t& moment)
{
    for (int index = 0; index < kDaysShown; ++index) {
        const RECT strip = stripRect(index);
        if (point.x < strip.left || point.x >= strip.right || point.y < strip.top || point.y >= strip.bottom)
            continue;
        const DayLayout& day = g_history.days[index];
        moment = day.start + MulDiv(point.x - strip.left, static_cast<int>(day.end - day.start),
                                    strip.right - strip.left);
        return moment < g_history.log.now ? periodAt(g_history.log.periods, g_history.log.count, moment) : nullptr;
    }
    return nullptr;
}

void onHistoryMouseMove(LPARAM position)
{
    const POINT point = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    wchar_t text[kPeriodTipSize] = L"";
    int64_t moment = 0;
    if (const Period* period = periodUnder(point, moment)) {
        wchar_t from[kDayNameSize * 2], to[kDayNameSize * 2] = L"now";
        formatMoment(from, period->from);
        if (period->to < g_history.log.now)
            formatMoment(to, period->to);
        const HistoryLog& log = g_history.log;
        const QualityRow* hour = qualityAt(log.hours, log.hourCount, moment);
        const bool poor = hour != nullptr && isPoorRow(log.hours, log.hourCount, static_cast<std::size_t>(hour - log.hours));
        formatPeriodTip(text, from, to, *period, hour, poor);
    }
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
    g_history.weeksBack = weeksBack;
    layOut(g_history.days, kDaysShown, weeksBack);
    wchar_t title[96] = L"Lintora History: ";
    appendDayName(title, 96, g_history.days[0].date);
    appendText(title, L" \x2013 ");
    appendDayName(title, 96, g_history.days[kDaysShown - 1].date);
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
    if (weeksBack < 0 || (weeksBack > g_history.weeksBack && !canGoBack()))
        return;
    showWeek(weeksBack);
}

void moveControl(HWND window, int id, int left, int top, int width, int height)
{
    const HWND control = GetDlgItem(window, id);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_history.font), FALSE);
    MoveWindow(control, scaled(left), scaled(top), scaled(width), scaled(height), TRUE);
}

void layOutControls(HWND window)
{
    for (const HistoryButton& button : kButtons) {
        const int left = button.fromLeft >= 0
                             ? kMargin + button.fromLeft * (kButtonWidth + kButtonGap)
                             : kClientWidth - kMargin - kButtonWidth - button.fromRight * (kButtonWidth + kButtonGap);
        moveControl(window, button.id, left, kButtonsTop, kButtonWidth, kButtonHeight);
    }
    moveControl(window, kNoteLabel, kMargin, kNoteTop, kNoteLabelWidth, kEditHeight);
    moveControl(window, kNoteEdit, kMargin + kNoteLabelWidth, kNoteTop, kClientWidth - 2 * kMargin - kNoteLabelWidth,
                kEditHeight);
    TOOLINFOW tool = stripsTool();
    SendMessageW(g_history.tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(g_history.tooltip, TTM_SETMAXTIPWIDTH, 0, scaled(420));
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
    layOutControls(window);
    SetWindowPos(window, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    sizeWindow(window);
    InvalidateRect(window, nullptr, TRUE);
}

void onHistoryCommand(HWND window, int id, int notification)
{
    switch (id) {
    case kPreviousButton:
        pageWeek(g_history.weeksBack + 1);
        break;
    case kNextButton:
        pageWeek(g_history.weeksBack - 1);
        break;
    case kCopyButton:
        copySummary();
        break;
    case kSaveButton:
        saveMonthsReport();
        break;
    case kNoteEdit:
        if (notification == EN_KILLFOCUS)
            keepNote();
        break;
    case IDCANCEL:
        DestroyWindow(window);
        break;
    default:
        break;
    }
}

// The keyboard is always on a control, so that Tab and Enter work from the start.
void focusFirstButton(HWND window)
{
    const HWND previous = GetDlgItem(window, kPreviousButton);
    SetFocus(IsWindowEnabled(previous) ? previous : GetDlgItem(window, kCopyButton));
}

void onHistoryDestroyed(HWND window)
{
    keepNote();
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
        onHistoryCommand(window, LOWORD(wParam), HIWORD(wParam));
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

HWND createControl(HWND window, const wchar_t* className, const wchar_t* text, DWORD style, int id, DWORD exStyle = 0)
{
    return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_app.instance, nullptr);
}

void createControls(HWND window)
{
    for (const HistoryButton& button : kButtons)
        createControl(window, L"BUTTON", button.label, WS_TABSTOP | BS_PUSHBUTTON, button.id);
    createControl(window, L"STATIC", L"Note for the &report:", SS_LEFT | SS_CENTERIMAGE, kNoteLabel);
    const HWND edit = createControl(window, L"EDIT", g_app.reportNote, WS_TABSTOP | ES_AUTOHSCROLL, kNoteEdit,
                                    WS_EX_CLIENTEDGE);
    SendMessageW(edit, EM_LIMITTEXT, kReportNoteSize - 1, 0);
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
    createControls(window);
    createTooltip(window);
    layOutControls(window);
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
    showWeek(g_history.weeksBack);
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
        const bool control = GetKeyState(VK_CONTROL) < 0;
        if ((message.wParam == VK_PRIOR || message.wParam == VK_NEXT) && message.hwnd != noteEdit()) {
            pageWeek(g_history.weeksBack + (message.wParam == VK_PRIOR ? 1 : -1));
            return true;
        }
        if (message.wParam == 'C' && control && message.hwnd != noteEdit()) {
            copySummary();
            return true;
        }
        if (message.wParam == 'S' && control) {
            saveMonthsReport();
            return true;
        }
    }
    return IsDialogMessageW(window, &message) != 0;
}
