// Reading the scene's drawing back from the recording GL library.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "scene_fixture.h"
#include "tests/support/glrecord.h"

// Texture names that tell the four slots apart in the log.
inline const GLuint SlotNames[4] = {11, 12, 13, 14};

// A fresh recorder and scene, with the slots named as above.
inline void ResetDrawing(BYTE pulses = 15, BYTE reflections = 1, BYTE showfps = 1)
{
    ResetScene(10, pulses);
    ApplySettings(10, pulses, reflections, showfps);
    for (int slot = 0; slot < 4; slot++)
        TextureSlots[slot] = SlotNames[slot];
    ResetRecorder();
}

// "name(a, b, ...)"; addresses of the caller's own buffers, which vary from run to run, show as "&".
inline std::string Text(const std::string &name, const std::vector<double> &args = {})
{
    std::string text = name + "(";
    for (size_t i = 0; i < args.size(); i++) {
        char number[32];
        std::snprintf(number, sizeof number, "%.6g", args[i]);
        text += (i ? ", " : "") + (args[i] >= 4294967296.0 ? std::string("&") : std::string(number));
    }
    return text + ")";
}

inline std::string Text(const RecordedCall &call) { return Text(call.name, call.args); }

// The calls as text, each complete run of a block's calls shown as the block's name alone.
using Block = std::pair<std::string, std::vector<RecordedCall>>;

inline std::vector<std::string> Outline(const std::vector<RecordedCall> &calls, const std::vector<Block> &blocks = {})
{
    std::vector<std::string> outline;
    for (size_t i = 0; i < calls.size();) {
        const Block *found = nullptr;
        for (const Block &block : blocks)
            if (!found && !block.second.empty() && i + block.second.size() <= calls.size()
                && std::equal(block.second.begin(), block.second.end(), calls.begin() + i))
                found = &block;
        outline.push_back(found ? "[" + found->first + "]" : Text(calls[i]));
        i += found ? found->second.size() : 1;
    }
    return outline;
}

// The calls that one drawing routine makes, on its own.
template <class F> std::vector<RecordedCall> CallsOf(F draw)
{
    ResetRecorder();
    draw();
    return Recorder().calls;
}

// One glBegin..glEnd batch: the texture bound when it began and its corners.
struct Corner {
    float s, t, x, y, z;
};
struct Batch {
    GLuint texture;
    std::vector<Corner> corners;
};

inline std::vector<Batch> Batches(const std::vector<RecordedCall> &calls)
{
    std::vector<Batch> batches;
    GLuint bound = 0;
    float s = 0, t = 0;
    for (const RecordedCall &call : calls) {
        const std::vector<double> &a = call.args;
        if (call.name == "glBindTexture")
            bound = (GLuint)a[1];
        else if (call.name == "glBegin")
            batches.push_back({bound, {}});
        else if (call.name == "glTexCoord2f")
            s = (float)a[0], t = (float)a[1];
        else if (call.name == "glVertex3f")
            batches.back().corners.push_back({s, t, (float)a[0], (float)a[1], (float)a[2]});
    }
    return batches;
}
