// The off-screen platform of tests, tools and benchmarks: EGL windows with the
// scene's pixel format, and the overlay font: outlines and their filling as
// geometry, the code page against iconv's, and the display lists drawn off-screen.
#include <gtest/gtest.h>

#include "platform/font_outline.h"
#include "platform/headless.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <algorithm>
#include <iconv.h>
#include <vector>

static const bool NoDisplay = unsetenv("DISPLAY") == 0; // CI has no X server; nothing here may need one

// The scene asks for 16 colour bits and a stencil: it gets true colour and the stencil; the window's pbuffer
// goes with the window.
TEST(Headless, TheScenesContextHasStencilAndTrueColourAndItsSurfaceGoesWithTheWindow)
{
    HWND window = CreateHeadlessWindow(64, 48);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR request = {};
    request.dwFlags = PFD_DOUBLEBUFFER | PFD_SUPPORT_OPENGL;
    request.cColorBits = 16;
    request.cStencilBits = 8;
    int format = ChoosePixelFormat(dc, &request);
    ASSERT_TRUE(SetPixelFormat(dc, format, &request));
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    GLint stencil = 0, red = 0;
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_RED_BITS, &red);
    EXPECT_GE(std::min(stencil, red), 8);
    EGLDisplay display = eglGetCurrentDisplay();
    EGLSurface surface = eglGetCurrentSurface(EGL_DRAW);
    DestroyHeadlessWindow(window); // while current: it is released first
    EXPECT_EQ(eglGetCurrentSurface(EGL_DRAW), EGL_NO_SURFACE);
    EGLint side = 0;
    EXPECT_FALSE(eglQuerySurface(display, surface, EGL_WIDTH, &side));
    EXPECT_EQ(eglGetError(), EGL_BAD_SURFACE);
    EXPECT_TRUE(wglDeleteContext(context));
}

static OutlineFace *const Verdana = OpenOutlineFace("Verdana", FW_NORMAL, false);

// Twice the signed area of the triangle o, a, b: positive when it turns counter-clockwise.
static double Cross(OutlinePoint o, OutlinePoint a, OutlinePoint b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// An O is its outline less its hole, in triangles that all turn counter-clockwise.
TEST(FontOutline, GlyphsAreFilledBetweenTheirContours)
{
    ASSERT_NE(Verdana, nullptr);
    GlyphOutline o = LoadGlyphOutline(Verdana, 'O', 0);
    double area[2] = {}, filled = 0;
    ASSERT_EQ(o.contours.size(), 2u);
    for (int c = 0; c < 2; c++)
        for (size_t i = 0; i < o.contours[c].size(); i++) // the shoelace formula
            area[c] += Cross({0, 0}, o.contours[c][i], o.contours[c][(i + 1) % o.contours[c].size()]) / 2;
    EXPECT_LT(area[0] * area[1], 0) << "the hole must run against the outline";
    EXPECT_GT(area[0] + area[1], 0.05) << "in em units, counter-clockwise";
    std::vector<OutlinePoint> t = TessellateOutline(o.contours);
    for (size_t i = 0; i < t.size(); i += 3) {
        EXPECT_GE(Cross(t[i], t[i + 1], t[i + 2]), 0) << "triangle " << i / 3 << " turns clockwise";
        filled += Cross(t[i], t[i + 1], t[i + 2]) / 2;
    }
    EXPECT_NEAR(filled, area[0] + area[1], (area[0] + area[1]) * 0.01);
}

// The gaps of the code page stay the C1 control characters, as Windows maps them.
TEST(FontOutline, CharacterCodesAreWindows1252)
{
    iconv_t cp1252 = iconv_open("UTF-32LE", "CP1252");
    for (unsigned code = 0x20; code <= 0xFF; code++) {
        char in = char(code), *from = &in;
        char32_t out = 0;
        char *to = (char *)&out;
        size_t left = 1, room = sizeof out;
        EXPECT_EQ(AnsiCodePoint(code), iconv(cp1252, &from, &left, &to, &room) != (size_t)-1 ? out : code) << code;
    }
    iconv_close(cp1252);
}

// The overlay as the renderer draws it, an em 20 pixels high: "FPS: 57" in the top left, down to the
// baseline 14 rows below the top and across to about column 75, with digits of one width.
TEST(FontLists, OverlayTextLightsOnlyTheTopLeftBand)
{
    const int width = 280, height = 294;
    HWND window = CreateHeadlessWindow(width, height);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR pfd = {};
    SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd);
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    GLuint base = glGenLists(256);
    static GLYPHMETRICSFLOAT metrics[256];
    HFONT font = CreateFontA(-24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Verdana");
    HGDIOBJ stock = SelectObject(dc, font);
    ASSERT_TRUE(wglUseFontOutlinesA(dc, 0, 256, base, 0.0f, 0.01f, WGL_FONT_POLYGONS, metrics));
    EXPECT_FLOAT_EQ(metrics['1'].gmfCellIncX, metrics['5'].gmfCellIncX);
    EXPECT_EQ(SelectObject(dc, stock), font) << "the previous font comes back, to be put back";
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND); // adding, as the scene draws it: only where the back face adds again is a pixel over 128
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(0.3f, 0.3f, 0.3f);
    glOrtho(0, 14, -14, 0.7, -1, 1);
    glListBase(base);
    glCallLists(7, GL_UNSIGNED_BYTE, "FPS: 57");
    std::vector<unsigned char> rgb(width * height * 3);
    ReadHeadlessPixels(window, rgb.data());
    int lowest = -1, rightmost = -1;
    for (int i = 0; i < width * height; i++)
        if (rgb[i * 3] > 128) {
            lowest = i / width; // rows run top-down: the last one is the lowest
            rightmost = std::max(rightmost, i % width);
        }
    EXPECT_NEAR(lowest, 13.5, 1.5);
    EXPECT_NEAR(rightmost, 73.5, 6.5);
    EXPECT_TRUE(DeleteObject(font));
    wglDeleteContext(context);
    DestroyHeadlessWindow(window);
}
