// The scene in an off-screen window, set up as the saver's window creation
// sets it up, for the snapshot tool, the picture tests and the render benchmark.
#pragma once

#include "platform/headless.h"
#include "scene/scene.h"

// A window of the given size with the scene's context current and its tables
// filled from SceneRandom under the SaverSettings already chosen; NULL without OpenGL.
inline HWND OpenHeadlessScene(int width, int height)
{
    HWND window = CreateHeadlessWindow(width, height);
    ClientSize = {width, height};
    CreateSceneContext(window);
    if (!SceneContext) {
        DestroyHeadlessWindow(window);
        return nullptr;
    }
    FillSceneTables();
    SetupProjection(width, height);
    return window;
}

// Lets go of the context, its textures and lists, and the window.
inline void CloseHeadlessScene(HWND window)
{
    DeleteOverlayFont(GetDC(window));
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(SceneContext);
    SceneContext = nullptr;
    DestroyHeadlessWindow(window);
}
