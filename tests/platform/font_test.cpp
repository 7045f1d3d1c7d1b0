// The overlay font: outlines and their filling checked as geometry without
// a GL context, the font selection, and the display lists drawn off-screen.
#include <gtest/gtest.h>

#include "platform/font_outline.h"
#include "platform/headless.h"

#include <GL/gl.h>
#include <algorithm>
#include <cstdlib>
#include <vector>
#include <windows.h>

// ---- helpers

static OutlineFace *Verdana()
{
    static OutlineFace *face = OpenOutlineFace("Verdana", FW_NORMAL, false);
    return face;
}

static GlyphOutline Glyph(unsigned code, float deviation = 0) { return LoadGlyphOutline(Verdana(), AnsiCodePoint(code), deviation); }

// Signed area, positive for a counter-clockwise contour (shoelace).
static double ContourArea(const OutlineContour &c)
{
    double sum = 0;
    for (size_t i = 0; i < c.size(); i++) {
        const OutlinePoint &a = c[i], &b = c[(i + 1) % c.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum / 2;
}

static double Cross(OutlinePoint o, OutlinePoint a, OutlinePoint b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

// Total area of the triangles; every one must turn counter-clockwise.
static double TriangleArea(const std::vector<OutlinePoint> &t)
{
    double sum = 0;
    for (size_t i = 0; i < t.size(); i += 3) {
        double twice = Cross(t[i], t[i + 1], t[i + 2]);
        EXPECT_GE(twice, 0) << "triangle " << i / 3 << " turns clockwise";
        sum += twice / 2;
    }
    return sum;
}

static bool Covered(const std::vector<OutlinePoint> &t, OutlinePoint p)
{
    for (size_t i = 0; i < t.size(); i += 3)
        if (Cross(t[i], t[i + 1], p) >= 0 && Cross(t[i + 1], t[i + 2], p) >= 0 && Cross(t[i + 2], t[i], p) >= 0)
            return true;
    return false;
}

static HFONT Verdana(int weight, bool italic)
{
    return CreateFontA(-24, 0, 0, 0, weight, italic, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Verdana");
}

static size_t PointCount(const GlyphOutline &g)
{
    size_t n = 0;
    for (const OutlineContour &c : g.contours)
        n += c.size();
    return n;
}

// ---- the face

TEST(FontFace, VerdanaResolvesToAnInstalledFaceHonouringWeightAndSlant)
{
    ASSERT_NE(Verdana(), nullptr);
    std::string name = OutlineFaceName(Verdana());
    EXPECT_TRUE(name.starts_with("Verdana, ") || name.starts_with("DejaVu Sans, ")) << name;

    OutlineFace *bold = OpenOutlineFace("Verdana", 700, false), *italic = OpenOutlineFace("Verdana", FW_NORMAL, true);
    ASSERT_TRUE(bold && italic);
    EXPECT_NE(OutlineFaceName(bold).find("Bold"), std::string::npos) << OutlineFaceName(bold);
    std::string slanted = OutlineFaceName(italic);
    EXPECT_TRUE(slanted.find("Italic") != std::string::npos || slanted.find("Oblique") != std::string::npos) << slanted;
    CloseOutlineFace(bold);
    CloseOutlineFace(italic);
}

// ---- glyph outlines and filling

TEST(FontOutline, FIsOneContourFilledToItsOwnArea)
{
    GlyphOutline f = Glyph('F');
    ASSERT_EQ(f.contours.size(), 1u);
    double area = ContourArea(f.contours[0]);
    EXPECT_GT(area, 0.05); // a solid letter, in em units, outer contour counter-clockwise
    EXPECT_NEAR(TriangleArea(TessellateOutline(f.contours)), area, area * 0.01);
    EXPECT_GT(f.width, 0);
    EXPECT_GT(f.top, 0.5); // a capital stands well above the baseline
}

TEST(FontOutline, OLeavesItsCounterEmpty)
{
    GlyphOutline o = Glyph('O');
    ASSERT_EQ(o.contours.size(), 2u);
    double a = ContourArea(o.contours[0]), b = ContourArea(o.contours[1]);
    EXPECT_LT(a * b, 0) << "the hole must run against the outer contour";
    std::vector<OutlinePoint> triangles = TessellateOutline(o.contours);
    EXPECT_NEAR(TriangleArea(triangles), a + b, std::abs(a + b) * 0.01); // outer minus inner

    OutlinePoint centre = {o.left + o.width / 2, o.top - o.height / 2};
    EXPECT_FALSE(Covered(triangles, centre));
    EXPECT_TRUE(Covered(triangles, {o.left + 0.01, centre.y})); // the stroke at the left is filled
}

TEST(FontOutline, FinerDeviationGivesMorePoints)
{
    size_t finest = PointCount(Glyph('O', 0)), coarse = PointCount(Glyph('O', 0.01f));
    EXPECT_GT(finest, coarse);
    EXPECT_GE(coarse, 16u); // still round, not a polygon of the control points
}

TEST(FontOutline, AdvancesAndEmptyGlyphs)
{
    EXPECT_FLOAT_EQ(Glyph('1').advance, Glyph('5').advance); // tabular digits keep the number steady
    EXPECT_GT(Glyph('1').advance, 0.3f);
    EXPECT_LT(Glyph('1').advance, 1.0f);

    GlyphOutline space = Glyph(' ');
    EXPECT_TRUE(space.contours.empty());
    EXPECT_TRUE(TessellateOutline(space.contours).empty());
    EXPECT_GT(space.advance, 0);

    for (unsigned control : {0x00u, 0x09u, 0x1Fu, 0x7Fu, 0x81u, 0x9Du})
        EXPECT_TRUE(Glyph(control).contours.empty()) << control;
}

TEST(FontOutline, CodesAreWindows1252)
{
    EXPECT_EQ(AnsiCodePoint(0x80), 0x20ACu); // euro sign
    EXPECT_EQ(AnsiCodePoint(0x9F), 0x0178u); // Y with diaeresis
    EXPECT_EQ(AnsiCodePoint(0x81), 0x81u);   // a gap in the code page
    EXPECT_EQ(AnsiCodePoint('A'), 'A');
    EXPECT_EQ(AnsiCodePoint(0xE9), 0xE9u);   // Latin-1 is Unicode's first 256

    EXPECT_FALSE(Glyph(0x80).contours.empty());
    EXPECT_EQ(Glyph(0x9F).contours.size(), Glyph('Y').contours.size() + 2); // the Y and its two dots
}

// ---- font selection

TEST(FontSelection, OutlinesNeedASelectedFont)
{
    HDC dc = (HDC)&dc; // any distinct handle will do: the font is remembered per device context
    EXPECT_FALSE(wglUseFontOutlinesA(dc, 0, 1, 1, 0, 0, WGL_FONT_POLYGONS, nullptr));

    HFONT a = Verdana(FW_NORMAL, false), b = Verdana(700, true);
    ASSERT_TRUE(a && b && a != b);
    HGDIOBJ stock = SelectObject(dc, (HGDIOBJ)a);
    EXPECT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(dc, (HGDIOBJ)b), (HGDIOBJ)a);
    EXPECT_EQ(SelectObject(dc, stock), (HGDIOBJ)b);
}

// ---- display lists, drawn off-screen

// The overlay as the renderer draws it: an em is 20 pixels each way here, so
// the baseline lies 14 rows below the top and "FPS: 57" ends near column 75.
TEST(FontLists, OverlayTextLightsOnlyTheTopLeftBand)
{
    const int width = 280, height = 294;
    unsetenv("DISPLAY"); // CI has no X server
    HWND window = CreateHeadlessWindow(width, height);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR pfd = {};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DOUBLEBUFFER | PFD_SUPPORT_OPENGL;
    pfd.cColorBits = 24;
    SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd);
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(context && wglMakeCurrent(dc, context));

    GLuint base = glGenLists(256);
    SelectObject(dc, (HGDIOBJ)Verdana(FW_NORMAL, false));
    static GLYPHMETRICSFLOAT metrics[255];
    ASSERT_TRUE(wglUseFontOutlinesA(dc, 0, 255, base, 0.0f, 0.01f, WGL_FONT_POLYGONS, metrics));
    EXPECT_FLOAT_EQ(metrics['5'].gmfCellIncX, Glyph('5').advance);

    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, 14, -14, 0.7, -1, 1);
    glColor3f(1, 1, 1);
    glListBase(base);
    glCallLists(7, GL_UNSIGNED_BYTE, "FPS: 57");
    SwapBuffers(dc);
    std::vector<unsigned char> rgb(width * height * 3);
    ReadHeadlessPixels(window, rgb.data());

    std::vector<bool> inked(width);
    int lowest = -1, rightmost = -1;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (rgb[(y * width + x) * 3] > 128) {
                inked[x] = true;
                lowest = std::max(lowest, y);
                rightmost = std::max(rightmost, x);
            }
    EXPECT_GE(lowest, 12); // the digits reach down to the baseline...
    EXPECT_LE(lowest, 15); // ...and nothing lies below it
    EXPECT_GT(rightmost, 65);
    EXPECT_LT(rightmost, 80);

    // Columns with ink form one cluster per visible glyph: F, P, S, colon, 5, 7;
    // the widest gap is the space.
    std::vector<int> starts, ends;
    for (int x = 0; x < width; x++)
        if (inked[x] && (x == 0 || !inked[x - 1]))
            starts.push_back(x);
        else if (!inked[x] && x > 0 && inked[x - 1])
            ends.push_back(x);
    ASSERT_EQ(starts.size(), 6u);
    EXPECT_LT(starts[0], 5);
    size_t widest = 1; // the cluster after the widest gap
    for (size_t i = 2; i < starts.size(); i++)
        if (starts[i] - ends[i - 1] > starts[widest] - ends[widest - 1])
            widest = i;
    EXPECT_EQ(widest, 4u); // the 5, after the space

    glDeleteLists(base, 256);
    wglMakeCurrent(NULL, NULL);
    wglDeleteContext(context);
    ReleaseDC(window, dc);
    DestroyHeadlessWindow(window);
}
