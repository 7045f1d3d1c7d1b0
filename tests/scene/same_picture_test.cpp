// The frame as the scene draws it, from vertex arrays and without what cannot show, against
// the same frame drawn tile by tile in immediate mode, over seeds, ticks, settings and sizes.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "scene_fixture.h"
#include "tests/support/immediate_frame.h"
#include "tools/headless_scene.h"

// Every allocation the test program makes. A sanitizer build keeps its own new and delete (all their
// forms are its), and counts nothing.
static std::atomic<long> Allocations;
#if defined(__SANITIZE_ADDRESS__)
const bool AllocationsCounted = false;
#else
const bool AllocationsCounted = true;
void *operator new(std::size_t size)
{
    Allocations++;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
#endif

TEST(SamePicture, ArraysDrawWhatTheTileByTileFrameDrew)
{
    const struct {
        DWORD seed;
        BYTE speed, pulses;
        int width, height;
        std::vector<int> ticks; // frames drawn after these; the last also with every glow set by hand
    } runs[] = {
        {1, 10, 15, 320, 200, {1, 40, 700, 3000, 9000, 20000}},
        {2024, 100, 100, 320, 200, {1, 250, 5000, 20000}},
        {99, 10, 0, 333, 77, {1, 1500, 12000, 20000}},
        {31337, 100, 15, 1280, 720, {2, 20000}},
    };
    long compared = 0, differing = 0;
    for (const auto &run : runs) {
        ResetScene(run.speed, run.pulses, run.seed);
        HWND window = OpenHeadlessScene(run.width, run.height);
        ASSERT_NE(window, nullptr) << "no off-screen OpenGL context";
        size_t size = 3 * run.width * run.height;
        std::vector<unsigned char> arrays(size), immediate(size);
        for (int tick = 1, frame = 0; tick <= run.ticks.back(); tick++) {
            StepScene();
            if (std::ranges::find(run.ticks, tick) == run.ticks.end())
                continue;
            for (int glow = 0; glow < 1 + (tick == run.ticks.back()); glow++) {
                for (int t = 0; t < TowerCount && glow; t++)
                    TowerGlow[t] = (BYTE)(53 * t); // every tint its own, past zero included
                for (BYTE reflections : {0, 1}) {
                    SaverSettings.reflections = reflections, SaverSettings.showfps = frame++ % 3 == 0;
                    RenderFrame(), ReadHeadlessPixels(window, arrays.data());
                    DrawImmediateFrame(), ReadHeadlessPixels(window, immediate.data());
                    long bytes = 0, lit = 0;
                    int most = 0;
                    for (size_t i = 0; i < size; i++) {
                        int d = std::abs(arrays[i] - immediate[i]);
                        bytes += d > 0, most = std::max(most, d), lit += immediate[i] > 0;
                    }
                    std::string where = "seed " + std::to_string(run.seed) + ", tick " + std::to_string(tick) +
                                        (glow ? ", glows by hand" : "") + (reflections ? ", mirrored" : "");
                    EXPECT_GT(lit * 20, (long)size) << where << ": hardly anything drawn";
                    EXPECT_LE(most, 2) << where;
                    EXPECT_LE(bytes * 2000, (long)size) << where << ": " << bytes << " bytes differ"; // 0.05 %
                    compared += size, differing += bytes;
                }
            }
        }
        CloseHeadlessScene(window);
    }
    // Mesa cut each quad the way the arrays do. What is left, a level on a few pixels of flaring
    // towers, is where immediate mode happened to carry the tint as a vertex colour, which GL
    // interpolates, rather than as the current colour, which it takes as it is.
    EXPECT_LE(differing * 100000, compared) << differing << " of " << compared << " bytes differ"; // 0.001 %
}

TEST(SamePicture, FramesAndTicksAllocateNothing)
{
    ResetScene(10, 100, 5);
    HWND window = OpenHeadlessScene(160, 100);
    ASSERT_NE(window, nullptr) << "no off-screen OpenGL context";
    auto frames = [](int count) {
        for (int i = 0; i < count; i++) {
            StepScene();
            SaverSettings.reflections = i % 2, SaverSettings.showfps = i % 3 == 0;
            RenderFrame();
        }
    };
    frames(6); // GL's first frames of each kind build what it keeps
    long before = Allocations;
    frames(30);
    if (!AllocationsCounted)
        GTEST_SKIP() << "this build counts no allocations";
    EXPECT_EQ(Allocations, before);
    CloseHeadlessScene(window);
}
