// The city: 100 towers, each cut into 93 tiles that show one atlas cell apiece.
#include "scene/scene.h"

// ---- tile boundaries, relative to a tower's centre line
static const float FaceColumns[4] = {-0.5f, -0.17f, 0.17f, 0.5f};             // across any face
static const float FaceRows[8] = {1, 0.67f, 0.33f, 0, -0.33f, -0.67f, -1, -1.33f}; // down a side
static const float RoofRows[4] = {0.5f, 0.17f, -0.17f, -0.5f};                // across the roof

// The four side faces in drawing order: +z, -z, -x, +x.
enum { SideCount = 4, SideRows = 7 };
static const struct {
    bool alongX;  // face columns run along x (the z faces) or along z
    float offset; // the fixed coordinate of the face plane
} Sides[SideCount] = {{true, 0.5f}, {true, -0.5f}, {false, -0.5f}, {false, 0.5f}};

// Starts tile k's batch with its atlas bound and emits its corners with their atlas cell.
static void DrawTile(int k, BYTE code, int column, int rowOffset, const float (&corners)[4][3])
{
    if (k > 0)
        glEnd();
    glBindTexture(GL_TEXTURE_2D, TextureSlots[code / 16]);
    glBegin(GL_QUADS);
    // Whole units of s and t vanish under GL_REPEAT: one cell per tile.
    float s = 0.25f * (code / 4) + 0.25f * column, t = 0.25f * code + 0.25f * rowOffset;
    const float st[4][2] = {{s, t}, {s + 0.25f, t}, {s + 0.25f, t + 0.25f}, {s, t + 0.25f}};
    for (int c = 0; c < 4; c++) {
        glTexCoord2f(st[c][0], st[c][1]);
        glVertex3f(corners[c][0], corners[c][1], corners[c][2]);
    }
}

// One tower at grid row R, column C: tint, roof, four sides, base, closing batch.
static void DrawTower(int row, int column)
{
    int tower = 10 * row + column;
    const BYTE *codes = TileTable + tower * TilesPerTower;
    float x = (float)(3 * column), z = (float)(3 * row);

    int doubled = (2 * TowerGlow[tower]) & 0xFF; // the flare flag drops out
    float g = 1 - 0.005f * doubled;
    glColor3f(1, g, g);

    int k = 0;
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++, k++) {
            float x0 = x + FaceColumns[j], x1 = x + FaceColumns[j + 1];
            float z0 = z + RoofRows[i], z1 = z + RoofRows[i + 1];
            const float corners[4][3] = {{x0, 1, z0}, {x1, 1, z0}, {x1, 1, z1}, {x0, 1, z1}};
            DrawTile(k, codes[k], j, i, corners);
        }
    }
    for (const auto &side : Sides) {
        for (int i = 0; i < SideRows; i++) {
            for (int j = 0; j < 3; j++, k++) {
                float bottom = FaceRows[i + 1], top = FaceRows[i];
                float h[2], fixed;
                if (side.alongX) {
                    h[0] = x + FaceColumns[j], h[1] = x + FaceColumns[j + 1], fixed = z + side.offset;
                } else {
                    h[0] = z + FaceColumns[j], h[1] = z + FaceColumns[j + 1], fixed = x + side.offset;
                }
                float corners[4][3];
                const float edge[4][2] = {{h[0], bottom}, {h[1], bottom}, {h[1], top}, {h[0], top}};
                for (int c = 0; c < 4; c++) {
                    corners[c][0] = side.alongX ? edge[c][0] : fixed;
                    corners[c][1] = edge[c][1];
                    corners[c][2] = side.alongX ? fixed : edge[c][0];
                }
                DrawTile(k, codes[k], j, i < 2 ? i : 2, corners); // the lower rows repeat offset 2
            }
        }
    }

    // The base takes one flat texel of whichever atlas tile 92 left bound.
    glEnd();
    glBegin(GL_QUADS);
    const float base[4][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f}, {-0.5f, 0.5f}};
    for (const auto &corner : base) {
        glTexCoord2f(0.01f, 0.01f);
        glVertex3f(x + corner[0], -1.33f, z + corner[1]);
    }
    glEnd();

    glBindTexture(GL_TEXTURE_2D, TextureSlots[1]);
    glBegin(GL_QUADS);
    glEnd();
}

// Draws all towers in world coordinates and leaves the colour white.
void DrawTowers()
{
    for (int row = 0; row < 10; row++)
        for (int column = 0; column < 10; column++)
            DrawTower(row, column);
    glColor3f(1, 1, 1);
}
