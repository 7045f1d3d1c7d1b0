// The scene in its window, off-screen and with the platform's timers, visibility and default
// handling faked: what each message does, and what the frames show.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ranges>
#include <string>
#include <tuple>
#include <vector>

#include "platform/headless.h"
#include "scene_fixture.h"

const int Width = 200, Height = 150;

using Picture = std::vector<std::array<unsigned char, 3>>; // red, green and blue, rows from the top
const auto Pixels = std::views::iota(0, Width * Height);      // each pixel's index in a picture

using TimerCall = std::tuple<HWND, UINT_PTR, UINT, TIMERPROC>; // window, identifier, period, callback
static std::vector<TimerCall> TimersSet, TimersKilled;
static BOOL Visible;
static bool FontListsLived; // when they were deleted

// A window timer asked as 0 gets the identifier 66, a thread timer 77.
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC callback)
{
    TimersSet.push_back({window, id, period, callback});
    return window ? 66 : 77;
}
BOOL WINAPI KillTimer(HWND window, UINT_PTR id)
{
    TimersKilled.push_back({window, id, 0, nullptr});
    return TRUE;
}
BOOL WINAPI IsWindowVisible(HWND) { return Visible; }
LRESULT WINAPI DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }

// The host's handling of what the scene passes on: an answer made of the message and its arguments.
static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return (LRESULT)window + message + wParam + lParam;
}

// Notes whether the font's lists still exist, as they do only while their context is current.
void GLAPIENTRY glDeleteLists(GLuint list, GLsizei range)
{
    static auto real = (decltype(&glDeleteLists))dlsym(RTLD_NEXT, "glDeleteLists");
    FontListsLived = glIsList(list + 'F');
    real(list, range);
}

// A shown window, made with the stored defaults: Speed 10, Pulses 15, mirror and frame rate on.
class SceneWindow : public testing::Test {
protected:
    std::string store = testing::TempDir() + "vantrel-scene-window-" + std::to_string(getpid()) + ".reg";
    HWND window = CreateHeadlessWindow(Width, Height);

    void SetUp() override
    {
        setenv("VANTREL_REGISTRY", store.c_str(), 1);
        SceneDefaultProc = HostProc;
        Visible = TRUE;
        CameraPath = {};
        TimersSet.clear();
        ASSERT_EQ(SceneWindowProc(window, WM_CREATE, 0, 0), 0);
        ASSERT_NE(SceneContext, nullptr) << "no off-screen OpenGL context";
    }
    void TearDown() override
    {
        if (glGetString(GL_VERSION)) // a context is current: not yet destroyed
            SceneWindowProc(window, WM_DESTROY, 0, 0);
        DestroyHeadlessWindow(window);
        std::remove(store.c_str());
    }

    // What the window shows after a frame timer's message.
    Picture Frame()
    {
        Picture picture(Width * Height);
        EXPECT_EQ(SceneWindowProc(window, WM_TIMER, FrameTimer, 0), 0);
        ReadHeadlessPixels(window, picture[0].data());
        return picture;
    }
};

TEST_F(SceneWindow, CreationStartsBothTimersSetsTheFogAndStepsOnce)
{
    EXPECT_EQ(TimersSet, (std::vector<TimerCall>{{nullptr, 0, 10, SimulationTimerProc}, {window, 0, 1, nullptr}}));
    GLfloat fog[7]; // colour, start, end, mode: black from 6 to 20, where the view ends
    glGetFloatv(GL_FOG_COLOR, fog);
    glGetFloatv(GL_FOG_START, fog + 4);
    glGetFloatv(GL_FOG_END, fog + 5);
    glGetFloatv(GL_FOG_MODE, fog + 6);
    EXPECT_EQ(std::vector<float>(fog, fog + 7), (std::vector<float>{0, 0, 0, 1, 6, 20, GL_LINEAR}));
    EXPECT_EQ(CameraPath.t, SaverSettings.speed) << "one step of the flight";
}

TEST_F(SceneWindow, FramesOnlyWhileTheWindowCanBeSeenAndTheFrameTimerRestsMeanwhile)
{
    HWND empty = CreateHeadlessWindow(Width, 0); // shown, but with no client area
    const struct { BOOL visible; HWND to; int frames; std::vector<TimerCall> timers; } steps[] = {
        {FALSE, window, 0, {{window, 0, 100, nullptr}}}, {FALSE, window, 0, {}},
        {TRUE, window, 1, {{window, 0, 1, nullptr}}},    {TRUE, window, 1, {}},
        {TRUE, empty, 0, {{empty, 0, 100, nullptr}}},    {TRUE, window, 1, {{window, 0, 1, nullptr}}},
    };
    for (int i = 0; const auto &step : steps) {
        Visible = step.visible;
        TimersSet.clear();
        FpsWindowStart = GetTickCount(); // no counting window closes here
        int counted = FrameCount;
        EXPECT_EQ(SceneWindowProc(step.to, WM_TIMER, FrameTimer, 0), 0);
        EXPECT_EQ(FrameCount - counted, step.frames) << "step " << i;
        EXPECT_EQ(TimersSet, step.timers) << "step " << i++;
    }
    DestroyHeadlessWindow(empty);
}

TEST_F(SceneWindow, OtherMessagesGoToTheHostANewSizeTakenFirst)
{
    LPARAM size = MAKELPARAM(80, 40);
    EXPECT_EQ(SceneWindowProc(window, WM_SIZE, SIZE_RESTORED, size), (LRESULT)window + WM_SIZE + size);
    std::array<GLint, 4> viewport;
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, 80, 40}));
    EXPECT_EQ(std::pair(ClientSize.width, ClientSize.height), (std::pair<LONG, LONG>(80, 40))) << "for the next frame";
}

TEST_F(SceneWindow, DestructionStopsBothTimersAndDeletesTheFontAndThenTheContext)
{
    FontListsLived = false;
    TimersKilled.clear();
    HGLRC context = SceneContext;
    EXPECT_EQ(SceneWindowProc(window, WM_DESTROY, 0, 0), 0);
    EXPECT_FALSE(wglMakeCurrent(SceneDC, context)) << "the context was not deleted";
    EXPECT_EQ(TimersKilled, (std::vector<TimerCall>{{nullptr, 77, 0, nullptr}, {window, 66, 0, nullptr}}));
    EXPECT_TRUE(FontListsLived);
    EXPECT_EQ(glGetString(GL_VERSION), nullptr) << "no context is current";
}

TEST_F(SceneWindow, FrameRateTextIsDimNavyInTheTopLeft)
{
    ApplySettings(10, 0, 1, 0); // no pulses: only towers and floor, where the camera puts them
    CameraPose = {{1.5f, -3, 0}, {1.5f, 10, 0.5f}, 0, 0, 0}; // along a street, with black sky at the top
    Picture plain = Frame();
    SaverSettings.showfps = 1;
    Picture text = Frame();
    auto glyph = [&](int i) { return plain[i] != text[i]; };
    EXPECT_GT(std::ranges::count_if(Pixels, glyph), 30);
    EXPECT_EQ(0, std::ranges::count_if(Pixels, [&](int i) {
        int dr = text[i][0] - plain[i][0], dg = text[i][1] - plain[i][1], db = text[i][2] - plain[i][2];
        bool corner = i % Width < Width / 2 && i / Width < Height / 6;
        return glyph(i) && !(corner && std::abs(dr) <= 2 && dg >= 0 && db > dg && db <= 60); // 2: blending's rounding
    })) << "each glyph pixel adds only a little dark blue, and only in the top-left corner";
    GLfloat st[4]; // the texel that the glyphs take: the last the towers gave, whatever the atlas holds
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, st);
    EXPECT_EQ(std::vector<float>(st, st + 2), (std::vector<float>{0.01f, 0.01f}));
}

TEST_F(SceneWindow, AtSpeedZeroTheViewHoldsStillWhileTheCityLivesOn)
{
    ResetScene(0, 15); // the flight stopped, pulses running
    FillSceneTables();
    HeldView.taken = false;
    StepScene(); // as at the window's creation
    Picture last = Frame();
    for (int frame = 0; frame < 5; frame++) {
        for (int tick = 0; tick < 7; tick++)
            StepScene(); // each tick builds a new segment from another crossing
        Picture now = Frame();
        long lit = std::ranges::count_if(now, [](auto pixel) { return pixel[0] + pixel[1] + pixel[2] > 60; });
        long moved = std::ranges::count_if(Pixels, [&](int i) { return now[i] != last[i]; });
        EXPECT_GT(lit, Width * Height / 20) << "frame " << frame << " shows the city";
        EXPECT_LT(moved, Width * Height / 5) << "frame " << frame << " differs only by flicker and pulses";
        last = now;
    }
}

TEST_F(SceneWindow, TheMirrorsScissorBoxHoldsTheFloorWithAPixelToSpareEachSide)
{
    CameraPose = {{13.5f, -15, 14}, {25, 20, -1.34f}, 0, 0, 0}; // high above: the whole floor, off the centre
    Frame(); // its mirror pass marks the floor in the stencil, within the box it leaves set
    std::vector<GLubyte> floor(Width * Height); // rows from the bottom
    glReadPixels(0, 0, Width, Height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, floor.data());
    GLint box[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    for (int axis = 0; axis < 2; axis++) {
        std::vector<int> at; // the floor's columns or rows
        for (int i : Pixels)
            if (floor[i])
                at.push_back(axis ? i / Width : i % Width);
        auto [low, high] = std::ranges::minmax(at);
        EXPECT_NEAR(box[axis], low - 2, 1) << "axis " << axis;
        EXPECT_NEAR(box[axis] + box[axis + 2], high + 3, 1) << "axis " << axis;
    }
}
