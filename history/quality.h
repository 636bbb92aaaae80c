// How good the connection was, not only whether it was up: the round trips
// and the losses that the probes measure anyway, kept an hour at a time in
// "connection-quality.csv" beside the log, and the hours that were poor.
// Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/probe_measure.h"
#include "history/history_text.h"

// The median of a few round trips (the mean of the middle two for an even
// count); -1 where there is none.
int medianRoundTrip(const uint16_t* roundTrips, int count);

// An hour's probes as they come: every round trip in a millisecond's bin
// (5 s is the longest a reply is waited for), the requests and replies.
enum : int { kRoundTripBins = 5001 };
struct QualityHour {
    int64_t start;                       // the hour's first second (UTC), 0 before any probe
    uint32_t requests, answered;         // echo requests and the replies that matched
    uint32_t samples;                    // round trips kept
    bool echo;                           // some came from echo (else handshakes alone)
    uint16_t bins[kRoundTripBins];       // round trips, by milliseconds
    uint16_t longest;
};

void startQualityHour(QualityHour& hour, int64_t start);
void addProbeMeasure(QualityHour& hour, const ProbeMeasure& measure);

// What a row of the record says of an hour.
struct QualityFigures {
    uint32_t requests, answered;
    int lostTenths;  // of a percent, rounded to the nearest; -1 where nothing was asked by echo
    int medianMs, p95Ms, maxMs;  // -1 where nothing was timed
};
QualityFigures qualityOf(const QualityHour& hour);

// The record's first line, CR LF included.
extern const char kQualityHeader[];
enum : std::size_t { kQualityRowSize = 96 };
// "2026-12-07T16:00:00+01:00,240,218,9.2,148,201,320" and CR LF; the loss
// empty for an hour of handshakes alone, the times empty where none was
// timed.
void formatQualityRow(char (&row)[kQualityRowSize], const LocalTime& hour, const QualityFigures& figures);

struct QualityRow {
    int64_t hour;  // UTC seconds, by the row's own offset
    QualityFigures figures;
};

// One line without its line end: false for the header and any line Lintora
// did not write.
bool parseQualityRow(const char* line, std::size_t length, QualityRow& row);
// Every row of a record's text (LF or CR LF), in file order, at most `room`;
// other lines skipped and counted.
std::size_t readQualityRows(const char* text, std::size_t length, QualityRow* rows, std::size_t room,
                            std::size_t& skipped);

// A poor hour: loss of at least 2 % with at least 2 of at least 20 requests
// lost (one lost reply never makes one); or a median round trip of at least
// 300 ms; or one of at least 100 ms that is at least twice the median of
// the 7 days before (baselineMs; -1 where none is known), so that a line
// always slow (a satellite's) is not poor all day, and a jump from 40 to
// 150 ms is.
enum : int { kPoorLostTenths = 20, kPoorMinRequests = 20, kPoorMinLost = 2, kPoorMedianMs = 300,
             kJumpMedianMs = 100 };
bool isPoorHour(const QualityFigures& figures, int baselineMs);

// Whether the row's hour was poor, against the 7 days before it among the rows.
bool isPoorRow(const QualityRow* rows, std::size_t count, std::size_t i);

// The median of the hourly medians of the rows in [from, to), each as often
// as it had replies: the 7 days' baseline, or a day's round trip. -1 where
// none was timed.
int medianOfHours(const QualityRow* rows, std::size_t count, int64_t from, int64_t to);

// The hour's row in force at a moment, or null.
const QualityRow* qualityAt(const QualityRow* rows, std::size_t count, int64_t moment);

// A day's (or a period's) quality: the requests and replies of its hours,
// its loss (-1 where no echo was asked) and its median round trip.
struct DayQuality {
    uint32_t requests, answered;
    int lostTenths;
    int medianMs;
};
DayQuality qualityBetween(const QualityRow* rows, std::size_t count, int64_t from, int64_t to);

// "23 ms" and "0.4 %", or "-" where unknown.
void formatRoundTrip(char* text, std::size_t size, int medianMs);
void formatLoss(char* text, std::size_t size, int lostTenths);

// "round trip 23 ms  lost 0.4 %" ("-" for either that is unknown).
void formatQualityText(char* text, std::size_t size, const DayQuality& quality);
