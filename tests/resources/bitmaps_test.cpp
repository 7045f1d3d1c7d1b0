// The four committed bitmaps: their file format, what they show where the
// scene samples them, and that the generator still draws them byte for byte.
#include "bitmaps.h"
#include "platform/bitmaps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <tuple>

namespace {

struct Rgb {
    int r, g, b;
    auto operator<=>(const Rgb &) const = default;
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
    // Counts the pixels of a box (columns x0..x1, rows y0..y1 from the bottom) that pass the test.
    int Count(int x0, int y0, int x1, int y1, const std::function<bool(Rgb)> &test) const
    {
        int n = 0;
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++)
                n += test(At(x, y));
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
    return atlas.Count(64 * a, 64 * b, 64 * a + 63, 64 * b + 63, [ground](Rgb c) { return !(c == ground); });
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
        // planes, bits, BI_RGB, image size, colour table entries
        const uint32_t fields[][3] = {{2, 4, 54 + stride * side}, {10, 4, 54}, {14, 4, 40}, {18, 4, side},
            {22, 4, side}, {26, 2, 1}, {28, 2, 24}, {30, 4, 0}, {34, 4, stride * side}, {46, 4, 0}};
        for (auto [at, bytes, want] : fields) {
            uint32_t value = 0;
            for (uint32_t i = bytes; i-- > 0;)
                value = value << 8 | f[at + i];
            EXPECT_EQ(value, want) << "at byte " << at;
        }
        EXPECT_EQ(bitmap.bm.bmWidthBytes, int(stride)) << "and the platform's reader takes it";
        EXPECT_TRUE(EncodeBmp(drawn) == f) << "the generator draws it again";
    }
}

// ---- the atlases

TEST(Atlases, NavyGroundNearTexCoordZeroInkBlueLedEveryReadoutCellFilledListingInTheLeftColumns)
{
    const std::tuple<const Loaded &, Rgb, Rgb, bool> cases[] = {
        {Readout(), ReadoutGround, {130, 129, 255}, false}, // lavender to blue-violet
        {Listing(), ListingGround, {144, 199, 255}, true},  // sky blue to azure
    };
    for (const auto &[atlas, ground, brightest, greenAboveRed] : cases) {
        // The tower bases take the texel at (0.01, 0.01) tinted; smaller mipmaps
        // average the corner around it, which must be ground too.
        EXPECT_EQ(atlas.Count(0, 0, 7, 7, [&](Rgb c) { return c == ground; }), 64);
        std::map<Rgb, int> colours;
        atlas.Count(0, 0, 255, 255, [&](Rgb c) { return ++colours[c]; });
        auto commonest = std::max_element(colours.begin(), colours.end(),
                                          [](auto &a, auto &b) { return a.second < b.second; });
        EXPECT_EQ(commonest->first, ground);
        EXPECT_TRUE(colours.count(brightest));
        for (const auto &[ink, count] : colours)
            EXPECT_TRUE(ink == ground || (ink.r <= brightest.r && ink.g <= brightest.g && ink.b >= 200
                                          && ink.b > std::max(ink.r, ink.g) && (ink.g > ink.r) == greenAboveRed))
                << "ink " << ink.r << "," << ink.g << "," << ink.b;
    }
    for (int cell = 0; cell < 16; cell++)
        EXPECT_GE(CellInk(Readout(), cell % 4, cell / 4, ReadoutGround), 40) << "readout cell " << cell;
    // The listing keeps to its left columns, with a dark cell at the bottom of the second.
    EXPECT_EQ(Listing().Count(128, 0, 255, 255, [](Rgb c) { return c == ListingGround; }), 128 * 256);
    for (int b = 0; b < 4; b++) {
        int left = CellInk(Listing(), 0, b, ListingGround), second = CellInk(Listing(), 1, b, ListingGround);
        EXPECT_GE(left, 64 * 64 / 10) << "the left column is dense, row " << b;
        EXPECT_TRUE(b == 0 ? second == 0 : second > 40 && second < left / 2) << "short blocks beside it, row " << b;
    }
}

// ---- the floor and the pulse

bool Lit(Rgb c) { return c.r + c.g + c.b > 60; } // a trace; the glow stays far below

TEST(FloorPattern, OppositeEdgesContinueEachOther)
{
    int leftRight = 0, bottomTop = 0;
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(Floor().At(0, i), Floor().At(255, i)) << "row " << i;
        EXPECT_EQ(Floor().At(i, 0), Floor().At(i, 255)) << "column " << i;
        leftRight += Lit(Floor().At(0, i)) && Lit(Floor().At(1, i)) && Lit(Floor().At(254, i));
        bottomTop += Lit(Floor().At(i, 0)) && Lit(Floor().At(i, 1)) && Lit(Floor().At(i, 254));
    }
    // Bundles of traces cross each edge straight, so they run on across it.
    EXPECT_GE(leftRight, 8);
    EXPECT_GE(bottomTop, 8);
}

TEST(PulseSprite, BlackOutsideTheMiddleThirdAndBrightestNearTheTop)
{
    auto black = [](Rgb c) { return c == Black; };
    EXPECT_EQ(Pulse().Count(0, 0, 20, 63, black) + Pulse().Count(43, 0, 63, 63, black), 2 * 21 * 64) << "side thirds";
    EXPECT_EQ(Pulse().Count(0, 0, 63, 1, black) + Pulse().Count(0, 62, 63, 63, black), 4 * 64) << "end rows";
    std::vector<int> rowLight(64);
    int brightestRow = 0, notBlueLed = 0;
    Rgb brightest = Black;
    for (int i = 0; i < 64 * 64; i++) {
        Rgb c = Pulse().At(i % 64, i / 64);
        rowLight[i / 64] += c.r + c.g + c.b;
        notBlueLed += !(c.b >= c.g && c.g >= c.r);
        if (c.r + c.g + c.b > brightest.r + brightest.g + brightest.b)
            brightest = c, brightestRow = i / 64;
    }
    EXPECT_EQ(notBlueLed, 0) << "blue to azure, white at most";
    EXPECT_GE(std::max_element(rowLight.begin(), rowLight.end()) - rowLight.begin(), 43)
        << "head in the top third (t = 1 leads)";
    EXPECT_GE(brightestRow, 32);
    EXPECT_EQ(brightest, (Rgb{249, 252, 255}));
}

} // namespace
