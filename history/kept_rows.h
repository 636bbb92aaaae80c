// Rows of the log that could not be written yet (another program holds the
// file, the disk is full): kept in memory in order, each with its own time
// already in it, until the file can be written again. Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

#include "history/history_text.h"

enum : std::size_t { kMaxKeptRows = 1000 };

struct KeptRows {
    char rows[kMaxKeptRows][kLogRowSize];
    std::size_t oldest;  // index of the oldest row kept
    std::size_t count;
    uint32_t lost;       // rows dropped, oldest first, to make room for newer ones
};

// Keeps a row after the others; when full, the oldest one makes room and is counted lost.
void keepRow(KeptRows& kept, const char* row);
// The oldest row kept, or null when none is.
const char* oldestKeptRow(const KeptRows& kept);
// Forgets the oldest row once it is written.
void dropOldestKeptRow(KeptRows& kept);

// The line that says how many rows were lost, CR LF ended: written before the
// rows kept once the file can be written again.
void formatLostRowsLine(char (&line)[kLogRowSize], uint32_t lost);
