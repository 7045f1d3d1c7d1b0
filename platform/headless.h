// Linux: an off-screen window for tools, tests and benchmarks that draw the
// scene without a display. Its device context is the window itself; GetDC,
// ChoosePixelFormat, SetPixelFormat and the wgl calls work on it as on a
// real window, over an EGL pbuffer of Mesa's surfaceless platform.
#pragma once

#include <windows.h>

// A window that is only a client area of the given size, or NULL.
HWND CreateHeadlessWindow(int width, int height);

// Frees the window and its drawing surface; a context current on it is released.
void DestroyHeadlessWindow(HWND window);

// The window's picture after glFinish: width * height RGB triples, top row
// first. Needs a context current on the window; otherwise all black.
void ReadHeadlessPixels(HWND window, unsigned char *rgb);
