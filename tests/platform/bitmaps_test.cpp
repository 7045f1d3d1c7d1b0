// LoadImageA, GetObjectA and DeleteObject over the bitmaps built into the
// binary, and the BMP reader fed broken files: it must refuse them, never crash.
#include "platform/bitmaps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <tuple>
#include <vector>

using Bytes = std::vector<BYTE>;
struct Field { size_t at; uint32_t value; int bytes; };

// The file with little-endian header fields written into it.
static Bytes Put(Bytes file, const std::vector<Field> &fields)
{
    for (const Field &f : fields)
        for (int i = 0; i < f.bytes; i++)
            file[f.at + i] = BYTE(f.value >> (8 * i));
    return file;
}

// A valid 3 x 2 file: rows of 9 bytes padded to 12, each byte of them different.
static Bytes SmallBmp()
{
    Bytes file = Put(Bytes(54 + 2 * 12), {{0, 'B' | 'M' << 8, 2}, {2, 78, 4}, {10, 54, 4}, {14, 40, 4}, {18, 3, 4},
                                          {22, 2, 4}, {26, 1, 2}, {28, 24, 2}, {34, 24, 4}});
    for (size_t i = 54; i < file.size(); i++)
        file[i] = BYTE(i);
    return file;
}

static HBITMAP Read(const Bytes &file) { return CreateBitmapFromBmp(file.data(), file.size()); }

static BITMAP Describe(HANDLE handle)
{
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(handle, sizeof bm, &bm), int(sizeof bm));
    return bm;
}

TEST(BitmapResources, LoadAsStoredBottomUpRows)
{
    const struct { WORD id; const char *file; LONG side; } cases[] = {
        {128, "readout.bmp", 256}, {112, "listing.bmp", 256}, {114, "floor.bmp", 256}, {130, "pulse.bmp", 64}};
    for (const auto &c : cases) {
        std::ifstream in(std::string(VANTREL_RESOURCE_DIR) + "/" + c.file, std::ios::binary);
        Bytes file(std::istreambuf_iterator<char>(in), {});
        HANDLE handle = LoadImageA(NULL, MAKEINTRESOURCEA(c.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        ASSERT_NE(handle, nullptr) << c.id;
        BITMAP bm = Describe(handle);
        EXPECT_EQ(std::tuple(bm.bmWidth, bm.bmHeight, bm.bmWidthBytes, bm.bmPlanes, bm.bmBitsPixel),
                  std::tuple(c.side, c.side, c.side * 3, WORD(1), WORD(24))) << c.file; // rows need no padding
        ASSERT_EQ(file.size(), 54 + size_t(bm.bmWidthBytes) * bm.bmHeight);
        EXPECT_EQ(memcmp(bm.bmBits, file.data() + 54, file.size() - 54), 0) << "pixels as in " << c.file;
        EXPECT_TRUE(DeleteObject(handle));
    }
    // Only numeric ids that exist, as bitmaps, unscaled.
    const std::tuple<LPCSTR, UINT, int> refused[] = {{MAKEINTRESOURCEA(129), IMAGE_BITMAP, 0},
        {MAKEINTRESOURCEA(0), IMAGE_BITMAP, 0}, {"readout", IMAGE_BITMAP, 0},
        {MAKEINTRESOURCEA(128), 1 /* IMAGE_ICON */, 0}, {MAKEINTRESOURCEA(128), IMAGE_BITMAP, 32}};
    for (auto [name, type, side] : refused)
        EXPECT_EQ(LoadImageA(NULL, name, type, side, side, LR_CREATEDIBSECTION), nullptr) << type << " " << side;
}

TEST(BmpReader, ReadsOnlySoundFilesAndDeletesOnlyItsOwn)
{
    // Signature; file size, also with a byte it does not count; offset in the headers, past the end, short of
    // the rows; core and version 4 headers; empty, negative, top-down, huge, beyond the rows; huge with a size
    // to match, which must allocate nothing; planes, depth, compression, image size, colour table.
    const std::vector<Field> cases[] = {{{0, 'B' | 'A' << 8, 2}}, {{2, 79, 4}}, {{2, 77, 4}}, {{10, 53, 4}},
        {{10, 79, 4}}, {{10, 55, 4}}, {{14, 12, 4}}, {{14, 108, 4}}, {{18, 0, 4}}, {{18, uint32_t(-3), 4}},
        {{22, 0, 4}}, {{22, uint32_t(-2), 4}}, {{18, 0x7fffffff, 4}}, {{22, 0x7fffffff, 4}}, {{18, 5, 4}}, {{22, 3, 4}},
        {{18, 16384, 4}, {22, 16384, 4}, {34, 16384u * 16384u * 3u, 4}}, {{26, 2, 2}}, {{28, 8, 2}}, {{28, 16, 2}},
        {{28, 32, 2}}, {{30, 1, 4}}, {{30, 3, 4}}, {{34, 23, 4}}, {{46, 2, 4}}};
    for (const std::vector<Field> &fields : cases)
        EXPECT_EQ(Read(Put(SmallBmp(), fields)), nullptr) << "case " << &fields - cases;
    Bytes file = SmallBmp();
    EXPECT_EQ(CreateBitmapFromBmp(nullptr, file.size()), nullptr);
    for (size_t length = 0; length < file.size(); length++) // each cut its own allocation: a read past it shows
        EXPECT_EQ(Read(Bytes(file.begin(), file.begin() + long(length))), nullptr) << length << " bytes";

    // An image size of 0 means: work it out. The padded rows stay as stored, bottom-up.
    HBITMAP handle = Read(file = Put(file, {{34, 0, 4}}));
    ASSERT_NE(handle, nullptr);
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(handle, sizeof bm - 1, &bm), 0) << "buffer too small";
    bm = Describe(handle);
    EXPECT_EQ(std::tuple(bm.bmWidth, bm.bmHeight, bm.bmWidthBytes), std::tuple(3, 2, 12));
    EXPECT_EQ(memcmp(bm.bmBits, file.data() + 54, 2 * 12), 0);

    // Only its own handles, once.
    HGDIOBJ foreign = &file;
    EXPECT_EQ(GetObjectA(foreign, sizeof bm, &bm), 0);
    EXPECT_FALSE(DeleteObject(foreign));
    EXPECT_TRUE(DeleteObject(handle));
    EXPECT_FALSE(DeleteObject(handle)) << "twice";
    EXPECT_EQ(GetObjectA(handle, sizeof bm, &bm), 0) << "after delete";

    // Random header damage: whatever the reader accepts must describe rows that lie inside the file.
    std::mt19937 next(12345);
    int accepted = 0;
    for (int round = 0; round < 4000; round++) {
        file = SmallBmp();
        for (int hits = 1 + int(next() % 3); hits > 0; hits--)
            file[next() % 54] = BYTE(next());
        if ((handle = Read(file))) {
            bm = Describe(handle);
            size_t rows = size_t(bm.bmWidthBytes) * bm.bmHeight, offset = file[10] | file[11] << 8; // small, or refused
            ASSERT_LE(offset + rows, file.size());
            EXPECT_EQ(memcmp(bm.bmBits, file.data() + offset, rows), 0);
            accepted++;
            DeleteObject(handle);
        }
    }
    EXPECT_GT(accepted, 0) << "harmless damage (reserved words, resolution) still reads";
}
