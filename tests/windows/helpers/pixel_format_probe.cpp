// Reports the pixel format that the scene's own set-up gets from this
// system's OpenGL: the mirror needs a stencil buffer, the saver a format
// that draws to its window. Prints one "name value" line per property.
#include "scene/scene.h"

#include <GL/gl.h>
#include <cstdio>

int main()
{
    WNDCLASSA probeClass = {};
    probeClass.style = CS_OWNDC; // as the saver's window class
    probeClass.lpfnWndProc = DefWindowProcA;
    probeClass.hInstance = GetModuleHandleA(nullptr);
    probeClass.lpszClassName = "VantrelPixelFormatProbe";
    RegisterClassA(&probeClass);
    HWND window = CreateWindowExA(0, probeClass.lpszClassName, "Pixel format probe", WS_POPUP | WS_VISIBLE, 0, 0, 64,
                                  64, nullptr, nullptr, probeClass.hInstance, nullptr);
    CreateSceneContext(window);

    PIXELFORMATDESCRIPTOR chosen = {};
    int format = GetPixelFormat(SceneDC);
    DescribePixelFormat(SceneDC, format, sizeof chosen, &chosen);
    GLint stencilBits = 0;
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    const char *renderer = (const char *)glGetString(GL_RENDERER);
    std::printf("format %d\n", format);
    std::printf("context %d\n", SceneContext != nullptr);
    std::printf("draw-to-window %d\n", (chosen.dwFlags & PFD_DRAW_TO_WINDOW) != 0);
    std::printf("double-buffer %d\n", (chosen.dwFlags & PFD_DOUBLEBUFFER) != 0);
    std::printf("color-bits %d\n", chosen.cColorBits);
    std::printf("depth-bits %d\n", chosen.cDepthBits);
    std::printf("stencil-bits %d\n", chosen.cStencilBits);
    std::printf("gl-stencil-bits %d\n", (int)stencilBits);
    std::printf("renderer %s\n", renderer ? renderer : "none");
    return 0;
}
