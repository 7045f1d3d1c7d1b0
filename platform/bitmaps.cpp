// Linux: bitmaps from the program's own resources. The build turns the BMP
// files of resources/ into byte arrays; LoadImageA reads one into a
// device-independent section that GetObjectA describes and DeleteObject frees.
#include "bitmaps.h"
#include "gdi.h"

#include <cstring>
#include <set>
#include <vector>

// ---- file layout: BITMAPFILEHEADER, then BITMAPINFOHEADER
static const size_t FileHeaderSize = 14, InfoHeaderSize = 40;
static const LONG MaxSide = 16384;             // far beyond any texture we upload

// ---- sections given out and not yet deleted
struct DibSection {
    BITMAP header;
    std::vector<BYTE> bits;                    // bottom-up rows, padded to 4 bytes
};

static std::set<DibSection *> LiveSections;

// Little-endian fields; callers have checked that the header is all there.
static DWORD ReadDword(const BYTE *p) { return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24; }
static WORD ReadWord(const BYTE *p) { return WORD(p[0] | p[1] << 8); }

// What DeleteObject does with a section.
static void FreeSection(HGDIOBJ handle)
{
    DibSection *section = static_cast<DibSection *>(handle);
    LiveSections.erase(section);
    delete section;
}

HBITMAP CreateBitmapFromBmp(const void *bytes, size_t length)
{
    const BYTE *file = static_cast<const BYTE *>(bytes);
    if (!file || length < FileHeaderSize + InfoHeaderSize || file[0] != 'B' || file[1] != 'M')
        return NULL;
    const BYTE *info = file + FileHeaderSize;
    DWORD fileSize = ReadDword(file + 2), offset = ReadDword(file + 10);
    LONG width = LONG(ReadDword(info + 4)), height = LONG(ReadDword(info + 8));
    DWORD imageSize = ReadDword(info + 20), coloursUsed = ReadDword(info + 32);
    if (fileSize != length || offset < FileHeaderSize + InfoHeaderSize || offset > length)
        return NULL;
    if (ReadDword(info) != InfoHeaderSize || ReadWord(info + 12) != 1 || ReadWord(info + 14) != 24)
        return NULL;
    if (ReadDword(info + 16) != 0 /* BI_RGB */ || coloursUsed != 0)
        return NULL;
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide)  // negative height: top-down
        return NULL;
    // Each row is padded to a multiple of 4 bytes; all rows must lie inside the file.
    size_t stride = (size_t(width) * 3 + 3) & ~size_t(3), pixelBytes = stride * size_t(height);
    if (pixelBytes > length - offset || (imageSize != 0 && imageSize != pixelBytes))
        return NULL;

    DibSection *section = new DibSection;
    section->bits.assign(file + offset, file + offset + pixelBytes);
    section->header = {0, width, height, LONG(stride), 1, 24, section->bits.data()};
    LiveSections.insert(section);
    TrackGdiObject(section, FreeSection);
    return reinterpret_cast<HBITMAP>(section);
}

// Only what LoadTextures asks for: a numeric bitmap resource, unscaled, as a DIB section.
HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR name, UINT type, int cx, int cy, UINT flags)
{
    UINT_PTR id = reinterpret_cast<UINT_PTR>(name);
    if (type != IMAGE_BITMAP || cx != 0 || cy != 0 || (flags & ~UINT(LR_CREATEDIBSECTION)) || id > 0xFFFF)
        return NULL;
    for (const EmbeddedBitmap *bitmap = EmbeddedBitmaps; bitmap->id; bitmap++)
        if (bitmap->id == id)
            return CreateBitmapFromBmp(bitmap->bytes, bitmap->length);
    return NULL;
}

static DibSection *FindSection(HANDLE handle)
{
    auto found = LiveSections.find(static_cast<DibSection *>(handle));
    return found == LiveSections.end() ? nullptr : *found;
}

// Fills a BITMAP; with no buffer, tells the size it needs. Unknown handles get 0.
int WINAPI GetObjectA(HANDLE handle, int size, LPVOID buffer)
{
    DibSection *section = FindSection(handle);
    if (!section || (buffer && size < int(sizeof(BITMAP))))
        return 0;
    if (buffer)
        memcpy(buffer, &section->header, sizeof(BITMAP));
    return int(sizeof(BITMAP));
}

