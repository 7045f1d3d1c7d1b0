// The frame-rate text: an outline font in display lists and a once-a-second frame counter.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "scene/scene.h"

// ---- font and counter
GLuint FontListBase;
static HFONT OverlayFont;      // selected into the scene's device context while the lists live
static HGDIOBJ PreviousFont;   // what the device context held before
int FrameCount;
int ShownFps;
DWORD FpsWindowStart = GetTickCount(); // the first window runs from program start

// Builds one filled, slightly extruded glyph list per character code 0..254.
void CreateOverlayFont(HDC dc)
{
    static GLYPHMETRICSFLOAT metrics[256];
    FontListBase = glGenLists(256);
    OverlayFont = CreateFontA(-24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Verdana");
    PreviousFont = SelectObject(dc, OverlayFont);
    wglUseFontOutlinesA(dc, 0, 255, FontListBase, 0.0f, 0.01f, WGL_FONT_POLYGONS, metrics);
}

// Deletes the glyph lists while the context is current, then the font, once the device context lets go of it.
void DeleteOverlayFont(HDC dc)
{
    if (!OverlayFont)
        return;
    glDeleteLists(FontListBase, 256);
    SelectObject(dc, PreviousFont);
    DeleteObject(OverlayFont);
    OverlayFont = nullptr;
}

// Formats printf-style into a fixed buffer and draws it at the model-view origin.
void DrawOverlayText(const char *format, ...)
{
    if (!format)
        return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args); // truncates rather than overflows
    va_end(args);

    glPushAttrib(GL_LIST_BIT);
    glListBase(FontListBase);
    glCallLists((GLsizei)std::strlen(text), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

// Counts a drawn frame; once a second the count becomes the number shown.
void CountFrame()
{
    DWORD now = GetTickCount();
    if (now - FpsWindowStart >= 1000) {
        ShownFps = FrameCount; // the count itself, not scaled to the window's true length
        FrameCount = 0;
        FpsWindowStart = GetTickCount(); // read afresh, not now: the next window starts a moment later
    }
    FrameCount++; // the frame that closed a window counts in the next
}
