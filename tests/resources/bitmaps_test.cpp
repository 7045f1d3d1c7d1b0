// The committed bitmaps and icon: their file format, that the generator still
// draws them byte for byte, and what the atlases show where the scene samples them.
#include "bitmaps.h"
#include "platform/bitmaps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <tuple>

static std::vector<uint8_t> FileBytes(const char *name)
{
    std::ifstream in(std::string(VANTREL_RESOURCE_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(BitmapFiles, AreUncompressed24BitBottomUpWithoutColourTableAndRegenerateByteForByte)
{
    const std::tuple<const char *, Picture, uint32_t> cases[] = {{"readout.bmp", DrawReadoutAtlas(), 256},
        {"listing.bmp", DrawListingAtlas(), 256}, {"floor.bmp", DrawFloorPattern(), 256},
        {"pulse.bmp", DrawPulseSprite(), 64}};
    for (const auto &[name, drawn, side] : cases) {
        const std::vector<uint8_t> f = FileBytes(name);
        ASSERT_EQ(f.size(), 54 + 3 * side * side) << name; // rows of these sides need no padding
        EXPECT_EQ(std::string(f.begin(), f.begin() + 2), "BM");
        // size, pixel offset (right after both headers), header size, width, height (positive: bottom-up),
        // 1 plane and 24 bits, BI_RGB, image size, colour table entries
        const uint32_t fields[][2] = {{2, 54 + 3 * side * side}, {10, 54}, {14, 40}, {18, side}, {22, side},
            {26, 1 | 24 << 16}, {30, 0}, {34, 3 * side * side}, {46, 0}};
        for (auto [at, want] : fields) // little-endian words
            EXPECT_EQ(f[at] | f[at + 1] << 8 | f[at + 2] << 16 | uint32_t(f[at + 3]) << 24, want) << name << " " << at;
        EXPECT_NE(CreateBitmapFromBmp(f.data(), f.size()), nullptr) << "the platform's reader takes " << name;
        EXPECT_TRUE(EncodeBmp(drawn) == f) << "the generator draws " << name << " again";
    }
    const std::vector<uint8_t> icon = FileBytes("vantrel.ico");
    ASSERT_GE(icon.size(), 6u + 4 * 16);
    EXPECT_EQ(std::vector(icon.begin(), icon.begin() + 6), (std::vector<uint8_t>{0, 0, 1, 0, 4, 0})); // four images
    for (auto [i, side] : {std::pair{0, 16}, {1, 32}, {2, 48}, {3, 0}}) // a width byte of 0 means 256
        EXPECT_EQ(icon[6 + 16 * i], side) << "icon " << i;
    EXPECT_TRUE(DrawIconFile() == icon) << "the generator draws the icon again";
}

// The tower bases take the atlases' texel at (0.01, 0.01) tinted, and smaller mipmaps average the corner around
// it: navy ground there; the rest is ground or blue-led ink.
TEST(Atlases, NavyGroundNearTexCoordZeroAndBlueLedInk)
{
    for (auto [name, blue] : {std::pair{"readout.bmp", 18}, {"listing.bmp", 19}}) {
        const std::vector<uint8_t> f = FileBytes(name), ground = {uint8_t(blue), 9, 0}; // blue, green, red
        int grounds = 0;
        for (int pixel = 0; pixel < 256 * 256; pixel++) {
            const std::vector<uint8_t> c(&f[54 + 3 * pixel], &f[57 + 3 * pixel]);
            bool corner = pixel % 256 < 8 && pixel < 8 * 256;
            grounds += c == ground;
            EXPECT_TRUE(c == ground || !corner) << name << ": ink in the corner at " << pixel;
            EXPECT_TRUE(c == ground || (c[0] >= 200 && c[0] > std::max(c[1], c[2]))) << name << " at " << pixel;
        }
        EXPECT_GT(grounds, 256 * 256 / 2) << name << ": mostly ground";
        EXPECT_LT(grounds, 256 * 256) << name << ": with ink";
    }
}
