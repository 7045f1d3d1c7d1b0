// The pulses that run along the streets, each a flat square with its head leading.
#include "scene/scene.h"
#include "settings/settings.h"

// Texture corners turned a quarter per heading, so the sprite's head leads.
static const float HeadingCycle[4][2] = {{1, 1}, {0, 1}, {0, 0}, {1, 0}};

// Each pulse as a flat unit square from its position toward +x and +z.
void DrawPulses()
{
    glBindTexture(GL_TEXTURE_2D, TextureSlots[3]);
    for (int i = 0; i < SaverSettings.pulses; i++) {
        const Pulse &p = PulseArray[i];
        const float square[4][2] = {{p.x, p.z}, {p.x + 1, p.z}, {p.x + 1, p.z + 1}, {p.x, p.z + 1}};
        glBegin(GL_QUADS);
        for (int c = 0; c < 4; c++) {
            const float *st = HeadingCycle[(c + p.heading) % 4];
            glTexCoord2f(st[0], st[1]);
            glVertex3f(square[c][0], p.y, square[c][1]);
        }
        glEnd();
    }
}
