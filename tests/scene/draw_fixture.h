// Reading the scene's drawing back from the recording GL library.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "scene_fixture.h"
#include "tests/support/glrecord.h"

// Texture names that tell the four slots apart in the log.
inline const GLuint SlotNames[4] = {11, 12, 13, 14};

// A fresh recorder and scene, with the slots named as above.
inline void ResetDrawing(BYTE pulses = 15, BYTE reflections = 1, BYTE showfps = 1)
{
    ResetScene(10, pulses), ApplySettings(10, pulses, reflections, showfps);
    std::copy(SlotNames, SlotNames + 4, TextureSlots), ResetRecorder();
}

// The numbers, whole or to six figures, joined by sep; addresses vary from run to run, so show as "&".
inline std::string Join(const std::vector<double> &numbers, const char *sep)
{
    std::string text;
    for (char number[32]; double n : numbers)
        text += (text.empty() ? "" : sep) + std::string(n >= 4294967296.0 ? "&"
                : (std::snprintf(number, sizeof number, n == (long long)n ? "%.0f" : "%.6g", n), number));
    return text;
}

// "name(a, b, ...)", then any text the call points at.
inline std::string Text(const RecordedCall &call)
{
    bool text = !call.data.empty() && std::ranges::all_of(call.data, [](unsigned char c) { return std::isprint(c); });
    return call.name + "(" + Join(call.args, ", ") + (text ? ", \"" + call.data + "\"" : "") + ")";
}

// The calls as text.
inline std::vector<std::string> Outline(const std::vector<RecordedCall> &calls)
{
    std::vector<std::string> outline;
    for (const RecordedCall &call : calls)
        outline.push_back(Text(call));
    return outline;
}

// The calls that one drawing routine makes, on its own.
template <class F> std::vector<RecordedCall> CallsOf(F draw) { return ResetRecorder(), draw(), Recorder().calls; }

// What calls leave: capabilities and client arrays on, each call's latest arguments,
// batches ("texture: s t x y z, ...") and misuse.
struct Replay {
    std::set<double> enabled;
    std::map<std::string, std::vector<double>> last;
    std::vector<std::string> batches;
    bool open = false;
    int misuse = 0; // nested glBegin, glEnd without one, anything but vertex data inside a batch
};

inline Replay Replayed(const std::vector<RecordedCall> &calls)
{
    static const std::set<std::string> inBatch = {"glColor3f", "glColor4f", "glTexCoord2f", "glVertex3f", "glEnd"};
    Replay r;
    for (const auto &[n, a, data] : calls) {
        r.misuse += (r.open && n.starts_with("gl") && !inBatch.count(n)) + (!r.open && n == "glEnd");
        r.last[n] = a;
        r.open = n == "glBegin" || (r.open && n != "glEnd");
        if (n == "glEnable" || n == "glEnableClientState")
            r.enabled.insert(a[0]);
        if (n == "glDisable" || n == "glDisableClientState")
            r.enabled.erase(a[0]);
        if (n == "glBegin")
            r.batches.push_back(Join({r.last["glBindTexture"].at(1)}, "") + ":");
        if (n == "glVertex3f")
            r.batches.back() += (r.batches.back().ends_with(":") ? " " : ", ") + Join(r.last["glTexCoord2f"], " ")
                                + " " + Join(a, " ");
    }
    return r;
}
