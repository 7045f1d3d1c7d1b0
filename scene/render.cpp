// One frame: the city mirrored in the floor, the floor over it, the city itself, the overlay.
#include "scene/scene.h"
#include "settings/settings.h"

#include <GL/glu.h>

// ---- the view held at Speed 0, taken at the first frame
HeldViewRecord HeldView;

// Roll about the line of sight, then the camera. At Speed 0 eye and look-at coincide, and the
// path builds a new segment on every tick, so a view taken from it would jump to another
// crossing at every frame: the camera holds its first view instead, from its crossing along
// its segment, and the picture stays still but for the city's own flicker, flares and pulses.
static void PlaceCamera()
{
    PathPoint eye = CameraPose.eye, at = CameraPose.lookAt;
    if (SaverSettings.speed == 0) {
        if (!HeldView.taken)
            HeldView = {true, eye, {CameraPath.end.x, CameraPath.end.z, eye.height}};
        eye = HeldView.eye, at = HeldView.lookAt;
    }
    glRotatef(CameraPose.roll, 0, 0, 1);
    gluLookAt(eye.x, eye.height, eye.z, at.x, at.height, at.z, 0, 1, 0);
}

// The pulses and towers mirrored below the floor, only where the floor covers the screen:
// the scissor box around the floor spares the rasteriser everything outside it.
static void DrawReflection()
{
    ScissorFloor();
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glEnable(GL_STENCIL_TEST);
    glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
    glStencilFunc(GL_ALWAYS, 1, 0xFFFFFFFF);
    DrawFloor();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

    glScalef(1, -1, 1);
    glTranslatef(0, 2.33f, 0); // mirror in the plane y = -1.165
    glStencilFunc(GL_EQUAL, 1, 0xFFFFFFFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    DrawPulses();
    DrawTowers();
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glScalef(1, -1, 1);
    glTranslatef(0, 2.33f, 0); // the same pair again undoes the mirror
}

// Draws and presents one frame of the scene from the current camera pose.
void RenderFrame()
{
    // An empty client height would give no aspect ratio: take it as one pixel, as the viewport does.
    LONG height = ClientSize.height ? ClientSize.height : 1;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(110, (double)ClientSize.width / height, 0.1, 110);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_ACCUM_BUFFER_BIT);
    glDisable(GL_FOG);
    PlaceCamera();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_DEPTH_TEST); // drawing order alone decides what covers what

    if (SaverSettings.reflections)
        DrawReflection();

    glColor4f(1, 1, 1, 0.84f); // the floor lets 16 % of the reflection through
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    DrawFloor();

    glColor4f(1, 1, 1, 1);
    glEnable(GL_FOG);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    DrawPulses();
    DrawTowers();

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
