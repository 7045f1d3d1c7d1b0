// vantrel-bitmaps: writes the saver's four bitmaps and its file icon into a folder and,
// on request, one PNG contact sheet of them for people to look at.
#include "canvas.h"

#include <png.h>

#include <cstdio>
#include <string>

//
// The files
//

struct Resource { const char *file; Picture (*draw)(); };

static const Resource Resources[] = {
    {"readout.bmp", DrawReadoutAtlas},
    {"listing.bmp", DrawListingAtlas},
    {"floor.bmp", DrawFloorPattern},
    {"pulse.bmp", DrawPulseSprite},
};

static bool WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

//
// Contact sheet
//

enum { Margin = 16 };

// Copies the picture into the sheet enlarged `scale` times, repeated `tiles` x `tiles` times.
static void Paste(Picture &sheet, const Picture &picture, int left, int top, int scale, int tiles)
{
    for (int y = 0; y < picture.height * scale * tiles; y++)
        for (int x = 0; x < picture.width * scale * tiles; x++)
            PlotPixel(sheet, left + x, top + y,
                      PixelAt(picture, x / scale % picture.width, y / scale % picture.height));
}

// Readout, listing and pulse across the top; the floor alone and repeated 3 x 3 below.
static Picture ContactSheet(const Picture pictures[4])
{
    const int bigTile = 512, pulseSide = 256, repeated = 768;
    Picture sheet = NewPicture(4 * Margin + 2 * bigTile + pulseSide, 3 * Margin + bigTile + repeated,
                               {48, 48, 52}, false);
    Paste(sheet, pictures[0], Margin, Margin, 2, 1);
    Paste(sheet, pictures[1], 2 * Margin + bigTile, Margin, 2, 1);
    Paste(sheet, pictures[3], 3 * Margin + 2 * bigTile, Margin, 4, 1);
    Paste(sheet, pictures[2], Margin, 2 * Margin + bigTile, 2, 1);
    Paste(sheet, pictures[2], 2 * Margin + bigTile, 2 * Margin + bigTile, 1, 3);
    return sheet;
}

static bool WritePng(const std::string &path, const Picture &picture)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool written = false;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < picture.height; y++)
            png_write_row(png, &picture.rgb[size_t(y) * picture.width * 3]);
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0 && written;
}

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: %s FOLDER [SHEET.png]\n", argv[0]);
        return 2;
    }
    Picture pictures[4];
    for (int i = 0; i < 4; i++) {
        pictures[i] = Resources[i].draw();
        std::string path = std::string(argv[1]) + "/" + Resources[i].file;
        if (!WriteBytes(path, EncodeBmp(pictures[i]))) {
            fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
            return 1;
        }
    }
    std::string icon = std::string(argv[1]) + "/vantrel.ico";
    if (!WriteBytes(icon, DrawIconFile())) {
        fprintf(stderr, "%s: cannot write %s\n", argv[0], icon.c_str());
        return 1;
    }
    if (argc == 3 && !WritePng(argv[2], ContactSheet(pictures))) {
        fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
