// Linux: the GDI objects the platform makes (bitmaps, fonts) and how
// DeleteObject frees each of them.
#pragma once

#include <windows.h>

// From now on DeleteObject(object) frees the object with destroy, once.
void TrackGdiObject(HGDIOBJ object, void (*destroy)(HGDIOBJ object));
