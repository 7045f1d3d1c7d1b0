// The pulse sprite (130): a comet-like streak whose head is the top edge.
#include "canvas.h"

#include <algorithm>
#include <cmath>

enum { SpriteSize = 64 };

static const float HeadRow = 3, WidestRow = 13, TailRow = 60;  // rows from the top
static const float CoreEndRow = 42;                             // white core: about two thirds down
static const float MaxHalfWidth = 9.5f;                         // keeps the glow inside the middle third

// Half-width of the glow at a row: a quick rounded rise at the head, then a long taper to a point.
static float HalfWidth(float row)
{
    if (row < HeadRow || row > TailRow)
        return 0;
    if (row < WidestRow)
        return MaxHalfWidth * std::sqrt((row - HeadRow) / (WidestRow - HeadRow));
    return MaxHalfWidth * (TailRow - row) / (TailRow - WidestRow);
}

// Brightness of the glow along the streak: full in the upper third, dimming towards the tail.
static float Strength(float row)
{
    return row < 20 ? 1.0f : 1.0f - 0.8f * (row - 20) / (TailRow - 20);
}

Picture DrawPulseSprite()
{
    Picture picture = NewPicture(SpriteSize, SpriteSize, {0, 0, 0}, false);
    for (int y = 0; y < SpriteSize; y++) {
        float row = y + 0.5f, width = HalfWidth(row);
        float core = std::clamp((CoreEndRow - row) / (CoreEndRow - 22), 0.0f, 1.0f);
        for (int x = 0; x < SpriteSize; x++) {
            float across = std::fabs(x + 0.5f - SpriteSize / 2);
            if (across >= width)
                continue;
            float inner = 1 - across / width;                       // 1 on the axis, 0 at the rim
            float light = Strength(row) * std::pow(inner, 1.4f);
            Rgb glow = {0, int((100 + 90 * inner) * light + 0.5f), int(255 * light + 0.5f)};
            if (across < 1 && row > HeadRow + 1)
                glow = MixRgb(glow, {249, 252, 255}, core);
            PlotPixel(picture, x, y, glow);
        }
    }
    return picture;
}
