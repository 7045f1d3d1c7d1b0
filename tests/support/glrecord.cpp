// The recording OpenGL, GLU and platform calls: each logs its name and arguments, the tests read state from the log.
#include "tests/support/glrecord.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <numeric>
#include <type_traits>

// ---- the log
std::vector<RecordedCall> CallsNamed(const std::string &name)
{
    std::vector<RecordedCall> found;
    std::ranges::copy_if(Recorder().calls, std::back_inserter(found), [&](auto &call) { return call.name == name; });
    return found;
}

// An argument as a number: handles and pointers by their address.
static double Number(const void *pointer) { return (double)(UINT_PTR)pointer; }
template <class T> requires std::is_arithmetic_v<T> static double Number(T value) { return (double)value; }

// Logs a call with the bytes at a pointer argument.
template <class... A> static void LogData(const char *name, const void *data, size_t size, A... args)
{
    Recorder().calls.push_back({name, {Number(args)...}, data ? std::string((const char *)data, size) : ""});
}

#define LOG(...) LogData(__func__, nullptr, 0 __VA_OPT__(, ) __VA_ARGS__)
#define LOG_DATA(data, size, ...) LogData(__func__, data, size, __VA_ARGS__)

// ---- OpenGL 1.1 and GLU
void glEnable(GLenum cap) { LOG(cap); }
void glDisable(GLenum cap) { LOG(cap); }
void glHint(GLenum target, GLenum mode) { LOG(target, mode); }
void glFogf(GLenum pname, GLfloat param) { LOG(pname, param); }
void glFogfv(GLenum pname, const GLfloat *p) { LOG(pname, p[0], p[1], p[2], p[3]); } // only the colour is set
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) { LOG(x, y, width, height); }
void glClear(GLbitfield mask) { LOG(mask); }
void glBlendFunc(GLenum sfactor, GLenum dfactor) { LOG(sfactor, dfactor); }
void glColorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a) { LOG(r, g, b, a); }
void glStencilOp(GLenum fail, GLenum zfail, GLenum zpass) { LOG(fail, zfail, zpass); }
void glStencilFunc(GLenum func, GLint ref, GLuint mask) { LOG(func, ref, mask); }
void glPixelStorei(GLenum pname, GLint param) { LOG(pname, param); }
void glFinish() { LOG(); }
void glMatrixMode(GLenum mode) { LOG(mode); }
void glLoadIdentity() { LOG(); }
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { LOG(angle, x, y, z); }
void glScalef(GLfloat x, GLfloat y, GLfloat z) { LOG(x, y, z); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { LOG(x, y, z); }
void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) { LOG(l, r, b, t, n, f); }
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) { LOG(fovy, aspect, zNear, zFar); }
void gluLookAt(GLdouble ex, GLdouble ey, GLdouble ez, GLdouble cx, GLdouble cy, GLdouble cz, GLdouble ux,
               GLdouble uy, GLdouble uz) { LOG(ex, ey, ez, cx, cy, cz, ux, uy, uz); }
void glBegin(GLenum mode) { LOG(mode); }
void glEnd() { LOG(); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { LOG(r, g, b); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { LOG(r, g, b, a); }
void glTexCoord2f(GLfloat s, GLfloat t) { LOG(s, t); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { LOG(x, y, z); }
void glGenTextures(GLsizei n, GLuint *names) { std::iota(names, names + n, 1u), LOG(n); } // a fresh context's names
void glBindTexture(GLenum target, GLuint texture) { LOG(target, texture); }
void glTexParameteri(GLenum target, GLenum pname, GLint param) { LOG(target, pname, param); }
GLint gluBuild2DMipmaps(GLenum target, GLint components, GLsizei width, GLsizei height, GLenum format, GLenum type,
                        const void *data) { return LOG(target, components, width, height, format, type, data), 0; }
GLuint glGenLists(GLsizei range) { return LOG(range), FakeListBase; }
void glDeleteLists(GLuint list, GLsizei range) { LOG(list, range); }
void glListBase(GLuint base) { LOG(base); }
void glCallLists(GLsizei n, GLenum type, const GLvoid *lists) { LOG_DATA(lists, n, n, type); } // bytes only
void glPushAttrib(GLbitfield mask) { LOG(mask); }
void glPopAttrib() { LOG(); }
void glScissor(GLint x, GLint y, GLsizei width, GLsizei height) { LOG(x, y, width, height); }
void glEnableClientState(GLenum array) { LOG(array); }
void glDisableClientState(GLenum array) { LOG(array); }
void glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid *p) { LOG(size, type, stride, p); }
void glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const GLvoid *p) { LOG(size, type, stride, p); }
void glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid *indices) { LOG(mode, count, type, indices); }

// Queries, answered from the latest call in the log that set the value (0 where none did),
// the matrices from the recorder's own, which the tests set.
static const std::vector<double> *Latest(const char *name, double first = NAN)
{
    const auto &calls = Recorder().calls;
    for (auto call = calls.rbegin(); call != calls.rend(); ++call)
        if (call->name == name && (std::isnan(first) || call->args[0] == first))
            return &call->args;
    return nullptr;
}
template <class T> static void Answer(const std::vector<double> *args, size_t from, size_t count, T *params)
{
    for (size_t i = 0; i < count; i++)
        params[i] = args ? (T)args->at(from + i) : 0;
}
GLboolean glIsEnabled(GLenum cap)
{
    const auto &calls = Recorder().calls;
    auto last = std::find_if(calls.rbegin(), calls.rend(), [cap](const RecordedCall &call) {
        return (call.name == "glEnable" || call.name == "glDisable") && call.args[0] == cap;
    });
    GLboolean on = last != calls.rend() && last->name == "glEnable";
    return LOG(cap), on;
}
void glGetFloatv(GLenum pname, GLfloat *params)
{
    LOG(pname);
    if (pname == GL_MODELVIEW_MATRIX || pname == GL_PROJECTION_MATRIX)
        std::ranges::copy(pname == GL_MODELVIEW_MATRIX ? Recorder().modelView : Recorder().projection, params);
    else if (pname == GL_FOG_COLOR)
        Answer(Latest("glFogfv", pname), 1, 4, params);
    else
        Answer(Latest("glFogf", pname), 1, 1, params);
}
void glGetIntegerv(GLenum pname, GLint *params)
{
    LOG(pname);
    if (pname == GL_VIEWPORT || pname == GL_SCISSOR_BOX)
        Answer(Latest(pname == GL_VIEWPORT ? "glViewport" : "glScissor"), 0, 4, params);
    else if (pname == GL_BLEND_DST)
        Answer(Latest("glBlendFunc"), 1, 1, params);
    else
        Answer(Latest("glFogf", pname), 1, 1, params);
}

// ---- device and rendering contexts, fonts
HDC WINAPI GetDC(HWND window) { return LOG(window), FakeDC; }
int WINAPI ReleaseDC(HWND window, HDC dc) { return LOG(window, dc), 1; }
int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR *pfd) { return LOG_DATA(pfd, sizeof *pfd, dc), 1; }
BOOL WINAPI SetPixelFormat(HDC dc, int format,
                           const PIXELFORMATDESCRIPTOR *pfd) { return LOG_DATA(pfd, sizeof *pfd, dc, format), TRUE; }
BOOL WINAPI SwapBuffers(HDC dc) { return LOG(dc), TRUE; }
HGLRC WINAPI wglCreateContext(HDC dc) { return LOG(dc), FakeContext; }
BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context) { return LOG(dc, context), TRUE; }
BOOL WINAPI wglDeleteContext(HGLRC context) { return LOG(context), TRUE; }
HFONT WINAPI CreateFontA(int h, int w, int esc, int orient, int weight, DWORD italic, DWORD under, DWORD strike,
                         DWORD charSet, DWORD outPrec, DWORD clipPrec, DWORD quality, DWORD pitch, LPCSTR face)
{
    return LOG_DATA(face, std::strlen(face), h, w, esc, orient, weight, italic, under, strike, charSet, outPrec,
                    clipPrec, quality, pitch), FakeFont;
}
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) { return LOG(dc, object), nullptr; }
BOOL WINAPI wglUseFontOutlinesA(HDC dc, DWORD first, DWORD count, DWORD base, FLOAT dev, FLOAT ext, int fmt,
                                LPGLYPHMETRICSFLOAT m) { return LOG(dc, first, count, base, dev, ext, fmt, m), TRUE; }

// ---- timers, window, clock and bitmaps
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC callback)
{
    return LOG(window, id, elapse, (void *)callback), window ? (id ? id : FakeWindowTimer) : FakeThreadTimer;
}
BOOL WINAPI KillTimer(HWND window, UINT_PTR id) { return LOG(window, id), TRUE; }
BOOL WINAPI GetClientRect(HWND window, LPRECT rect) { return *rect = Recorder().client, LOG(window), TRUE; }
BOOL WINAPI IsWindowVisible(HWND window) { return LOG(window), Recorder().visible; }
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return LOG(window, message, wParam, lParam), 0;
}
DWORD WINAPI GetTickCount() { auto &r = Recorder(); return LOG(), (r.tickCount += r.tickStep) - r.tickStep; }
HMODULE WINAPI GetModuleHandleA(LPCSTR) { return FakeModule; } // not logged: asked once or per bitmap alike
HANDLE WINAPI LoadImageA(HINSTANCE module, LPCSTR name, UINT type, int cx, int cy, UINT flags)
{
    LOG(module, name, type, cx, cy, flags);
    return Recorder().bitmaps.count((int)(UINT_PTR)name) ? FakeBitmapHandle((int)(UINT_PTR)name) : nullptr;
}
int WINAPI GetObjectA(HANDLE object, int size, LPVOID out)
{
    static BYTE bits[4]; // never read: the recording gluBuild2DMipmaps only logs where they are
    LONG side = Recorder().bitmaps.at((int)((UINT_PTR)object - (UINT_PTR)FakeBitmapHandle(0)));
    *(BITMAP *)out = {0, side, side, (side * 3 + 3) & ~3, 1, 24, bits};
    return LOG(object, size, out), sizeof(BITMAP);
}
BOOL WINAPI DeleteObject(HGDIOBJ object) { return LOG(object), TRUE; }
