// The scene's side of the saver window: creation, size, the two timers, destruction.
#include "scene/scene.h"

// ---- where the rest goes: the saver's own handling, which the host gives before the window is made
WNDPROC SceneDefaultProc = DefWindowProcA;

// ---- the two clocks
UINT_PTR SimulationTimer, FrameTimer;
static bool FramesResting; // the window cannot be seen: the frame timer only looks now and then

enum { FramePeriod = 1, RestingFramePeriod = 100 }; // milliseconds

// The 10 ms thread timer: one simulation tick per expiry.
void CALLBACK SimulationTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    StepScene();
}

// Sets the scene up in a new window and starts its clocks.
static void CreateScene(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    ClientSize = {client.right, client.bottom};
    InitScene(window);
    if (SceneContext)
        SetupProjection(ClientSize.width, ClientSize.height);
    SimulationTimer = SetTimer(nullptr, 0, 10, SimulationTimerProc);
    FrameTimer = SetTimer(window, 0, FramePeriod, nullptr);
    StepScene(); // the first frame already shows a placed camera
}

// Stops the clocks and lets go of the GL objects while the context is still current.
static void DestroyScene(HWND window)
{
    KillTimer(nullptr, SimulationTimer);
    KillTimer(window, FrameTimer);
    DeleteOverlayFont(SceneDC); // there is one only with a context and the frame rate on
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(SceneContext);
    ReleaseDC(window, SceneDC);
}

// Whether a frame drawn now could be seen: the window shown, in shown parents, and not empty.
static bool FrameVisible(HWND window)
{
    RECT client;
    return IsWindowVisible(window) && GetClientRect(window, &client) && client.right > 0 && client.bottom > 0;
}

// Draws and counts a frame where it can be seen; a hidden window draws none and its
// frame timer slows down until the window shows again, while the simulation ticks on.
static void DrawFrameIfSeen(HWND window)
{
    bool visible = FrameVisible(window);
    if (visible == FramesResting) { // just hidden, or shown again
        FramesResting = !visible;
        SetTimer(window, 0, visible ? FramePeriod : RestingFramePeriod, nullptr);
    }
    if (visible) {
        RenderFrame();
        CountFrame();
    }
}

// Handles creation, frames and destruction; everything else goes on, a new size after the scene took it.
LRESULT CALLBACK SceneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        CreateScene(window);
        return 0;
    case WM_TIMER:
        if (SceneContext) // without one the saver runs on, showing nothing
            DrawFrameIfSeen(window);
        return 0;
    case WM_DESTROY:
        DestroyScene(window);
        return 0;
    case WM_SIZE: // the window follows its parent or the screen; the picture fills it from the next frame
        ClientSize = {LOWORD(lParam), HIWORD(lParam)};
        if (SceneContext)
            SetupProjection(ClientSize.width, ClientSize.height);
        break;
    }
    return SceneDefaultProc(window, message, wParam, lParam);
}
