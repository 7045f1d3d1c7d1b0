// The four committed bitmaps: their file format, what they show where the
// scene samples them, and that the generator still draws them byte for byte.
#include "bitmaps.h"
#include "platform/bitmaps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <tuple>

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb &) const = default;
    bool operator<(const Rgb &o) const { return std::tie(r, g, b) < std::tie(o.r, o.g, o.b); }
};

std::vector<uint8_t> ReadResource(const char *file)
{
    std::ifstream in(std::string(VANTREL_RESOURCE_DIR) + "/" + file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A committed bitmap as the platform's reader yields it: bottom-up rows.
struct Loaded {
    std::vector<uint8_t> file;
    BITMAP bm{};

    explicit Loaded(const char *name) : file(ReadResource(name))
    {
        HBITMAP handle = CreateBitmapFromBmp(file.data(), file.size());
        if (handle) {
            GetObjectA(handle, sizeof bm, &bm);
            pixels.assign(static_cast<uint8_t *>(bm.bmBits),
                          static_cast<uint8_t *>(bm.bmBits) + size_t(bm.bmWidthBytes) * bm.bmHeight);
            DeleteObject(handle);
        }
    }
    // Pixel in column x and row y, row 0 being the bottom of the picture.
    Rgb At(int x, int y) const
    {
        const uint8_t *p = &pixels[size_t(y) * bm.bmWidthBytes + 3 * x];
        return {p[2], p[1], p[0]};
    }
    Rgb AtTexCoord(float s, float t) const { return At(int(s * bm.bmWidth), int(t * bm.bmHeight)); }
    // Counts the pixels of a box (columns x0..x1, rows y0..y1 from the bottom) that pass the test.
    int Count(int x0, int y0, int x1, int y1, const std::function<bool(Rgb)> &test) const
    {
        int n = 0;
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++)
                n += test(At(x, y));
        return n;
    }
    std::vector<uint8_t> pixels;
};

const Loaded &Readout() { static Loaded l("readout.bmp"); return l; }
const Loaded &Listing() { static Loaded l("listing.bmp"); return l; }
const Loaded &Floor() { static Loaded l("floor.bmp"); return l; }
const Loaded &Pulse() { static Loaded l("pulse.bmp"); return l; }

const Rgb ReadoutGround = {0, 9, 18}, ListingGround = {0, 9, 19};

// Ink pixels in atlas cell column a, cell row b counted from the bottom.
int CellInk(const Loaded &atlas, int a, int b, Rgb ground)
{
    return atlas.Count(64 * a, 64 * b, 64 * a + 63, 64 * b + 63, [ground](Rgb c) { return !(c == ground); });
}

// Lengths of the vertical ink runs of at least minimum pixels inside one cell.
std::vector<int> VerticalRuns(const Loaded &atlas, int a, int b, Rgb ground, int minimum)
{
    std::vector<int> runs;
    for (int x = 64 * a; x < 64 * a + 64; x++)
        for (int y = 64 * b, run = 0; y <= 64 * b + 64; y++) {
            if (y < 64 * b + 64 && !(atlas.At(x, y) == ground)) {
                run++;
            } else {
                if (run >= minimum)
                    runs.push_back(run);
                run = 0;
            }
        }
    return runs;
}

uint32_t Field(const std::vector<uint8_t> &file, size_t at, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; i--)
        value = value << 8 | file[at + i];
    return value;
}

// ---- file format

TEST(BitmapFiles, AreUncompressed24BitBottomUpWithoutColourTable)
{
    const struct { const Loaded &bitmap; int side; } cases[] = {
        {Readout(), 256}, {Listing(), 256}, {Floor(), 256}, {Pulse(), 64}};
    for (const auto &c : cases) {
        const std::vector<uint8_t> &f = c.bitmap.file;
        const uint32_t stride = (uint32_t(c.side) * 3 + 3) & ~3u;
        ASSERT_EQ(f.size(), 54 + stride * c.side);
        EXPECT_EQ(f[0], 'B');
        EXPECT_EQ(f[1], 'M');
        EXPECT_EQ(Field(f, 2, 4), f.size());
        EXPECT_EQ(Field(f, 10, 4), 54u);                // pixels right after the two headers
        EXPECT_EQ(Field(f, 14, 4), 40u);
        EXPECT_EQ(int32_t(Field(f, 18, 4)), c.side);
        EXPECT_EQ(int32_t(Field(f, 22, 4)), c.side);    // positive: bottom-up
        EXPECT_EQ(Field(f, 26, 2), 1u);
        EXPECT_EQ(Field(f, 28, 2), 24u);
        EXPECT_EQ(Field(f, 30, 4), 0u);                 // BI_RGB
        EXPECT_EQ(Field(f, 34, 4), stride * c.side);
        EXPECT_EQ(Field(f, 46, 4), 0u);
        EXPECT_EQ(c.bitmap.bm.bmWidth, c.side);         // and the platform's reader takes it
        EXPECT_EQ(c.bitmap.bm.bmWidthBytes, int(stride));
    }
}

TEST(BitmapFiles, RegenerateByteForByte)
{
    EXPECT_TRUE(EncodeBmp(DrawReadoutAtlas()) == Readout().file);
    EXPECT_TRUE(EncodeBmp(DrawListingAtlas()) == Listing().file);
    EXPECT_TRUE(EncodeBmp(DrawFloorPattern()) == Floor().file);
    EXPECT_TRUE(EncodeBmp(DrawPulseSprite()) == Pulse().file);
}

// ---- the atlases

TEST(Atlases, ShowTheirNavyGroundNearTexCoordZero)
{
    EXPECT_EQ(Readout().AtTexCoord(0.01f, 0.01f), ReadoutGround);
    EXPECT_EQ(Listing().AtTexCoord(0.01f, 0.01f), ListingGround);
    // The tower bases take that one texel tinted; smaller mipmaps average the
    // corner around it, which must be ground too.
    auto ground = [](Rgb g) { return [g](Rgb c) { return c == g; }; };
    EXPECT_EQ(Readout().Count(0, 0, 7, 7, ground(ReadoutGround)), 64);
    EXPECT_EQ(Listing().Count(0, 0, 7, 7, ground(ListingGround)), 64);
}

TEST(Atlases, GroundIsTheCommonestColourAndInkStaysInItsRange)
{
    const struct { const Loaded &atlas; Rgb ground, brightest; bool greenAboveRed; } cases[] = {
        {Readout(), ReadoutGround, {130, 129, 255}, false},  // lavender to blue-violet
        {Listing(), ListingGround, {144, 199, 255}, true},   // sky blue to azure
    };
    for (const auto &c : cases) {
        std::map<Rgb, int> histogram;
        c.atlas.Count(0, 0, 255, 255, [&](Rgb p) { return ++histogram[p] > 0; });
        auto commonest = std::max_element(histogram.begin(), histogram.end(),
                                          [](auto &a, auto &b) { return a.second < b.second; });
        EXPECT_EQ(commonest->first, c.ground);
        bool reachesBrightest = false;
        for (const auto &[ink, count] : histogram) {
            if (ink == c.ground)
                continue;
            EXPECT_LE(ink.r, c.brightest.r);
            EXPECT_LE(ink.g, c.brightest.g);
            EXPECT_GT(ink.b, std::max(ink.r, ink.g)) << "blue leads every ink";
            EXPECT_GE(ink.b, 200);
            EXPECT_EQ(ink.g > ink.r, c.greenAboveRed);
            reachesBrightest |= ink == c.brightest;
        }
        EXPECT_TRUE(reachesBrightest);
    }
}

TEST(Atlases, EveryReadoutCellHasContent)
{
    for (int a = 0; a < 4; a++)
        for (int b = 0; b < 4; b++)
            EXPECT_GE(CellInk(Readout(), a, b, ReadoutGround), 40) << "cell " << a << "," << b;
}

TEST(Atlases, ReadoutTopRowHoldsTheBarCharts)
{
    // Third cell: four outlined bars of different heights (each drawn by two
    // equal sides) beside the chart's axis.
    std::vector<int> chart = VerticalRuns(Readout(), 2, 3, ReadoutGround, 10);
    std::sort(chart.begin(), chart.end());
    chart.erase(std::unique(chart.begin(), chart.end()), chart.end());
    EXPECT_EQ(chart.size(), 5u) << "four bar heights and the axis";
    // Top-right cell: seven bars of nearly equal height, two sides each.
    std::vector<int> meters = VerticalRuns(Readout(), 3, 3, ReadoutGround, 25);
    ASSERT_EQ(meters.size(), 14u);
    auto [low, high] = std::minmax_element(meters.begin(), meters.end());
    EXPECT_LE(*high - *low, 4);
}

TEST(Atlases, ListingContentSitsInTheLeftColumns)
{
    EXPECT_EQ(Listing().Count(128, 0, 255, 255, [](Rgb c) { return c == ListingGround; }), 128 * 256);
    EXPECT_EQ(CellInk(Listing(), 1, 0, ListingGround), 0) << "second column, bottom cell";
    for (int b = 0; b < 4; b++)
        EXPECT_GE(CellInk(Listing(), 0, b, ListingGround), 64 * 64 / 10) << "left column is dense";
    for (int b = 1; b < 4; b++) {
        int ink = CellInk(Listing(), 1, b, ListingGround);
        EXPECT_GT(ink, 40) << "short blocks in the second column";
        EXPECT_LT(ink, CellInk(Listing(), 0, b, ListingGround) / 2);
    }
}

// ---- the floor

bool Lit(Rgb c) { return c.r + c.g + c.b > 60; }    // a trace; the glow stays far below

TEST(FloorPattern, OppositeEdgesContinueEachOther)
{
    const Loaded &f = Floor();
    int leftRight = 0, bottomTop = 0;
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(f.At(0, i), f.At(255, i)) << "row " << i;
        EXPECT_EQ(f.At(i, 0), f.At(i, 255)) << "column " << i;
        leftRight += Lit(f.At(0, i)) && Lit(f.At(1, i)) && Lit(f.At(254, i));
        bottomTop += Lit(f.At(i, 0)) && Lit(f.At(i, 1)) && Lit(f.At(i, 254));
    }
    // Bundles of traces cross each edge straight, so they run on across it.
    EXPECT_GE(leftRight, 8);
    EXPECT_GE(bottomTop, 8);
}

TEST(FloorPattern, TealGlowInTheMiddleAndMagentaTracesOutside)
{
    const Loaded &f = Floor();
    Rgb middle = f.At(127, 128);
    EXPECT_NEAR(middle.r, 2, 2);
    EXPECT_NEAR(middle.g, 20, 3);
    EXPECT_NEAR(middle.b, 21, 3);
    EXPECT_EQ(f.At(0, 0), (Rgb{0, 0, 0}));
    int outer = 0, centre = 0;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            Rgb c = f.At(x, y);
            float d = std::hypot(x - 127.5f, y - 127.5f);
            if (!Lit(c))
                continue;
            if (d > 110) {                              // magenta, violet, purple
                outer++;
                EXPECT_LT(c.g, std::min(c.r, c.b) / 2) << x << "," << y;
            } else if (d < 60) {                        // lavender-blue
                centre++;
                EXPECT_GE(c.b, c.r);
                EXPECT_GT(c.g, c.r / 2);
            }
        }
    EXPECT_GT(outer, 500);
    EXPECT_GT(centre, 100);
}

// ---- the pulse

TEST(PulseSprite, BlackOutsideTheMiddleThirdAndBrightestNearTheTop)
{
    const Loaded &p = Pulse();
    auto black = [](Rgb c) { return c == Rgb{0, 0, 0}; };
    EXPECT_EQ(p.Count(0, 0, 20, 63, black), 21 * 64);
    EXPECT_EQ(p.Count(43, 0, 63, 63, black), 21 * 64);
    EXPECT_EQ(p.Count(0, 0, 63, 1, black), 2 * 64) << "bottom rows";
    EXPECT_EQ(p.Count(0, 62, 63, 63, black), 2 * 64) << "top rows";

    std::vector<int> rowLight(64);
    Rgb brightest{0, 0, 0};
    int brightestRow = 0;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            Rgb c = p.At(x, y);
            rowLight[y] += c.r + c.g + c.b;
            EXPECT_TRUE(c.b >= c.g && c.g >= c.r) << "blue to azure, white at most";
            if (c.r + c.g + c.b > brightest.r + brightest.g + brightest.b)
                brightest = c, brightestRow = y;
        }
    int widest = int(std::max_element(rowLight.begin(), rowLight.end()) - rowLight.begin());
    EXPECT_GE(widest, 43) << "head in the top third (t = 1 leads)";
    EXPECT_GE(brightestRow, 32);
    EXPECT_EQ(brightest, (Rgb{249, 252, 255}));
    int top = 0, bottom = 0;
    for (int y = 0; y < 21; y++)
        bottom += rowLight[y], top += rowLight[63 - y];
    EXPECT_GT(top, 2 * bottom);
}

} // namespace
