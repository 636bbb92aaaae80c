// The icon files and the manifest that go into the executable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t le16(const std::vector<uint8_t>& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
uint32_t le32(const std::vector<uint8_t>& b, size_t at) { return le16(b, at) | le16(b, at + 2) << 16; }

struct Image {
    unsigned size;
    unsigned bits;
};

// An 8-bit image's palette holds the colours its pixels use, and no more
// (the program is smaller by the rest): each is used, none is out of it.
void expectPaletteOfItsColours(const std::vector<uint8_t>& ico, size_t offset, uint32_t bytes, unsigned size,
                               const std::string& what)
{
    const uint32_t colours = le32(ico, offset + 32);
    ASSERT_GE(colours, 2u) << what;
    ASSERT_LE(colours, 256u) << what;
    const size_t pixels = offset + 40 + 4 * colours;
    const size_t stride = (size + 3) & ~3u, maskStride = ((size + 31) / 32) * 4;
    ASSERT_EQ(bytes, 40 + 4 * colours + size * (stride + maskStride)) << what << ": header, palette, pixels, mask";
    std::vector<bool> used(colours);
    for (size_t row = 0; row < size; ++row)
        for (size_t column = 0; column < size; ++column) {
            const uint8_t index = ico.at(pixels + row * stride + column);
            ASSERT_LT(index, colours) << what << " at " << column << "," << row;
            used[index] = true;
        }
    EXPECT_EQ(std::count(used.begin(), used.end(), true), long(colours)) << what << ": a colour no pixel uses";
}

// The six classic images that every Windows reads, then 20, 24 and 40 pixels
// at 32 bits stored as PNG for the scales of today's displays.
void expectItsImages(const std::string& name)
{
    const std::vector<uint8_t> ico = readFile(std::string(LINTORA_SOURCE_DIR) + "/res/icons/" + name);
    ASSERT_GE(ico.size(), 6u) << name;
    EXPECT_EQ(le16(ico, 0), 0u);
    EXPECT_EQ(le16(ico, 2), 1u) << "an icon, not a cursor";
    ASSERT_EQ(le16(ico, 4), 9u) << name;
    const Image expected[6] = {{48, 8}, {32, 8}, {16, 8}, {48, 32}, {32, 24}, {16, 32}};
    for (int i = 0; i < 6; ++i) {
        const size_t entry = 6 + 16 * i;
        const uint32_t bytes = le32(ico, entry + 8);
        const uint32_t offset = le32(ico, entry + 12);
        EXPECT_EQ(ico.at(entry), expected[i].size) << name << " image " << i;
        EXPECT_EQ(ico.at(entry + 1), expected[i].size) << name << " image " << i;
        ASSERT_LE(uint64_t(offset) + bytes, ico.size()) << name << " image " << i;
        // The image itself: a bitmap header whose height counts colour rows and mask rows.
        EXPECT_EQ(le32(ico, offset), 40u) << name << " image " << i << " is a classic bitmap";
        EXPECT_EQ(le32(ico, offset + 4), expected[i].size);
        EXPECT_EQ(le32(ico, offset + 8), 2 * expected[i].size);
        EXPECT_EQ(le16(ico, offset + 14), expected[i].bits) << name << " image " << i;
        if (expected[i].bits == 8)
            expectPaletteOfItsColours(ico, offset, bytes, expected[i].size, name + " image " + std::to_string(i));
    }
    const unsigned pngSizes[3] = {20, 24, 40};
    for (int i = 0; i < 3; ++i) {
        const size_t entry = 6 + 16 * (6 + i);
        const uint32_t bytes = le32(ico, entry + 8);
        const uint32_t offset = le32(ico, entry + 12);
        EXPECT_EQ(ico.at(entry), pngSizes[i]) << name << " PNG image " << i;
        EXPECT_EQ(le16(ico, entry + 6), 32u) << name << " PNG image " << i;
        ASSERT_LE(uint64_t(offset) + bytes, ico.size()) << name << " PNG image " << i;
        EXPECT_EQ(le32(ico, offset), 0x474E5089u) << name << " PNG image " << i << " is stored as PNG";
        EXPECT_EQ(ico.at(offset + 19), pngSizes[i]) << "its width, from its header";
    }
}

TEST(IconFiles, BrokenHasItsImagesOfTheRightSizesAndDepths) { expectItsImages("broken.ico"); }
TEST(IconFiles, ConnectedHasItsImagesOfTheRightSizesAndDepths) { expectItsImages("connected.ico"); }

TEST(Manifest, AsksForCommonControlsSixAndNoExecutionLevel)
{
    const std::vector<uint8_t> bytes = readFile(std::string(LINTORA_SOURCE_DIR) + "/res/lintora.manifest.in");
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("version=\"1.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("type=\"win32\""), std::string::npos);
    EXPECT_NE(text.find("<description>Check if any internet conection is available and notifies the user "
                        "when changes.</description>"),
              std::string::npos);
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("publicKeyToken=\"6595b64144ccf1df\" language=\"*\""), std::string::npos);
    EXPECT_EQ(text.find("requestedExecutionLevel"), std::string::npos);
    EXPECT_EQ(text.find("trustInfo"), std::string::npos);
}

} // namespace
