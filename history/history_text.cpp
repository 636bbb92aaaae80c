#include "history/history_text.h"

#include <cstring>
#include <cwchar>

#include "core/text.h"

const char kLogHeader[] = "time,state,seconds_in_previous_state,cause\r\n";
const char kThreeColumnLogHeader[] = "time,state,seconds_in_previous_state\r\n";

namespace {

// The separator, then two digits.
void appendField(char* text, std::size_t size, const char* before, int value)
{
    appendText(text, size, before);
    appendTwoDigits(text, size, value);
}

} // namespace

void appendLogMoment(char* text, std::size_t size, const LocalTime& time)
{
    appendDecimal(text, size, time.year);
    appendField(text, size, "-", time.month);
    appendField(text, size, "-", time.day);
    appendField(text, size, "T", time.hour);
    appendField(text, size, ":", time.minute);
    appendField(text, size, ":", time.second);
    // "+01:00", "-05:30", "+00:00".
    const int offset = time.utcOffsetMinutes < 0 ? -time.utcOffsetMinutes : time.utcOffsetMinutes;
    appendField(text, size, time.utcOffsetMinutes < 0 ? "-" : "+", offset / 60);
    appendField(text, size, ":", offset % 60);
}

namespace {

void formatRow(char (&row)[kLogRowSize], const LocalTime& time, const char* state, long long secondsInPrevious,
               const char* cause)
{
    row[0] = '\0';
    appendLogMoment(row, sizeof row, time);
    appendText(row, ",");
    appendText(row, state);
    appendText(row, ",");
    if (secondsInPrevious != kNoPreviousState)
        appendDecimal(row, static_cast<long>(secondsInPrevious));
    appendText(row, ",");
    appendText(row, cause);
    appendText(row, "\r\n");
}

} // namespace

const char* notWatchingReasonName(NotWatching reason)
{
    static const char* const names[kNotWatchingReasons] = {"exit", "shutdown", "sleep", "unknown"};
    const int index = static_cast<int>(reason);
    return names[index >= 0 && index < kNotWatchingReasons ? index : kNotWatchingReasons - 1];
}

void formatLogRow(char (&row)[kLogRowSize], const LocalTime& time, LinkState state, long long secondsInPrevious,
                  BreakCause cause)
{
    formatRow(row, time, state == Connected ? "Connected" : "Broken", secondsInPrevious, breakCauseName(cause));
}

void formatNotWatchingRow(char (&row)[kLogRowSize], const LocalTime& time, long long secondsInPrevious,
                          NotWatching reason)
{
    formatRow(row, time, "Not watching", secondsInPrevious, notWatchingReasonName(reason));
}

void formatLastKnown(char (&text)[kLastKnownSize], uint64_t utc, long long secondsInState)
{
    text[0] = '\0';
    char digits[24];
    std::size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + utc % 10);
        utc /= 10;
    } while (utc != 0);
    while (n > 0) {
        const char digit[2] = {digits[--n], '\0'};
        appendText(text, digit);
    }
    appendText(text, " ");
    if (secondsInState != kNoPreviousState)
        appendDecimal(text, static_cast<long>(secondsInState));
    appendText(text, "\r\n");
}

bool parseLastKnown(const char* text, std::size_t size, uint64_t& utc, long long& secondsInState)
{
    std::size_t at = 0;
    utc = 0;
    for (; at < size && text[at] >= '0' && text[at] <= '9'; ++at) {
        const uint64_t digit = static_cast<uint64_t>(text[at] - '0');
        if (utc > (UINT64_MAX - digit) / 10)
            return false;
        utc = utc * 10 + digit;
    }
    if (at == 0 || at >= size || text[at] != ' ')
        return false;
    ++at;
    const std::size_t digitsFrom = at;
    long long seconds = 0;
    for (; at < size && text[at] >= '0' && text[at] <= '9'; ++at) {
        seconds = seconds * 10 + (text[at] - '0');
        if (seconds > 2147483647LL)
            return false;
    }
    if (at + 2 != size || text[at] != '\r' || text[at + 1] != '\n')
        return false;
    secondsInState = at == digitsFrom ? static_cast<long long>(kNoPreviousState) : seconds;
    return true;
}

bool startsWithThreeColumnHeader(const char* start, std::size_t size)
{
    const std::size_t headerSize = std::strlen(kThreeColumnLogHeader);
    return size >= headerSize && std::memcmp(start, kThreeColumnLogHeader, headerSize) == 0;
}

void dropCauseColumn(char (&row)[kLogRowSize])
{
    char* comma = std::strrchr(row, ',');
    if (comma != nullptr && std::strchr(row, ',') != comma)
        copyText(comma, kLogRowSize - static_cast<std::size_t>(comma - row), "\r\n");
}

uint64_t millisecondsBetween(uint64_t earlier, uint64_t later, bool count32)
{
    return count32 ? static_cast<uint32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier))
                   : later - earlier;
}

int utcOffsetMinutes(long long localMinusUtcUnits)
{
    const long long unitsPerMinute = 60LL * 10000000;
    const long long half = unitsPerMinute / 2;
    const long long units = localMinusUtcUnits < 0 ? localMinusUtcUnits - half : localMinusUtcUnits + half;
    return static_cast<int>(units / unitsPerMinute);
}

bool logNeedsRotation(uint64_t fileBytes, uint64_t appendBytes)
{
    return fileBytes > 0 && fileBytes + appendBytes > kMaxLogBytes;
}

void formatSince(wchar_t (&text)[kTipSize], bool today, const wchar_t* date, const wchar_t* clock)
{
    copyText(text, L"since ");
    if (!today) {
        appendText(text, date);
        appendText(text, L" ");
    }
    appendText(text, clock);
}

void formatTip(wchar_t (&tip)[kTipSize], const char* stateText, const char* cause, const wchar_t* since,
               const wchar_t* roundTrip)
{
    widenAsciiText(tip, stateText);
    bool sinceWhole = false;
    if (cause[0] != '\0') {
        wchar_t causeText[kTipSize];
        widenAsciiText(causeText, cause);
        appendText(tip, L"\n");
        appendText(tip, causeText);
        // The time only whole, after the cause.
        if (since[0] != L'\0' && std::wcslen(tip) + 2 + std::wcslen(since) < kTipSize) {
            appendText(tip, L", ");
            sinceWhole = appendText(tip, since);
        }
    } else if (since[0] != L'\0' && std::wcslen(tip) + 2 < kTipSize) {
        // A second line only where at least its first character fits.
        appendText(tip, L"\n");
        sinceWhole = appendText(tip, since);
    }
    // The round trip only whole, after a time shown whole.
    if (sinceWhole && roundTrip[0] != L'\0' && std::wcslen(tip) + 3 + std::wcslen(roundTrip) < kTipSize) {
        appendText(tip, L" \x00b7 ");
        appendText(tip, roundTrip);
    }
}
