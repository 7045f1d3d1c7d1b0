#include "draw_fixture.h"

// ---- frame renderer

TEST(RenderFrame, DrawsMirrorFloorCityAndOverlayInThatOrderAndCutsOverlongOverlayText)
{
    const std::vector<std::string> setup = {"glMatrixMode(5889)", "glLoadIdentity()",
        "gluPerspective(110, 1.33333, 0.1, 110)", "glMatrixMode(5888)", "glLoadIdentity()", "glClear(18176)",
        "glDisable(2912)", "glRotatef(12.5, 0, 0, 1)", "gluLookAt(1, 3, 2, 4, 6, 5, 0, 1, 0)", "glEnable(3042)",
        "glBlendFunc(770, 1)", "glDisable(2929)"};
    const std::vector<std::string> mirror = {"glColorMask(0, 0, 0, 0)", "glEnable(2960)",
        "glStencilOp(7681, 7681, 7681)", "glStencilFunc(519, 1, 4294967295)", "[floor]", "glColorMask(1, 1, 1, 1)",
        "glScalef(1, -1, 1)", "glTranslatef(0, 2.33, 0)", "glStencilFunc(514, 1, 4294967295)",
        "glStencilOp(7680, 7680, 7680)", "[pulses]", "[towers]", "glDisable(2960)", "glScalef(1, -1, 1)",
        "glTranslatef(0, 2.33, 0)"};
    const std::vector<std::string> direct = {"glColor4f(1, 1, 1, 0.84)", "glBlendFunc(770, 771)", "[floor]",
        "glColor4f(1, 1, 1, 1)", "glEnable(2912)", "glBlendFunc(770, 1)", "[pulses]", "[towers]"};
    const std::vector<std::string> overlay = {"glMatrixMode(5889)", "glLoadIdentity()",
        "glOrtho(0, 14, -14, 0.7, -1, 1)", "glMatrixMode(5888)", "glLoadIdentity()", "glPushAttrib(131072)",
        "glListBase(1000)", "glCallLists(7, 5121, \"FPS: 57\")", "glPopAttrib()"};
    for (BYTE reflections : {0, 1})
        for (BYTE showfps : {0, 1}) {
            ResetDrawing(4, reflections, showfps);
            ClientSize = {800, 600}, SceneDC = FakeDC, FontListBase = FakeListBase, ShownFps = 57;
            CameraPose.eye = {1, 2, 3}, CameraPose.lookAt = {4, 5, 6}, CameraPose.roll = 12.5f; // x, z, height (GL's y)
            std::vector<Block> blocks = {{"towers", CallsOf(DrawTowers)}, {"floor", CallsOf(DrawFloor)},
                                         {"pulses", CallsOf(DrawPulses)}};
            std::vector<std::string> want = setup;
            want.insert(want.end(), mirror.begin(), reflections ? mirror.end() : mirror.begin());
            want.insert(want.end(), direct.begin(), direct.end());
            want.insert(want.end(), overlay.begin(), showfps ? overlay.end() : overlay.begin());
            want.insert(want.end(), {"glFinish()", "SwapBuffers(3520)"});
            EXPECT_EQ(Outline(CallsOf(RenderFrame), blocks), want)
                << "reflections " << +reflections << ", showfps " << +showfps;
        }
    // The overlay's text: none without a format, and overlong text cut to its buffer.
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
