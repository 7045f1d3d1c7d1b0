// Off-screen windows: the scene's own context creation must give it a
// legacy OpenGL context with a stencil buffer and pixels that read back upright.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <vector>

#include "platform/headless.h"

namespace {

const int Width = 64, Height = 48;

PIXELFORMATDESCRIPTOR Request(BYTE depthBits, BYTE stencilBits)
{
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DOUBLEBUFFER | PFD_SUPPORT_OPENGL;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 16; // as the scene asks: true colour must still come back
    request.cDepthBits = depthBits;
    request.cStencilBits = stencilBits;
    return request;
}

// A window with a current context made the way the scene makes its own.
struct HeadlessContext {
    HWND window;
    HDC dc;
    HGLRC context = nullptr;

    explicit HeadlessContext(const PIXELFORMATDESCRIPTOR &request)
        : window(CreateHeadlessWindow(Width, Height)), dc(GetDC(window))
    {
        int format = ChoosePixelFormat(dc, &request);
        if (format > 0 && SetPixelFormat(dc, format, &request))
            context = wglCreateContext(dc);
        wglMakeCurrent(dc, context);
    }
    ~HeadlessContext()
    {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context);
        ReleaseDC(window, dc);
        DestroyHeadlessWindow(window);
    }
    GLint Bits(GLenum name) const
    {
        GLint bits = 0;
        glGetIntegerv(name, &bits);
        return bits;
    }
    std::vector<unsigned char> Pixels() const
    {
        std::vector<unsigned char> rgb(Width * Height * 3);
        ReadHeadlessPixels(window, rgb.data());
        return rgb;
    }
};

unsigned char Red(const std::vector<unsigned char> &rgb, int x, int y) { return rgb[(y * Width + x) * 3]; }

class Headless : public testing::Test {
protected:
    // CI has no X server; nothing here may need one.
    static void SetUpTestSuite() { unsetenv("DISPLAY"); }
};

TEST_F(Headless, ClientAreaIsTheWindowSize)
{
    HWND window = CreateHeadlessWindow(Width, Height);
    RECT rect = {-1, -1, -1, -1};
    ASSERT_TRUE(GetClientRect(window, &rect));
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(Width, rect.right);
    EXPECT_EQ(Height, rect.bottom);
    DestroyHeadlessWindow(window);
    EXPECT_EQ(nullptr, CreateHeadlessWindow(-1, Height));
}

TEST_F(Headless, PixelFormatHonoursTheRequest)
{
    {
        HeadlessContext scene(Request(0, 8));
        ASSERT_NE(nullptr, scene.context);
        EXPECT_GE(scene.Bits(GL_STENCIL_BITS), 8);
        EXPECT_GE(scene.Bits(GL_RED_BITS), 8);
        EXPECT_GE(scene.Bits(GL_GREEN_BITS), 8);
        EXPECT_GE(scene.Bits(GL_BLUE_BITS), 8);
    }
    {
        HeadlessContext deep(Request(24, 0));
        ASSERT_NE(nullptr, deep.context);
        EXPECT_GE(deep.Bits(GL_DEPTH_BITS), 24);
    }
}

TEST_F(Headless, FormatIsSetOnlyOnce)
{
    PIXELFORMATDESCRIPTOR scene = Request(0, 8), deep = Request(24, 0);
    HWND window = CreateHeadlessWindow(Width, Height);
    HDC dc = GetDC(window);
    int first = ChoosePixelFormat(dc, &scene), second = ChoosePixelFormat(dc, &deep);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    ASSERT_NE(first, second);
    EXPECT_TRUE(SetPixelFormat(dc, first, &scene));
    EXPECT_TRUE(SetPixelFormat(dc, first, &scene));
    EXPECT_FALSE(SetPixelFormat(dc, second, &deep));
    DestroyHeadlessWindow(window);
}

TEST_F(Headless, ImmediateModeDrawsAndReadsBackTopRowFirst)
{
    HeadlessContext scene(Request(0, 8));
    ASSERT_NE(nullptr, scene.context);
    glClearColor(0.2f, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS); // the upper half of the window, in GL's bottom-up coordinates
    glVertex2f(-1, 0);
    glVertex2f(1, 0);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    EXPECT_TRUE(SwapBuffers(scene.dc));
    std::vector<unsigned char> rgb = scene.Pixels();
    for (int y = 0; y < Height; y++)
        for (int x = 0; x < Width; x++)
            ASSERT_EQ(y < Height / 2 ? 255 : 51, Red(rgb, x, y)) << x << "," << y;
}

TEST_F(Headless, ContextIsReleasedAndDeletedAsWglDoes)
{
    HeadlessContext scene(Request(0, 8));
    ASSERT_NE(nullptr, scene.context);
    EXPECT_NE(nullptr, glGetString(GL_VERSION));
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(nullptr, glGetString(GL_VERSION));
    EXPECT_TRUE(wglMakeCurrent(scene.dc, scene.context));
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(255, scene.Pixels()[0]);
    EXPECT_TRUE(wglDeleteContext(scene.context)); // current: released first
    scene.context = nullptr;
    EXPECT_EQ(nullptr, glGetString(GL_VERSION));
}

} // namespace
