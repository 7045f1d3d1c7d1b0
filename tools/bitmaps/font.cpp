// The pixel font of the listings and readouts.
#include "canvas.h"

//
// Glyphs
//

// One octal digit per row, top row first; within a digit 4 is the left
// column, 1 the right one. Indexed by character code from ' ' to '_'.
static const uint16_t Glyphs[64] = {
    000000, 022202, 055000, 057575, 000000, 041241, 000000, 022000,  //  !"#$%&'
    024442, 021112, 005250, 002720, 000024, 000700, 000002, 011244,  // ()*+,-./
    075557, 026227, 061247, 061216, 055711, 074616, 034757, 071222,  // 01234567
    075757, 075716, 002020, 002024, 012421, 007070, 042124, 061202,  // 89:;<=>?
    000000, 025755, 065656, 034443, 065556, 074647, 074644, 034553,  // @ABCDEFG
    055755, 072227, 011152, 055655, 044447, 057755, 065555, 025552,  // HIJKLMNO
    065644, 025563, 065655, 034216, 072222, 055557, 055552, 055775,  // PQRSTUVW
    055255, 055222, 071247, 064446, 044211, 031113, 025000, 000007,  // XYZ[\]^_
};

static uint16_t GlyphFor(char c)
{
    if (c >= 'a' && c <= 'z')
        c = char(c - 'a' + 'A');
    return c >= ' ' && c <= '_' ? Glyphs[c - ' '] : 0;
}

// Draws text with its first glyph's top-left pixel at (x, y).
void DrawText(Picture &picture, int x, int y, const char *text, Rgb colour)
{
    for (; *text; text++, x += GlyphAdvance) {
        uint16_t glyph = GlyphFor(*text);
        for (int row = 0; row < 5; row++)
            for (int column = 0; column < 3; column++)
                if (glyph >> (3 * (4 - row) + (2 - column)) & 1)
                    PlotPixel(picture, x + column, y + row, colour);
    }
}
