// Off-screen windows: the scene's own context creation must give it a
// legacy OpenGL context with a stencil buffer and pixels that read back upright.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <vector>

#include "platform/headless.h"

static const int Width = 64, Height = 48;
static const bool NoDisplay = unsetenv("DISPLAY") == 0; // CI has no X server; nothing here may need one

// A window with a current context made the way the scene makes its own,
// which asks for 16 colour bits: true colour must still come back.
struct HeadlessContext {
    HWND window = CreateHeadlessWindow(Width, Height);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR request = {};
    int format = 0;
    HGLRC context = nullptr;

    HeadlessContext(BYTE depthBits, BYTE stencilBits)
    {
        request.nSize = sizeof request, request.nVersion = 1, request.dwFlags = PFD_DOUBLEBUFFER | PFD_SUPPORT_OPENGL;
        request.cColorBits = 16, request.cDepthBits = depthBits, request.cStencilBits = stencilBits;
        if ((format = ChoosePixelFormat(dc, &request)) > 0 && SetPixelFormat(dc, format, &request))
            wglMakeCurrent(dc, context = wglCreateContext(dc));
    }
    ~HeadlessContext() { wglMakeCurrent(nullptr, nullptr); wglDeleteContext(context); DestroyHeadlessWindow(window); }
    GLint Bits(GLenum name) const { GLint bits = 0; glGetIntegerv(name, &bits); return bits; }
};

TEST(Headless, SceneContextHasStencilAndTrueColourAndAnUprightPicture)
{
    HeadlessContext scene(0, 8);
    ASSERT_NE(nullptr, scene.context);
    for (GLenum bits : {GL_STENCIL_BITS, GL_RED_BITS, GL_GREEN_BITS, GL_BLUE_BITS})
        EXPECT_GE(scene.Bits(bits), 8) << bits;
    glClearColor(0.2f, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glColor3f(1, 0, 0);
    glRectf(-1, 0, 1, 1); // immediate mode; the upper half of the window, in GL's bottom-up coordinates
    std::vector<unsigned char> rgb(Width * Height * 3);
    ReadHeadlessPixels(scene.window, rgb.data());
    for (int y = 0; y < Height; y++)
        for (int x = 0; x < Width; x++)
            ASSERT_EQ(y < Height / 2 ? 255 : 51, rgb[(y * Width + x) * 3]) << x << "," << y;

    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(nullptr, glGetString(GL_VERSION));
    EXPECT_TRUE(wglMakeCurrent(scene.dc, scene.context));
    EXPECT_TRUE(wglDeleteContext(scene.context)); // current: released first, as WGL does
    EXPECT_EQ(nullptr, glGetString(GL_VERSION));
    scene.context = nullptr;

    // A window is all client area, and takes one pixel format only.
    HeadlessContext deep(24, 0);
    ASSERT_NE(nullptr, deep.context);
    EXPECT_GE(deep.Bits(GL_DEPTH_BITS), 24);
    RECT rect = {-1, -1, -1, -1};
    EXPECT_TRUE(GetClientRect(deep.window, &rect));
    EXPECT_TRUE(!rect.left && !rect.top && rect.right == Width && rect.bottom == Height);
    EXPECT_EQ(nullptr, CreateHeadlessWindow(-1, Height));
    ASSERT_NE(deep.format, scene.format);
    EXPECT_TRUE(SetPixelFormat(deep.dc, deep.format, &deep.request));
    EXPECT_FALSE(SetPixelFormat(deep.dc, scene.format, &scene.request));
}
