// Linux: the glyph geometry behind wglUseFontOutlinesA, kept apart from GL
// so that outlines and their filling can be checked without a context.
#pragma once

#include <string>
#include <vector>

struct OutlinePoint {
    double x, y;
};

// A closed run of points; the last one joins back to the first.
typedef std::vector<OutlinePoint> OutlineContour;

// One glyph in em units (the face's em square is 1), origin on the baseline.
struct GlyphOutline {
    std::vector<OutlineContour> contours; // flattened; the filled side lies on the left
    float advance;                        // how far the next glyph's origin moves along +x
    float left, top, width, height;       // the black box
};

struct OutlineFace; // an outline face opened from an installed font file

// The installed outline face nearest the request (weight as FW_*), or NULL.
OutlineFace *OpenOutlineFace(const char *name, int weight, bool italic);
void CloseOutlineFace(OutlineFace *face);

// Family and style of the face that was found, e.g. "DejaVu Sans, Book".
std::string OutlineFaceName(const OutlineFace *face);

// The Unicode code point of a Windows-1252 character code.
unsigned AnsiCodePoint(unsigned code);

// The glyph of a code point with its curves flattened to the chordal deviation
// (em units; 0 means one design unit). Control characters have no contours.
GlyphOutline LoadGlyphOutline(OutlineFace *face, unsigned codePoint, float deviation);

// Fills the contours by the nonzero winding rule: triangles, three points
// each, counter-clockwise seen from +z.
std::vector<OutlinePoint> TessellateOutline(const std::vector<OutlineContour> &contours);
