// The saver's four bitmap resources, drawn from code alone.
#pragma once

#include <cstdint>
#include <vector>

// A picture in memory: top row first, three bytes per pixel (red, green, blue).
struct Picture {
    int width, height;
    bool wraps;                 // drawing wraps round the edges (a tiling pattern)
    std::vector<uint8_t> rgb;
};

Picture DrawReadoutAtlas();     // resource 128
Picture DrawListingAtlas();     // resource 112
Picture DrawFloorPattern();     // resource 114
Picture DrawPulseSprite();      // resource 130

// The program's file icon as an .ico file: 16, 32 and 48 pixels as bitmaps, 256 as PNG.
std::vector<uint8_t> DrawIconFile();

// The picture as an uncompressed 24-bit BMP file, rows bottom-up.
std::vector<uint8_t> EncodeBmp(const Picture &picture);
