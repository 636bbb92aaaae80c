#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tray/wave_format.h"

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
    // A chunk claiming 4 GiB sends the walk past the end, not into a loop.
    EXPECT_FALSE(playable(riff(chunk("fmt ", Format().bytes()) + "JUNK" + u32(0xFFFFFFFF) + "xxxx")));
}

} // namespace
