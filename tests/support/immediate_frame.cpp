// Floor, pulses and towers by their rules, one glBegin per quad, in the frame's old pass order.
#include "tests/support/immediate_frame.h"

#include <GL/glu.h>

#include <utility>

#include "scene/scene.h"
#include "settings/settings.h"

// A flat square from (x, z) toward +x and +z, each corner's texture coordinates from its place (u, v) in it.
template <class Texel> static void Square(float x, float z, float side, float y, Texel st)
{
    glBegin(GL_QUADS);
    for (int c = 0; c < 4; c++) {
        float u = c == 1 || c == 2, v = c >= 2;
        glTexCoord2f(st(u, v).first, st(u, v).second);
        glVertex3f(x + side * u, y, z + side * v);
    }
    glEnd();
}

// The floor under the grid, its picture once per grid cell, s and t falling as x and z grow.
static void DrawFloorImmediately()
{
    glBindTexture(GL_TEXTURE_2D, TextureSlots[2]);
    Square(-1.5f, -1.5f, 30, -1.34f, [](float u, float v) { return std::pair(10 - 10 * u, 10 - 10 * v); });
}

// Each pulse a unit square from its corner, its picture's t axis along its travel and s across it.
static void DrawPulsesImmediately()
{
    static const float Travel[4][2] = {{0, -1}, {-1, 0}, {0, 1}, {1, 0}}; // along x and z, by heading
    glBindTexture(GL_TEXTURE_2D, TextureSlots[3]);
    for (int i = 0; i < SaverSettings.pulses; i++) {
        const Pulse &p = PulseArray[i];
        const float *d = Travel[p.heading];
        Square(p.x, p.z, 1, p.y, [d](float u, float v) {
            float du = u - 0.5f, dv = v - 0.5f; // from the middle
            return std::pair(0.5f + du * d[1] - dv * d[0], 0.5f + du * d[0] + dv * d[1]);
        });
    }
}

// Corner c (0..3, in drawing order) of tile k of the tower standing on x, z.
static void Corner(int k, int c, float x, float z, float *out)
{
    static const float B[4] = {-0.5f, -0.17f, 0.17f, 0.5f}, Y[8] = {1, 0.67f, 0.33f, 0, -0.33f, -0.67f, -1, -1.33f};
    static const float Zr[4] = {0.5f, 0.17f, -0.17f, -0.5f};
    int j = (k < 9 ? k : k - 9) % 3 + (c == 1 || c == 2), i;
    if (k < 9) { // roof: toward +x, then toward -z
        i = k / 3 + (c >= 2);
        out[0] = x + B[j], out[1] = 1, out[2] = z + Zr[i];
        return;
    }
    int face = (k - 9) / 21;
    i = (k - 9) % 21 / 3 + (c < 2); // bottom edge first
    float h = (face < 2 ? x : z) + B[j], fixed = (face < 2 ? z : x) + (face == 0 || face == 3 ? 0.5f : -0.5f);
    out[0] = face < 2 ? h : fixed, out[1] = Y[i], out[2] = face < 2 ? fixed : h;
}

// Each tower: its tint, 93 tiles each its own batch with its atlas bound, the base, an empty batch.
static void DrawTowersImmediately()
{
    for (int t = 0; t < 100; t++) {
        float x = (float)(3 * (t % 10)), z = (float)(3 * (t / 10));
        float g = 1 - 0.005f * ((2 * TowerGlow[t]) & 0xFF);
        glColor3f(1, g, g);
        for (int k = 0; k < 93; k++) {
            BYTE code = TileTable[93 * t + k];
            int row = k < 9 ? k / 3 : (k - 9) % 21 / 3, v = k < 9 ? row : (row < 2 ? row : 2);
            float s = 0.25f * (code / 4) + 0.25f * ((k < 9 ? k : k - 9) % 3), tt = 0.25f * code + 0.25f * v;
            if (k > 0)
                glEnd();
            glBindTexture(GL_TEXTURE_2D, TextureSlots[code / 16]);
            glBegin(GL_QUADS);
            for (int c = 0; c < 4; c++) {
                float p[3];
                Corner(k, c, x, z, p);
                glTexCoord2f(s + 0.25f * (c == 1 || c == 2), tt + 0.25f * (c >= 2));
                glVertex3f(p[0], p[1], p[2]);
            }
        }
        glEnd();
        Square(x - 0.5f, z - 0.5f, 1, -1.33f, [](float, float) { return std::pair(0.01f, 0.01f); }); // the base
        glBindTexture(GL_TEXTURE_2D, TextureSlots[1]);
        glBegin(GL_QUADS);
        glEnd();
    }
    glColor3f(1, 1, 1);
}

void DrawImmediateFrame()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(110, (double)ClientSize.width / ClientSize.height, 0.1, 110);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_ACCUM_BUFFER_BIT);
    glDisable(GL_FOG);
    const CameraPoseRecord &pose = CameraPose;
    glRotatef(pose.roll, 0, 0, 1);
    gluLookAt(pose.eye.x, pose.eye.height, pose.eye.z, pose.lookAt.x, pose.lookAt.height, pose.lookAt.z, 0, 1, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    if (SaverSettings.reflections) { // the floor marks the stencil; the mirrored city shows only there
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glEnable(GL_STENCIL_TEST);
        glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
        glStencilFunc(GL_ALWAYS, 1, ~0u);
        DrawFloorImmediately();
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glScalef(1, -1, 1);
        glTranslatef(0, 2.33f, 0); // the mirror in y = -1.165
        glStencilFunc(GL_EQUAL, 1, ~0u);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        DrawPulsesImmediately();
        DrawTowersImmediately();
        glDisable(GL_STENCIL_TEST);
        glScalef(1, -1, 1);
        glTranslatef(0, 2.33f, 0); // the same pair again undoes the mirror
    }
    glColor4f(1, 1, 1, 0.84f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    DrawFloorImmediately();
    glColor4f(1, 1, 1, 1);
    glEnable(GL_FOG);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    DrawPulsesImmediately();
    DrawTowersImmediately();
    if (SaverSettings.showfps) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 14, -14, 0.7, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        DrawOverlayText("FPS: %d", ShownFps);
    }
    glFinish();
    SwapBuffers(SceneDC);
}
