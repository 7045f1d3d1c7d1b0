// The recording OpenGL, GLU and platform calls: every one logs its name and
// arguments; the few that the scene's tests read back also keep state.
#include "tests/support/glrecord.h"

#include <GL/glu.h>

#include <type_traits>

// ---- the log
GlRecorder &Recorder()
{
    static GlRecorder recorder; // made on first use: the scene may call in during static start-up
    return recorder;
}

// Calls that OpenGL allows between glBegin and glEnd (of those the recorder knows).
static const std::set<std::string> BatchCalls = {"glColor3f", "glColor4f", "glTexCoord2f",
                                                 "glVertex3f", "glCallLists", "glEnd"};

// Adds a call, counting what real GL would refuse, and lets the test observe it.
static RecordedCall &Append(const char *name, std::vector<double> args, std::string data)
{
    GlRecorder &r = Recorder();
    bool gl = name[0] == 'g' && name[1] == 'l';
    if (gl && r.gl.batchOpen && !BatchCalls.count(name))
        r.gl.misuse++;
    r.calls.push_back({name, std::move(args), std::move(data)});
    if (r.observer)
        r.observer(r.calls.back());
    return r.calls.back();
}

RecordedCall &RecordCall(const char *name, std::vector<double> args)
{
    return Append(name, std::move(args), {});
}

std::vector<RecordedCall> CallsNamed(const std::string &name)
{
    std::vector<RecordedCall> found;
    for (const RecordedCall &call : Recorder().calls)
        if (call.name == name)
            found.push_back(call);
    return found;
}

// A small 24-bit bitmap whose pixels tell resource ids apart.
static FakeBitmap SmallBitmap(int id)
{
    return {4, 4, std::vector<BYTE>(4 * 12, (BYTE)id)};
}

void ResetRecorder()
{
    GlRecorder &r = Recorder();
    r = GlRecorder();
    for (int id : {128, 112, 114, 130})
        r.platform.bitmaps[id] = SmallBitmap(id);
}

// ---- recording helpers
template <class T> static double Number(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return (double)(UINT_PTR)value;
    else
        return (double)value;
}

// Logs a call with the bytes at a pointer argument.
template <class... A> static void LogData(const char *name, const void *data, size_t size, A... args)
{
    Append(name, {Number(args)...}, data ? std::string((const char *)data, size) : std::string());
}

#define LOG(...) LogData(__func__, nullptr, 0 __VA_OPT__(, ) __VA_ARGS__)
#define LOG_DATA(data, size, ...) LogData(__func__, data, size, __VA_ARGS__)

static RecordedGlState &Gl() { return Recorder().gl; }

// ---- OpenGL 1.1: state
void glEnable(GLenum cap) { Gl().enabled.insert(cap), LOG(cap); }
void glDisable(GLenum cap) { Gl().enabled.erase(cap), LOG(cap); }
GLboolean glIsEnabled(GLenum cap) { return LOG(cap), (GLboolean)Gl().enabled.count(cap); }
void glHint(GLenum target, GLenum mode) { LOG(target, mode); }
void glFogf(GLenum pname, GLfloat param) { LOG(pname, param); }
void glFogfv(GLenum pname, const GLfloat *params)
{
    LOG_DATA(params, (pname == GL_FOG_COLOR ? 4 : 1) * sizeof(GLfloat), pname);
}
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) { LOG(x, y, width, height); }
void glClear(GLbitfield mask) { LOG(mask); }
void glBlendFunc(GLenum sfactor, GLenum dfactor)
{
    Gl().blendSrc = sfactor, Gl().blendDst = dfactor;
    LOG(sfactor, dfactor);
}
void glColorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a) { LOG(r, g, b, a); }
void glStencilOp(GLenum fail, GLenum zfail, GLenum zpass) { LOG(fail, zfail, zpass); }
void glStencilFunc(GLenum func, GLint ref, GLuint mask) { LOG(func, ref, mask); }
void glPixelStorei(GLenum pname, GLint param) { LOG(pname, param); }
void glFinish() { LOG(); }
GLenum glGetError() { return LOG(), GL_NO_ERROR; }

// ---- matrices
void glMatrixMode(GLenum mode) { Gl().matrixMode = mode, LOG(mode); }
void glLoadIdentity() { LOG(); }
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { LOG(angle, x, y, z); }
void glScalef(GLfloat x, GLfloat y, GLfloat z) { LOG(x, y, z); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { LOG(x, y, z); }
void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) { LOG(l, r, b, t, n, f); }
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    LOG(fovy, aspect, zNear, zFar);
}
void gluLookAt(GLdouble ex, GLdouble ey, GLdouble ez, GLdouble cx, GLdouble cy, GLdouble cz, GLdouble ux,
               GLdouble uy, GLdouble uz)
{
    LOG(ex, ey, ez, cx, cy, cz, ux, uy, uz);
}

// ---- immediate mode
void glBegin(GLenum mode)
{
    LOG(mode); // counted as misuse if a batch is open already
    Gl().batchOpen = true;
}
void glEnd()
{
    Gl().misuse += !Gl().batchOpen;
    Gl().batchOpen = false;
    LOG();
}
void glColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    float *c = Gl().color;
    c[0] = r, c[1] = g, c[2] = b, c[3] = 1;
    LOG(r, g, b);
}
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    float *c = Gl().color;
    c[0] = r, c[1] = g, c[2] = b, c[3] = a;
    LOG(r, g, b, a);
}
void glTexCoord2f(GLfloat s, GLfloat t) { Gl().texCoord[0] = s, Gl().texCoord[1] = t, LOG(s, t); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { LOG(x, y, z); }

// ---- textures
void glGenTextures(GLsizei n, GLuint *textures)
{
    for (GLsizei i = 0; i < n; i++)
        textures[i] = Recorder().nextTexture++;
    LOG_DATA(textures, n * sizeof(GLuint), n);
}
void glBindTexture(GLenum target, GLuint texture) { Gl().boundTexture = texture, LOG(target, texture); }
void glTexParameteri(GLenum target, GLenum pname, GLint param) { LOG(target, pname, param); }
GLint gluBuild2DMipmaps(GLenum target, GLint components, GLsizei width, GLsizei height, GLenum format,
                        GLenum type, const void *data)
{
    return LOG(target, components, width, height, format, type, data), 0;
}

// ---- display lists
GLuint glGenLists(GLsizei range)
{
    GLuint base = Recorder().nextList;
    Recorder().nextList += range;
    return LOG(range), base;
}
void glDeleteLists(GLuint list, GLsizei range) { LOG(list, range); }
void glNewList(GLuint list, GLenum mode) { LOG(list, mode); }
void glEndList() { LOG(); }
void glListBase(GLuint base) { Gl().listBase = base, LOG(base); }
void glCallLists(GLsizei n, GLenum type, const GLvoid *lists)
{
    LOG_DATA(lists, type == GL_UNSIGNED_BYTE ? n : 0, n, type);
}
void glPushAttrib(GLbitfield mask) { LOG(mask); }
void glPopAttrib() { LOG(); }

// ---- device and rendering contexts
HDC WINAPI GetDC(HWND window) { return LOG(window), FakeDC; }
int WINAPI ReleaseDC(HWND window, HDC dc) { return LOG(window, dc), 1; }
int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR *request)
{
    return LOG_DATA(request, sizeof *request, dc), 1;
}
BOOL WINAPI SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR *request)
{
    return LOG_DATA(request, sizeof *request, dc, format), TRUE;
}
BOOL WINAPI SwapBuffers(HDC dc) { return LOG(dc), TRUE; }
HGLRC WINAPI wglCreateContext(HDC dc) { return LOG(dc), FakeContext; }
BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context) { return LOG(dc, context), TRUE; }
BOOL WINAPI wglDeleteContext(HGLRC context) { return LOG(context), TRUE; }

// ---- fonts
HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR face)
{
    LOG_DATA(face, face ? std::strlen(face) : 0, height, width, escapement, orientation, weight, italic, underline,
             strikeOut, charSet, outPrecision, clipPrecision, quality, pitchAndFamily);
    return FakeFont;
}
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) { return LOG(dc, object), nullptr; }
BOOL WINAPI wglUseFontOutlinesA(HDC dc, DWORD first, DWORD count, DWORD listBase, FLOAT deviation, FLOAT extrusion,
                                int format, LPGLYPHMETRICSFLOAT metrics)
{
    return LOG(dc, first, count, listBase, deviation, extrusion, format, metrics), TRUE;
}

// ---- timers, window and clock
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC callback)
{
    LOG(window, id, elapse, (void *)callback);
    return window ? (id ? id : FakeWindowTimer) : FakeThreadTimer;
}
BOOL WINAPI KillTimer(HWND window, UINT_PTR id) { return LOG(window, id), TRUE; }
BOOL WINAPI GetClientRect(HWND window, LPRECT rect)
{
    *rect = {0, 0, Recorder().platform.clientWidth, Recorder().platform.clientHeight};
    return LOG(window), TRUE;
}
DWORD WINAPI GetTickCount()
{
    FakePlatformState &p = Recorder().platform;
    DWORD now = p.tickCount;
    p.tickCount += p.tickStep;
    return LOG(), now;
}
HMODULE WINAPI GetModuleHandleA(LPCSTR name) { return LOG(name), FakeModule; }

// ---- bitmaps

HANDLE WINAPI LoadImageA(HINSTANCE module, LPCSTR name, UINT type, int cx, int cy, UINT flags)
{
    LOG(module, name, type, cx, cy, flags);
    int id = (int)(UINT_PTR)name;
    return Recorder().platform.bitmaps.count(id) ? FakeBitmapHandle(id) : nullptr;
}
int WINAPI GetObjectA(HANDLE object, int size, LPVOID out)
{
    LOG(object, size, out);
    auto found = Recorder().platform.bitmaps.find((int)((UINT_PTR)object - (UINT_PTR)FakeBitmapHandle(0)));
    if (found == Recorder().platform.bitmaps.end() || size < (int)sizeof(BITMAP))
        return 0;
    FakeBitmap &b = found->second;
    *(BITMAP *)out = {0, b.width, b.height, (b.width * 3 + 3) & ~3, 1, 24, b.bits.data()};
    return sizeof(BITMAP);
}
BOOL WINAPI DeleteObject(HGDIOBJ object) { return LOG(object), TRUE; }
