#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "draw_fixture.h"

// The saver's handling of what the scene passes on: logged, with an answer of its own.
static LRESULT CALLBACK LoggedDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::vector<double> args = {(double)(UINT_PTR)window, (double)message, (double)wParam, (double)lParam};
    return Recorder().calls.push_back({"DefaultProc", args, ""}), 0x5000 + message;
}

// A message to the scene's window, whose handle shows as 976.
static LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SceneWindowProc((HWND)(UINT_PTR)976, msg, w, l); }

// Each test with a fresh recorder and a settings store of its own, left to its defaults.
class SceneWindow : public testing::Test {
protected:
    std::string store = testing::TempDir() + "vantrel-scene-window-" + std::to_string(getpid()) + ".reg";

    void SetUp() override
    {
        std::remove(store.c_str()), setenv("VANTREL_REGISTRY", store.c_str(), 1), ResetDrawing();
        SceneDefaultProc = LoggedDefaultProc;
    }
    void TearDown() override { std::remove(store.c_str()); }
};

TEST_F(SceneWindow, CreationMeasuresInitialisesProjectsStartsBothTimersAndStepsOnce)
{
    ResetScene(10, 15, Recorder().tickCount); // seeded from the clock, then one step
    FillSceneTables(), StepScene();
    const CameraPoseRecord steppedPose = CameraPose;
    ResetScene(10, 15, 0);
    Recorder().client.bottom = 0; // an empty preview parent
    EXPECT_EQ(Send(WM_CREATE), 0);
    std::vector<std::string> want = {"GetClientRect(976)", "GetTickCount()", "GetDC(976)", "ChoosePixelFormat(3520)",
        "SetPixelFormat(3520, 1)", "wglCreateContext(3520)", "wglMakeCurrent(3520, 1728)", "glGenTextures(4)"};
    for (int slot = 1; int id : {128, 112, 114, 130}) { // bitmap sizes tell the uploads apart
        std::string bitmap = std::to_string(45056 + id), size = std::to_string(Recorder().bitmaps[id]);
        std::string load = "LoadImageA(4194304, " + std::to_string(id) + ", 0, 0, 0, 8192)";
        want.insert(want.end(), {load, "GetObjectA(" + bitmap + ", 32, &)", "glPixelStorei(3317, 4)",
            "glBindTexture(3553, " + std::to_string(slot++) + ")",
            "glTexParameteri(3553, 10240, 9729)", "glTexParameteri(3553, 10241, 9987)",
            "gluBuild2DMipmaps(3553, 3, " + size + ", " + size + ", 32992, 5121, &)", "DeleteObject(" + bitmap + ")"});
    }
    want.insert(want.end(), {"glGenLists(256)", "CreateFontA(-24, 0, 0, 0, 400, 0, 0, 0, 0, 4, 0, 0, 0, \"Verdana\")",
        "SelectObject(3520, 3840)", "wglUseFontOutlinesA(3520, 0, 255, 1000, 0, 0.01, 1, &)", "glEnable(3042)",
        "glEnable(2929)", "glEnable(3553)", "glHint(3152, 4354)", "glFogfv(2918, 0, 0, 0, 1)", "glFogf(2917, 9729)",
        "glHint(3156, 4353)", "glFogf(2915, 6)", "glFogf(2916, 20)", "glEnable(2912)", "glViewport(0, 0, 800, 1)",
        "glMatrixMode(5889)", "glLoadIdentity()", "gluPerspective(100, 800, 0.1, 100)", "glMatrixMode(5888)",
        "glLoadIdentity()", "SetTimer(0, 0, 10, &)", "SetTimer(976, 0, 1, 0)"});
    EXPECT_EQ(Outline(Recorder().calls), want);
    EXPECT_EQ(CallsNamed("SetTimer")[0].args[3], (double)(UINT_PTR)&SimulationTimerProc);
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = 40, request.nVersion = 1, request.dwFlags = 0x21, request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 16, request.cStencilBits = 8;
    for (const char *call : {"ChoosePixelFormat", "SetPixelFormat"})
        EXPECT_EQ(CallsNamed(call)[0].data, std::string((const char *)&request, sizeof request)) << call;
    EXPECT_EQ(std::memcmp(&CameraPose, &steppedPose, sizeof steppedPose), 0);
}

TEST_F(SceneWindow, AMissingFloorBitmapLeavesOnlyTheFloorUntextured)
{
    Recorder().bitmaps.erase(114), Send(WM_CREATE);
    EXPECT_EQ(Outline(CallsNamed("glBindTexture")),
              (std::vector<std::string>{"glBindTexture(3553, 1)", "glBindTexture(3553, 2)", "glBindTexture(3553, 4)"}));
    EXPECT_EQ(CallsNamed("gluBuild2DMipmaps").size() + CallsNamed("DeleteObject").size(), 6u);
    EXPECT_EQ(CallsNamed("SetTimer").size(), 2u); // the rest of creation goes on
}

TEST_F(SceneWindow, TimerDrawsAFrameOnTheDirectPassStateThenCountsItAndOtherMessagesGoToTheHost)
{
    Send(WM_CREATE);
    TileTable[TileCount - 1] = 0;       // the last tile binds the readout atlas
    FpsWindowStart = Recorder().tickCount; // no counting window closes here
    for (int frames = FrameCount; WPARAM id : {(WPARAM)FakeWindowTimer, (WPARAM)0xBEEF}) {
        EXPECT_EQ(Send(WM_TIMER, id), 0);
        auto log = Outline(Recorder().calls);
        EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
                  (std::vector<std::string>{"glFinish()", "SwapBuffers(3520)", "GetTickCount()"}));
        EXPECT_EQ(FrameCount, ++frames);
    }
    // The overlay text is drawn with what creation and the direct pass left set.
    auto text = std::ranges::find(Recorder().calls, "glPushAttrib", &RecordedCall::name);
    ASSERT_NE(text, Recorder().calls.end());
    Replay atText = Replayed({Recorder().calls.begin(), text});
    EXPECT_EQ(atText.enabled, (std::set<double>{GL_BLEND, GL_FOG, GL_TEXTURE_2D}));
    const std::map<std::string, std::vector<double>> state = {
        {"glBlendFunc", {GL_SRC_ALPHA, GL_ONE}}, {"glColor3f", {1, 1, 1}}, {"glColor4f", {1, 1, 1, 1}},
        {"glTexCoord2f", {0.01f, 0.01f}}, {"glBindTexture", {GL_TEXTURE_2D, 2}}, {"glMatrixMode", {GL_MODELVIEW}}};
    for (const auto &[call, args] : state)
        EXPECT_EQ(atText.last[call], args) << call;

    // Everything else is the host's, untouched.
    const std::vector<double> messages[] = {{WM_PAINT, 0, 0}, {WM_KEYDOWN, 0x41, -1}, {WM_APP, 0xFFFFFFFFu, 123456}};
    for (const auto &m : messages) {
        Recorder().calls.clear();
        EXPECT_EQ(Send((UINT)m[0], (WPARAM)m[1], (LPARAM)m[2]), (LRESULT)(0x5000 + m[0]));
        EXPECT_EQ(Outline(Recorder().calls), std::vector<std::string>{"DefaultProc(976, " + Join(m, ", ") + ")"});
    }
}

TEST_F(SceneWindow, ANewSizeMovesTheViewportAndTheNextProjectionThenGoesToTheHost)
{
    Send(WM_CREATE), Recorder().calls.clear();
    EXPECT_EQ(Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 500)), 0x5000 + WM_SIZE);
    EXPECT_EQ(Outline(CallsNamed("glViewport")), std::vector<std::string>{"glViewport(0, 0, 800, 500)"});
    EXPECT_EQ(Outline(CallsNamed("DefaultProc")), std::vector<std::string>{"DefaultProc(976, 5, 0, 32768800)"});
    Recorder().calls.clear(), Send(WM_TIMER);
    EXPECT_EQ(CallsNamed("gluPerspective").at(0).args.at(1), 1.6); // 800 / 500
}

TEST_F(SceneWindow, DestructionStopsTimersAndReleasesTheContext)
{
    for (BYTE showfps : {0, 1}) {
        Send(WM_CREATE), SaverSettings.showfps = showfps, Recorder().calls.clear();
        EXPECT_EQ(Send(WM_DESTROY), 0);
        std::vector<std::string> want = {"KillTimer(0, 32257)",    "KillTimer(976, 32258)", "glDeleteLists(1000, 256)",
                                         "SelectObject(3520, 0)",  "DeleteObject(3840)",    "wglMakeCurrent(0, 0)",
                                         "wglDeleteContext(1728)", "ReleaseDC(976, 3520)"};
        want.erase(want.begin() + 2, want.begin() + 5 - 3 * showfps); // the font and its lists go only with the text
        EXPECT_EQ(Outline(Recorder().calls), want) << "showfps " << +showfps;
    }
}

TEST_F(SceneWindow, AWindowThatCannotBeSeenDrawsNothingAndItsFrameTimerRests)
{
    Send(WM_CREATE);
    struct Step { BOOL visible; LONG height; size_t frames; std::vector<std::string> timers; };
    const Step steps[] = {{FALSE, 600, 0, {"SetTimer(976, 0, 100, 0)"}}, {FALSE, 600, 0, {}},
                          {TRUE, 600, 1, {"SetTimer(976, 0, 1, 0)"}},    {TRUE, 600, 1, {}},
                          {TRUE, 0, 0, {"SetTimer(976, 0, 100, 0)"}}, // shown, but empty
                          {TRUE, 600, 1, {"SetTimer(976, 0, 1, 0)"}}};
    for (const Step &step : steps) {
        Recorder().visible = step.visible, Recorder().client.bottom = step.height, Recorder().calls.clear();
        EXPECT_EQ(Send(WM_TIMER), 0);
        EXPECT_EQ(CallsNamed("SwapBuffers").size(), step.frames) << step.visible << ' ' << step.height;
        EXPECT_EQ(Outline(CallsNamed("SetTimer")), step.timers) << step.visible << ' ' << step.height;
    }
}
