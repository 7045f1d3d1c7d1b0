// LoadImageA, GetObjectA and DeleteObject over the bitmaps built into the
// binary, and the BMP reader fed broken files: it must refuse them, never crash.
#include "platform/bitmaps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

void PutField(Bytes &file, size_t at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        file[at + i] = BYTE(value >> (8 * i));
}

// A valid 3 x 2 file: rows of 9 bytes padded to 12, pixel (x, y) holds bytes x+10y, +1, +2.
Bytes SmallBmp()
{
    Bytes file(54 + 2 * 12, 0);
    file[0] = 'B';
    file[1] = 'M';
    PutField(file, 2, uint32_t(file.size()), 4);
    PutField(file, 10, 54, 4);
    PutField(file, 14, 40, 4);
    PutField(file, 18, 3, 4);
    PutField(file, 22, 2, 4);
    PutField(file, 26, 1, 2);
    PutField(file, 28, 24, 2);
    PutField(file, 34, 24, 4);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            for (int c = 0; c < 3; c++)
                file[54 + 12 * y + 3 * x + c] = BYTE(x + 10 * y + c);
    return file;
}

HBITMAP Read(const Bytes &file) { return CreateBitmapFromBmp(file.data(), file.size()); }

BITMAP Describe(HANDLE handle)
{
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(handle, sizeof bm, &bm), int(sizeof bm));
    return bm;
}

HANDLE LoadResource(UINT_PTR id)
{
    return LoadImageA(NULL, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
}

// ---- the built-in resources

TEST(BitmapResources, LoadAsStoredBottomUpRows)
{
    const struct { UINT_PTR id; const char *file; LONG side; } cases[] = {
        {128, "readout.bmp", 256}, {112, "listing.bmp", 256}, {114, "floor.bmp", 256}, {130, "pulse.bmp", 64}};
    for (const auto &c : cases) {
        std::ifstream in(std::string(VANTREL_RESOURCE_DIR) + "/" + c.file, std::ios::binary);
        Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        HANDLE handle = LoadResource(c.id);
        ASSERT_NE(handle, nullptr) << c.id;
        BITMAP bm = Describe(handle);
        EXPECT_EQ(bm.bmWidth, c.side);
        EXPECT_EQ(bm.bmHeight, c.side);
        EXPECT_EQ(bm.bmWidthBytes, c.side * 3);     // already a multiple of 4
        EXPECT_EQ(bm.bmPlanes, 1);
        EXPECT_EQ(bm.bmBitsPixel, 24);
        ASSERT_EQ(file.size(), 54 + size_t(bm.bmWidthBytes) * bm.bmHeight);
        EXPECT_EQ(memcmp(bm.bmBits, file.data() + 54, file.size() - 54), 0) << "pixels as in " << c.file;
        EXPECT_TRUE(DeleteObject(static_cast<HGDIOBJ>(handle)));
    }
}

TEST(BitmapResources, OnlyNumericBitmapIdsThatExist)
{
    EXPECT_EQ(LoadResource(129), nullptr);
    EXPECT_EQ(LoadResource(0), nullptr);
    EXPECT_EQ(LoadImageA(NULL, "readout", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr);
    EXPECT_EQ(LoadImageA(NULL, MAKEINTRESOURCEA(128), 1 /* IMAGE_ICON */, 0, 0, LR_CREATEDIBSECTION), nullptr);
    EXPECT_EQ(LoadImageA(NULL, MAKEINTRESOURCEA(128), IMAGE_BITMAP, 32, 32, LR_CREATEDIBSECTION), nullptr)
        << "no scaling";
}

// ---- handles

TEST(BitmapHandles, GetObjectAndDeleteTakeOnlyTheirOwn)
{
    HBITMAP handle = Read(SmallBmp());
    ASSERT_NE(handle, nullptr);
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(handle, 0, nullptr), int(sizeof bm)) << "size query";
    EXPECT_EQ(GetObjectA(handle, sizeof bm - 1, &bm), 0) << "buffer too small";

    int notABitmap = 0;
    HGDIOBJ foreign = reinterpret_cast<HGDIOBJ>(&notABitmap);
    EXPECT_EQ(GetObjectA(foreign, sizeof bm, &bm), 0);
    EXPECT_FALSE(DeleteObject(foreign));
    EXPECT_FALSE(DeleteObject(NULL));
    EXPECT_EQ(notABitmap, 0);

    EXPECT_TRUE(DeleteObject(reinterpret_cast<HGDIOBJ>(handle)));
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(handle))) << "twice";
    EXPECT_EQ(GetObjectA(handle, sizeof bm, &bm), 0) << "after delete";
}

// ---- the reader

TEST(BmpReader, KeepsPaddedBottomUpRows)
{
    HBITMAP handle = Read(SmallBmp());
    ASSERT_NE(handle, nullptr);
    BITMAP bm = Describe(handle);
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    EXPECT_EQ(bm.bmWidthBytes, 12);
    const BYTE *bits = static_cast<const BYTE *>(bm.bmBits);
    EXPECT_EQ(bits[3 * 2 + 1], 3) << "bottom row, third pixel, green";
    EXPECT_EQ(bits[12 + 3 * 1], 11) << "top row, second pixel, blue";
    DeleteObject(reinterpret_cast<HGDIOBJ>(handle));
}

TEST(BmpReader, RefusesEveryBrokenHeaderField)
{
    const struct { const char *what; size_t at; uint32_t value; int bytes; } cases[] = {
        {"signature", 0, 'B' | 'A' << 8, 2},
        {"file size too large", 2, 54 + 24 + 1, 4},
        {"file size too small", 2, 54 + 23, 4},
        {"offset inside the headers", 10, 53, 4},
        {"offset beyond the end", 10, 54 + 24 + 1, 4},
        {"offset leaves too few pixel bytes", 10, 55, 4},
        {"core header", 14, 12, 4},
        {"version 4 header", 14, 108, 4},
        {"zero width", 18, 0, 4},
        {"negative width", 18, uint32_t(-3), 4},
        {"zero height", 22, 0, 4},
        {"top-down rows", 22, uint32_t(-2), 4},
        {"huge width", 18, 0x7fffffff, 4},
        {"huge height", 22, 0x7fffffff, 4},
        {"wider than the rows", 18, 5, 4},
        {"taller than the rows", 22, 3, 4},
        {"two planes", 26, 2, 2},
        {"8 bits", 28, 8, 2},
        {"16 bits", 28, 16, 2},
        {"32 bits", 28, 32, 2},
        {"run-length coded", 30, 1, 4},
        {"bit fields", 30, 3, 4},
        {"image size", 34, 23, 4},
        {"colour table", 46, 2, 4},
    };
    for (const auto &c : cases) {
        Bytes file = SmallBmp();
        PutField(file, c.at, c.value, c.bytes);
        EXPECT_EQ(Read(file), nullptr) << c.what;
    }
    Bytes noImageSize = SmallBmp();
    PutField(noImageSize, 34, 0, 4);
    HBITMAP handle = Read(noImageSize);
    EXPECT_NE(handle, nullptr) << "an image size of 0 means: work it out";
    DeleteObject(reinterpret_cast<HGDIOBJ>(handle));
}

TEST(BmpReader, RefusesTruncatedAndPaddedFiles)
{
    Bytes file = SmallBmp();
    EXPECT_EQ(CreateBitmapFromBmp(nullptr, 78), nullptr);
    for (size_t length = 0; length < file.size(); length++) {
        Bytes cut(file.begin(), file.begin() + long(length));
        EXPECT_EQ(CreateBitmapFromBmp(cut.data(), cut.size()), nullptr) << length << " bytes";
    }
    file.push_back(0);
    EXPECT_EQ(Read(file), nullptr) << "a trailing byte the header does not count";
}

TEST(BmpReader, HugeDimensionsWithAMatchingSizeFieldAllocateNothing)
{
    Bytes file = SmallBmp();
    PutField(file, 18, 16384, 4);
    PutField(file, 22, 16384, 4);
    PutField(file, 34, 16384u * 16384u * 3u, 4);
    EXPECT_EQ(Read(file), nullptr);
}

// Random header damage: whatever the reader accepts must describe rows that lie inside the file.
TEST(BmpReader, SurvivesRandomHeaderDamage)
{
    uint32_t state = 12345;
    auto next = [&state] { state ^= state << 13; state ^= state >> 17; state ^= state << 5; return state; };
    int accepted = 0;
    for (int round = 0; round < 4000; round++) {
        Bytes file = SmallBmp();
        for (int hits = 1 + int(next() % 3); hits > 0; hits--)
            file[next() % 54] = BYTE(next());
        HBITMAP handle = Read(file);
        if (!handle)
            continue;
        accepted++;
        BITMAP bm = Describe(handle);
        ASSERT_GT(bm.bmWidth, 0);
        ASSERT_GT(bm.bmHeight, 0);
        ASSERT_EQ(bm.bmWidthBytes % 4, 0);
        ASSERT_GE(bm.bmWidthBytes, 3 * bm.bmWidth);
        ASSERT_LE(size_t(bm.bmWidthBytes) * bm.bmHeight, file.size() - 54);
        size_t offset = file[10] | file[11] << 8;       // accepted offsets are small
        EXPECT_EQ(memcmp(bm.bmBits, file.data() + offset, size_t(bm.bmWidthBytes) * bm.bmHeight), 0);
        EXPECT_TRUE(DeleteObject(reinterpret_cast<HGDIOBJ>(handle)));
    }
    EXPECT_GT(accepted, 0) << "harmless damage (reserved words, resolution) still reads";
}

} // namespace
