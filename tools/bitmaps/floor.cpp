// The floor (114): a circuit board that tiles without seams, one repeat per grid cell.
#include "canvas.h"

#include <algorithm>
#include <cmath>

//
// Colours and layout
//

enum { FloorSize = 256, Spacing = 3 };

// Trace colours by ink number (1..3); ink 0 is bare board.
static const Rgb TraceInks[4] = {{0, 0, 0}, {210, 40, 190}, {150, 60, 230}, {118, 38, 168}};  // magenta, violet, purple
static const Rgb CentreInk = {150, 160, 255};      // lavender-blue, where the traces reach the chip
static const Rgb GlowInk = {2, 20, 21};            // dark teal under the chip

// A sideways step of a bundle: where along the run it starts and how far it moves.
struct Jog { int at, shift; };

// A bundle of parallel traces; it runs along +x (or +y when upright) from
// `from` to `to`, which may lie beyond the edge: the picture wraps.
struct Bundle {
    bool upright;
    int from, to, lane, count, ink;
    Jog jogs[2];
};

// Two bundles loop from the chip's right side round through the seam to its
// left side, two from its bottom through the seam to its top; so every trace
// leaving one edge comes back at the same place on the opposite edge.
static const Bundle Bundles[] = {
    {false, 175, 336, 100, 7, 1, {{200, -40}, {284, 40}}},
    {false, 175, 336, 144, 5, 2, {{210, 24}, {294, -24}}},
    {true, 175, 336, 100, 7, 2, {{200, 40}, {286, -40}}},
    {true, 175, 336, 84, 4, 3, {{190, -30}, {296, 30}}},
};

//
// Drawing in ink numbers
//

// A run-and-lane point, turned upright when the bundle runs along y.
static void InkLine(Picture &inks, bool upright, int r0, int l0, int r1, int l1, int ink)
{
    Rgb mark = {ink, 0, 0};
    if (upright)
        DrawLine(inks, l0, r0, l1, r1, mark);
    else
        DrawLine(inks, r0, l0, r1, l1, mark);
}

// Each trace steps sideways on a 45-degree diagonal; the traces start their
// diagonals one pixel apart, so the bundle keeps its spacing through the bend.
static void DrawBundle(Picture &inks, const Bundle &bundle)
{
    for (int i = 0; i < bundle.count; i++) {
        int r = bundle.from, lane = bundle.lane + Spacing * i, ink = 1 + (bundle.ink + i) % 3;
        for (const Jog &jog : bundle.jogs) {
            int start = jog.at + (jog.shift < 0 ? i : bundle.count - 1 - i);
            InkLine(inks, bundle.upright, r, lane, start, lane, ink);
            r = start + std::abs(jog.shift);
            InkLine(inks, bundle.upright, start, lane, r, lane + jog.shift, ink);
            lane += jog.shift;
        }
        InkLine(inks, bundle.upright, r, lane, bundle.to, lane, ink);
    }
}

// A fork-shaped pin end: a bar across the trace's end with two prongs pointing dx, dy.
static void DrawFork(Picture &inks, int x, int y, int dx, int dy, int ink)
{
    Rgb mark = {ink, 0, 0};
    int ax = dy * 3, ay = dx * 3;                       // across the trace
    DrawLine(inks, x - ax, y - ay, x + ax, y + ay, mark);
    DrawLine(inks, x - ax, y - ay, x - ax + 4 * dx, y - ay + 4 * dy, mark);
    DrawLine(inks, x + ax, y + ay, x + ax + 4 * dx, y + ay + 4 * dy, mark);
}

// A short stack of small rectangles (pads), each with a trace to a fork pin.
static void DrawPadStack(Picture &inks, int x, int y, int count, int reach, int ink)
{
    int side = reach < 0 ? -1 : 1;
    for (int k = 0; k < count; k++) {
        int top = y + 5 * k, shade = 1 + (ink + k) % 3;
        DrawBox(inks, x, top, x + 6, top + 3, {shade, 0, 0});
        int edge = side > 0 ? x + 7 : x - 1;
        DrawLine(inks, edge, top + 1, edge + reach, top + 1, {shade, 0, 0});
        if (k % 2 == 0)
            DrawFork(inks, edge + reach + side, top + 1, side, 0, shade);
    }
}

// A row of fork pins whose traces fall, bend by 45 degrees and end at pads.
static void DrawPinRow(Picture &inks, int x, int y, int count, int drop, int ink)
{
    for (int k = 0; k < count; k++) {
        int px = x + 5 * k, shade = 1 + (ink + k) % 3;
        DrawFork(inks, px, y, 0, -1, shade);
        DrawLine(inks, px, y + 1, px, y + drop, {shade, 0, 0});
        DrawLine(inks, px, y + drop, px + 8, y + drop + 8, {shade, 0, 0});
        DrawBox(inks, px + 7, y + drop + 9, px + 9, y + drop + 11, {shade, 0, 0});
    }
}

//
// The floor
//

// Distance of a pixel's centre from the picture's centre, which the chip's colours and glow follow.
static float Distance(int x, int y)
{
    float dx = x + 0.5f - FloorSize / 2, dy = y + 0.5f - FloorSize / 2;
    return std::sqrt(dx * dx + dy * dy);
}

Picture DrawFloorPattern()
{
    Picture inks = NewPicture(FloorSize, FloorSize, {0, 0, 0}, true);
    DrawBox(inks, 80, 80, 175, 175, {2, 0, 0});                        // the chip
    DrawBox(inks, 85, 85, 88, 88, {2, 0, 0});                          // its pin-1 mark
    for (const Bundle &bundle : Bundles)
        DrawBundle(inks, bundle);
    DrawPadStack(inks, 10, 10, 4, 20, 0);                              // corners: connectors
    DrawPadStack(inks, 36, 200, 5, -22, 1);
    DrawPinRow(inks, 182, 14, 6, 10, 2);
    DrawPinRow(inks, 190, 212, 5, 6, 0);
    DrawPadStack(inks, 236, 196, 3, -12, 2);

    Picture picture = NewPicture(FloorSize, FloorSize, {0, 0, 0}, true);
    for (int y = 0; y < FloorSize; y++)
        for (int x = 0; x < FloorSize; x++) {
            float d = Distance(x, y);
            int ink = PixelAt(inks, x, y).r;
            if (ink) {
                float centre = std::clamp((110.0f - d) / 60.0f, 0.0f, 1.0f);
                PlotPixel(picture, x, y, MixRgb(TraceInks[ink], CentreInk, centre));
            } else {
                float glow = std::pow(std::clamp(1.0f - d / 165.0f, 0.0f, 1.0f), 1.6f);
                PlotPixel(picture, x, y, MixRgb({0, 0, 0}, GlowInk, glow));
            }
        }
    return picture;
}
