// The circuit floor under the whole grid, the mirror of the city within it.
#include "scene/scene.h"

// The floor's picture repeats once per grid cell.
const float FloorCorners[4][5] = {
    {-1.5f, -1.34f, -1.5f, 10, 10},
    {28.5f, -1.34f, -1.5f, 0, 10},
    {28.5f, -1.34f, 28.5f, 0, 0},
    {-1.5f, -1.34f, 28.5f, 10, 0},
};

// One textured quad under the whole grid.
void DrawFloor()
{
    glBindTexture(GL_TEXTURE_2D, TextureSlots[2]);
    glBegin(GL_QUADS);
    for (const auto &c : FloorCorners) {
        glTexCoord2f(c[3], c[4]);
        glVertex3f(c[0], c[1], c[2]);
    }
    glEnd();
}
