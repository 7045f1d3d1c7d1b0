// The one saver window, full screen or as a preview child, and its message loop.
#include "host/host.h"
#include "scene/scene.h"

// ---- process-wide window state
int PreviewMode;
HWND SaverWindow;
BYTE AcLineStatus = AC_LINE_UNKNOWN;
UINT AutoPlayQueryMessage;

static const char SaverClassName[] = "WindowsScreenSaverClass";
static const char FullScreenTitle[] = "Screen Saver";

// The whole virtual desktop, or the screen's clip box where no such metrics exist.
static RECT VirtualScreen()
{
    int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    RECT area = {x, y, x + width, y + height};
    if (width == 0 || height == 0) {
        HDC screen = GetDC(nullptr);
        GetClipBox(screen, &area);
        ReleaseDC(nullptr, screen);
    }
    return area;
}

// Makes the saver window and runs its messages until it is gone; the quit code is the result,
// -1 when no window could be made.
int RunSaverWindow(HWND parent)
{
    WNDCLASSA saverClass = {};
    saverClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC; // the GL context lives on the own DC
    saverClass.lpfnWndProc = SaverOuterProc;
    saverClass.hInstance = ModuleInstance;
    saverClass.hIcon = LoadIconA(ModuleInstance, MAKEINTRESOURCEA(100));
    saverClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    saverClass.lpszClassName = SaverClassName;

    RECT area;
    DWORD style, exStyle;
    const char *title;
    if (parent) {
        GetClientRect(parent, &area);
        style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
        exStyle = 0;
        title = "Preview";
        PreviewMode = 1;
    } else {
        area = VirtualScreen();
        style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        exStyle = WS_EX_TOPMOST;
        title = FullScreenTitle;
        HWND running = FindWindowA(SaverClassName, FullScreenTitle);
        if (running && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        SYSTEM_POWER_STATUS power;
        AcLineStatus = GetSystemPowerStatus(&power) ? power.ACLineStatus : AC_LINE_UNKNOWN;
        LoadPasswordVerifier();
    }
    AutoPlayQueryMessage = Win9xPlatform ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;
    SceneDefaultProc = SaverDefaultProc; // what the scene does not handle comes back here

    if (RegisterClassA(&saverClass))
        SaverWindow = CreateWindowExA(exStyle, SaverClassName, title, style, area.left, area.top,
                                      area.right - area.left, area.bottom - area.top, parent, nullptr,
                                      ModuleInstance, nullptr);
    int result = -1; // no window could be made: a failure, not a run
    if (SaverWindow) {
        if (!PreviewMode)
            SetForegroundWindow(SaverWindow);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        result = (int)message.wParam;
    }
    UnloadPasswordVerifier();
    return result;
}
