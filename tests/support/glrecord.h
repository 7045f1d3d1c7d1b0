// A recording stand-in for OpenGL 1.1, GLU and the scene's context, font, timer and bitmap calls, linked in place
// of the real libraries so that tests can run the scene without a display and read back what it drew.
#pragma once

#include <windows.h>
#include <GL/gl.h>

#include <array>
#include <map>
#include <string>
#include <vector>

// One call: its name, its numeric arguments (handles and pointers as their address) and the bytes behind a pointer.
struct RecordedCall {
    std::string name;
    std::vector<double> args;
    std::string data; // list codes, pixel format, font face

    bool operator==(const RecordedCall &) const = default;
};

// The log, and what the fake platform answers: tests change it before running the scene.
struct GlRecorder {
    std::vector<RecordedCall> calls;
    DWORD tickCount = 4242; // what GetTickCount answers next
    DWORD tickStep = 0;     // added to it after every reading
    RECT client = {0, 0, 800, 600};
    BOOL visible = TRUE;    // what IsWindowVisible says
    std::map<int, LONG> bitmaps = {{128, 28}, {112, 12}, {114, 14}, {130, 30}}; // sides by id; a missing id fails
    std::array<GLfloat, 16> modelView = {}, projection = {};                      // what glGetFloatv answers
};

// Made on first use: the scene may call in during static start-up.
inline GlRecorder &Recorder() { static GlRecorder recorder; return recorder; }
inline void ResetRecorder() { Recorder() = GlRecorder(); }

// The recorded calls of one name, in order.
std::vector<RecordedCall> CallsNamed(const std::string &name);

// Handles the fake platform gives out, as they show in the log.
inline HDC const FakeDC = (HDC)(UINT_PTR)3520;
inline HGLRC const FakeContext = (HGLRC)(UINT_PTR)1728;
inline HMODULE const FakeModule = (HMODULE)(UINT_PTR)4194304;
inline HFONT const FakeFont = (HFONT)(UINT_PTR)3840;
inline const UINT_PTR FakeThreadTimer = 32257; // identifier chosen for a windowless timer
inline const UINT_PTR FakeWindowTimer = 32258; // value returned for a window timer asked as 0
inline const GLuint FakeListBase = 1000;       // what glGenLists hands out
inline HANDLE FakeBitmapHandle(int id) { return (HANDLE)(UINT_PTR)(45056 + id); } // what LoadImageA gives for an id
