// Whether a file holds a wave that can be played: a RIFF/WAVE file with a
// sound format the system knows, sensible numbers in it, and samples after
// it. Portable: no <windows.h>; the file is read through a callback.
#pragma once

#include <cstdint>

struct WaveReader {
    // Reads exactly size bytes at offset into buffer; false when it cannot.
    bool (*read)(void* context, uint32_t offset, void* buffer, uint32_t size);
    void* context;
};

// True when:
// - the file starts as RIFF/WAVE and its format chunk comes before its data chunk;
// - the format tag is one the system decodes;
// - it has 1 to 8 channels and 1 Hz to 384 kHz;
// - for PCM and floating-point samples, the block alignment and the average
//   byte rate agree with the channels, sample size and rate;
// - the data chunk holds at least one block, and that block can be read.
bool isPlayableWave(const WaveReader& reader);

// For a wave held whole in memory, which the player reads as far as the sizes
// written in it say: true when it is playable as above, and then its RIFF
// size and the size of its samples are cut to the bytes there are (the
// samples to whole blocks), so that a file cut short plays as far as it goes
// and never past the end of the buffer.
bool fitPlayableWave(uint8_t* bytes, uint32_t size);
