// The committed bitmaps and icon: the bitmaps as the program has them built in,
// and that the generator still draws them byte for byte.
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
    const std::tuple<const char *, WORD, Picture, LONG> cases[] = {{"readout.bmp", 128, DrawReadoutAtlas(), 256},
        {"listing.bmp", 112, DrawListingAtlas(), 256}, {"floor.bmp", 114, DrawFloorPattern(), 256},
        {"pulse.bmp", 130, DrawPulseSprite(), 64}};
    for (const auto &[name, id, drawn, side] : cases) {
        // Built into the program, loaded as the scene asks: a DIB section of the file's size, never scaled.
        HBITMAP read = (HBITMAP)LoadImageA(nullptr, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        BITMAP bm = {};
        EXPECT_EQ(GetObjectA(read, sizeof bm, &bm), int(sizeof bm)) << name;
        EXPECT_EQ(std::pair(bm.bmWidth, bm.bmHeight), std::pair(side, side)) << name;
        EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, side, 0), nullptr) << name;
        DeleteObject(read);
        EXPECT_TRUE(EncodeBmp(drawn) == FileBytes(name)) << "the generator draws " << name << " again";
    }
    const std::vector<uint8_t> icon = FileBytes("vantrel.ico");
    ASSERT_GE(icon.size(), 6u + 4 * 16);
    EXPECT_EQ(std::vector(icon.begin(), icon.begin() + 6), (std::vector<uint8_t>{0, 0, 1, 0, 4, 0})); // four images
    for (auto [i, side] : {std::pair{0, 16}, {1, 32}, {2, 48}, {3, 0}}) // a width byte of 0 means 256
        EXPECT_EQ(icon[6 + 16 * i], side) << "icon " << i;
    EXPECT_TRUE(DrawIconFile() == icon) << "the generator draws the icon again";
}
