// Drawing primitives shared by the four pictures.
#pragma once

#include "bitmaps.h"

#include <cstdint>

struct Rgb { int r, g, b; };

// A tiny deterministic generator (xorshift32), so the pictures never
// depend on the C library's rand().
struct Dice { uint32_t state; };

Picture NewPicture(int width, int height, Rgb ground, bool wraps);
void PlotPixel(Picture &picture, int x, int y, Rgb colour);    // clipped or wrapped
Rgb PixelAt(const Picture &picture, int x, int y);
void DrawLine(Picture &picture, int x0, int y0, int x1, int y1, Rgb colour);
void DrawBox(Picture &picture, int x0, int y0, int x1, int y1, Rgb colour);
void FillBox(Picture &picture, int x0, int y0, int x1, int y1, Rgb colour);
Rgb MixRgb(Rgb a, Rgb b, float weight);                         // weight 0 gives a, 1 gives b

void PutLittle(std::vector<uint8_t> &out, uint32_t value, int bytes); // a little-endian file field

uint32_t RollDice(Dice &dice);
int DiceBelow(Dice &dice, int n);                               // 0..n-1

// Pixel font: 3 x 5 glyphs on a 4 x 6 pitch, capitals, digits and
// the punctuation of listings; anything else draws as a blank.
enum { GlyphAdvance = 4, LineAdvance = 6 };
void DrawText(Picture &picture, int x, int y, const char *text, Rgb colour);
