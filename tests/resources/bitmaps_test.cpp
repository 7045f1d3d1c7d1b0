// The committed bitmaps and icon: their file format, and that the generator
// still draws them byte for byte.
#include "bitmaps.h"
#include "platform/bitmaps.h"

#include <gtest/gtest.h>

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
        // The platform's reader takes only uncompressed 24-bit bottom-up files without a colour table.
        HBITMAP read = CreateBitmapFromBmp(f.data(), f.size());
        BITMAP bm = {};
        EXPECT_EQ(GetObjectA(read, sizeof bm, &bm), int(sizeof bm)) << name;
        EXPECT_EQ(bm.bmWidth, LONG(side)) << name;
        EXPECT_EQ(bm.bmHeight, LONG(side)) << name;
        DeleteObject(read);
        EXPECT_TRUE(EncodeBmp(drawn) == f) << "the generator draws " << name << " again";
    }
    const std::vector<uint8_t> icon = FileBytes("vantrel.ico");
    ASSERT_GE(icon.size(), 6u + 4 * 16);
    EXPECT_EQ(std::vector(icon.begin(), icon.begin() + 6), (std::vector<uint8_t>{0, 0, 1, 0, 4, 0})); // four images
    for (auto [i, side] : {std::pair{0, 16}, {1, 32}, {2, 48}, {3, 0}}) // a width byte of 0 means 256
        EXPECT_EQ(icon[6 + 16 * i], side) << "icon " << i;
    EXPECT_TRUE(DrawIconFile() == icon) << "the generator draws the icon again";
}
