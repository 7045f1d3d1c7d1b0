// Bringing the scene to life in a new window: settings, seed, context, textures, fixed state.
#include "scene/scene.h"
#include "settings/settings.h"

#include <GL/glu.h>

// ---- the window's drawing surface, set at creation
ClientSizeRecord ClientSize;
HDC SceneDC;
HGLRC SceneContext;

// Pixel format, rendering context, textures, overlay font and the state every frame relies on;
// without a context current, SceneContext stays null and nothing else is done.
void CreateSceneContext(HWND window)
{
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DOUBLEBUFFER | PFD_SUPPORT_OPENGL;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 16;
    request.cStencilBits = 8; // without it the reflection spills past the floor

    SceneDC = GetDC(window);
    int format = ChoosePixelFormat(SceneDC, &request);
    SetPixelFormat(SceneDC, format, &request);
    SceneContext = wglCreateContext(SceneDC);
    if (SceneContext && !wglMakeCurrent(SceneDC, SceneContext)) {
        wglDeleteContext(SceneContext);
        SceneContext = nullptr;
    }
    if (!SceneContext)
        return; // no picture, and no GL call, which would have nowhere to go

    LoadTextures();
    if (SaverSettings.showfps)
        CreateOverlayFont(SceneDC);

    static const GLfloat fogColor[4] = {0, 0, 0, 1};
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glFogfv(GL_FOG_COLOR, fogColor);
    glFogf(GL_FOG_MODE, GL_LINEAR);
    glHint(GL_FOG_HINT, GL_FASTEST);
    glFogf(GL_FOG_START, 6);  // nearer than this, nothing is fogged
    glFogf(GL_FOG_END, 20);   // farther than this, everything is black
    glEnable(GL_FOG);
}

// Everything the scene needs before its first tick, seeded by the clock.
void InitScene(HWND window)
{
    LoadSettings();
    SceneRandom = GetTickCount();
    CreateSceneContext(window);
    FillSceneTables();
}

// Viewport for the whole client area and a first projection; an empty height counts as 1.
void SetupProjection(int width, int height)
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(100, (double)width / height, 0.1f, 100); // the first frame puts its own 110 degrees in place
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
