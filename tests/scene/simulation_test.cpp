// What the known-answer runs of the simulation explain poorly: the generator's own sequence and the
// camera's curve worked out by hand; and the frame counter, on a clock of the test's own.
#include <tuple>
#include <vector>

#include "scene_fixture.h"

TEST(SceneRandom, FollowsTheClassicCLibrarySequence)
{
    // The first outputs of the classic rand() after srand(1).
    SceneRandom = 1;
    for (int want : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358})
        EXPECT_EQ(RandomBelow(32768), want);
}

// Values worked out by hand: the quadratic Bezier at t = 0.5 (weights 1/4, 1/2, 1/4) for the look-at point
// and at t - Speed = 0.4 (weights 0.36, 0.48, 0.16) for the eye, which a diagonal segment lifts by 0.25.
TEST(CameraCurve, LookAtAndEyeLieOnTheSegmentsCurve)
{
    struct Case { PathPoint start, control, end, lookAt, eye; } cases[] = {
        {{10.5f, 13.5f, 0}, {10.5f, 15, 1}, {10.5f, 16.5f, 0.5f}, {10.5f, 15, 0.625f}, {10.5f, 14.7f, 0.56f}},
        {{10.5f, 13.5f, 0}, {12, 15, 4}, {13.5f, 16.5f, 0}, {12, 15, 2}, {11.7f, 14.7f, 1.92f + 0.25f}},
    };
    for (const Case &c : cases) {
        ResetScene(100, 0);
        CameraPath = {c.start, c.control, c.end, c.control, 0.5f, 1, 0, 0, 1};
        StepCamera();
        for (auto [got, want] : {std::pair{CameraPose.lookAt, c.lookAt}, {CameraPose.eye, c.eye}}) {
            EXPECT_FLOAT_EQ(got.x, want.x);
            EXPECT_FLOAT_EQ(got.z, want.z);
            EXPECT_NEAR(got.height, want.height, 1e-6);
        }
    }
}

// The clock that the frame counter reads: each reading gives Now, then moves it 3 ms on.
static DWORD Now;
DWORD WINAPI GetTickCount()
{
    return (Now += 3) - 3;
}

TEST(CountFrame, AWindowClosesAtTheFirstFrameAThousandMillisecondsOnAcrossTheClockWrapping)
{
    const struct { DWORD windowStart; std::vector<DWORD> ticks; int shown, counted; DWORD start; } cases[] = {
        {5000, {5000, 5300, 5600, 5999, 6000}, 4, 1, 6003}, // not at 999 ms; the closing frame opens the next window
        {0xFFFFFF00u, {0xFFFFFFF0u, 5, 0x2E8}, 2, 1, 0x2EB}, // 1000 ms across the wrap; the next from a second reading
    };
    for (const auto &c : cases) {
        FpsWindowStart = c.windowStart;
        FrameCount = 0;
        for (DWORD tick : c.ticks) {
            Now = tick;
            CountFrame();
        }
        EXPECT_EQ(std::tuple(ShownFps, FrameCount, FpsWindowStart), std::tuple(c.shown, c.counted, c.start))
            << "from " << c.windowStart << " to " << c.ticks.back();
    }
}
