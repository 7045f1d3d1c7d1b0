// Pixels, lines, boxes, the dice, and the BMP file layout.
#include "canvas.h"

#include <cstdlib>

//
// Pixels and shapes
//

Picture NewPicture(int width, int height, Rgb ground, bool wraps)
{
    Picture picture{width, height, wraps, {}};
    picture.rgb.resize(size_t(width) * height * 3);
    FillBox(picture, 0, 0, width - 1, height - 1, ground);
    return picture;
}

// Wrapped pictures take every coordinate modulo their size; others drop what falls outside.
static bool PlaceInside(const Picture &picture, int &x, int &y)
{
    if (picture.wraps) {
        x = ((x % picture.width) + picture.width) % picture.width;
        y = ((y % picture.height) + picture.height) % picture.height;
        return true;
    }
    return x >= 0 && y >= 0 && x < picture.width && y < picture.height;
}

void PlotPixel(Picture &picture, int x, int y, Rgb colour)
{
    if (!PlaceInside(picture, x, y))
        return;
    uint8_t *p = &picture.rgb[(size_t(y) * picture.width + x) * 3];
    p[0] = uint8_t(colour.r);
    p[1] = uint8_t(colour.g);
    p[2] = uint8_t(colour.b);
}

Rgb PixelAt(const Picture &picture, int x, int y)
{
    if (!PlaceInside(picture, x, y))
        return {0, 0, 0};
    const uint8_t *p = &picture.rgb[(size_t(y) * picture.width + x) * 3];
    return {p[0], p[1], p[2]};
}

// Bresenham: one-pixel lines, exact on the axes and the diagonals.
void DrawLine(Picture &picture, int x0, int y0, int x1, int y1, Rgb colour)
{
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        PlotPixel(picture, x0, y0, colour);
        if (x0 == x1 && y0 == y1)
            return;
        int twice = 2 * error;
        if (twice >= dy) { error += dy; x0 += sx; }
        if (twice <= dx) { error += dx; y0 += sy; }
    }
}

void DrawBox(Picture &picture, int x0, int y0, int x1, int y1, Rgb colour)
{
    DrawLine(picture, x0, y0, x1, y0, colour);
    DrawLine(picture, x1, y0, x1, y1, colour);
    DrawLine(picture, x1, y1, x0, y1, colour);
    DrawLine(picture, x0, y1, x0, y0, colour);
}

void FillBox(Picture &picture, int x0, int y0, int x1, int y1, Rgb colour)
{
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++)
            PlotPixel(picture, x, y, colour);
}

Rgb MixRgb(Rgb a, Rgb b, float weight)
{
    auto mix = [weight](int from, int to) { return int(from + (to - from) * weight + 0.5f); };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

//
// Dice
//

uint32_t RollDice(Dice &dice)
{
    uint32_t s = dice.state;
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return dice.state = s;
}

int DiceBelow(Dice &dice, int n)
{
    return int(RollDice(dice) % uint32_t(n));
}

//
// BMP file
//

void PutLittle(std::vector<uint8_t> &out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        out.push_back(uint8_t(value >> (8 * i)));
}

std::vector<uint8_t> EncodeBmp(const Picture &picture)
{
    const uint32_t stride = (uint32_t(picture.width) * 3 + 3) & ~3u;
    const uint32_t imageSize = stride * uint32_t(picture.height);
    const uint32_t offset = 14 + 40;
    std::vector<uint8_t> out;
    out.reserve(offset + imageSize);
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    PutLittle(out, offset + imageSize, 4);
    PutLittle(out, 0, 4);                       // two reserved words
    PutLittle(out, offset, 4);
    // BITMAPINFOHEADER
    PutLittle(out, 40, 4);
    PutLittle(out, uint32_t(picture.width), 4);
    PutLittle(out, uint32_t(picture.height), 4);    // positive: bottom-up
    PutLittle(out, 1, 2);                       // planes
    PutLittle(out, 24, 2);                      // bits per pixel
    PutLittle(out, 0, 4);                       // BI_RGB
    PutLittle(out, imageSize, 4);
    PutLittle(out, 2835, 4);                    // 72 dots per inch, both ways
    PutLittle(out, 2835, 4);
    PutLittle(out, 0, 4);                       // no colour table
    PutLittle(out, 0, 4);
    for (int y = picture.height - 1; y >= 0; y--) {
        const uint8_t *row = &picture.rgb[size_t(y) * picture.width * 3];
        for (int x = 0; x < picture.width; x++) {
            out.push_back(row[3 * x + 2]);
            out.push_back(row[3 * x + 1]);
            out.push_back(row[3 * x]);
        }
        out.resize(out.size() + (stride - uint32_t(picture.width) * 3), 0);
    }
    return out;
}
