// libFuzzer: any bytes as a log file (other programs edit it): every line is
// read or skipped, and the figures of what is read stay within their bounds.
#include <cstdint>
#include <cstdlib>

#include "history/history_days.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static LogRow rows[256];
    static Period periods[256];
    size_t skipped = 0;
    const size_t count = readLogRows(reinterpret_cast<const char*>(data), size, rows, 256, skipped);
    const int64_t now = count > 0 ? rows[count - 1].utc + 86400 : 0;
    const size_t made = periodsOfRows(rows, count, now, periods, 256);
    for (size_t i = 0; i < made; ++i)
        if (periods[i].to < periods[i].from || (i > 0 && periods[i].from != periods[i - 1].to))
            std::abort();
    if (made > 0) {
        const Period* middle = periodAt(periods, made, periods[made / 2].from);
        if (middle != nullptr && (middle->from > periods[made / 2].from || middle->to <= periods[made / 2].from))
            std::abort();
        const DayFigures figures = figuresBetween(periods, made, periods[0].from, now);
        if (figures.down < 0 || figures.down > figures.watched || figures.outages < 0 || figures.longest < 0)
            std::abort();
        const int tenths = uptimeTenths(figures);
        if (tenths < -1 || tenths > 1000)
            std::abort();
        char line[160];
        formatSummaryLine(line, sizeof line, "2026-12-07", figures);
    }
    return 0;
}
