// The overlay font: outlines and their filling checked as geometry without
// a GL context, and the display lists of the selected font drawn off-screen.
#include <gtest/gtest.h>

#include "platform/font_outline.h"
#include "platform/headless.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <vector>
#include <windows.h>

// ---- helpers

using Point = OutlinePoint;
static OutlineFace *const Verdana = OpenOutlineFace("Verdana", FW_NORMAL, false);

// A Windows-1252 character, its curves flattened to the deviation d.
static GlyphOutline Glyph(unsigned code, float d = 0) { return LoadGlyphOutline(Verdana, AnsiCodePoint(code), d); }

// Twice the signed area of the triangle o, a, b: positive when it turns counter-clockwise.
static double Cross(Point o, Point a, Point b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

// Signed area, positive for a counter-clockwise contour (shoelace).
static double ContourArea(const OutlineContour &c)
{
    double twice = 0;
    for (size_t i = 0; i < c.size(); i++)
        twice += Cross({0, 0}, c[i], c[(i + 1) % c.size()]);
    return twice / 2;
}

// Total area of the triangles; every one must turn counter-clockwise.
static double TriangleArea(const std::vector<Point> &t)
{
    double sum = 0;
    for (size_t i = 0; i < t.size(); i += 3) {
        double twice = Cross(t[i], t[i + 1], t[i + 2]);
        EXPECT_GE(twice, 0) << "triangle " << i / 3 << " turns clockwise";
        sum += twice / 2;
    }
    return sum;
}

static bool Covered(const std::vector<Point> &t, Point p)
{
    for (size_t i = 0; i < t.size(); i += 3)
        if (Cross(t[i], t[i + 1], p) >= 0 && Cross(t[i + 1], t[i + 2], p) >= 0 && Cross(t[i + 2], t[i], p) >= 0)
            return true;
    return false;
}

// ---- the face, glyph outlines and filling

TEST(FontOutline, VerdanaResolvesAndGlyphsFillTheirOutlinesWithSteadyAdvances)
{
    ASSERT_NE(Verdana, nullptr);
    std::string name = OutlineFaceName(Verdana);
    EXPECT_TRUE(name.starts_with("Verdana, ") || name.starts_with("DejaVu Sans, ")) << name;

    GlyphOutline f = Glyph('F');
    ASSERT_EQ(f.contours.size(), 1u);
    double area = ContourArea(f.contours[0]);
    EXPECT_GT(area, 0.05); // a solid letter, in em units, outer contour counter-clockwise
    EXPECT_NEAR(TriangleArea(TessellateOutline(f.contours)), area, area * 0.01);

    GlyphOutline o = Glyph('O');
    ASSERT_EQ(o.contours.size(), 2u);
    double a = ContourArea(o.contours[0]), b = ContourArea(o.contours[1]);
    EXPECT_LT(a * b, 0) << "the hole must run against the outer contour";
    std::vector<Point> triangles = TessellateOutline(o.contours);
    EXPECT_NEAR(TriangleArea(triangles), a + b, std::abs(a + b) * 0.01); // outer minus inner
    Point centre = {o.left + o.width / 2, o.top - o.height / 2};
    EXPECT_FALSE(Covered(triangles, centre));

    auto points = [](const GlyphOutline &g) { size_t n = 0; for (const auto &c : g.contours) n += c.size(); return n; };
    size_t finest = points(o), coarse = points(Glyph('O', 0.01f));
    EXPECT_GT(finest, coarse);
    EXPECT_GE(coarse, 16u); // still round, not a polygon of the control points

    EXPECT_FLOAT_EQ(Glyph('1').advance, Glyph('5').advance); // tabular digits keep the number steady
    EXPECT_TRUE(Glyph(' ').contours.empty() && Glyph(' ').advance > 0) << "a space is empty, yet moves on";
    // The euro sign and Y with diaeresis; a gap in the code page; Latin-1 is Unicode's first 256.
    for (auto [code, point] : {std::pair{0x80u, 0x20ACu}, {0x9Fu, 0x0178u}, {0x81u, 0x81u}, {0xE9u, 0xE9u}})
        EXPECT_EQ(AnsiCodePoint(code), point) << code;
    EXPECT_FALSE(Glyph(0x80).contours.empty());
}

// ---- display lists, drawn off-screen

// The overlay as the renderer draws it: an em is 20 pixels each way here, so
// the baseline lies 14 rows below the top and "FPS: 57" ends near column 75.
TEST(FontLists, OverlayTextLightsOnlyTheTopLeftBand)
{
    const int width = 280, height = 294;
    HWND window = CreateHeadlessWindow(width, height);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR pfd = {}; // true colour all the same
    SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd);
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(context && wglMakeCurrent(dc, context));

    GLuint base = glGenLists(256);
    static GLYPHMETRICSFLOAT metrics[255];
    EXPECT_FALSE(wglUseFontOutlinesA(dc, 0, 255, base, 0.0f, 0.01f, WGL_FONT_POLYGONS, metrics)) << "no font selected";
    HFONT font = CreateFontA(-24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Verdana");
    HGDIOBJ stock = SelectObject(dc, font);
    ASSERT_TRUE(wglUseFontOutlinesA(dc, 0, 255, base, 0.0f, 0.01f, WGL_FONT_POLYGONS, metrics));
    EXPECT_FLOAT_EQ(metrics['5'].gmfCellIncX, Glyph('5').advance);
    EXPECT_TRUE(stock != font && SelectObject(dc, stock) == font) << "the previous font comes back, to be put back";

    glClear(GL_COLOR_BUFFER_BIT);
    glOrtho(0, 14, -14, 0.7, -1, 1);
    glListBase(base);
    glCallLists(7, GL_UNSIGNED_BYTE, "FPS: 57");
    std::vector<unsigned char> rgb(width * height * 3);
    ReadHeadlessPixels(window, rgb.data());
    std::vector<bool> inked(width);
    int lowest = -1, end = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (rgb[(y * width + x) * 3] > 128)
                inked[x] = true, lowest = y; // rows run top-down: the last one is the lowest
    EXPECT_TRUE(lowest >= 12 && lowest <= 15) << lowest; // the digits reach down to the baseline, nothing below

    // Columns with ink form one cluster per visible glyph: F, P, S, colon, 5, 7;
    // the widest gap is the space, before the 5.
    std::vector<int> starts, gaps; // of each cluster, and the gap before it
    for (int x = 0; x < width; x++)
        if (inked[x] && (x == 0 || !inked[x - 1]))
            starts.push_back(x), gaps.push_back(x - end);
        else if (!inked[x] && x > 0 && inked[x - 1])
            end = x;
    ASSERT_EQ(starts.size(), 6u);
    EXPECT_LT(starts[0], 5);
    EXPECT_EQ(std::max_element(gaps.begin() + 1, gaps.end()) - gaps.begin(), 4); // the 5, after the space
    EXPECT_TRUE(end > 66 && end < 81) << end; // past the 7's last column
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_FALSE(DeleteObject(font)) << "twice";
    wglDeleteContext(context);
    DestroyHeadlessWindow(window);
}
