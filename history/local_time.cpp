#include "history/local_time.h"

namespace {

enum : ULONGLONG { kUnitsPerSecond = 10000000 };

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

ULONGLONG monotonicMs()
{
    typedef ULONGLONG(WINAPI * TickCount64Function)();
    static const TickCount64Function tickCount64 = reinterpret_cast<TickCount64Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
    return tickCount64 != nullptr ? tickCount64() : GetTickCount();
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
