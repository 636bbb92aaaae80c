// How long the History window takes to open on a full log: 1 MiB of rows
// (about 20,000), one every half hour up to now, read, reckoned into days and
// drawn. Prints "rows=N bytes=N", then "full MS" for each opening, then
// "empty MS" for as many on a log of its header alone: the window's own cost.
// With "report": "report MS" for each report of the 30 days to today, from
// the log read to the page written to a file.
// Usage: history_open_bench [TIMES=20] [report]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/connection_log.h"
#include "history/history_report.h"
#include "history/history_text.h"
#include "history/local_time.h"
#include "history/quality.h"
#include "probe/probe_hosts.h"
#include "tray/history_window.h"
#include "tray/report_file.h"
#include "win_test_support.h"

namespace {

std::string fullLog(int64_t now, int& rows)
{
    std::string log = "time,state,seconds_in_previous_state,cause\r\n";
    const int64_t spacing = 1800;
    rows = 0;
    for (int64_t at = now - 23200 * spacing; log.size() < kMaxLogBytes - 100 && at < now; at += spacing, ++rows) {
        LocalTime time;
        SYSTEMTIME local;
        localTimeOf(utcOfUnixSeconds(at), time, local);
        char row[kLogRowSize];
        // Every other row Broken, its cause one of the first four in turn.
        const bool broken = rows % 2 == 1;
        const BreakCause cause = broken ? static_cast<BreakCause>(1 + rows / 2 % 4) : NoCause;
        formatLogRow(row, time, broken ? Broken : Connected, spacing, cause);
        log += row;
    }
    return log;
}

// The report as Save Report makes it, the dialog left out.
void writeMonthsReport(const std::string& folder)
{
    DWORD length = 0;
    char* text = readWholeLog(length);
    std::size_t lines = 1, skipped = 0;
    for (DWORD i = 0; i < length; ++i)
        lines += text[i] == '\n';
    LogRow* rows = new LogRow[lines];
    Period* periods = new Period[lines];
    const int64_t now = unixSecondsOf(utcNow());
    const std::size_t count =
        periodsOfRows(rows, readLogRows(text, length, rows, lines, skipped), now, periods, lines);
    DWORD qualityLength = 0;
    char* quality = readWholeQualityRecord(qualityLength);
    std::size_t hourRows = 1;
    for (DWORD i = 0; i < qualityLength; ++i)
        hourRows += quality[i] == '\n';
    QualityRow* hours = new QualityRow[hourRows];
    hourRows = readQualityRows(quality, qualityLength, hours, hourRows, skipped);
    static DayLayout days[30];
    const HistoryRecords records = {periods, count, hours, hourRows};
    layOutDays(kUserClock, calendarDaysAfter(today(), -29), 30, records, days);
    const HistoryFacts facts = {"bench", kProbeHosts, kProbeHostCount, 60, days, 30, records, now, &kUserClock};
    const std::wstring path(folder.begin(), folder.end());
    writeReportFile((path + L"\\report.html").c_str(), facts, L"a note");
    delete[] rows;
    delete[] periods;
    delete[] hours;
    HeapFree(GetProcessHeap(), 0, text);
    HeapFree(GetProcessHeap(), 0, quality);
}

// An hour's row for each hour of the last 60 days, a poor one every sixth.
std::string qualityRecord(int64_t now)
{
    std::string record = kQualityHeader;
    for (int64_t hour = now - now % 3600 - 60 * 86400; hour < now; hour += 3600) {
        char row[kQualityRowSize];
        const bool poor = hour / 3600 % 6 == 0;
        const QualityFigures figures = {240, poor ? 216u : 240u, poor ? 100 : 0, poor ? 150 : 40, 60, 80};
        formatQualityRow(row, kUserClock.localTimeOf(hour, nullptr), figures);
        record += row;
    }
    return record;
}

} // namespace

int main(int argc, char** argv)
{
    const int times = argc > 1 ? std::atoi(argv[1]) : 20;
    const std::string folder = makeScratchFolder();
    resetAppState(folder + "\\config.ini");
    int rows = 0;
    const std::string log = fullLog(unixSecondsOf(utcNow()), rows);
    writeWholeFile(folder + "\\connection-log.csv", log);
    writeWholeFile(folder + "\\connection-quality.csv", qualityRecord(unixSecondsOf(utcNow())));
    std::printf("rows=%d bytes=%u\n", rows, static_cast<unsigned>(log.size()));
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    if (argc > 2 && std::string(argv[2]) == "report") {
        for (int i = 0; i < times; ++i) {
            QueryPerformanceCounter(&start);
            writeMonthsReport(folder);
            QueryPerformanceCounter(&end);
            std::printf("report %.2f\n", 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
        }
        removeScratchFolder(folder);
        return 0;
    }
    for (const char* kind : {"full", "empty"}) {
        if (kind[0] == 'e')
            writeWholeFile(folder + "\\connection-log.csv", kLogHeader);
        for (int i = 0; i < times; ++i) {
            QueryPerformanceCounter(&start);
            openHistoryWindow();
            UpdateWindow(FindWindowW(L"LintoraHistory", nullptr));  // the first paint, strips and figures
            QueryPerformanceCounter(&end);
            std::printf("%s %.2f\n", kind,
                        1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
            closeHistoryWindow();
            pumpMessages();
        }
    }
    removeScratchFolder(folder);
    return 0;
}
