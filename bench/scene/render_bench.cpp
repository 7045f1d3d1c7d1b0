// Time of one frame drawn off-screen by llvmpipe, against a frame that only
// clears and finishes: the median of 100 frames, while the camera flies on.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "scene/scene.h"
#include "settings/settings.h"
#include "tools/headless_scene.h"

// Times `frame` once per iteration with the simulation stepped in between,
// and reports the median in milliseconds.
template <class Frame> static void TimeFrames(benchmark::State &state, Frame frame)
{
    ApplySettings(10, 15, (BYTE)state.range(2), 1); // the stored defaults, reflections as asked
    SceneRandom = 1;
    HWND window = OpenHeadlessScene((int)state.range(0), (int)state.range(1));
    if (!window) {
        state.SkipWithError("no off-screen OpenGL context");
        return;
    }
    for (int tick = 0; tick < 500; tick++) // into the city
        StepScene();
    frame(); // the first frame pays for texture residency and shader compilation

    std::vector<double> times;
    for (auto _ : state) {
        StepScene();
        auto start = std::chrono::steady_clock::now();
        frame();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        times.push_back(took.count());
    }
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    state.counters["median_ms"] = times[times.size() / 2] * 1e3;
    CloseHeadlessScene(window);
}

static void BM_RenderFrame(benchmark::State &state) { TimeFrames(state, RenderFrame); }

static void BM_ClearOnly(benchmark::State &state)
{
    TimeFrames(state, [] {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glFinish();
    });
}

// Width, height, reflections.
BENCHMARK(BM_RenderFrame)
    ->Args({1280, 720, 0})
    ->Args({1280, 720, 1})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Iterations(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClearOnly)
    ->Args({1280, 720, 0})
    ->Args({1920, 1080, 0})
    ->Iterations(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
