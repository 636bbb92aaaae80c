#include "history/local_time.h"

#include "core/system_library.h"

namespace {

enum : ULONGLONG { kUnitsPerSecond = 10000000, kUnixEpoch = 116444736000000000ULL };

LONGLONG asUnits(const FILETIME& time)
{
    return static_cast<LONGLONG>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime);
}

} // namespace

ULONGLONG utcNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<ULONGLONG>(asUnits(now));
}

namespace {

typedef ULONGLONG(WINAPI* TickCount64Function)();

TickCount64Function tickCount64()
{
    static TickCount64Function function;
    static bool looked = false;
    if (!looked)
        findSystemFunction(function, L"kernel32.dll", "GetTickCount64");
    looked = true;
    return function;
}

} // namespace

ULONGLONG monotonicMs()
{
    return tickCount64() != nullptr ? tickCount64()() : GetTickCount();
}

ULONGLONG monotonicMsSince(ULONGLONG earlier)
{
    return millisecondsBetween(earlier, monotonicMs(), tickCount64() == nullptr);
}

long long wholeSecondsBetween(ULONGLONG earlier, ULONGLONG later)
{
    return later > earlier ? static_cast<long long>((later - earlier) / kUnitsPerSecond) : 0;
}

void localTimeOf(ULONGLONG utc, LocalTime& time, SYSTEMTIME& local)
{
    FILETIME utcFile = {static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
    SYSTEMTIME universal;
    FileTimeToSystemTime(&utcFile, &universal);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        local = universal;
    // Both sides from the same millisecond-exact record, so that a moment's
    // sub-millisecond part cannot shift the difference.
    FILETIME localFile, universalFile;
    SystemTimeToFileTime(&local, &localFile);
    SystemTimeToFileTime(&universal, &universalFile);
    time.year = local.wYear;
    time.month = local.wMonth;
    time.day = local.wDay;
    time.hour = local.wHour;
    time.minute = local.wMinute;
    time.second = local.wSecond;
    time.utcOffsetMinutes = utcOffsetMinutes(asUnits(localFile) - asUnits(universalFile));
}

int64_t unixSecondsOf(ULONGLONG utc)
{
    return static_cast<int64_t>(utc / kUnitsPerSecond) - static_cast<int64_t>(kUnixEpoch / kUnitsPerSecond);
}

ULONGLONG utcOfUnixSeconds(int64_t seconds)
{
    return kUnixEpoch + static_cast<ULONGLONG>(seconds) * kUnitsPerSecond;
}

SYSTEMTIME localTimeOfSeconds(int64_t seconds)
{
    LocalTime time;
    SYSTEMTIME local;
    localTimeOf(utcOfUnixSeconds(seconds), time, local);
    return local;
}

namespace {

// A local time of the user's zone, as Unix seconds.
int64_t secondsOfLocalTime(const SYSTEMTIME& local)
{
    SYSTEMTIME universal;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal))
        universal = local;
    FILETIME file;
    SystemTimeToFileTime(&universal, &file);
    return unixSecondsOf(static_cast<ULONGLONG>(asUnits(file)));
}

} // namespace

int64_t localMidnight(const SYSTEMTIME& date)
{
    SYSTEMTIME midnight = {};
    midnight.wYear = date.wYear;
    midnight.wMonth = date.wMonth;
    midnight.wDay = date.wDay;
    return secondsOfLocalTime(midnight);
}

SYSTEMTIME daysAfter(const SYSTEMTIME& date, int days)
{
    // Calendar arithmetic only: the date taken as a UTC noon knows no daylight saving.
    SYSTEMTIME noon = {};
    noon.wYear = date.wYear;
    noon.wMonth = date.wMonth;
    noon.wDay = date.wDay;
    noon.wHour = 12;
    FILETIME file;
    SystemTimeToFileTime(&noon, &file);
    const ULONGLONG moved = static_cast<ULONGLONG>(asUnits(file) + static_cast<LONGLONG>(days) * 86400 *
                                                                       static_cast<LONGLONG>(kUnitsPerSecond));
    file.dwLowDateTime = static_cast<DWORD>(moved);
    file.dwHighDateTime = static_cast<DWORD>(moved >> 32);
    SYSTEMTIME result;
    FileTimeToSystemTime(&file, &result);
    result.wHour = 0;
    return result;
}

SYSTEMTIME systemTimeOf(const CalendarDay& day)
{
    SYSTEMTIME date = {};
    date.wYear = static_cast<WORD>(day.year);
    date.wMonth = static_cast<WORD>(day.month);
    date.wDay = static_cast<WORD>(day.day);
    return date;
}

CalendarDay today()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay};
}

namespace {

int64_t userHourBegins(const CalendarDay& day, int hour, void*)
{
    if (hour >= 24)
        return userHourBegins(calendarDaysAfter(day, hour / 24), hour % 24, nullptr);
    SYSTEMTIME local = systemTimeOf(day);
    local.wHour = static_cast<WORD>(hour);
    return secondsOfLocalTime(local);
}

LocalTime userLocalTimeOf(int64_t moment, void*)
{
    LocalTime time;
    SYSTEMTIME local;
    localTimeOf(utcOfUnixSeconds(moment), time, local);
    return time;
}

} // namespace

const LocalClock kUserClock = {userHourBegins, userLocalTimeOf, nullptr};
