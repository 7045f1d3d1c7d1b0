// Time of one frame drawn off-screen by llvmpipe, the scene's own against the same frame drawn
// tile by tile in immediate mode as before (one frame of each per step of the flight, so both
// meet the same load on the machine), with the CPU time of the main thread and of the whole
// process per frame; and a frame that only clears and finishes. Medians of 100 frames.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "scene/scene.h"
#include "settings/settings.h"
#include "tests/support/immediate_frame.h"
#include "tools/headless_scene.h"

// Seconds of a CPU clock.
static double Seconds(clockid_t clock)
{
    timespec now;
    clock_gettime(clock, &now);
    return (double)now.tv_sec + now.tv_nsec * 1e-9;
}

// Wall, main-thread CPU and whole-process CPU (llvmpipe's rasteriser threads too) seconds of every frame of one kind.
struct FrameTimes {
    std::vector<double> wall, cpu, process;

    template <class Frame> double Add(Frame frame)
    {
        double processStart = Seconds(CLOCK_PROCESS_CPUTIME_ID), cpuStart = Seconds(CLOCK_THREAD_CPUTIME_ID);
        auto start = std::chrono::steady_clock::now();
        frame();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        cpu.push_back(Seconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart);
        process.push_back(Seconds(CLOCK_PROCESS_CPUTIME_ID) - processStart);
        wall.push_back(took.count());
        return took.count();
    }
};

// The median of the values, in milliseconds.
static double MedianMs(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2] * 1e3;
}

// A scene of the benchmark's width and height, the stored defaults with reflections as asked, 500 ticks in.
static HWND OpenScene(benchmark::State &state)
{
    ApplySettings(10, 15, (BYTE)state.range(2), 1);
    SceneRandom = 1;
    HWND window = OpenHeadlessScene((int)state.range(0), (int)state.range(1));
    if (!window)
        state.SkipWithError("no off-screen OpenGL context");
    for (int tick = 0; tick < 500 && window; tick++)
        StepScene();
    return window;
}

static void BM_RenderFrame(benchmark::State &state)
{
    HWND window = OpenScene(state);
    if (!window)
        return;
    RenderFrame(), DrawImmediateFrame(); // the first frames pay for texture residency and shader compilation
    FrameTimes arrays, immediate;
    for (auto _ : state) {
        StepScene();
        state.SetIterationTime(arrays.Add(RenderFrame));
        immediate.Add(DrawImmediateFrame);
    }
    state.counters["median_ms"] = MedianMs(arrays.wall);
    state.counters["immediate_ms"] = MedianMs(immediate.wall);
    state.counters["ratio"] = MedianMs(arrays.wall) / MedianMs(immediate.wall);
    state.counters["cpu_ms"] = MedianMs(arrays.cpu);
    state.counters["immediate_cpu_ms"] = MedianMs(immediate.cpu);
    state.counters["cpu_ratio"] = MedianMs(arrays.cpu) / MedianMs(immediate.cpu);
    state.counters["process_cpu_ms"] = MedianMs(arrays.process);
    state.counters["immediate_process_cpu_ms"] = MedianMs(immediate.process);
    CloseHeadlessScene(window);
}

static void BM_ClearOnly(benchmark::State &state)
{
    HWND window = OpenScene(state);
    if (!window)
        return;
    FrameTimes clears;
    for (auto _ : state) {
        state.SetIterationTime(clears.Add([] {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
            glFinish();
        }));
    }
    state.counters["median_ms"] = MedianMs(clears.wall);
    CloseHeadlessScene(window);
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
