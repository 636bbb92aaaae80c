// How long the History window takes to open on a full log: 1 MiB of rows
// (about 20,000), one every half hour up to now, read, reckoned into days and
// drawn. Prints "rows=N bytes=N", then "full MS" for each opening, then
// "empty MS" for as many on a log of its header alone: the window's own cost.
// Usage: history_open_bench [TIMES=20]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/history_text.h"
#include "history/local_time.h"
#include "tray/history_window.h"
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

} // namespace

int main(int argc, char** argv)
{
    const int times = argc > 1 ? std::atoi(argv[1]) : 20;
    const std::string folder = makeScratchFolder();
    resetAppState(folder + "\\config.ini");
    int rows = 0;
    const std::string log = fullLog(unixSecondsOf(utcNow()), rows);
    writeWholeFile(folder + "\\connection-log.csv", log);
    std::printf("rows=%d bytes=%u\n", rows, static_cast<unsigned>(log.size()));
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
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
