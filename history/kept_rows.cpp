#include "history/kept_rows.h"

#include "core/text.h"

void keepRow(KeptRows& kept, const char* row)
{
    if (kept.count == kMaxKeptRows) {
        dropOldestKeptRow(kept);
        ++kept.lost;
    }
    copyText(kept.rows[(kept.oldest + kept.count) % kMaxKeptRows], row);
    ++kept.count;
}

const char* oldestKeptRow(const KeptRows& kept)
{
    return kept.count > 0 ? kept.rows[kept.oldest] : nullptr;
}

void dropOldestKeptRow(KeptRows& kept)
{
    if (kept.count == 0)
        return;
    kept.oldest = (kept.oldest + 1) % kMaxKeptRows;
    --kept.count;
}

void formatLostRowsLine(char (&line)[kLogRowSize], uint32_t lost)
{
    copyText(line, "# ");
    appendDecimal(line, static_cast<long>(lost));
    appendText(line, lost == 1 ? " row" : " rows");
    appendText(line, " lost here: the log could not be written for too long\r\n");
}
