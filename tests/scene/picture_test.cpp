// Headless pictures of the scene, judged by properties that hold on any
// Mesa: where mirrored light may fall, how a flare tints a tower, which
// way the roll turns the picture and how dim the frame-rate text is.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "scene/scene.h"
#include "settings/settings.h"
#include "tools/headless_scene.h"

const int Width = 200, Height = 150;
const int Rounding = 2; // the last bits that Mesa's blending may round either way
const int Middle = Height / 2 * Width + Width / 2; // the pixel at the picture's centre

struct Pixel { unsigned char r, g, b; };
using Picture = std::vector<Pixel>; // rows from the top

// True where some channel of a is darker than in b beyond rounding.
static bool Darker(Pixel a, Pixel b) { return a.r < b.r - Rounding || a.g < b.g - Rounding || a.b < b.b - Rounding; }
static bool Changed(Pixel a, Pixel b) { return Darker(a, b) || Darker(b, a); }

// How many pixels pass the test, each given by its index in a picture.
template <class Test> static int CountPixels(Test test)
{
    int count = 0;
    for (int i = 0; i < Width * Height; i++)
        count += test(i);
    return count;
}

// The lit pixels of a picture: how many, and their centroid from the picture's centre, y up.
static std::pair<int, std::complex<double>> ShapeOf(const Picture &picture)
{
    std::complex<double> sum;
    int lit = CountPixels([&](int i) {
        bool on = picture[i].r + picture[i].g + picture[i].b > 0;
        sum += on ? std::complex<double>(i % Width + 0.5 - Width / 2.0, Height / 2.0 - i / Width - 0.5) : 0.0;
        return on;
    });
    return {lit, sum / (double)lit};
}

class ScenePicture : public testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override
    {
        ApplySettings(10, 0, 1, 1); // no pulses: only towers and floor, where the camera puts them
        SceneRandom = 1;
        std::memset(TowerGlow, 0, sizeof TowerGlow);
        ASSERT_NE(nullptr, window = OpenHeadlessScene(Width, Height)) << "no off-screen OpenGL context";
        SaverSettings.showfps = 0; // after the overlay font was made
    }
    void TearDown() override { if (window) CloseHeadlessScene(window); }

    static void Look(PathPoint eye, PathPoint at, float roll = 0) { CameraPose = {eye, at, roll, 0, 0}; }

    // Replaces a slot's picture by one flat grey.
    static void Paint(int slot, GLubyte grey)
    {
        const GLubyte texel[3] = {grey, grey, grey};
        glBindTexture(GL_TEXTURE_2D, TextureSlots[slot]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST); // the uploaded mipmaps no longer count
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    }

    Picture Render(BYTE reflections = 1)
    {
        Picture picture(Width * Height);
        SaverSettings.reflections = reflections;
        RenderFrame();
        ReadHeadlessPixels(window, &picture[0].r);
        return picture;
    }

    // Only the floor, in flat white: its coverage on the screen. The textures stay painted.
    Picture FloorMask() { return Paint(0, 0), Paint(1, 0), Paint(2, 255), Render(0); }
};

TEST_F(ScenePicture, MirroredLightOnlyWithReflectionsOnAndOnlyOnTheFloor)
{
    // High above, beyond the fog's 20 units from every tower: only their mirror images show.
    Look({13.5f, -2, 25}, {13.5f, 13.5f, -1.34f});
    Picture off = Render(0), on = Render(1);
    EXPECT_GT(CountPixels([&](int i) { return Changed(on[i], off[i]); }), 200) << "this view shows the mirror";
    Picture dark = (Paint(0, 0), Paint(1, 0), Render(0)); // the same frame with nothing left to mirror
    EXPECT_EQ(0, CountPixels([&](int i) { return Changed(off[i], dark[i]); })) << "no mirror when it is off";

    // Low, just off the floor's edge: unclipped mirror images of near towers would spill below it.
    Look({13.5f, -4, 1}, {13.5f, 13.5f, -1.34f});
    LoadTextures(); // the real pictures again
    Picture lowOn = Render(1), lowOff = Render(0), floor = FloorMask();
    EXPECT_GT(CountPixels([&](int i) { return floor[i].r > 0 && Changed(lowOn[i], lowOff[i]); }), 500);
    EXPECT_EQ(0, CountPixels([&](int i) {
        return (floor[i].r == 0 && Changed(lowOn[i], lowOff[i])) || Darker(lowOn[i], lowOff[i]);
    })) << "the mirror only adds light, and only within the floor";
}

TEST_F(ScenePicture, FlaringTowerTurnsRed)
{
    Look({10.5f, 9, 0}, {12, 12, 0}); // facing tower 44, row 4, column 4: centred on x = z = 12
    Picture plain = Render();
    TowerGlow[44] = 188; // flaring, at the top of its glow
    Picture flare = Render();
    long wrong = 0, greenBlueBefore = 0, greenBlueAfter = 0; // the last two over the pixels that changed
    int changed = CountPixels([&](int i) {
        bool change = Changed(plain[i], flare[i]);
        greenBlueBefore += change * (plain[i].g + plain[i].b), greenBlueAfter += change * (flare[i].g + flare[i].b);
        wrong += std::abs(flare[i].r - plain[i].r) > Rounding || Darker(plain[i], flare[i]);
        return change;
    });
    EXPECT_TRUE(Changed(plain[Middle], flare[Middle])) << "the tower in the middle of the view";
    EXPECT_GT(changed, 300);
    EXPECT_EQ(0, wrong) << "red stays and nothing gains light";
    EXPECT_LT(greenBlueAfter, greenBlueBefore * 3 / 4) << "green and blue fall";
}

TEST_F(ScenePicture, RollTurnsThePictureCounterClockwise)
{
    // High above the city, with the whole floor well inside the picture and off its centre.
    auto shape = [&](float roll) { return Look({13.5f, -15, 14}, {25, 20, -1.34f}, roll), ShapeOf(FloorMask()); };
    auto [upright, uprightCentre] = shape(0);
    auto [rolled, rolledCentre] = shape(30);
    ASSERT_GT(upright, 1000);
    EXPECT_NEAR(upright, rolled, upright / 50) << "the whole floor stays in view";
    EXPECT_NEAR(std::abs(uprightCentre), std::abs(rolledCentre), 1.5) << "turned about the centre";
    EXPECT_NEAR(30, std::arg(rolledCentre / uprightCentre) * 180 / M_PI, 2);
}

TEST_F(ScenePicture, FrameRateTextIsDimNavyInTheTopLeft)
{
    Look({1.5f, -3, 0}, {1.5f, 10, 0.5f}); // along a street, with black sky at the top
    ShownFps = 57;
    Picture plain = Render(), text = (SaverSettings.showfps = 1, Render());
    auto glyph = [&](int i) { return Changed(plain[i], text[i]); };
    EXPECT_GT(CountPixels(glyph), 30);
    EXPECT_EQ(0, CountPixels([&](int i) {
        int dr = text[i].r - plain[i].r, dg = text[i].g - plain[i].g, db = text[i].b - plain[i].b;
        bool corner = i % Width < Width / 2 && i / Width < Height / 6;
        return glyph(i) && !(corner && std::abs(dr) <= Rounding && dg >= 0 && db > dg && db <= 60);
    })) << "each glyph pixel adds only a little dark blue, and only in the top-left corner";
}

TEST_F(ScenePicture, AtSpeedZeroTheViewHoldsStillWhileTheCityLivesOn)
{
    ApplySettings(0, 15, 1, 0); // the flight stopped, pulses running
    FillSceneTables();
    HeldView.taken = false;
    StepScene(); // as at the window's creation
    Picture last = Render();
    for (int frame = 0; frame < 5; frame++) {
        for (int tick = 0; tick < 7; tick++)
            StepScene(); // each tick builds a new segment from another crossing
        Picture now = Render();
        int lit = CountPixels([&](int i) { return now[i].r + now[i].g + now[i].b > 60; });
        int moved = CountPixels([&](int i) { return Changed(now[i], last[i]); });
        EXPECT_GT(lit, Width * Height / 20) << "frame " << frame << " shows the city";
        EXPECT_LT(moved, Width * Height / 10) << "frame " << frame << " differs only by flicker and pulses";
        last = now;
    }
}
