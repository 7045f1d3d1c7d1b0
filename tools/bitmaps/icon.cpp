// The program's file icon: three glowing towers over their reflection in the
// floor, one of them flaring red, on a navy tile with rounded corners.
#include "canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>

//
// The picture, in units of the icon's side (0 at the top left, 1 at the bottom right)
//

struct Colour { float r, g, b, a; };

struct Tower { float left, right, top; Colour lit; };

static const float Horizon = 0.68f;   // where the towers stand on the floor
static const float Corner = 0.18f;    // radius of the tile's rounded corners
static const Colour Ground = {0, 9, 18, 1}, Sky = {0, 22, 44, 1};
static const Colour Trace = {196, 70, 236, 1}; // the floor's violet wiring
static const Tower Towers[3] = {
    {0.14f, 0.34f, 0.36f, {130, 129, 255, 1}}, // lavender readouts
    {0.40f, 0.60f, 0.14f, {255, 102, 102, 1}}, // a flare at its height
    {0.66f, 0.86f, 0.28f, {144, 199, 255, 1}}, // sky-blue listings
};

// Whether the point lies on the rounded tile.
static bool OnTile(float x, float y)
{
    float dx = std::max({Corner - x, x - (1 - Corner), 0.0f}), dy = std::max({Corner - y, y - (1 - Corner), 0.0f});
    return x >= 0 && x < 1 && y >= 0 && y < 1 && dx * dx + dy * dy <= Corner * Corner;
}

// A tower's face: three columns of tiles, most of them lit, a few dark as windows are.
static Colour TowerFace(const Tower &tower, float x, float y)
{
    const float rowHeight = 0.06f;
    float column = (x - tower.left) / (tower.right - tower.left) * 3, row = (y - tower.top) / rowHeight;
    float across = column - std::floor(column), down = row - std::floor(row);
    bool gap = across < 0.18f || across > 0.82f || down < 0.2f || down > 0.8f;
    bool dark = ((int)column * 7 + (int)row * 5) % 6 == 0;
    float light = gap ? 0.22f : dark ? 0.35f : 1.0f;
    return {tower.lit.r * light, tower.lit.g * light, tower.lit.b * light, 1};
}

// The colour at one point: sky, towers, the floor line and the towers mirrored in the floor.
static Colour IconAt(float x, float y)
{
    if (!OnTile(x, y))
        return {0, 0, 0, 0};
    float fade = y < Horizon ? y / Horizon : 1 - (y - Horizon) / (1 - Horizon);
    Colour colour = {Ground.r + (Sky.r - Ground.r) * fade, Ground.g + (Sky.g - Ground.g) * fade,
                     Ground.b + (Sky.b - Ground.b) * fade, 1};
    if (std::fabs(y - Horizon) < 0.018f)
        return Trace;
    float mirrored = y > Horizon ? 2 * Horizon - y : y; // the floor lets a sixth of the city through
    for (const Tower &tower : Towers)
        if (x >= tower.left && x < tower.right && mirrored >= tower.top) {
            Colour face = TowerFace(tower, x, mirrored);
            float share = y > Horizon ? 0.3f * (1 - (y - Horizon) / (1 - Horizon)) : 1;
            return {colour.r + face.r * share, colour.g + face.g * share, colour.b + face.b * share, 1};
        }
    return colour;
}

// The icon at one size, each pixel the average of 4 x 4 samples: top row first, RGBA.
static std::vector<uint8_t> DrawIconImage(int side)
{
    std::vector<uint8_t> rgba(size_t(side) * side * 4);
    for (int py = 0; py < side; py++)
        for (int px = 0; px < side; px++) {
            float sum[4] = {};
            for (int s = 0; s < 16; s++) {
                Colour c = IconAt((px + (s % 4 + 0.5f) / 4) / side, (py + (s / 4 + 0.5f) / 4) / side);
                sum[0] += c.r * c.a, sum[1] += c.g * c.a, sum[2] += c.b * c.a, sum[3] += c.a;
            }
            uint8_t *p = &rgba[(size_t(py) * side + px) * 4];
            for (int i = 0; i < 3; i++) // colour over the covered samples only: edges keep their hue
                p[i] = uint8_t(std::min(255.0f, sum[3] > 0 ? sum[i] / sum[3] + 0.5f : 0));
            p[3] = uint8_t(sum[3] / 16 * 255 + 0.5f);
        }
    return rgba;
}

//
// The .ico file: small sizes as 32-bit bitmaps, the largest as PNG
//

// A 32-bit BGRA bitmap as icons hold it: double height, rows bottom-up, then an AND mask.
static std::vector<uint8_t> IconBitmap(const std::vector<uint8_t> &rgba, int side)
{
    std::vector<uint8_t> out;
    for (uint32_t field : {40u, uint32_t(side), uint32_t(2 * side)})
        PutLittle(out, field, 4);
    PutLittle(out, 1, 2);  // planes
    PutLittle(out, 32, 2); // bits per pixel
    for (int i = 0; i < 6; i++) // BI_RGB, image size, resolution, colour table: all 0
        PutLittle(out, 0, 4);
    for (int y = side - 1; y >= 0; y--)
        for (int x = 0; x < side; x++) {
            const uint8_t *p = &rgba[(size_t(y) * side + x) * 4];
            out.insert(out.end(), {p[2], p[1], p[0], p[3]});
        }
    const int maskStride = (side + 31) / 32 * 4;
    for (int y = side - 1; y >= 0; y--) { // set bits are transparent, for systems that ignore alpha
        std::vector<uint8_t> row(maskStride);
        for (int x = 0; x < side; x++)
            if (rgba[(size_t(y) * side + x) * 4 + 3] < 128)
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

static std::vector<uint8_t> IconPng(const std::vector<uint8_t> &rgba, int side)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = image.height = uint32_t(side);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr))
        out.clear();
    out.resize(size);
    return out;
}

std::vector<uint8_t> DrawIconFile()
{
    static const int Sides[] = {16, 32, 48, 256};
    std::vector<std::vector<uint8_t>> images;
    for (int side : Sides) {
        std::vector<uint8_t> rgba = DrawIconImage(side);
        images.push_back(side < 256 ? IconBitmap(rgba, side) : IconPng(rgba, side));
    }
    std::vector<uint8_t> out;
    PutLittle(out, 0, 2); // reserved
    PutLittle(out, 1, 2); // an icon, not a cursor
    PutLittle(out, uint32_t(images.size()), 2);
    uint32_t offset = 6 + 16 * uint32_t(images.size());
    for (size_t i = 0; i < images.size(); i++) {
        out.push_back(uint8_t(Sides[i] % 256)); // 0 stands for 256
        out.push_back(uint8_t(Sides[i] % 256));
        out.insert(out.end(), {0, 0}); // no palette, reserved
        PutLittle(out, 1, 2);          // planes
        PutLittle(out, 32, 2);         // bits per pixel
        PutLittle(out, uint32_t(images[i].size()), 4);
        PutLittle(out, offset, 4);
        offset += uint32_t(images[i].size());
    }
    for (const std::vector<uint8_t> &image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}
