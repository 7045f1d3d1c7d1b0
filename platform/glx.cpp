// Linux: pixel formats and WGL contexts over GLX. Pixel format n is the
// screen's n-th GLX framebuffer config. X fixes a window's visual when the
// window is made, so every window gets the visual of a double-buffered RGBA
// config with a stencil buffer, and the program's own choice then lands on
// that same visual.
#include "x11.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

// ---- configs
static GLXFBConfig *Configs; // every config of the screen, in the server's order
static int ConfigCount;
static XVisualInfo *ChosenWindowVisual;
static bool GlxAvailable; // and a config fits: known once the first window is made

static int ConfigValue(GLXFBConfig config, int attribute)
{
    int value = 0;
    glXGetFBConfigAttrib(XDisplay, config, attribute, &value);
    return value;
}

// The pixel format number of a config, 0 if the screen does not list it.
static int FormatOf(GLXFBConfig config)
{
    if (!Configs)
        Configs = glXGetFBConfigs(XDisplay, DefaultScreen(XDisplay), &ConfigCount);
    int id = ConfigValue(config, GLX_FBCONFIG_ID);
    for (int i = 0; i < ConfigCount; i++)
        if (ConfigValue(Configs[i], GLX_FBCONFIG_ID) == id)
            return i + 1;
    return 0;
}

// Ranks a config's visual: the wanted one first, then one as deep as the
// screen (a deeper ARGB visual would let a compositor show through).
static int VisualRank(GLXFBConfig config, VisualID wanted)
{
    XVisualInfo *info = glXGetVisualFromFBConfig(XDisplay, config);
    if (!info)
        return 0;
    int rank = info->visualid == wanted ? 3 : info->depth == DefaultDepth(XDisplay, DefaultScreen(XDisplay)) ? 2 : 1;
    XFree(info);
    return rank;
}

// The best format for a request: GLX's own order among those that fit,
// colour bits asked for loosely, depth and stencil bits as minimums.
static int BestFormat(bool doubleBuffer, int colorBits, int depthBits, int stencilBits, VisualID wanted)
{
    int channel = std::min(8, colorBits / 3);
    const int attributes[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                              GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_X_VISUAL_TYPE, GLX_TRUE_COLOR,
                              GLX_DOUBLEBUFFER, doubleBuffer ? True : False,
                              GLX_RED_SIZE, channel, GLX_GREEN_SIZE, channel, GLX_BLUE_SIZE, channel,
                              GLX_DEPTH_SIZE, depthBits, GLX_STENCIL_SIZE, stencilBits,
                              None};
    int count = 0;
    GLXFBConfig *fits = glXChooseFBConfig(XDisplay, DefaultScreen(XDisplay), attributes, &count);
    int best = -1, bestRank = 0;
    for (int i = 0; i < count; i++) {
        int rank = VisualRank(fits[i], wanted);
        if (rank > bestRank)
            best = i, bestRank = rank;
    }
    int format = best < 0 ? 0 : FormatOf(fits[best]);
    if (fits)
        XFree(fits);
    return format;
}

// Says once why windows get no GL: no GLX at all, or no config that fits.
XVisualInfo *WindowVisual()
{
    if (ChosenWindowVisual)
        return ChosenWindowVisual;
    Display *display = OpenXDisplay();
    int errorBase, eventBase;
    GlxAvailable = glXQueryExtension(display, &errorBase, &eventBase);
    int format = GlxAvailable ? BestFormat(true, 24, 0, 8, 0) : 0; // the scene's request, with a stencil for its mirror
    if (format)
        ChosenWindowVisual = glXGetVisualFromFBConfig(display, Configs[format - 1]);
    if (!ChosenWindowVisual) { // plain windows, and no context will be made
        std::fprintf(stderr, "vantrel: %s: nothing will be drawn\n",
                     GlxAvailable ? "the screen has no true-colour OpenGL visual" : "the X server offers no OpenGL (GLX)");
        GlxAvailable = false;
        static XVisualInfo plain;
        plain.visual = DefaultVisual(display, DefaultScreen(display));
        plain.visualid = XVisualIDFromVisual(plain.visual);
        plain.depth = DefaultDepth(display, DefaultScreen(display));
        ChosenWindowVisual = &plain;
    }
    return ChosenWindowVisual;
}

// Only our own windows take a pixel format; the choice keeps to the window's visual where it can.
int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR *request)
{
    OwnWindow *window = FindOwnWindow((HWND)dc);
    if (!window || !request || !GlxAvailable)
        return 0;
    return BestFormat(request->dwFlags & PFD_DOUBLEBUFFER, request->cColorBits, request->cDepthBits,
                      request->cStencilBits, window->visual);
}

// As on Windows a window's format is set once; it must fit the visual the window was made with.
BOOL WINAPI SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR *)
{
    OwnWindow *window = FindOwnWindow((HWND)dc);
    if (!window || format < 1 || format > ConfigCount)
        return FALSE;
    if (window->pixelFormat)
        return window->pixelFormat == format;
    if (VisualRank(Configs[format - 1], window->visual) != 3)
        return FALSE;
    window->pixelFormat = format;
    return TRUE;
}

HGLRC WINAPI wglCreateContext(HDC dc)
{
    OwnWindow *window = FindOwnWindow((HWND)dc);
    if (!window || !window->pixelFormat)
        return nullptr;
    return (HGLRC)glXCreateNewContext(XDisplay, Configs[window->pixelFormat - 1], GLX_RGBA_TYPE, nullptr, True);
}

// Whether a space-separated extension list names the extension exactly.
static bool ListsExtension(const char *list, const char *name)
{
    size_t length = std::strlen(name);
    for (const char *p = list; p && (p = std::strstr(p, name)); p += length)
        if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0'))
            return true;
    return false;
}

// Frames are paced by the program's timer, not by the monitor: swaps do not wait for the vertical blank.
static void SwapWithoutWaiting(GLXDrawable drawable)
{
    const char *extensions = glXQueryExtensionsString(XDisplay, DefaultScreen(XDisplay));
    if (ListsExtension(extensions, "GLX_EXT_swap_control")) {
        auto setInterval = (PFNGLXSWAPINTERVALEXTPROC)glXGetProcAddress((const GLubyte *)"glXSwapIntervalEXT");
        setInterval(XDisplay, drawable, 0);
    } else if (ListsExtension(extensions, "GLX_MESA_swap_control")) {
        auto setInterval = (PFNGLXSWAPINTERVALMESAPROC)glXGetProcAddress((const GLubyte *)"glXSwapIntervalMESA");
        setInterval(0);
    }
}

// With no context, releases the current one, whatever the device context.
BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context)
{
    if (!context)
        return glXMakeCurrent(OpenXDisplay(), None, nullptr);
    if (!FindOwnWindow((HWND)dc) || !glXMakeCurrent(XDisplay, XidOf((HWND)dc), (GLXContext)context))
        return FALSE;
    SwapWithoutWaiting(XidOf((HWND)dc));
    return TRUE;
}

// A context current on this thread is released first, as WGL does.
BOOL WINAPI wglDeleteContext(HGLRC context)
{
    if (!context)
        return FALSE;
    if (glXGetCurrentContext() == (GLXContext)context)
        glXMakeCurrent(XDisplay, None, nullptr);
    glXDestroyContext(XDisplay, (GLXContext)context);
    return TRUE;
}

BOOL WINAPI SwapBuffers(HDC dc)
{
    if (!FindOwnWindow((HWND)dc))
        return FALSE;
    glXSwapBuffers(XDisplay, XidOf((HWND)dc));
    return TRUE;
}
