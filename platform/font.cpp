// Linux: outline fonts for GL display lists. fontconfig picks the installed
// face nearest the one asked for, FreeType reads its outlines unhinted in
// design units, and the GLU tessellator fills them, so that each list draws
// the em-sized glyph that wglUseFontOutlinesA builds on Windows.
#include <windows.h>

#include "font_outline.h"
#include "gdi.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cmath>
#include <deque>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <map>
#include <utility>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

// ---- fonts and their selection
struct FontRequest {
    std::string face;
    int weight; // FW_*
    bool italic;
};

static FontRequest SystemFont = {"System", FW_NORMAL, false}; // what a fresh device context holds
static std::map<HDC, HGDIOBJ> SelectedFonts;                  // only fonts are ever selected

// ---- faces
struct OutlineFace {
    FT_Face face;
};

static FT_Library FreeType; // opened on first use, kept for the process

// Windows-1252 codes 0x80..0x9F; zero where the code page leaves a gap.
static const unsigned short AnsiHighCodes[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,      // 0x88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178, // 0x98
};

// What DeleteObject does with a font: a device context that still holds it falls back to the system font.
static void FreeFont(HGDIOBJ font)
{
    for (auto &[dc, selected] : SelectedFonts)
        if (selected == font)
            selected = (HGDIOBJ)&SystemFont;
    delete (FontRequest *)font;
}

// Records what the font should look like; the face is looked up when outlines are built.
HFONT WINAPI CreateFontA(int, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD, DWORD, DWORD,
                         DWORD, DWORD, LPCSTR face)
{
    HFONT font = (HFONT) new FontRequest{face ? face : "", weight ? weight : FW_NORMAL, italic != 0};
    TrackGdiObject(font, FreeFont);
    return font;
}

// Makes the font current in the device context and hands back the one it replaces.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object)
{
    HGDIOBJ &slot = SelectedFonts.try_emplace(dc, (HGDIOBJ)&SystemFont).first->second;
    return std::exchange(slot, object);
}

// Asks fontconfig for the nearest outline face and opens it with its Unicode map.
OutlineFace *OpenOutlineFace(const char *name, int weight, bool italic)
{
    if (!FreeType && FT_Init_FreeType(&FreeType))
        return NULL;
    FcPattern *want = FcPatternCreate();
    FcPatternAddString(want, FC_FAMILY, (const FcChar8 *)name);
    FcPatternAddInteger(want, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(want, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(want, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(NULL, want, FcMatchPattern);
    FcDefaultSubstitute(want);
    FcResult result;
    FcPattern *found = FcFontMatch(NULL, want, &result);
    FcPatternDestroy(want);

    FcChar8 *file;
    int index = 0;
    FT_Face face = NULL;
    if (found && FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(found, FC_INDEX, 0, &index);
        if (FT_New_Face(FreeType, (const char *)file, index, &face))
            face = NULL;
    }
    if (found)
        FcPatternDestroy(found);
    if (face && (!FT_IS_SCALABLE(face) || FT_Select_Charmap(face, FT_ENCODING_UNICODE))) {
        FT_Done_Face(face); // a bitmap face or one without Unicode: nothing to outline
        face = NULL;
    }
    return face ? new OutlineFace{face} : NULL;
}

// Frees a face from OpenOutlineFace.
void CloseOutlineFace(OutlineFace *face)
{
    FT_Done_Face(face->face);
    delete face;
}

// Names the face that fontconfig chose, family and style.
std::string OutlineFaceName(const OutlineFace *face)
{
    return std::string(face->face->family_name) + ", " + face->face->style_name;
}

// Maps a Windows-1252 code to Unicode; other codes are their own code points.
unsigned AnsiCodePoint(unsigned code)
{
    unsigned high = code >= 0x80 && code <= 0x9F ? AnsiHighCodes[code - 0x80] : 0;
    return high ? high : code; // the gaps stay C1 control characters, as Windows maps them
}

// ---- flattening, in design units
struct Flattener {
    std::vector<OutlineContour> contours;
    double tolerance; // largest chordal deviation allowed
};

// Extends the current contour, skipping a point that repeats the last.
static void AddPoint(Flattener *f, double x, double y)
{
    OutlineContour &c = f->contours.back();
    if (c.empty() || c.back().x != x || c.back().y != y) // a repeat would make a zero-width wall
        c.push_back({x, y});
}

// Chords per curve so that none strays further than the tolerance; bend is a
// quarter of the curve's largest second derivative.
static int CurveChords(double bend, double tolerance) { return std::max(1, (int)std::ceil(std::sqrt(bend / tolerance))); }

// Outline walk callbacks: start a contour, a straight edge, and the two kinds of curve.
static int MoveTo(const FT_Vector *to, void *user)
{
    Flattener *f = (Flattener *)user;
    f->contours.emplace_back();
    AddPoint(f, to->x, to->y);
    return 0;
}

static int LineTo(const FT_Vector *to, void *user)
{
    AddPoint((Flattener *)user, to->x, to->y);
    return 0;
}

static int ConicTo(const FT_Vector *c, const FT_Vector *to, void *user)
{
    Flattener *f = (Flattener *)user;
    OutlinePoint p = f->contours.back().back();
    int n = CurveChords(std::hypot(p.x - 2 * c->x + to->x, p.y - 2 * c->y + to->y) / 4, f->tolerance);
    for (int i = 1; i <= n; i++) {
        double t = (double)i / n, s = 1 - t;
        AddPoint(f, s * s * p.x + 2 * s * t * c->x + t * t * to->x, s * s * p.y + 2 * s * t * c->y + t * t * to->y);
    }
    return 0;
}

static int CubicTo(const FT_Vector *c1, const FT_Vector *c2, const FT_Vector *to, void *user)
{
    Flattener *f = (Flattener *)user;
    OutlinePoint p = f->contours.back().back();
    double bend = 0.75 * std::max(std::hypot(p.x - 2 * c1->x + c2->x, p.y - 2 * c1->y + c2->y),
                                  std::hypot(c1->x - 2 * c2->x + to->x, c1->y - 2 * c2->y + to->y));
    int n = CurveChords(bend, f->tolerance);
    for (int i = 1; i <= n; i++) {
        double t = (double)i / n, s = 1 - t, a = s * s * s, b = 3 * s * s * t, d = 3 * s * t * t, e = t * t * t;
        AddPoint(f, a * p.x + b * c1->x + d * c2->x + e * to->x, a * p.y + b * c1->y + d * c2->y + e * to->y);
    }
    return 0;
}

// C0 and C1 controls and DEL: codes that draw nothing.
static bool IsControl(unsigned codePoint) { return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F); }

// Reads one glyph unhinted in design units, flattens it and scales it to the em.
GlyphOutline LoadGlyphOutline(OutlineFace *face, unsigned codePoint, float deviation)
{
    FT_Face ft = face->face;
    GlyphOutline glyph = {};
    FT_UInt index = FT_Get_Char_Index(ft, codePoint);
    if ((IsControl(codePoint) && !index) || FT_Load_Glyph(ft, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING))
        return glyph; // nothing to draw and no width to move by
    double em = ft->units_per_EM;
    glyph.advance = ft->glyph->metrics.horiAdvance / em;
    if (IsControl(codePoint))
        return glyph;
    glyph.left = ft->glyph->metrics.horiBearingX / em;
    glyph.top = ft->glyph->metrics.horiBearingY / em;
    glyph.width = ft->glyph->metrics.width / em;
    glyph.height = ft->glyph->metrics.height / em;

    static const FT_Outline_Funcs walk = {MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    Flattener f = {{}, deviation > 0 ? deviation * em : 1.0};
    FT_Outline *outline = &ft->glyph->outline;
    FT_Outline_Decompose(outline, &walk, &f);
    bool clockwise = FT_Outline_Get_Orientation(outline) == FT_ORIENTATION_TRUETYPE;
    for (OutlineContour &c : f.contours) {
        if (c.size() > 1 && c.front().x == c.back().x && c.front().y == c.back().y)
            c.pop_back(); // the walk closes each contour on its first point
        if (c.size() < 3)
            continue;
        if (clockwise)
            std::reverse(c.begin(), c.end()); // TrueType fills on the right: turn to fill on the left
        for (OutlinePoint &p : c)
            p = {p.x / em, p.y / em};
        glyph.contours.push_back(std::move(c));
    }
    return glyph;
}

// ---- filling
struct Tessellation {
    std::vector<OutlinePoint> triangles;
    std::deque<OutlinePoint> crossings; // points made where edges cross; a deque keeps them in place
};

// Tessellator callbacks: collect each vertex, keep crossing points alive, ask for triangles only.
static void GLAPIENTRY TessVertex(void *point, void *data)
{
    ((Tessellation *)data)->triangles.push_back(*(OutlinePoint *)point);
}

static void GLAPIENTRY TessCombine(GLdouble xyz[3], void *[4], GLfloat[4], void **out, void *data)
{
    Tessellation *t = (Tessellation *)data;
    t->crossings.push_back({xyz[0], xyz[1]});
    *out = &t->crossings.back();
}

static void GLAPIENTRY TessEdgeFlag(GLboolean, void *) {} // its presence makes GLU hand out plain triangles

// Runs the GLU tessellator over the contours, nonzero winding, in the xy plane.
std::vector<OutlinePoint> TessellateOutline(const std::vector<OutlineContour> &contours)
{
    Tessellation t;
    if (contours.empty())
        return t.triangles;
    GLUtesselator *tess = gluNewTess();
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, (_GLUfuncptr)TessVertex);
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, (_GLUfuncptr)TessCombine);
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, (_GLUfuncptr)TessEdgeFlag);
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0, 0, 1);
    gluTessBeginPolygon(tess, &t);
    for (const OutlineContour &c : contours) {
        gluTessBeginContour(tess);
        for (const OutlinePoint &p : c) {
            GLdouble xyz[3] = {p.x, p.y, 0};
            gluTessVertex(tess, xyz, (void *)&p);
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    return t.triangles;
}

// ---- display lists

// Front face at z = 0; given depth, a back face at z = -depth and the walls between.
static void DrawGlyph(const GlyphOutline &glyph, float depth)
{
    std::vector<OutlinePoint> triangles = TessellateOutline(glyph.contours);
    glBegin(GL_TRIANGLES);
    glNormal3f(0, 0, 1);
    for (const OutlinePoint &p : triangles)
        glVertex3d(p.x, p.y, 0);
    if (depth > 0) {
        glNormal3f(0, 0, -1);
        for (size_t i = triangles.size(); i-- > 0;) // backwards, so that the back face faces -z
            glVertex3d(triangles[i].x, triangles[i].y, -depth);
    }
    glEnd();
    if (depth <= 0)
        return;
    glBegin(GL_QUADS);
    for (const OutlineContour &c : glyph.contours)
        for (size_t i = 0; i < c.size(); i++) {
            const OutlinePoint &a = c[i], &b = c[(i + 1) % c.size()];
            double length = std::hypot(b.x - a.x, b.y - a.y);
            glNormal3d((b.y - a.y) / length, (a.x - b.x) / length, 0); // outward: right of the edge
            glVertex3d(a.x, a.y, 0);
            glVertex3d(a.x, a.y, -depth);
            glVertex3d(b.x, b.y, -depth);
            glVertex3d(b.x, b.y, 0);
        }
    glEnd();
}

// Builds one list per character code: the filled glyph, then a move to the next origin.
// Only filled glyphs are offered; the program never asks for WGL_FONT_LINES.
BOOL WINAPI wglUseFontOutlinesA(HDC dc, DWORD first, DWORD count, DWORD listBase, FLOAT deviation,
                                FLOAT extrusion, int format, LPGLYPHMETRICSFLOAT metrics)
{
    auto selected = SelectedFonts.find(dc);
    if (selected == SelectedFonts.end() || format != WGL_FONT_POLYGONS)
        return FALSE;
    const FontRequest *font = (const FontRequest *)selected->second;
    OutlineFace *face = OpenOutlineFace(font->face.c_str(), font->weight, font->italic);
    if (!face)
        return FALSE;
    for (DWORD i = 0; i < count; i++) {
        GlyphOutline glyph = LoadGlyphOutline(face, AnsiCodePoint(first + i), deviation);
        glNewList(listBase + i, GL_COMPILE);
        DrawGlyph(glyph, extrusion);
        glTranslatef(glyph.advance, 0, 0);
        glEndList();
        if (metrics)
            metrics[i] = {glyph.width, glyph.height, {glyph.left, glyph.top}, glyph.advance, 0};
    }
    CloseOutlineFace(face);
    return TRUE;
}
