#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "draw_fixture.h"
#include "host/host.h"

// The host's default handling, as the scene sees it: logged, with an answer of its own.
LRESULT CALLBACK SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RecordCall("SaverDefaultProc", {(double)(UINT_PTR)window, (double)message, (double)wParam, (double)lParam});
    return 0x5000 + message;
}

static HWND const Window = (HWND)(UINT_PTR)0x3D0;

static double Handle(const void *handle) { return (double)(UINT_PTR)handle; }

// Resource id and fake size of each slot's bitmap: sizes tell the uploads apart.
static const int SlotBitmaps[4][2] = {{128, 8}, {112, 16}, {114, 32}, {130, 64}};

// Each test with a settings store of its own, a fresh recorder and a 800 x 600 window.
class SceneWindow : public testing::Test {
protected:
    std::string store;

    void SetUp() override
    {
        store = testing::TempDir() + "vantrel-scene-window-" + std::to_string(getpid()) + ".reg";
        std::remove(store.c_str());
        setenv("VANTREL_REGISTRY", store.c_str(), 1);
        ResetDrawing();
        FakePlatformState &platform = Recorder().platform;
        platform.tickCount = 4242;
        platform.clientWidth = 800, platform.clientHeight = 600;
        for (auto [id, size] : SlotBitmaps)
            platform.bitmaps[id].width = platform.bitmaps[id].height = size;
    }
    void TearDown() override { std::remove(store.c_str()); }

    // Stores the settings where LoadSettings finds them and creates the scene window.
    static LRESULT Create(BYTE pulses, BYTE showfps)
    {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr);
        const std::pair<const char *, BYTE> values[] = {
            {"Speed", 10}, {"Pulses", pulses}, {"Reflections", 1}, {"Showfps", showfps}};
        for (auto [name, value] : values)
            RegSetValueExA(key, name, 0, REG_BINARY, &value, 1);
        RegCloseKey(key);
        return SceneWindowProc(Window, WM_CREATE, 0, 0);
    }

    // The calls so far as text; the module handle may be asked for once or per bitmap.
    static std::vector<std::string> Log()
    {
        std::vector<RecordedCall> calls;
        for (const RecordedCall &call : Recorder().calls)
            if (call.name != "GetModuleHandleA")
                calls.push_back(call);
        return Outline(calls);
    }
};

TEST_F(SceneWindow, CreationMeasuresInitialisesProjectsAndStartsBothTimers)
{
    Recorder().platform.clientHeight = 0; // an empty preview parent
    EXPECT_EQ(Create(15, 1), 0);

    const double dc = Handle(FakeDC), window = Handle(Window), address = 1e18;
    std::vector<std::string> want = {
        Text("GetClientRect", {window}), Text("GetTickCount"), Text("GetDC", {window}),
        Text("ChoosePixelFormat", {dc}), Text("SetPixelFormat", {dc, 1}),
        Text("wglCreateContext", {dc}), Text("wglMakeCurrent", {dc, Handle(FakeContext)}),
        Text("glGenTextures", {4})};
    for (int slot = 0; slot < 4; slot++) {
        auto [id, size] = SlotBitmaps[slot];
        double bitmap = Handle(FakeBitmapHandle(id));
        std::vector<std::string> upload = {
            Text("LoadImageA", {Handle(FakeModule), (double)id, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION}),
            Text("GetObjectA", {bitmap, sizeof(BITMAP), address}),
            Text("glPixelStorei", {GL_UNPACK_ALIGNMENT, 4}),
            Text("glBindTexture", {GL_TEXTURE_2D, slot + 1.0}),
            Text("glTexParameteri", {GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR}),
            Text("glTexParameteri", {GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR}),
            Text("gluBuild2DMipmaps", {GL_TEXTURE_2D, 3, (double)size, (double)size, 0x80E0, GL_UNSIGNED_BYTE, address}),
            Text("DeleteObject", {bitmap})};
        want.insert(want.end(), upload.begin(), upload.end());
    }
    std::vector<std::string> rest = {
        Text("glGenLists", {256}),
        Text("CreateFontA", {-24, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE}),
        Text("SelectObject", {dc, Handle(FakeFont)}),
        Text("wglUseFontOutlinesA", {dc, 0, 255, FakeListBase, 0, 0.01, WGL_FONT_POLYGONS, address}),
        Text("glEnable", {GL_BLEND}), Text("glEnable", {GL_DEPTH_TEST}), Text("glEnable", {GL_TEXTURE_2D}),
        Text("glHint", {GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST}), Text("glFogfv", {GL_FOG_COLOR}),
        Text("glFogf", {GL_FOG_MODE, GL_LINEAR}), Text("glHint", {GL_FOG_HINT, GL_FASTEST}),
        Text("glFogf", {GL_FOG_START, 6}), Text("glFogf", {GL_FOG_END, 20}), Text("glEnable", {GL_FOG}),
        Text("glViewport", {0, 0, 800, 1}), Text("glMatrixMode", {GL_PROJECTION}), Text("glLoadIdentity"),
        Text("gluPerspective", {100, 800, 0.1, 100}), Text("glMatrixMode", {GL_MODELVIEW}), Text("glLoadIdentity"),
        Text("SetTimer", {0, 0, 10, address}), Text("SetTimer", {window, 0, 1, 0})};
    want.insert(want.end(), rest.begin(), rest.end());
    EXPECT_EQ(Log(), want);

    EXPECT_EQ(CallsNamed("SetTimer")[0].args[3], Handle((void *)&SimulationTimerProc));
    EXPECT_EQ(CallsNamed("glFogfv")[0].DataAs<float>(), (std::vector<float>{0, 0, 0, 1}));
    EXPECT_EQ(CallsNamed("CreateFontA")[0].data, "Verdana");
    auto builds = CallsNamed("gluBuild2DMipmaps");
    for (int slot = 0; slot < 4; slot++)
        EXPECT_EQ(builds[slot].args[6], Handle(Recorder().platform.bitmaps[SlotBitmaps[slot][0]].bits.data()));

    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = 40, request.nVersion = 1, request.dwFlags = 0x21;
    request.iPixelType = PFD_TYPE_RGBA, request.cColorBits = 16, request.cStencilBits = 8;
    std::string wantBytes((const char *)&request, sizeof request);
    EXPECT_EQ(CallsNamed("ChoosePixelFormat")[0].data, wantBytes);
    EXPECT_EQ(CallsNamed("SetPixelFormat")[0].data, wantBytes);

    EXPECT_EQ(ClientSize.width, 800);
    EXPECT_EQ(ClientSize.height, 0); // kept as measured; only the viewport takes it as 1
    EXPECT_EQ(SceneDC, FakeDC);
    EXPECT_EQ(SceneContext, FakeContext);
    EXPECT_EQ(SimulationTimer, FakeThreadTimer);
    EXPECT_EQ(FrameTimer, FakeWindowTimer);
    EXPECT_EQ(Recorder().gl.misuse, 0);
}

TEST_F(SceneWindow, CreationSeedsFromTheClockAndStepsOnce)
{
    ResetScene(10, 15, 0);
    SceneRandom = 4242;
    FillSceneTables();
    StepScene();
    DWORD wantRandom = SceneRandom;
    CameraPoseRecord wantPose = CameraPose;
    std::vector<BYTE> wantTiles(TileTable, TileTable + TileCount);

    ResetScene(10, 15, 0);
    Create(15, 1);
    EXPECT_EQ(SceneRandom, wantRandom);
    EXPECT_EQ(std::memcmp(&CameraPose, &wantPose, sizeof wantPose), 0);
    EXPECT_EQ(std::vector<BYTE>(TileTable, TileTable + TileCount), wantTiles);
}

TEST_F(SceneWindow, AMissingBitmapLeavesOnlyItsSlotWithoutAnImage)
{
    Recorder().platform.bitmaps.erase(114);
    Create(15, 1);
    std::vector<double> bound;
    for (const RecordedCall &call : CallsNamed("glBindTexture"))
        bound.push_back(call.args[1]);
    EXPECT_EQ(bound, (std::vector<double>{1, 2, 4}));
    EXPECT_EQ(CallsNamed("gluBuild2DMipmaps").size(), 3u);
    EXPECT_EQ(CallsNamed("DeleteObject").size(), 3u);
    EXPECT_EQ(CallsNamed("glEnable").size(), 4u); // the rest of creation goes on
}

TEST_F(SceneWindow, TimerDrawsAFrameThenCountsIt)
{
    Create(15, 1);
    FpsWindowStart = Recorder().platform.tickCount; // no counting window closes here
    int frames = FrameCount;
    for (WPARAM id : {(WPARAM)FakeWindowTimer, (WPARAM)0xBEEF}) {
        Recorder().calls.clear();
        EXPECT_EQ(SceneWindowProc(Window, WM_TIMER, id, 0), 0);
        auto log = Log();
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
                  (std::vector<std::string>{"glFinish()", Text("SwapBuffers", {Handle(FakeDC)}), "GetTickCount()"}));
        EXPECT_EQ(FrameCount, ++frames);
    }
    EXPECT_EQ(Recorder().gl.misuse, 0);
}

TEST_F(SceneWindow, OverlayInheritsTheDirectPassState)
{
    Create(15, 1);
    TileTable[TileCount - 1] = 0; // the last tile binds the readout atlas
    RecordedGlState atText;
    int texts = 0;
    Recorder().observer = [&](const RecordedCall &call) {
        if (call.name == "glPushAttrib")
            atText = Recorder().gl, texts++;
    };
    SceneWindowProc(Window, WM_TIMER, 0, 0);
    Recorder().observer = nullptr;

    ASSERT_EQ(texts, 1);
    EXPECT_EQ(atText.enabled, (std::set<GLenum>{GL_BLEND, GL_FOG, GL_TEXTURE_2D}));
    EXPECT_EQ(atText.blendSrc, (GLenum)GL_SRC_ALPHA);
    EXPECT_EQ(atText.blendDst, (GLenum)GL_ONE);
    EXPECT_EQ(std::vector<float>(atText.color, atText.color + 4), (std::vector<float>{1, 1, 1, 1}));
    EXPECT_EQ(std::vector<float>(atText.texCoord, atText.texCoord + 2), (std::vector<float>{0.01f, 0.01f}));
    EXPECT_EQ(atText.boundTexture, TextureSlots[1]);
    EXPECT_EQ(atText.matrixMode, (GLenum)GL_MODELVIEW);
}

TEST_F(SceneWindow, DestructionStopsTimersAndReleasesTheContext)
{
    const std::vector<std::string> release = {
        Text("wglMakeCurrent", {0, 0}), Text("wglDeleteContext", {Handle(FakeContext)}),
        Text("ReleaseDC", {Handle(Window), Handle(FakeDC)})};
    for (BYTE showfps : {0, 1}) {
        ResetRecorder();
        Create(15, showfps);
        EXPECT_EQ(CallsNamed("glGenLists").size() + CallsNamed("CreateFontA").size(), showfps ? 2u : 0u);
        Recorder().calls.clear();
        EXPECT_EQ(SceneWindowProc(Window, WM_DESTROY, 0, 0), 0);
        std::vector<std::string> want = {Text("KillTimer", {0, (double)FakeThreadTimer}),
                                         Text("KillTimer", {Handle(Window), (double)FakeWindowTimer})};
        if (showfps)
            want.push_back(Text("glDeleteLists", {FakeListBase, 256}));
        want.insert(want.end(), release.begin(), release.end());
        EXPECT_EQ(Log(), want) << "showfps " << (int)showfps;
    }
}

TEST_F(SceneWindow, OtherMessagesGoToTheHostUnchanged)
{
    Create(15, 1);
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } messages[] = {
        {WM_SIZE, 0, MAKELPARAM(1024, 768)}, {WM_PAINT, 0, 0}, {WM_CLOSE, 0, 0},
        {WM_KEYDOWN, 0x41, -1}, {WM_APP, 0xFFFFFFFFu, 123456}, {WM_SETCURSOR, (WPARAM)Window, 0x2000001}};
    for (auto m : messages) {
        Recorder().calls.clear();
        EXPECT_EQ(SceneWindowProc(Window, m.message, m.wParam, m.lParam), (LRESULT)(0x5000 + m.message));
        EXPECT_EQ(Log(), std::vector<std::string>{Text("SaverDefaultProc", {Handle(Window), (double)m.message,
                                                                             (double)m.wParam, (double)m.lParam})});
    }
    EXPECT_EQ(ClientSize.width, 800); // a resize leaves the measured size alone
    EXPECT_EQ(ClientSize.height, 600);
}
