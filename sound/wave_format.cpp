#include "sound/wave_format.h"

#include <cstring>

namespace {

enum : uint16_t {
    kTagPcm = 1, kTagMsAdpcm = 2, kTagFloat = 3, kTagAlaw = 6, kTagMulaw = 7, kTagImaAdpcm = 0x11,
    kTagGsm610 = 0x31, kTagMpeg = 0x50, kTagMp3 = 0x55, kTagExtensible = 0xFFFE,
};
enum : uint32_t { kMaxChannels = 8, kMaxSampleRate = 384000, kMaxChunks = 64 };
enum : uint32_t { kFormatSize = 16, kExtensibleFormatSize = 40, kRiffHeaderSize = 12, kChunkHeaderSize = 8 };

struct WaveFormat {
    uint16_t tag;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t averageBytesPerSecond;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
};

uint16_t read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t read32(const uint8_t* p) { return read16(p) | static_cast<uint32_t>(read16(p + 2)) << 16; }

bool readAt(const WaveReader& reader, uint64_t offset, void* buffer, uint32_t size)
{
    return offset + size <= UINT32_MAX && reader.read(reader.context, static_cast<uint32_t>(offset), buffer, size);
}

bool readFormat(const WaveReader& reader, uint64_t offset, uint32_t chunkSize, WaveFormat& format)
{
    if (chunkSize < kFormatSize)
        return false;
    uint8_t bytes[kExtensibleFormatSize];
    const uint32_t size = chunkSize < sizeof bytes ? chunkSize : static_cast<uint32_t>(sizeof bytes);
    if (!readAt(reader, offset, bytes, size))
        return false;
    format.tag = read16(bytes);
    format.channels = read16(bytes + 2);
    format.sampleRate = read32(bytes + 4);
    format.averageBytesPerSecond = read32(bytes + 8);
    format.blockAlign = read16(bytes + 12);
    format.bitsPerSample = read16(bytes + 14);
    // An extensible format names its real one in the first two bytes of its sub-format.
    if (format.tag == kTagExtensible)
        format.tag = size >= kExtensibleFormatSize ? read16(bytes + 24) : 0;
    return true;
}

bool isKnownTag(uint16_t tag)
{
    switch (tag) {
    case kTagPcm: case kTagMsAdpcm: case kTagFloat: case kTagAlaw: case kTagMulaw:
    case kTagImaAdpcm: case kTagGsm610: case kTagMpeg: case kTagMp3:
        return true;
    default:
        return false;
    }
}

bool hasSampleSizeOf(const WaveFormat& format)
{
    const uint16_t bits = format.bitsPerSample;
    if (format.tag == kTagFloat)
        return bits == 32 || bits == 64;
    return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Uncompressed samples fix the block and the byte rate; coded ones only need them non-zero.
bool numbersAgree(const WaveFormat& format)
{
    if (format.blockAlign == 0 || format.averageBytesPerSecond == 0)
        return false;
    if (format.tag != kTagPcm && format.tag != kTagFloat)
        return true;
    if (!hasSampleSizeOf(format))
        return false;
    const uint32_t block = static_cast<uint32_t>(format.channels) * (format.bitsPerSample / 8u);
    return format.blockAlign == block &&
           static_cast<uint64_t>(format.averageBytesPerSecond) == static_cast<uint64_t>(format.sampleRate) * block;
}

bool isPlayableFormat(const WaveFormat& format)
{
    return isKnownTag(format.tag) && format.channels >= 1 && format.channels <= kMaxChannels &&
           format.sampleRate >= 1 && format.sampleRate <= kMaxSampleRate && numbersAgree(format);
}

// At least one whole block of samples, readable.
bool holdsSamples(const WaveReader& reader, uint64_t offset, uint32_t chunkSize, const WaveFormat& format)
{
    if (chunkSize < format.blockAlign)
        return false;
    uint8_t block[64];
    const uint32_t probe = format.blockAlign < sizeof block ? format.blockAlign : static_cast<uint32_t>(sizeof block);
    return readAt(reader, offset + format.blockAlign - probe, block, probe);
}

// Where a playable wave's samples lie, as its data chunk says.
struct Samples {
    uint64_t offset;
    uint32_t size;
    uint16_t blockAlign;
};

bool findPlayableSamples(const WaveReader& reader, Samples& samples)
{
    uint8_t header[kRiffHeaderSize];
    if (!readAt(reader, 0, header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;
    WaveFormat format = {};
    bool formatSeen = false;
    uint64_t offset = kRiffHeaderSize;
    for (uint32_t chunk = 0; chunk < kMaxChunks; ++chunk) {
        uint8_t chunkHeader[kChunkHeaderSize];
        if (!readAt(reader, offset, chunkHeader, sizeof chunkHeader))
            return false;
        const uint32_t size = read32(chunkHeader + 4);
        const uint64_t body = offset + kChunkHeaderSize;
        if (std::memcmp(chunkHeader, "fmt ", 4) == 0 && !formatSeen) {
            if (!readFormat(reader, body, size, format) || !isPlayableFormat(format))
                return false;
            formatSeen = true;
        } else if (std::memcmp(chunkHeader, "data", 4) == 0) {
            // The player looks for the samples after the format.
            samples = {body, size, format.blockAlign};
            return formatSeen && holdsSamples(reader, body, size, format);
        }
        offset = body + size + (size & 1);  // chunks are padded to an even size
    }
    return false;
}

struct MemoryWave {
    const uint8_t* bytes;
    uint32_t size;
};

bool readMemory(void* context, uint32_t offset, void* buffer, uint32_t size)
{
    const MemoryWave& wave = *static_cast<const MemoryWave*>(context);
    if (offset > wave.size || size > wave.size - offset)
        return false;
    std::memcpy(buffer, wave.bytes + offset, size);
    return true;
}

void write32(uint8_t* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

bool isPlayableWave(const WaveReader& reader)
{
    Samples samples;
    return findPlayableSamples(reader, samples);
}

bool fitPlayableWave(uint8_t* bytes, uint32_t size)
{
    MemoryWave wave = {bytes, size};
    Samples samples;
    if (!findPlayableSamples({readMemory, &wave}, samples))
        return false;
    // At least one whole block lies in the buffer, or the walk would have said no.
    const uint64_t held = size - samples.offset;
    uint32_t fitted = samples.size < held ? samples.size : static_cast<uint32_t>(held);
    fitted -= fitted % samples.blockAlign;
    write32(bytes + samples.offset - kChunkHeaderSize + 4, fitted);
    if (read32(bytes + 4) > size - 8)
        write32(bytes + 4, size - 8);
    return true;
}
