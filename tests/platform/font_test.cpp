// The overlay font: outlines and their filling checked as geometry, the code
// page against iconv's, and the display lists of the selected font drawn off-screen.
#include <gtest/gtest.h>

#include "platform/font_outline.h"
#include "platform/headless.h"

#include <GL/gl.h>
#include <algorithm>
#include <iconv.h>
#include <vector>

static OutlineFace *const Verdana = OpenOutlineFace("Verdana", FW_NORMAL, false);

// Twice the signed area of the triangle o, a, b: positive when it turns counter-clockwise.
static double Cross(OutlinePoint o, OutlinePoint a, OutlinePoint b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// An O is its outline less its hole: triangles that all turn counter-clockwise, none over the middle.
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
    OutlinePoint middle = {o.left + o.width / 2, o.top - o.height / 2};
    for (size_t i = 0; i < t.size(); i += 3) {
        EXPECT_GE(Cross(t[i], t[i + 1], t[i + 2]), 0) << "triangle " << i / 3 << " turns clockwise";
        filled += Cross(t[i], t[i + 1], t[i + 2]) / 2;
        EXPECT_LT(std::min({Cross(t[i], t[i + 1], middle), Cross(t[i + 1], t[i + 2], middle),
                            Cross(t[i + 2], t[i], middle)}), 0) << "triangle " << i / 3 << " covers the middle";
    }
    EXPECT_NEAR(filled, area[0] + area[1], (area[0] + area[1]) * 0.01);
    size_t coarse = LoadGlyphOutline(Verdana, 'O', 0.01f).contours[0].size();
    EXPECT_GT(o.contours[0].size(), coarse) << "flattened less finely";
    EXPECT_GE(coarse, 8u) << "still round, not a polygon of the control points";
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
    ASSERT_TRUE(wglMakeCurrent(dc, wglCreateContext(dc)));
    GLuint base = glGenLists(256);
    static GLYPHMETRICSFLOAT metrics[256];
    EXPECT_FALSE(wglUseFontOutlinesA(dc, 0, 256, base, 0.0f, 0.01f, WGL_FONT_POLYGONS, metrics)) << "no font selected";
    HFONT font = CreateFontA(-24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Verdana");
    HGDIOBJ stock = SelectObject(dc, font);
    ASSERT_TRUE(wglUseFontOutlinesA(dc, 0, 256, base, 0.0f, 0.01f, WGL_FONT_POLYGONS, metrics));
    EXPECT_FLOAT_EQ(metrics['1'].gmfCellIncX, metrics['5'].gmfCellIncX);
    EXPECT_EQ(SelectObject(dc, stock), font) << "the previous font comes back, to be put back";
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
    EXPECT_FALSE(DeleteObject(font)) << "twice";
}
