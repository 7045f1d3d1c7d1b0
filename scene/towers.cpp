// The city: 100 towers, each cut into 93 tiles that show one atlas cell apiece. The tiles
// reach GL from vertex arrays, a few draws per pass grouped by atlas and tint: the towers
// are added to the picture without a depth test, so their order does not change the sum.
#include "scene/scene.h"

#include <algorithm>
#include <cmath>

// ---- tile boundaries, relative to a tower's centre line
static const float FaceColumns[4] = {-0.5f, -0.17f, 0.17f, 0.5f};             // across any face
static const float FaceRows[8] = {1, 0.67f, 0.33f, 0, -0.33f, -0.67f, -1, -1.33f}; // down a side
static const float RoofRows[4] = {0.5f, 0.17f, -0.17f, -0.5f};                // across the roof

// The four side faces in drawing order: +z, -z, -x, +x.
enum { RoofTiles = 9, SideCount = 4, SideRows = 7, SideTiles = 3 * SideRows };
static const struct {
    bool alongX;  // face columns run along x (the z faces) or along z
    float offset; // the fixed coordinate of the face plane
} Sides[SideCount] = {{true, 0.5f}, {true, -0.5f}, {false, -0.5f}, {false, 0.5f}};

enum {
    QuadsPerTower = TilesPerTower + 1, // the tiles, then the base
    QuadCount = TowerCount * QuadsPerTower,
    AtlasCount = 2,
};

// ---- the city as GL reads it, kept between frames
struct TowerVertex {
    GLfloat s, t, x, y, z;
};

static TowerVertex TowerVertices[4 * QuadCount]; // quad 94t + k: tile k of tower t, k = 93 its base
static BYTE QuadAtlas[QuadCount];                // atlas of each quad: its code's slot bit, tile 92's for the base
static BYTE DrawnCodes[TileCount];               // codes whose cells TowerVertices show
static BYTE TintedGlow[TowerCount];              // glow bytes that TowerTints come from
static GLfloat TowerTints[TowerCount];           // green and blue of each tower's colour
static bool TilesPlaced;

// ---- what one pass draws
static BYTE TowerShown[TowerCount];       // may add a pixel in the current view
static BYTE QuadClipped[QuadCount];       // has a corner that GL clips away
static BYTE QuadCutAcross[QuadCount];     // split along its 1-3 diagonal rather than 0-2
static GLushort TowerIndices[6 * QuadCount];

// Corner positions of every quad, and the base's one texel, once.
static void PlaceTiles()
{
    for (int tower = 0; tower < TowerCount; tower++) {
        float x = (float)(3 * (tower % 10)), z = (float)(3 * (tower / 10));
        TowerVertex *v = TowerVertices + 4 * QuadsPerTower * tower;
        for (int i = 0; i < 3; i++) {
            for (int j = 0; j < 3; j++, v += 4) {
                float x0 = x + FaceColumns[j], x1 = x + FaceColumns[j + 1];
                float z0 = z + RoofRows[i], z1 = z + RoofRows[i + 1];
                const float corners[4][3] = {{x0, 1, z0}, {x1, 1, z0}, {x1, 1, z1}, {x0, 1, z1}};
                for (int c = 0; c < 4; c++)
                    v[c].x = corners[c][0], v[c].y = corners[c][1], v[c].z = corners[c][2];
            }
        }
        for (const auto &side : Sides) {
            float across = side.alongX ? x : z, fixed = (side.alongX ? z : x) + side.offset;
            for (int i = 0; i < SideRows; i++) {
                for (int j = 0; j < 3; j++, v += 4) {
                    float h0 = across + FaceColumns[j], h1 = across + FaceColumns[j + 1];
                    float bottom = FaceRows[i + 1], top = FaceRows[i];
                    const float edge[4][2] = {{h0, bottom}, {h1, bottom}, {h1, top}, {h0, top}};
                    for (int c = 0; c < 4; c++) {
                        v[c].x = side.alongX ? edge[c][0] : fixed;
                        v[c].y = edge[c][1];
                        v[c].z = side.alongX ? fixed : edge[c][0];
                    }
                }
            }
        }
        // The base takes one flat texel of whichever atlas tile 92 has.
        const float base[4][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f}, {-0.5f, 0.5f}};
        for (int c = 0; c < 4; c++)
            v[c] = {0.01f, 0.01f, x + base[c][0], -1.33f, z + base[c][1]};
    }
}

// Texture coordinates and atlas of tile k of a tower from its code.
static void SetCell(int tower, int k)
{
    BYTE code = TileTable[tower * TilesPerTower + k];
    int side = (k - RoofTiles) % SideTiles; // place within its side face, for k from 9 on
    int column = k < RoofTiles ? k % 3 : side % 3;
    int rowOffset = k < RoofTiles ? k / 3 : std::min(side / 3, 2); // the lower side rows repeat offset 2
    // Whole units of s and t vanish under GL_REPEAT: one cell per tile.
    float s = 0.25f * (code / 4) + 0.25f * column, t = 0.25f * code + 0.25f * rowOffset;
    const float st[4][2] = {{s, t}, {s + 0.25f, t}, {s + 0.25f, t + 0.25f}, {s, t + 0.25f}};
    int quad = tower * QuadsPerTower + k;
    for (int c = 0; c < 4; c++)
        TowerVertices[4 * quad + c].s = st[c][0], TowerVertices[4 * quad + c].t = st[c][1];
    QuadAtlas[quad] = code >> 4 & 1; // the slot bit: codes hold 16 slot + 4 column + row
    if (k == TilesPerTower - 1)
        QuadAtlas[quad + 1] = QuadAtlas[quad];
}

// Brings cells and tints up to the tables: only tiles whose code and towers whose glow changed.
static void RefreshTiles()
{
    bool all = !TilesPlaced;
    if (all)
        PlaceTiles(), TilesPlaced = true;
    for (int tower = 0; tower < TowerCount; tower++) {
        for (int k = 0; k < TilesPerTower; k++) {
            int i = tower * TilesPerTower + k;
            if (all || DrawnCodes[i] != TileTable[i])
                DrawnCodes[i] = TileTable[i], SetCell(tower, k);
        }
        if (all || TintedGlow[tower] != TowerGlow[tower]) {
            TintedGlow[tower] = TowerGlow[tower];
            int doubled = (2 * TintedGlow[tower]) & 0xFF; // the flare flag drops out
            TowerTints[tower] = 1 - 0.005f * doubled;
        }
    }
}

static const double ViewSlack = 1e-3; // well beyond the rounding of GL's own transform

// Which towers the current view can show, and which quads have a corner that GL clips.
static void PlaceInView()
{
    ReadView();
    for (int tower = 0; tower < TowerCount; tower++) {
        double x = 3 * (tower % 10), z = 3 * (tower / 10);
        bool hidden = false, inside = true;
        for (int p = 0; p < View.planeCount; p++) {
            double low = INFINITY, high = -INFINITY; // over the tower's box
            for (int corner = 0; corner < 8; corner++) {
                double d = PlaneDistance(View.planes[p], x + (corner & 1 ? 0.5 : -0.5), corner & 2 ? 1 : -1.33f,
                                         z + (corner & 4 ? 0.5 : -0.5));
                low = std::min(low, d), high = std::max(high, d);
            }
            hidden = hidden || high < -ViewSlack; // every point of the tower, and every fragment, beyond it
            inside = inside && (p >= FrustumPlaneCount || low > ViewSlack);
        }
        TowerShown[tower] = !hidden;
        if (hidden)
            continue; // its quads are not drawn, so how GL would clip them does not matter
        BYTE *clipped = QuadClipped + tower * QuadsPerTower;
        const TowerVertex *v = TowerVertices + 4 * QuadsPerTower * tower;
        for (int q = 0; q < QuadsPerTower; q++, v += 4) {
            bool clip = false;
            for (int c = 0; c < 4 && !inside; c++) // across a plane: corner by corner
                for (int p = 0; p < FrustumPlaneCount; p++)
                    clip = clip || PlaneDistance(View.planes[p], v[c].x, v[c].y, v[c].z) < 0;
            clipped[q] = clip;
        }
    }
}

// Drawn a tile at a time in immediate mode, a quad was cut by Mesa's software rasteriser
// along its 0-2 diagonal, or along 1-3 where anything in its batch needed clipping; a batch
// ran from one texture change to the next and never past a tower's new colour. Cutting as
// it did keeps that picture to the bit; any other GL cuts a quad as it likes.
static void ChooseCuts()
{
    for (int first = 0, q = 1; q <= QuadCount; q++) {
        if (q < QuadCount && q % QuadsPerTower && QuadAtlas[q] == QuadAtlas[q - 1])
            continue;
        bool clipped = std::any_of(QuadClipped + first, QuadClipped + q, [](BYTE c) { return c != 0; });
        std::fill(QuadCutAcross + first, QuadCutAcross + q, clipped);
        first = q;
    }
}

// The shown towers' quads as triangles, atlas by atlas and tint by tint.
static void DrawShownTowers()
{
    static const GLushort Cuts[2][6] = {{0, 1, 2, 0, 2, 3}, {0, 1, 3, 1, 2, 3}};
    int order[TowerCount], count = 0;
    for (int tower = 0; tower < TowerCount; tower++)
        if (TowerShown[tower])
            order[count++] = tower;
    std::sort(order, order + count, [](int a, int b) {
        return TowerTints[a] != TowerTints[b] ? TowerTints[a] < TowerTints[b] : a < b;
    });

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(TowerVertex), &TowerVertices[0].x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(TowerVertex), &TowerVertices[0].s);
    GLushort *index = TowerIndices;
    for (int atlas = 0; atlas < AtlasCount; atlas++) {
        glBindTexture(GL_TEXTURE_2D, TextureSlots[atlas]);
        for (int i = 0; i < count;) {
            GLfloat g = TowerTints[order[i]];
            GLushort *first = index;
            for (; i < count && TowerTints[order[i]] == g; i++)
                for (int q = order[i] * QuadsPerTower, end = q + QuadsPerTower; q < end; q++)
                    if (QuadAtlas[q] == atlas)
                        for (GLushort corner : Cuts[QuadCutAcross[q]])
                            *index++ = (GLushort)(4 * q + corner);
            if (index > first) {
                glColor3f(1, g, g);
                glDrawElements(GL_TRIANGLES, (GLsizei)(index - first), GL_UNSIGNED_SHORT, first);
            }
        }
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

// Draws, in world coordinates, every tower that can add a pixel under the current transform,
// scissor and fog (black fog and additive blending: past the fog's end a tower adds nothing).
// Leaves what the tile-by-tile drawing left: the listing atlas bound, the base's texel, white.
void DrawTowers()
{
    RefreshTiles();
    PlaceInView();
    ChooseCuts();
    DrawShownTowers();
    // Each tower once ended with an empty batch on the listing atlas, and its base with this
    // texel: the frame-rate text, drawn next without texture coordinates, still takes them.
    glBindTexture(GL_TEXTURE_2D, TextureSlots[1]);
    glTexCoord2f(0.01f, 0.01f);
    glColor3f(1, 1, 1);
}
