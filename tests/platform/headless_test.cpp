// Off-screen windows: the scene's own context creation, which asks for 16
// colour bits and a stencil, must get true colour and the stencil; a window's
// pbuffer goes with the window. (The font's test reads pixels back.)
#include <gtest/gtest.h>

#include <EGL/egl.h>
#include <GL/gl.h>

#include <cstdlib>

#include "platform/headless.h"

static const bool NoDisplay = unsetenv("DISPLAY") == 0; // CI has no X server; nothing here may need one

TEST(Headless, TheScenesContextHasStencilAndTrueColourAndItsSurfaceGoesWithTheWindow)
{
    HWND window = CreateHeadlessWindow(64, 48);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR request = {};
    request.dwFlags = PFD_DOUBLEBUFFER | PFD_SUPPORT_OPENGL;
    request.cColorBits = 16;
    request.cStencilBits = 8;
    int format = ChoosePixelFormat(dc, &request);
    ASSERT_TRUE(SetPixelFormat(dc, format, &request));
    EXPECT_FALSE(SetPixelFormat(dc, format + 1, &request)); // once only
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    for (GLenum bits : {GL_STENCIL_BITS, GL_RED_BITS, GL_GREEN_BITS, GL_BLUE_BITS}) {
        GLint value = 0;
        glGetIntegerv(bits, &value);
        EXPECT_GE(value, 8) << bits;
    }
    EGLDisplay display = eglGetCurrentDisplay();
    EGLSurface surface = eglGetCurrentSurface(EGL_DRAW);
    DestroyHeadlessWindow(window); // while current: it is released first
    EXPECT_EQ(eglGetCurrentSurface(EGL_DRAW), EGL_NO_SURFACE);
    EGLint side = 0;
    EXPECT_FALSE(eglQuerySurface(display, surface, EGL_WIDTH, &side));
    EXPECT_EQ(eglGetError(), EGL_BAD_SURFACE);
    EXPECT_TRUE(wglDeleteContext(context));
}
