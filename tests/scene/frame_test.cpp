#include "draw_fixture.h"

// ---- frame renderer

// A scene with pulses in every kind of place and a rolled, climbing camera.
static void PrepareFrame(BYTE reflections, BYTE showfps)
{
    ResetDrawing(4, reflections, showfps);
    SceneRandom = 3;
    FillSceneTables();
    PulseArray[2] = {5, 0, 6, 1};
    TowerGlow[42] = 60;
    ClientSize = {800, 600};
    SceneDC = FakeDC;
    FontListBase = FakeListBase;
    ShownFps = 57;
    CameraPose.eye = {1, 2, 3}; // x, z, height
    CameraPose.lookAt = {4, 5, 6};
    CameraPose.roll = 12.5f;
}

// One frame's calls with the runs of the three drawing routines collapsed.
static std::vector<std::string> FrameOutline(BYTE reflections, BYTE showfps)
{
    PrepareFrame(reflections, showfps);
    std::vector<Block> blocks = {
        {"towers", CallsOf(DrawTowers)}, {"floor", CallsOf(DrawFloor)}, {"pulses", CallsOf(DrawPulses)}};
    auto calls = CallsOf(RenderFrame);
    EXPECT_EQ(Recorder().gl.misuse, 0);
    return Outline(calls, blocks);
}

TEST(RenderFrame, DrawsMirrorFloorCityAndOverlayInThatOrder)
{
    const double allBits = 0xFFFFFFFFu;
    std::vector<std::string> setup = {
        Text("glMatrixMode", {GL_PROJECTION}), Text("glLoadIdentity"),
        Text("gluPerspective", {110, 800.0 / 600, 0.1, 110}),
        Text("glMatrixMode", {GL_MODELVIEW}), Text("glLoadIdentity"),
        Text("glClear", {0x4700}), Text("glDisable", {GL_FOG}),
        Text("glRotatef", {12.5, 0, 0, 1}),
        Text("gluLookAt", {1, 3, 2, 4, 6, 5, 0, 1, 0}), // heights are GL's y
        Text("glEnable", {GL_BLEND}), Text("glBlendFunc", {GL_SRC_ALPHA, GL_ONE}),
        Text("glDisable", {GL_DEPTH_TEST})};
    std::vector<std::string> mirror = {
        Text("glColorMask", {0, 0, 0, 0}), Text("glEnable", {GL_STENCIL_TEST}),
        Text("glStencilOp", {GL_REPLACE, GL_REPLACE, GL_REPLACE}),
        Text("glStencilFunc", {GL_ALWAYS, 1, allBits}), "[floor]",
        Text("glColorMask", {1, 1, 1, 1}),
        Text("glScalef", {1, -1, 1}), Text("glTranslatef", {0, 2.33, 0}),
        Text("glStencilFunc", {GL_EQUAL, 1, allBits}), Text("glStencilOp", {GL_KEEP, GL_KEEP, GL_KEEP}),
        "[pulses]", "[towers]",
        Text("glDisable", {GL_STENCIL_TEST}),
        Text("glScalef", {1, -1, 1}), Text("glTranslatef", {0, 2.33, 0})};
    std::vector<std::string> direct = {
        Text("glColor4f", {1, 1, 1, 0.84}), Text("glBlendFunc", {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}), "[floor]",
        Text("glColor4f", {1, 1, 1, 1}), Text("glEnable", {GL_FOG}), Text("glBlendFunc", {GL_SRC_ALPHA, GL_ONE}),
        "[pulses]", "[towers]"};
    std::vector<std::string> overlay = {
        Text("glMatrixMode", {GL_PROJECTION}), Text("glLoadIdentity"), Text("glOrtho", {0, 14, -14, 0.7, -1, 1}),
        Text("glMatrixMode", {GL_MODELVIEW}), Text("glLoadIdentity"),
        Text("glPushAttrib", {GL_LIST_BIT}), Text("glListBase", {FakeListBase}),
        Text("glCallLists", {7, GL_UNSIGNED_BYTE}), Text("glPopAttrib")};
    std::vector<std::string> present = {Text("glFinish"), Text("SwapBuffers", {(double)(UINT_PTR)FakeDC})};

    for (BYTE reflections : {0, 1})
        for (BYTE showfps : {0, 1}) {
            std::vector<std::string> want = setup;
            if (reflections)
                want.insert(want.end(), mirror.begin(), mirror.end());
            want.insert(want.end(), direct.begin(), direct.end());
            if (showfps)
                want.insert(want.end(), overlay.begin(), overlay.end());
            want.insert(want.end(), present.begin(), present.end());
            EXPECT_EQ(FrameOutline(reflections, showfps), want)
                << "reflections " << (int)reflections << ", showfps " << (int)showfps;
        }
}

// ---- overlay text

TEST(OverlayText, CallsOneListPerCharacterUnderItsOwnListBase)
{
    ResetDrawing();
    FontListBase = 777;
    auto calls = CallsOf([] { DrawOverlayText("FPS: %d", 57); });
    EXPECT_EQ(Outline(calls), (std::vector<std::string>{"glPushAttrib(131072)", "glListBase(777)",
                                                        "glCallLists(7, 5121)", "glPopAttrib()"}));
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[2].data, "FPS: 57");
    EXPECT_EQ(Recorder().gl.listBase, 777u);

    EXPECT_TRUE(CallsOf([] { DrawOverlayText(nullptr); }).empty());
}

TEST(OverlayText, OverlongTextIsCutToItsBuffer)
{
    ResetDrawing();
    static const std::string text(600, 'x');
    auto lists = (CallsOf([] { DrawOverlayText("%s%s", text.c_str(), "tail"); }), CallsNamed("glCallLists"));
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_LE(lists[0].args[0], 255);
    EXPECT_EQ(lists[0].args[0], lists[0].data.size());
    EXPECT_EQ(lists[0].data, text.substr(0, lists[0].data.size()));
}

// ---- frame counter

// Counts one frame at each tick count from a fresh window; returns what the overlay would show.
static int CountFramesAt(DWORD windowStart, std::vector<DWORD> ticks)
{
    ResetRecorder();
    FpsWindowStart = windowStart;
    FrameCount = 0;
    ShownFps = 0;
    for (DWORD tick : ticks) {
        Recorder().platform.tickCount = tick;
        CountFrame();
    }
    return ShownFps;
}

TEST(CountFrame, AWindowClosesAtTheFirstFrameAThousandMillisecondsOn)
{
    EXPECT_EQ(CountFramesAt(5000, {5000, 5300, 5600, 5999}), 0); // still the first window
    EXPECT_EQ(FrameCount, 4);

    Recorder().platform.tickStep = 3; // the window restarts at a second reading of the clock
    Recorder().platform.tickCount = 6000;
    CountFrame();
    EXPECT_EQ(ShownFps, 4);
    EXPECT_EQ(FrameCount, 1); // the closing frame opens the next window
    EXPECT_EQ(FpsWindowStart, 6003u);

    EXPECT_EQ(CountFramesAt(0, {1, 2, 1800, 1801}), 2); // a late window shows its count unscaled
    EXPECT_EQ(FrameCount, 2);
}

TEST(CountFrame, WindowsKeepTheirLengthAcrossTheClockWrapping)
{
    EXPECT_EQ(CountFramesAt(0xFFFFFF00u, {0xFFFFFFF0u, 5, 0x2E7}), 0); // 999 ms
    EXPECT_EQ(FrameCount, 3);
    EXPECT_EQ(CountFramesAt(0xFFFFFF00u, {0xFFFFFFF0u, 5, 0x2E8}), 2); // 1000 ms
    EXPECT_EQ(FpsWindowStart, 0x2E8u);
}
