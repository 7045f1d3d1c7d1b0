// The four committed bitmaps: their file format, what they show where the
// scene samples them, and that the generator still draws them byte for byte.
#include "bitmaps.h"
#include "platform/bitmaps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

namespace {

struct Rgb {
    int r, g, b;
    auto operator<=>(const Rgb &) const = default;
    int Sum() const { return r + g + b; }
};

// A committed bitmap: its file, and its pixels as the platform's reader yields them.
struct Loaded {
    std::vector<uint8_t> file, pixels;
    BITMAP bm{};

    explicit Loaded(const char *name)
    {
        std::ifstream in(std::string(VANTREL_RESOURCE_DIR) + "/" + name, std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (HBITMAP handle = CreateBitmapFromBmp(file.data(), file.size())) {
            GetObjectA(handle, sizeof bm, &bm);
            pixels.assign((uint8_t *)bm.bmBits, (uint8_t *)bm.bmBits + size_t(bm.bmWidthBytes) * bm.bmHeight);
            DeleteObject(handle);
        }
    }
    // Pixel in column x and row y, row 0 being the bottom of the picture.
    Rgb At(int x, int y) const
    {
        const uint8_t *p = &pixels[size_t(y) * bm.bmWidthBytes + 3 * x];
        return {p[2], p[1], p[0]};
    }
    // Counts the pixels of a box (w by h from column x, row y from the bottom) that pass the test.
    template <class Test> int Count(int x, int y, int w, int h, Test test) const
    {
        int n = 0;
        for (int i = 0; i < w * h; i++)
            n += test(At(x + i % w, y + i / w));
        return n;
    }
};

// Loaded on first use: the platform's handle table is not there during static start-up.
const Loaded &Readout() { static const Loaded bitmap("readout.bmp"); return bitmap; }
const Loaded &Listing() { static const Loaded bitmap("listing.bmp"); return bitmap; }
const Loaded &Floor() { static const Loaded bitmap("floor.bmp"); return bitmap; }
const Loaded &Pulse() { static const Loaded bitmap("pulse.bmp"); return bitmap; }
const Rgb ReadoutGround = {0, 9, 18}, ListingGround = {0, 9, 19}, Black = {0, 0, 0};

// Ink pixels in atlas cell column a, cell row b counted from the bottom.
int CellInk(const Loaded &atlas, int a, int b, Rgb ground)
{
    return atlas.Count(64 * a, 64 * b, 64, 64, [ground](Rgb c) { return !(c == ground); });
}

TEST(BitmapFiles, AreUncompressed24BitBottomUpWithoutColourTableAndRegenerateByteForByte)
{
    const std::tuple<const Loaded &, Picture, uint32_t> cases[] = {{Readout(), DrawReadoutAtlas(), 256},
        {Listing(), DrawListingAtlas(), 256}, {Floor(), DrawFloorPattern(), 256}, {Pulse(), DrawPulseSprite(), 64}};
    for (const auto &[bitmap, drawn, side] : cases) {
        const std::vector<uint8_t> &f = bitmap.file;
        const uint32_t stride = (side * 3 + 3) & ~3u;
        ASSERT_EQ(f.size(), 54 + stride * side);
        EXPECT_EQ(std::string(f.begin(), f.begin() + 2), "BM");
        // size, pixel offset (right after both headers), header size, width, height (positive: bottom-up),
        // 1 plane and 24 bits, BI_RGB, image size, colour table entries
        const uint32_t fields[][2] = {{2, 54 + stride * side}, {10, 54}, {14, 40}, {18, side}, {22, side},
            {26, 1 | 24 << 16}, {30, 0}, {34, stride * side}, {46, 0}};
        for (auto [at, want] : fields) // little-endian words
            EXPECT_EQ(f[at] | f[at + 1] << 8 | f[at + 2] << 16 | uint32_t(f[at + 3]) << 24, want) << "at byte " << at;
        EXPECT_EQ(bitmap.bm.bmWidthBytes, int(stride)) << "and the platform's reader takes it";
        EXPECT_TRUE(EncodeBmp(drawn) == f) << "the generator draws it again";
    }
}

TEST(IconFile, HoldsItsFourSizesAndRegeneratesByteForByte)
{
    std::ifstream in(std::string(VANTREL_RESOURCE_DIR) + "/vantrel.ico", std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GE(file.size(), 6u + 4 * 16);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 6), (std::vector<uint8_t>{0, 0, 1, 0, 4, 0}));
    std::vector<int> sides;
    for (int i = 0; i < 4; i++)
        sides.push_back(file[6 + 16 * i] ? file[6 + 16 * i] : 256); // a width byte of 0 means 256
    EXPECT_EQ(sides, (std::vector<int>{16, 32, 48, 256}));
    EXPECT_TRUE(DrawIconFile() == file) << "the generator draws it again";
}

TEST(Atlases, NavyGroundNearTexCoordZeroInkBlueLedEveryReadoutCellFilledListingInTheLeftColumns)
{
    const std::tuple<const Loaded &, Rgb, Rgb, bool> cases[] = {
        {Readout(), ReadoutGround, {130, 129, 255}, false}, // lavender to blue-violet
        {Listing(), ListingGround, {144, 199, 255}, true},  // sky blue to azure
    };
    for (const auto &[atlas, ground, brightest, greenAboveRed] : cases) {
        // The tower bases take the texel at (0.01, 0.01) tinted; smaller mipmaps
        // average the corner around it, which must be ground too.
        EXPECT_EQ(atlas.Count(0, 0, 8, 8, [&](Rgb c) { return c == ground; }), 64);
        auto whole = [&](auto test) { return atlas.Count(0, 0, 256, 256, test); };
        EXPECT_GT(whole([&](Rgb c) { return c == ground; }), 256 * 256 / 2) << "mostly ground";
        EXPECT_GT(whole([&](Rgb c) { return c == brightest; }), 0);
        EXPECT_EQ(whole([&](Rgb c) {
            return !(c == ground || (c.r <= brightest.r && c.g <= brightest.g && c.b >= 200
                                     && c.b > std::max(c.r, c.g) && (c.g > c.r) == greenAboveRed));
        }), 0) << "ink off its blue-led range";
    }
    for (int cell = 0; cell < 16; cell++)
        EXPECT_GE(CellInk(Readout(), cell % 4, cell / 4, ReadoutGround), 40) << "readout cell " << cell;
    // The listing keeps to its left columns, with a dark cell at the bottom of the second.
    EXPECT_EQ(Listing().Count(128, 0, 128, 256, [](Rgb c) { return c == ListingGround; }), 128 * 256);
    for (int b = 0; b < 4; b++) {
        int left = CellInk(Listing(), 0, b, ListingGround), second = CellInk(Listing(), 1, b, ListingGround);
        EXPECT_GE(left, 64 * 64 / 10) << "the left column is dense, row " << b;
        EXPECT_TRUE(b == 0 ? second == 0 : second > 40 && second < left / 2) << "short blocks beside it, row " << b;
    }
}

TEST(FloorPattern, OppositeEdgesContinueEachOther)
{
    auto lit = [](Rgb c) { return c.Sum() > 60; }; // a trace; the glow stays far below
    int across[2] = {}; // bundles of traces cross each edge straight, so they run on across it
    for (int i = 0; i < 2 * 256; i++) { // rows across left and right, then columns across bottom and top
        auto at = [&](int edge) { return i < 256 ? Floor().At(edge, i) : Floor().At(i - 256, edge); };
        EXPECT_EQ(at(0), at(255)) << (i < 256 ? "row " : "column ") << i % 256;
        across[i / 256] += lit(at(0)) && lit(at(1)) && lit(at(254));
    }
    EXPECT_GE(std::min(across[0], across[1]), 8);
}

TEST(PulseSprite, BlackOutsideTheMiddleThirdAndBrightestNearTheTop)
{
    auto black = [](Rgb c) { return c == Black; }; // outside columns 21..42 and rows 2..61
    EXPECT_EQ(Pulse().Count(0, 0, 64, 64, black) - Pulse().Count(21, 2, 22, 60, black), 64 * 64 - 22 * 60);
    EXPECT_EQ(Pulse().Count(0, 0, 64, 64, [](Rgb c) { return c.b < c.g || c.g < c.r; }), 0) << "blue to azure, white";
    std::vector<int> rowLight(64);
    for (int i = 0; i < 64 * 64; i++)
        rowLight[i / 64] += Pulse().At(i % 64, i / 64).Sum();
    EXPECT_GE(std::max_element(rowLight.begin(), rowLight.end()) - rowLight.begin(), 43)
        << "head in the top third (t = 1 leads)";
    const Rgb white = {249, 252, 255}; // the brightest, found in the top half only
    EXPECT_GT(Pulse().Count(0, 32, 64, 32, [&](Rgb c) { return c == white; }), 0);
    EXPECT_EQ(Pulse().Count(0, 0, 64, 32, [&](Rgb c) { return c.Sum() >= white.Sum(); })
              + Pulse().Count(0, 0, 64, 64, [&](Rgb c) { return c.Sum() > white.Sum(); }), 0);
}

} // namespace
