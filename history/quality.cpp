#include "history/quality.h"

#include <cstring>

#include "core/text.h"
#include "history/history_days.h"

const char kQualityHeader[] = "hour,requests,answered,lost_percent,median_ms,p95_ms,max_ms\r\n";

int medianRoundTrip(const uint16_t* roundTrips, int count)
{
    if (count <= 0)
        return -1;
    uint16_t sorted[kRoundTripsPerProbe];
    const int n = count < kRoundTripsPerProbe ? count : kRoundTripsPerProbe;
    for (int i = 0; i < n; ++i) {
        int at = i;
        for (; at > 0 && sorted[at - 1] > roundTrips[i]; --at)
            sorted[at] = sorted[at - 1];
        sorted[at] = roundTrips[i];
    }
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

void startQualityHour(QualityHour& hour, int64_t start)
{
    std::memset(&hour, 0, sizeof hour);
    hour.start = start;
}

void addProbeMeasure(QualityHour& hour, const ProbeMeasure& measure)
{
    if (!measure.handshakeOnly) {
        hour.requests += measure.requests;
        hour.answered += measure.answered;
        hour.echo = hour.echo || measure.requests > 0;
    }
    for (int i = 0; i < measure.roundTrips && i < kRoundTripsPerProbe; ++i) {
        const uint16_t ms = measure.roundTripMs[i] < kRoundTripBins ? measure.roundTripMs[i]
                                                                     : static_cast<uint16_t>(kRoundTripBins - 1);
        if (hour.bins[ms] < 0xFFFF) {
            ++hour.bins[ms];
            ++hour.samples;
        }
        if (ms > hour.longest)
            hour.longest = ms;
    }
}

namespace {

// The round trip of the sample at that rank (1 for the shortest).
int atRank(const QualityHour& hour, uint32_t rank)
{
    uint32_t seen = 0;
    for (int ms = 0; ms < kRoundTripBins; ++ms) {
        seen += hour.bins[ms];
        if (seen >= rank)
            return ms;
    }
    return hour.longest;
}

int lostTenthsOf(uint32_t requests, uint32_t answered)
{
    if (requests == 0)
        return -1;
    const uint32_t lost = answered < requests ? requests - answered : 0;
    return static_cast<int>((lost * 2000 + requests) / (2 * requests));  // tenths of a percent, rounded
}

} // namespace

QualityFigures qualityOf(const QualityHour& hour)
{
    QualityFigures figures = {hour.requests, hour.answered, hour.echo ? lostTenthsOf(hour.requests, hour.answered) : -1,
                              -1, -1, -1};
    const uint32_t n = hour.samples;
    if (n == 0)
        return figures;
    figures.medianMs = n % 2 == 1 ? atRank(hour, n / 2 + 1) : (atRank(hour, n / 2) + atRank(hour, n / 2 + 1)) / 2;
    figures.p95Ms = atRank(hour, (n * 95 + 99) / 100);  // the nearest rank
    figures.maxMs = hour.longest;
    return figures;
}

namespace {

void appendOptional(char (&row)[kQualityRowSize], int value)
{
    appendText(row, ",");
    if (value >= 0)
        appendDecimal(row, value);
}

void appendTenths(char* text, std::size_t size, int tenths)
{
    appendDecimal(text, size, tenths / 10);
    appendText(text, size, ".");
    appendDecimal(text, size, tenths % 10);
}

} // namespace

void formatQualityRow(char (&row)[kQualityRowSize], const LocalTime& hour, const QualityFigures& figures)
{
    LocalTime start = hour;
    start.minute = start.second = 0;
    copyText(row, "");
    appendLogMoment(row, sizeof row, start);
    appendOptional(row, static_cast<int>(figures.requests));
    appendOptional(row, static_cast<int>(figures.answered));
    appendText(row, ",");
    if (figures.lostTenths >= 0)
        appendTenths(row, sizeof row, figures.lostTenths);
    appendOptional(row, figures.medianMs);
    appendOptional(row, figures.p95Ms);
    appendOptional(row, figures.maxMs);
    appendText(row, "\r\n");
}

namespace {

// A whole number up to the next comma (or the end); empty where `optional`
// allows it (then -1). At most 7 digits.
bool readField(const char*& at, const char* end, bool optional, int& value, bool tenths = false)
{
    value = 0;
    int digits = 0, decimals = -1;
    for (; at < end && *at != ','; ++at) {
        if (tenths && *at == '.' && decimals < 0 && digits > 0) {
            decimals = 0;
            continue;
        }
        if (*at < '0' || *at > '9' || digits >= 7 || decimals >= 1)
            return false;
        value = value * 10 + (*at - '0');
        decimals >= 0 ? ++decimals : ++digits;
    }
    if (at < end)
        ++at;  // the comma
    if (digits == 0)
        value = -1;
    if (tenths && digits > 0 && decimals != 1)
        return false;  // always one decimal
    return digits > 0 || optional;
}

} // namespace

bool parseQualityRow(const char* line, std::size_t length, QualityRow& row)
{
    // The hour as the log writes its moments, minutes and seconds 0.
    if (length < 27 || length > 80 || line[25] != ',' || std::memcmp(line + 13, ":00:00", 6) != 0 ||
        !parseLogMoment(line, 25, row.hour))
        return false;
    const char* at = line + 26;
    const char* end = line + length;
    int requests, answered;
    QualityFigures& f = row.figures;
    if (!readField(at, end, false, requests) || !readField(at, end, false, answered) ||
        !readField(at, end, true, f.lostTenths, true) || !readField(at, end, true, f.medianMs) ||
        !readField(at, end, true, f.p95Ms) || !readField(at, end, true, f.maxMs) || at != end)
        return false;
    f.requests = static_cast<uint32_t>(requests);
    f.answered = static_cast<uint32_t>(answered);
    // Replies are timed; an hour of handshakes alone has no requests, no loss, and times.
    return answered <= requests && (f.lostTenths < 0) == (requests == 0) && f.lostTenths <= 1000 &&
           (f.medianMs < 0) == (f.p95Ms < 0) && (f.medianMs < 0) == (f.maxMs < 0) &&
           (answered == 0 || f.medianMs >= 0) && (requests > 0 || f.medianMs >= 0);
}

namespace {

bool isQualityHeader(const char* line, std::size_t length)
{
    return length + 2 == std::strlen(kQualityHeader) && std::memcmp(line, kQualityHeader, length) == 0;
}

} // namespace

std::size_t readQualityRows(const char* text, std::size_t length, QualityRow* rows, std::size_t room,
                            std::size_t& skipped)
{
    return readRecordRows(text, length, isQualityHeader, parseQualityRow, rows, room, skipped);
}

bool isPoorHour(const QualityFigures& figures, int baselineMs)
{
    const uint32_t lost = figures.answered < figures.requests ? figures.requests - figures.answered : 0;
    // 2 % exactly: lost * 1000 against 20 tenths of the requests, in whole numbers.
    if (figures.lostTenths >= 0 && figures.requests >= kPoorMinRequests && lost >= kPoorMinLost &&
        lost * 1000 >= static_cast<uint32_t>(kPoorLostTenths) * figures.requests)
        return true;
    if (figures.medianMs >= kPoorMedianMs)
        return true;
    return figures.medianMs >= kJumpMedianMs && baselineMs > 0 && figures.medianMs >= 2 * baselineMs;
}

int medianOfHours(const QualityRow* rows, std::size_t count, int64_t from, int64_t to)
{
    // Each hour's median as often as it had replies (an hour of handshakes
    // once), sorted: a month's hours at most, more are left out.
    struct Weighted {
        int medianMs;
        uint32_t weight;
    };
    enum : std::size_t { kMostHours = 24 * 62 };
    static Weighted hours[kMostHours];  // the caller's thread's alone (the user interface's)
    std::size_t n = 0;
    uint32_t total = 0;
    for (std::size_t i = 0; i < count && n < kMostHours; ++i) {
        const QualityRow& row = rows[i];
        if (row.hour < from || row.hour >= to || row.figures.medianMs < 0)
            continue;
        const Weighted hour = {row.figures.medianMs, row.figures.answered > 0 ? row.figures.answered : 1};
        std::size_t at = n++;
        for (; at > 0 && hours[at - 1].medianMs > hour.medianMs; --at)
            hours[at] = hours[at - 1];
        hours[at] = hour;
        total += hour.weight;
    }
    // The smallest median at which half the weight is reached.
    uint32_t seen = 0;
    for (std::size_t i = 0; i < n; ++i) {
        seen += hours[i].weight;
        if (2 * seen >= total)
            return hours[i].medianMs;
    }
    return -1;
}

bool isPoorRow(const QualityRow* rows, std::size_t count, std::size_t i)
{
    const int64_t hour = rows[i].hour;
    return isPoorHour(rows[i].figures, medianOfHours(rows, count, hour - 7 * 86400, hour));
}

const QualityRow* qualityAt(const QualityRow* rows, std::size_t count, int64_t moment)
{
    for (std::size_t i = count; i-- > 0;)
        if (rows[i].hour <= moment && moment < rows[i].hour + 3600)
            return &rows[i];
    return nullptr;
}

DayQuality qualityBetween(const QualityRow* rows, std::size_t count, int64_t from, int64_t to)
{
    DayQuality quality = {0, 0, -1, medianOfHours(rows, count, from, to)};
    bool echo = false;
    for (std::size_t i = 0; i < count; ++i)
        if (rows[i].hour >= from && rows[i].hour < to && rows[i].figures.lostTenths >= 0) {
            quality.requests += rows[i].figures.requests;
            quality.answered += rows[i].figures.answered;
            echo = true;
        }
    if (echo)
        quality.lostTenths = lostTenthsOf(quality.requests, quality.answered);
    return quality;
}

void formatRoundTrip(char* text, std::size_t size, int medianMs)
{
    copyText(text, size, medianMs >= 0 ? "" : "-");
    if (medianMs < 0)
        return;
    appendDecimal(text, size, medianMs);
    appendText(text, size, " ms");
}

void formatLoss(char* text, std::size_t size, int lostTenths)
{
    copyText(text, size, lostTenths >= 0 ? "" : "-");
    if (lostTenths < 0)
        return;
    appendTenths(text, size, lostTenths);
    appendText(text, size, " %");
}

void formatQualityText(char* text, std::size_t size, const DayQuality& quality)
{
    char part[24];
    copyText(text, size, "round trip ");
    formatRoundTrip(part, sizeof part, quality.medianMs);
    appendText(text, size, part);
    appendText(text, size, "  lost ");
    formatLoss(part, sizeof part, quality.lostTenths);
    appendText(text, size, part);
}
