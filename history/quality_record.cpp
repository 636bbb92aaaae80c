#include "history/quality_record.h"

#include "history/connection_log.h"
#include "history/local_time.h"
#include "history/quality.h"

namespace {

// 10 KiB of round trips by the millisecond.
QualityHour g_hour;
int g_lastRoundTripMs = -1;

// The local hour a moment lies in, as it happened (a clock gone back shows
// the same hour twice: two hours of their own).
int64_t hourStartOf(int64_t moment)
{
    const LocalTime local = kUserClock.localTimeOf(moment, nullptr);
    return moment - local.minute * 60 - local.second;
}

} // namespace

void writeQualityHour()
{
    if (g_hour.start == 0)
        return;
    const QualityFigures figures = qualityOf(g_hour);
    if (figures.requests > 0 || figures.medianMs >= 0) {
        char row[kQualityRowSize];
        formatQualityRow(row, kUserClock.localTimeOf(g_hour.start, nullptr), figures);
        logQualityRow(row);
    }
    g_hour.start = 0;
}

void noteProbeMeasure(HWND window, const ProbeMeasure& measure)
{
    const int64_t now = unixSecondsOf(utcNow());
    const int64_t start = hourStartOf(now);
    if (g_hour.start != start) {
        writeQualityHour();
        startQualityHour(g_hour, start);
    }
    addProbeMeasure(g_hour, measure);
    g_lastRoundTripMs = medianRoundTrip(measure.roundTripMs, measure.roundTrips);
    const int64_t left = start + 3600 - now;
    SetTimer(window, kQualityHourTimer, static_cast<UINT>(left > 0 ? left * 1000 : 1000), nullptr);
}

int lastRoundTripMs()
{
    return g_lastRoundTripMs;
}
