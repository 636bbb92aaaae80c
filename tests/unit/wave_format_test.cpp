#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sound/wave_format.h"

namespace {

std::string u16(uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); }
std::string u32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
std::string chunk(const char* id, const std::string& body) { return std::string(id, 4) + u32(static_cast<uint32_t>(body.size())) + body; }

struct Format {
    uint16_t tag = 1, channels = 1;
    uint32_t rate = 8000, bytesPerSecond = 16000;
    uint16_t blockAlign = 2, bits = 16;
    std::string bytes() const
    {
        return u16(tag) + u16(channels) + u32(rate) + u32(bytesPerSecond) + u16(blockAlign) + u16(bits);
    }
};

std::string riff(const std::string& chunks) { return "RIFF" + u32(static_cast<uint32_t>(chunks.size() + 4)) + "WAVE" + chunks; }
std::string wave(const Format& format, size_t dataBytes = 100) { return riff(chunk("fmt ", format.bytes()) + chunk("data", std::string(dataBytes, '\x11'))); }

bool readMemory(void* context, uint32_t offset, void* buffer, uint32_t size)
{
    const std::string& bytes = *static_cast<const std::string*>(context);
    if (offset > bytes.size() || size > bytes.size() - offset)
        return false;
    std::memcpy(buffer, bytes.data() + offset, size);
    return true;
}

bool playable(const std::string& file)
{
    return isPlayableWave({readMemory, const_cast<std::string*>(&file)});
}

TEST(WaveFormat, PlainPcmAndOtherKnownFormatsPass)
{
    EXPECT_TRUE(playable(wave(Format())));
    Format stereo44k{1, 2, 44100, 176400, 4, 16};
    EXPECT_TRUE(playable(wave(stereo44k)));
    Format float8ch{3, 8, 384000, 384000 * 32, 32, 32};
    EXPECT_TRUE(playable(wave(float8ch)));
    Format imaAdpcm{0x11, 1, 22050, 11100, 512, 4};  // coded: only non-zero numbers asked for
    EXPECT_TRUE(playable(wave(imaAdpcm, 512)));
    // A list chunk before the format, an odd-sized one padded, before the data.
    EXPECT_TRUE(playable(riff(chunk("LIST", std::string(5, 'x')) + std::string(1, '\0') + chunk("fmt ", Format().bytes()) +
                              chunk("data", std::string(4, '\0')))));
}

TEST(WaveFormat, ExtensibleIsJudgedByItsSubFormat)
{
    Format outer{0xFFFE, 2, 48000, 192000, 4, 16};
    const std::string extension = u16(22) + u16(16) + u32(3) + u16(1) + std::string(14, '\x22');
    EXPECT_TRUE(playable(riff(chunk("fmt ", outer.bytes() + extension) + chunk("data", std::string(8, '\0')))));
    const std::string unknownSub = u16(22) + u16(16) + u32(3) + u16(0x1234) + std::string(14, '\x22');
    EXPECT_FALSE(playable(riff(chunk("fmt ", outer.bytes() + unknownSub) + chunk("data", std::string(8, '\0')))));
    EXPECT_FALSE(playable(wave(outer))) << "too short to name a sub-format";
}

TEST(WaveFormat, NumbersThatCannotBeMeantFail)
{
    auto with = [](void (*change)(Format&)) { Format f; change(f); return playable(wave(f)); };
    EXPECT_FALSE(with([](Format& f) { f.tag = 0; }));
    EXPECT_FALSE(with([](Format& f) { f.tag = 0x1234; }));
    EXPECT_FALSE(with([](Format& f) { f.channels = 0; }));
    EXPECT_FALSE(with([](Format& f) { f.channels = 9, f.blockAlign = 18, f.bytesPerSecond = 144000; }));
    EXPECT_FALSE(with([](Format& f) { f.rate = 0, f.bytesPerSecond = 0; }));
    EXPECT_FALSE(with([](Format& f) { f.rate = 384001, f.bytesPerSecond = 768002; }));
    EXPECT_FALSE(with([](Format& f) { f.blockAlign = 3; }));
    EXPECT_FALSE(with([](Format& f) { f.bytesPerSecond = 16001; }));
    EXPECT_FALSE(with([](Format& f) { f.bits = 12; }));
    EXPECT_FALSE(with([](Format& f) { f.tag = 0x11, f.blockAlign = 0; }));
    EXPECT_FALSE(with([](Format& f) { f.tag = 0x11, f.rate = 0; })) << "a coded format at no rate";
    EXPECT_TRUE(with([](Format& f) { f.rate = 1, f.bytesPerSecond = 2; })) << "1 Hz is a rate";
}

TEST(WaveFormat, TheSamplesMustBeThere)
{
    const std::string formatOnly = riff(chunk("fmt ", Format().bytes()));
    EXPECT_FALSE(playable(formatOnly)) << "no data chunk";
    EXPECT_FALSE(playable(wave(Format(), 0))) << "an empty data chunk";
    EXPECT_FALSE(playable(wave(Format(), 1))) << "less than one block";
    std::string cut = wave(Format(), 100);
    cut.resize(cut.size() - 99);  // the header says 100 bytes, one is there
    EXPECT_FALSE(playable(cut));
    EXPECT_FALSE(playable(riff(chunk("data", std::string(8, '\0')) + chunk("fmt ", Format().bytes()))))
        << "samples before the format";
}

TEST(WaveFormat, AZeroFormatWithoutDataAndOtherWrecksFail)
{
    EXPECT_FALSE(playable(riff(chunk("fmt ", std::string(16, '\0')))));
    EXPECT_FALSE(playable(""));
    EXPECT_FALSE(playable("RIFF"));
    EXPECT_FALSE(playable(riff(chunk("fmt ", std::string(8, '\0')) + chunk("data", "abcd"))));
    std::string avi = wave(Format());
    std::memcpy(&avi[8], "AVI ", 4);
    EXPECT_FALSE(playable(avi));
    EXPECT_TRUE(playable(riff(chunk("fmt ", Format().bytes()) + chunk("fmt ", std::string(16, '\0')) +
                              chunk("data", std::string(8, '\0'))))) << "a second, junk format does not replace the first";
    // A chunk claiming 4 GiB sends the walk past the end, not into a loop.
    EXPECT_FALSE(playable(riff(chunk("fmt ", Format().bytes()) + "JUNK" + u32(0xFFFFFFFF) + "xxxx")));
}

// One of each kind the check claims to accept, as real files write them.
TEST(WaveFormat, EveryKindItClaimsToAccept)
{
    const Format kinds[] = {
        {1, 1, 11025, 11025, 1, 8},          // PCM, 8 bits
        {1, 2, 44100, 176400, 4, 16},        // PCM, 16 bits stereo
        {1, 2, 48000, 288000, 6, 24},        // PCM, 24 bits
        {1, 1, 96000, 384000, 4, 32},        // PCM, 32 bits
        {3, 2, 48000, 384000, 8, 32},        // float, 32 bits
        {3, 1, 44100, 352800, 8, 64},        // float, 64 bits
        {2, 1, 22050, 11155, 512, 4},        // Microsoft ADPCM
        {0x11, 2, 44100, 44359, 2048, 4},    // IMA ADPCM
        {6, 1, 8000, 8000, 1, 8},            // A-law
        {7, 1, 8000, 8000, 1, 8},            // mu-law
        {0x31, 1, 8000, 1625, 65, 0},        // GSM 6.10
        {0x50, 2, 44100, 24000, 1, 0},       // MPEG
        {0x55, 2, 44100, 16000, 1, 0},       // MP3
    };
    for (const Format& kind : kinds)
        EXPECT_TRUE(playable(wave(kind, 4096))) << "format tag " << kind.tag << ", " << kind.bits << " bits";
    const std::string floatSub = u16(22) + u16(32) + u32(3) + u16(3) + std::string(14, '\x22');
    Format extensibleFloat{0xFFFE, 2, 48000, 384000, 8, 32};
    EXPECT_TRUE(playable(riff(chunk("fmt ", extensibleFloat.bytes() + floatSub) + chunk("data", std::string(64, '\0')))));
    Format floatOf16Bits{3, 1, 8000, 16000, 2, 16};
    EXPECT_FALSE(playable(wave(floatOf16Bits))) << "floating-point samples are 32 or 64 bits";
}

// A wave held in memory, fitted to what it holds: as the player will read it.
struct Fitted {
    bool playable;
    uint32_t riffSize, dataSize;
};

Fitted fit(std::string file)
{
    const bool ok = fitPlayableWave(reinterpret_cast<uint8_t*>(&file[0]), static_cast<uint32_t>(file.size()));
    uint32_t riffSize = 0, dataSize = 0;
    std::memcpy(&riffSize, &file[4], 4);
    const size_t data = file.find("data");
    if (data != std::string::npos && data + 8 <= file.size())
        std::memcpy(&dataSize, &file[data + 4], 4);
    return {ok, riffSize, dataSize};
}

TEST(FitWave, AFileCutShortPlaysAsFarAsItGoesAndNoFurther)
{
    const std::string whole = wave(Format(), 240000);  // 44-byte header
    Fitted f = fit(whole);
    EXPECT_TRUE(f.playable);
    EXPECT_EQ(f.riffSize, 240036u);
    EXPECT_EQ(f.dataSize, 240000u) << "a whole file is left as it is";

    f = fit(whole.substr(0, 44 + 24001));  // cut inside the data, in the middle of a sample
    EXPECT_TRUE(f.playable);
    EXPECT_EQ(f.dataSize, 24000u) << "whole blocks of what is there";
    EXPECT_EQ(f.riffSize, 44u + 24001 - 8);

    const std::string trailing = riff(chunk("fmt ", Format().bytes()) + chunk("data", std::string(100, 'x')) +
                                      chunk("LIST", std::string(10, 'y')));
    f = fit(trailing.substr(0, trailing.size() - 4));  // cut inside a chunk after the samples
    EXPECT_TRUE(f.playable);
    EXPECT_EQ(f.dataSize, 100u);
    EXPECT_EQ(f.riffSize, trailing.size() - 4 - 8);

    EXPECT_FALSE(fit(whole.substr(0, 30)).playable) << "cut inside the format chunk";
    EXPECT_FALSE(fit(whole.substr(0, 40)).playable) << "cut inside the data chunk's header";
    EXPECT_FALSE(fit(whole.substr(0, 45)).playable) << "less than one block of samples";
    const std::string listFirst = riff(chunk("LIST", std::string(10, 'y')) + chunk("fmt ", Format().bytes()));
    EXPECT_FALSE(fit(listFirst.substr(0, 14)).playable) << "cut inside the header of the first chunk";
}

} // namespace
