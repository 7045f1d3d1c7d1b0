// The BMP reader behind LoadImageA fed broken files: it must refuse them, never crash; GetObjectA and
// DeleteObject on what it made. (The scene's pictures show the bitmaps built into the binary.)
#include "platform/bitmaps.h"

#include <gtest/gtest.h>

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

TEST(BmpReader, ReadsOnlySoundFiles)
{
    // A valid 3 x 2 file: rows of 9 bytes padded to 12, each byte of them different; its image size left to work out.
    Bytes file = Put(Bytes(54 + 2 * 12), {{0, 'B' | 'M' << 8, 2}, {2, 78, 4}, {10, 54, 4}, {14, 40, 4}, {18, 3, 4},
                                          {22, 2, 4}, {26, 1, 2}, {28, 24, 2}});
    for (size_t i = 54; i < file.size(); i++)
        file[i] = BYTE(i);
    // Signature; file size, also with a byte it does not count; offset in the headers, past the end, short of
    // the rows; core and version 4 headers; empty, negative (top-down), huge, beyond the rows; huge with a size
    // to match, which must allocate nothing; planes, depth, compression, image size, colour table.
    const std::vector<Field> cases[] = {{{0, 'B' | 'A' << 8, 2}}, {{2, 79, 4}}, {{2, 77, 4}}, {{10, 53, 4}},
        {{10, 79, 4}}, {{10, 55, 4}}, {{14, 12, 4}}, {{14, 108, 4}}, {{18, 0, 4}}, {{18, uint32_t(-3), 4}},
        {{22, 0, 4}}, {{22, uint32_t(-2), 4}}, {{18, 0x7fffffff, 4}}, {{22, 0x7fffffff, 4}}, {{18, 5, 4}}, {{22, 3, 4}},
        {{18, 16384, 4}, {22, 16384, 4}, {34, 16384u * 16384u * 3u, 4}}, {{26, 2, 2}}, {{28, 8, 2}}, {{28, 32, 2}},
        {{30, 1, 4}}, {{34, 23, 4}}, {{46, 2, 4}}};
    for (const std::vector<Field> &fields : cases)
        EXPECT_EQ(CreateBitmapFromBmp(Put(file, fields).data(), file.size()), nullptr) << "case " << &fields - cases;
    // A single row wider than any texture, with all its bytes.
    Bytes wide = Put(Bytes(54 + 49156), {{0, 'B' | 'M' << 8, 2}, {2, 54 + 49156, 4}, {10, 54, 4}, {14, 40, 4},
                                         {18, 16385, 4}, {22, 1, 4}, {26, 1, 2}, {28, 24, 2}});
    EXPECT_EQ(CreateBitmapFromBmp(wide.data(), wide.size()), nullptr);
    for (size_t length = 0; length < file.size(); length++) // each cut its own allocation: a read past it shows
        EXPECT_EQ(CreateBitmapFromBmp(Bytes(file.begin(), file.begin() + long(length)).data(), length), nullptr);
    HBITMAP read = CreateBitmapFromBmp(file.data(), file.size());
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(read, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(std::tuple(bm.bmWidth, bm.bmHeight, bm.bmWidthBytes, bm.bmBitsPixel), std::tuple(3, 2, 12, WORD(24)));
    EXPECT_EQ(Bytes((BYTE *)bm.bmBits, (BYTE *)bm.bmBits + 24), Bytes(file.begin() + 54, file.end()));
    EXPECT_TRUE(DeleteObject(read));
    EXPECT_EQ(GetObjectA(read, sizeof bm, &bm), 0) << "after delete";
}
