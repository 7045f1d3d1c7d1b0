// A recording stand-in for OpenGL 1.1, GLU and the context, font, timer and
// bitmap calls of the scene, linked in place of the real libraries so that
// tests can run the scene without a display and read back what it drew.
#pragma once

#include <windows.h>
#include <GL/gl.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// One call: its name, its numeric arguments (handles and pointers as their
// address) and the bytes behind a pointer argument where they matter.
struct RecordedCall {
    std::string name;
    std::vector<double> args;
    std::string data; // fog colour, list codes, pixel format, font face, texture names

    bool operator==(const RecordedCall &) const = default;

    // The data read as consecutive values of T.
    template <class T> std::vector<T> DataAs() const
    {
        std::vector<T> values(data.size() / sizeof(T));
        std::memcpy(values.data(), data.data(), values.size() * sizeof(T));
        return values;
    }
};

// The bits of GL state that the scene's tests look at.
struct RecordedGlState {
    GLfloat color[4] = {1, 1, 1, 1};
    GLfloat texCoord[2] = {0, 0};
    GLuint boundTexture = 0;
    std::set<GLenum> enabled;
    GLenum blendSrc = GL_ONE, blendDst = GL_ZERO;
    GLenum matrixMode = GL_MODELVIEW;
    GLuint listBase = 0;
    bool batchOpen = false; // between glBegin and glEnd
    int misuse = 0;         // calls that real GL would refuse (nested glBegin, glEnd without one)
};

// What the fake platform answers; tests change it before running the scene.
struct FakeBitmap {
    LONG width, height;
    std::vector<BYTE> bits; // bottom-up rows of blue, green, red, padded to 4 bytes
};

struct FakePlatformState {
    DWORD tickCount = 0;         // what GetTickCount answers next
    DWORD tickStep = 0;          // added to it after every reading
    LONG clientWidth = 640, clientHeight = 480;
    std::map<int, FakeBitmap> bitmaps; // by resource id; an id missing here fails to load
};

// Handles the fake platform gives out.
inline HDC const FakeDC = (HDC)(UINT_PTR)0xDC0;
inline HGLRC const FakeContext = (HGLRC)(UINT_PTR)0x6C0;
inline HMODULE const FakeModule = (HMODULE)(UINT_PTR)0x400000;
inline HFONT const FakeFont = (HFONT)(UINT_PTR)0xF00;
inline const UINT_PTR FakeThreadTimer = 0x7E01; // identifier chosen for a windowless timer
inline const UINT_PTR FakeWindowTimer = 0x7E02; // value returned for a window timer asked as 0
inline const GLuint FakeListBase = 1000;        // first name glGenLists hands out

// The handle LoadImageA gives for a bitmap resource id.
inline HANDLE FakeBitmapHandle(int id) { return (HANDLE)(UINT_PTR)(0xB000 + id); }

struct GlRecorder {
    std::vector<RecordedCall> calls;
    RecordedGlState gl;
    FakePlatformState platform;
    GLuint nextTexture = 1, nextList = FakeListBase;
    std::function<void(const RecordedCall &)> observer; // runs after each call is recorded
};

GlRecorder &Recorder();

// Back to a fresh context: no calls, default state, 4x4 bitmaps for 128, 112, 114, 130.
void ResetRecorder();

// Adds a call made by a test's own fake to the log.
RecordedCall &RecordCall(const char *name, std::vector<double> args = {});

// The recorded calls of one name, in order.
std::vector<RecordedCall> CallsNamed(const std::string &name);
