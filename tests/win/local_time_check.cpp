// Prints the time field of a log row for each moment given, as
// "UNIX_SECONDS[+UNITS]" (UNITS: 100-nanosecond units past the second).
// The time zone test compares them with what Linux says for the same zone.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "history/history_text.h"
#include "history/local_time.h"

int main(int argc, char** argv)
{
    const ULONGLONG unixEpoch = 116444736000000000ULL;  // 1970 in units since 1601
    for (int i = 1; i < argc; ++i) {
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
