// Prints the time field of a log row for each moment given, as
// "UNIX_SECONDS[+UNITS]" (UNITS: 100-nanosecond units past the second).
// The time zone test compares them with what Linux says for the same zone.
// For "YYYY-MM-DD", prints the Unix seconds at which that local day begins.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "history/history_text.h"
#include "history/local_time.h"

int main(int argc, char** argv)
{
    const ULONGLONG unixEpoch = 116444736000000000ULL;  // 1970 in units since 1601
    for (int i = 1; i < argc; ++i) {
        if (std::strlen(argv[i]) == 10 && argv[i][4] == '-') {
            SYSTEMTIME date = {};
            date.wYear = static_cast<WORD>(std::atoi(argv[i]));
            date.wMonth = static_cast<WORD>(std::atoi(argv[i] + 5));
            date.wDay = static_cast<WORD>(std::atoi(argv[i] + 8));
            std::printf("%lld\n", static_cast<long long>(localMidnight(daysAfter(date, 0))));
            continue;
        }
        char* rest = nullptr;
        const ULONGLONG seconds = std::strtoull(argv[i], &rest, 10);
        const ULONGLONG units = *rest == '+' ? std::strtoull(rest + 1, nullptr, 10) : 0;
        LocalTime time;
        SYSTEMTIME local;
        localTimeOf(unixEpoch + seconds * 10000000 + units, time, local);
        char row[kLogRowSize];
        formatLogRow(row, time, Broken, kNoPreviousState, NoCause);
        *std::strchr(row, ',') = '\0';
        std::printf("%s\n", row);
    }
    return 0;
}
