// libFuzzer: any bytes as connection-quality.csv (other programs edit it):
// every line is read or skipped, what is read holds together, and the
// figures made of it stay within their bounds.
#include <cstdint>
#include <cstdlib>

#include "history/quality.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QualityRow rows[256];
    size_t skipped = 0;
    const size_t count = readQualityRows(reinterpret_cast<const char*>(data), size, rows, 256, skipped);
    for (size_t i = 0; i < count; ++i) {
        const QualityFigures& f = rows[i].figures;
        if (f.answered > f.requests || f.lostTenths > 1000 || (f.lostTenths < 0) != (f.requests == 0) ||
            (f.medianMs < 0) != (f.maxMs < 0))
            std::abort();
        isPoorRow(rows, count, i);
    }
    if (count > 0) {
        const DayQuality day = qualityBetween(rows, count, rows[0].hour, rows[count - 1].hour + 3600);
        if (day.lostTenths > 1000 || day.medianMs < -1)
            std::abort();
        char text[64];
        formatQualityText(text, sizeof text, day);
    }
    return 0;
}
