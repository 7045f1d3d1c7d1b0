#include "draw_fixture.h"

// ---- overlay text

TEST(DrawOverlayText, DrawsNothingWithoutAFormatAndCutsOverlongTextToItsBuffer)
{
    EXPECT_TRUE(CallsOf([] { DrawOverlayText(nullptr); }).empty());
    static const std::string text(600, 'x');
    auto lists = (CallsOf([] { DrawOverlayText("%s%s", text.c_str(), "tail"); }), CallsNamed("glCallLists"));
    EXPECT_EQ(Outline(lists), std::vector<std::string>{"glCallLists(255, 5121, \"" + text.substr(0, 255) + "\")"});
}

// ---- frame counter

TEST(CountFrame, AWindowClosesAtTheFirstFrameAThousandMillisecondsOnAcrossTheClockWrapping)
{
    const struct { DWORD windowStart; std::vector<DWORD> ticks; int shown, counted; DWORD start; } cases[] = {
        {5000, {5000, 5300, 5600, 5999, 6000}, 4, 1, 6003},        // the closing frame opens the next window
        {0, {1, 2, 1800, 1900}, 2, 2, 1803},                       // a late window shows its count unscaled
        {0xFFFFFF00u, {0xFFFFFFF0u, 5, 0x2E7}, 0, 3, 0xFFFFFF00u}, // 999 ms
        {0xFFFFFF00u, {0xFFFFFFF0u, 5, 0x2E8}, 2, 1, 0x2EB},       // 1000 ms
    };
    Recorder().tickStep = 3; // the window restarts at a second reading of the clock, 3 ms on
    for (const auto &c : cases) {
        FpsWindowStart = c.windowStart, FrameCount = 0, ShownFps = 0;
        for (DWORD tick : c.ticks)
            Recorder().tickCount = tick, CountFrame();
        EXPECT_EQ(std::tuple(ShownFps, FrameCount, FpsWindowStart), std::tuple(c.shown, c.counted, c.start))
            << "from " << c.windowStart << " to " << c.ticks.back();
    }
}
