// Linux: windows without a display, drawn into EGL pbuffers on Mesa's
// surfaceless platform, so the scene renders the same code path under CI
// (no X server, no GPU: llvmpipe) as in a real window.
#include "headless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

// ---- display
static EGLDisplay Display = EGL_NO_DISPLAY; // opened on first use, kept for the process
static std::vector<EGLConfig> Configs;      // pixel format n is Configs[n - 1]

// ---- windows: HWND and its HDC are both a pointer to this
struct HeadlessWindow {
    int width, height;
    int format;         // 0 until SetPixelFormat
    EGLSurface surface; // the pbuffer that stands in for the client area
};

static HeadlessWindow *FromWindow(HWND window) { return reinterpret_cast<HeadlessWindow *>(window); }
static HeadlessWindow *FromDC(HDC dc) { return reinterpret_cast<HeadlessWindow *>(dc); }

// True if the space-separated list names the extension exactly.
static bool HasExtension(const char *list, std::string_view name)
{
    std::string_view rest = list ? list : "";
    while (!rest.empty()) {
        size_t end = rest.find(' ');
        if (rest.substr(0, end) == name)
            return true;
        rest.remove_prefix(end == rest.npos ? rest.size() : end + 1);
    }
    return false;
}

// Opens the surfaceless display once and binds desktop OpenGL (the
// compatibility profile, for immediate mode) on the calling thread.
static bool OpenDisplay()
{
    if (Display == EGL_NO_DISPLAY) {
        if (!HasExtension(eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), "EGL_MESA_platform_surfaceless"))
            return false;
        EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
            return false;
        EGLint count = 0;
        eglGetConfigs(display, nullptr, 0, &count);
        Configs.resize(count);
        eglGetConfigs(display, Configs.data(), count, &count);
        Configs.resize(count);
        Display = display;
    }
    return eglBindAPI(EGL_OPENGL_API);
}

// One attribute of a config; 0 where EGL knows none.
static EGLint ConfigValue(EGLConfig config, EGLint attribute)
{
    EGLint value = 0;
    eglGetConfigAttrib(Display, config, attribute, &value);
    return value;
}

HWND CreateHeadlessWindow(int width, int height)
{
    if (width < 0 || height < 0)
        return nullptr;
    return reinterpret_cast<HWND>(new HeadlessWindow{width, height, 0, EGL_NO_SURFACE});
}

void DestroyHeadlessWindow(HWND handle)
{
    HeadlessWindow *window = FromWindow(handle);
    if (!window)
        return;
    if (window->surface != EGL_NO_SURFACE) {
        if (eglGetCurrentSurface(EGL_DRAW) == window->surface)
            eglMakeCurrent(Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroySurface(Display, window->surface);
    }
    delete window;
}

void ReadHeadlessPixels(HWND handle, unsigned char *rgb)
{
    HeadlessWindow *window = FromWindow(handle);
    size_t stride = (size_t)window->width * 3;
    std::memset(rgb, 0, stride * window->height);
    if (window->surface == EGL_NO_SURFACE || eglGetCurrentSurface(EGL_READ) != window->surface)
        return;
    glFinish();
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT); // leave the caller's packing alone
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, window->width, window->height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    glPopClientAttrib();
    std::vector<unsigned char> row(stride); // GL reads bottom-up; callers want the top row first
    for (int top = 0, bottom = window->height - 1; top < bottom; top++, bottom--) {
        std::memcpy(row.data(), rgb + top * stride, stride);
        std::memcpy(rgb + top * stride, rgb + bottom * stride, stride);
        std::memcpy(rgb + bottom * stride, row.data(), stride);
    }
}

// ---- the Win32 and WGL calls of context creation, for headless windows

// The client area is the whole window: there is no frame.
BOOL WINAPI GetClientRect(HWND handle, LPRECT rect)
{
    HeadlessWindow *window = FromWindow(handle);
    if (!window || !rect)
        return FALSE;
    *rect = RECT{0, 0, window->width, window->height};
    return TRUE;
}

// A headless window has one device context of its own, as with CS_OWNDC.
HDC WINAPI GetDC(HWND window) { return reinterpret_cast<HDC>(window); }

int WINAPI ReleaseDC(HWND window, HDC dc) { return window && dc == GetDC(window); }

// The closest pbuffer config: at least what the request names, true colour
// as on any desktop this runs on, then the least colour, alpha, stencil and depth.
int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR *request)
{
    if (!dc || !request || !OpenDisplay())
        return 0;
    int best = 0;
    EGLint bestScore[4] = {};
    for (size_t i = 0; i < Configs.size(); i++) {
        EGLConfig config = Configs[i];
        EGLint red = ConfigValue(config, EGL_RED_SIZE), green = ConfigValue(config, EGL_GREEN_SIZE);
        EGLint blue = ConfigValue(config, EGL_BLUE_SIZE), alpha = ConfigValue(config, EGL_ALPHA_SIZE);
        EGLint stencil = ConfigValue(config, EGL_STENCIL_SIZE), depth = ConfigValue(config, EGL_DEPTH_SIZE);
        bool fits = (ConfigValue(config, EGL_SURFACE_TYPE) & EGL_PBUFFER_BIT) &&
                    (ConfigValue(config, EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT) &&
                    ConfigValue(config, EGL_SAMPLE_BUFFERS) == 0 && red >= 8 && green >= 8 && blue >= 8 &&
                    red + green + blue + alpha >= request->cColorBits && alpha >= request->cAlphaBits &&
                    stencil >= request->cStencilBits && depth >= request->cDepthBits;
        EGLint score[4] = {red + green + blue, alpha, stencil, depth};
        if (fits && (!best || std::lexicographical_compare(score, score + 4, bestScore, bestScore + 4))) {
            best = (int)i + 1;
            std::memcpy(bestScore, score, sizeof score);
        }
    }
    return best;
}

// Gives the window its pbuffer; like Win32, a window's format is set only once.
BOOL WINAPI SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR *)
{
    HeadlessWindow *window = FromDC(dc);
    if (!window || !OpenDisplay() || format < 1 || format > (int)Configs.size())
        return FALSE;
    if (window->format)
        return window->format == format;
    const EGLint size[] = {EGL_WIDTH, window->width, EGL_HEIGHT, window->height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(Display, Configs[format - 1], size);
    if (surface == EGL_NO_SURFACE)
        return FALSE;
    window->format = format;
    window->surface = surface;
    return TRUE;
}

// A compatibility-profile context for the window's format; none before SetPixelFormat.
HGLRC WINAPI wglCreateContext(HDC dc)
{
    HeadlessWindow *window = FromDC(dc);
    if (!window || !window->format || !OpenDisplay())
        return nullptr;
    return reinterpret_cast<HGLRC>(eglCreateContext(Display, Configs[window->format - 1], EGL_NO_CONTEXT, nullptr));
}

// With no context, releases the current one, whatever the device context.
BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context)
{
    if (!OpenDisplay())
        return FALSE;
    if (!context)
        return eglMakeCurrent(Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    HeadlessWindow *window = FromDC(dc);
    if (!window || window->surface == EGL_NO_SURFACE)
        return FALSE;
    return eglMakeCurrent(Display, window->surface, window->surface, reinterpret_cast<EGLContext>(context));
}

// A context current on this thread is released first, as WGL does.
BOOL WINAPI wglDeleteContext(HGLRC context)
{
    if (!context || !OpenDisplay())
        return FALSE;
    if (eglGetCurrentContext() == reinterpret_cast<EGLContext>(context))
        eglMakeCurrent(Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    return eglDestroyContext(Display, reinterpret_cast<EGLContext>(context));
}

// A pbuffer has a single buffer: what was drawn is already the picture.
BOOL WINAPI SwapBuffers(HDC dc) { return dc != nullptr; }
