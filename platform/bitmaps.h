// Linux: the BMP reader behind LoadImageA, and the bitmap files built into the binary.
#pragma once

#include <windows.h>

// One bitmap resource: its numeric id and the BMP file's bytes.
struct EmbeddedBitmap {
    WORD id;
    const BYTE *bytes;
    size_t length;
};

// Generated at build time from resources/*.bmp; ends with an entry of id 0.
extern const EmbeddedBitmap EmbeddedBitmaps[];

// A device-independent section holding the 24-bit BMP file in bytes, or
// NULL unless every header field and size checks out. DeleteObject frees it.
HBITMAP CreateBitmapFromBmp(const void *bytes, size_t length);
