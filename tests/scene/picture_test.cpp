// Headless pictures of the scene, judged by properties that hold on any
// Mesa: where mirrored light may fall, how a flare tints a tower, which
// way the roll turns the picture and how dim the frame-rate text is.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "scene/scene.h"
#include "settings/settings.h"
#include "tools/headless_scene.h"

namespace {

const int Width = 200, Height = 150;
const int Rounding = 2;

struct Pixel {
    int r, g, b;
};

struct Picture {
    std::vector<unsigned char> rgb = std::vector<unsigned char>(Width * Height * 3);

    Pixel At(int x, int y) const
    {
        const unsigned char *p = &rgb[(y * Width + x) * 3];
        return {p[0], p[1], p[2]};
    }
    // Equal but for the last bits that Mesa's blending may round either way.
    bool SameAt(const Picture &other, int x, int y) const
    {
        Pixel a = At(x, y), b = other.At(x, y);
        return std::abs(a.r - b.r) <= Rounding && std::abs(a.g - b.g) <= Rounding && std::abs(a.b - b.b) <= Rounding;
    }
};

// Where a shape lies and which way it stretches, in pixels from the picture's centre, y up.
struct Shape {
    int pixels = 0;
    double x = 0, y = 0; // centroid
    double axis = 0;     // principal axis, degrees counter-clockwise from +x
};

// The lit pixels of a picture as one shape.
Shape ShapeOf(const Picture &picture)
{
    Shape shape;
    double xx = 0, yy = 0, xy = 0;
    for (int py = 0; py < Height; py++)
        for (int px = 0; px < Width; px++) {
            Pixel p = picture.At(px, py);
            if (p.r + p.g + p.b == 0)
                continue;
            double x = px + 0.5 - Width / 2.0, y = Height / 2.0 - py - 0.5;
            shape.pixels++;
            shape.x += x;
            shape.y += y;
            xx += x * x;
            yy += y * y;
            xy += x * y;
        }
    if (!shape.pixels)
        return shape;
    shape.x /= shape.pixels;
    shape.y /= shape.pixels;
    xx = xx / shape.pixels - shape.x * shape.x;
    yy = yy / shape.pixels - shape.y * shape.y;
    xy = xy / shape.pixels - shape.x * shape.y;
    shape.axis = 0.5 * std::atan2(2 * xy, xx - yy) * 180 / M_PI;
    return shape;
}

// Angle from a to b, degrees counter-clockwise, in -180..180.
double Turn(double a, double b) { return std::remainder(b - a, 360); }

// Direction of the shape's centroid from the picture's centre, degrees counter-clockwise from +x.
double Bearing(const Shape &shape) { return std::atan2(shape.y, shape.x) * 180 / M_PI; }

// How many pixel positions pass the test.
template <class Test> int CountPixels(Test test)
{
    int count = 0;
    for (int y = 0; y < Height; y++)
        for (int x = 0; x < Width; x++)
            count += test(x, y);
    return count;
}

// True where some channel of a is darker than in b beyond rounding.
bool Darker(Pixel a, Pixel b) { return a.r < b.r - Rounding || a.g < b.g - Rounding || a.b < b.b - Rounding; }

class ScenePicture : public testing::Test {
protected:
    static inline HWND Window;

    static void SetUpTestSuite()
    {
        ApplySettings(10, 0, 1, 1); // no pulses: only towers and floor, where the camera puts them
        SceneRandom = 1;
        Window = OpenHeadlessScene(Width, Height);
    }
    static void TearDownTestSuite() { CloseHeadlessScene(Window); }

    void SetUp() override
    {
        ASSERT_NE(nullptr, Window) << "no off-screen OpenGL context";
        SaverSettings.reflections = 1;
        SaverSettings.showfps = 0;
        std::memset(TowerGlow, 0, sizeof TowerGlow);
        LoadTextures(); // the real pictures again, whatever the last test painted
    }

    static void Look(PathPoint eye, PathPoint at, float roll = 0)
    {
        CameraPose.eye = eye;
        CameraPose.lookAt = at;
        CameraPose.roll = roll;
    }

    // Replaces a slot's picture by one flat colour.
    static void Paint(int slot, GLubyte r, GLubyte g, GLubyte b)
    {
        const GLubyte texel[3] = {r, g, b};
        glGenTextures(1, &TextureSlots[slot]);
        glBindTexture(GL_TEXTURE_2D, TextureSlots[slot]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    }

    // Only the floor, in flat white: its coverage on the screen.
    static Picture FloorMask()
    {
        Paint(0, 0, 0, 0);
        Paint(1, 0, 0, 0);
        Paint(2, 255, 255, 255);
        BYTE reflections = SaverSettings.reflections;
        SaverSettings.reflections = 0;
        Picture mask = Render();
        SaverSettings.reflections = reflections;
        LoadTextures();
        return mask;
    }

    static Picture Render()
    {
        Picture picture;
        RenderFrame();
        ReadHeadlessPixels(Window, picture.rgb.data());
        return picture;
    }
};

// High above the city, more than the fog's 20 units from every tower: the
// towers themselves fade to black, their mirror images do not.
const PathPoint HighEye = {13.5f, -2, 25}, HighLookAt = {13.5f, 13.5f, -1.34f};

// Low, just off the floor's edge: the unclipped mirror images of the near
// towers would reach below the floor's edge on the screen.
const PathPoint EdgeEye = {13.5f, -4, 1}, EdgeLookAt = {13.5f, 13.5f, -1.34f};

TEST_F(ScenePicture, ReflectionsOffLeaveNoMirroredLight)
{
    Look(HighEye, HighLookAt);
    SaverSettings.reflections = 0;
    Picture off = Render();
    Paint(0, 0, 0, 0);
    Paint(1, 0, 0, 0);
    Picture dark = Render(); // the same frame with nothing left to mirror
    EXPECT_EQ(0, CountPixels([&](int x, int y) { return !off.SameAt(dark, x, y); }));

    LoadTextures();
    SaverSettings.reflections = 1;
    Picture on = Render();
    EXPECT_GT(CountPixels([&](int x, int y) { return !on.SameAt(off, x, y); }), 200)
        << "this view shows the mirror when it is on";
}

TEST_F(ScenePicture, MirroredLightFallsOnlyOnTheFloor)
{
    Look(EdgeEye, EdgeLookAt);
    Picture floor = FloorMask();
    Picture on = Render();
    SaverSettings.reflections = 0;
    Picture off = Render();
    auto mirrored = [&](int x, int y) { return !on.SameAt(off, x, y); };
    EXPECT_EQ(0, CountPixels([&](int x, int y) { return floor.At(x, y).r == 0 && mirrored(x, y); }));
    EXPECT_GT(CountPixels([&](int x, int y) { return floor.At(x, y).r > 0 && mirrored(x, y); }), 500);
    EXPECT_EQ(0, CountPixels([&](int x, int y) { return Darker(on.At(x, y), off.At(x, y)); }))
        << "the mirror only adds light under the floor";
}

TEST_F(ScenePicture, FlaringTowerTurnsRed)
{
    const int tower = 44; // row 4, column 4: centred on x = z = 12
    Look({10.5f, 9, 0}, {12, 12, 0});
    Picture plain = Render();
    TowerGlow[tower] = 188; // flaring, at the top of its glow
    Picture flare = Render();
    long greenBlueBefore = 0, greenBlueAfter = 0; // over the pixels that changed
    int changed = CountPixels([&](int x, int y) {
        if (plain.SameAt(flare, x, y))
            return false;
        greenBlueBefore += plain.At(x, y).g + plain.At(x, y).b;
        greenBlueAfter += flare.At(x, y).g + flare.At(x, y).b;
        return true;
    });
    EXPECT_FALSE(plain.SameAt(flare, Width / 2, Height / 2)) << "the tower in the middle of the view";
    EXPECT_GT(changed, 300);
    EXPECT_EQ(0, CountPixels([&](int x, int y) { return std::abs(flare.At(x, y).r - plain.At(x, y).r) > Rounding; }))
        << "red stays as it was";
    EXPECT_EQ(0, CountPixels([&](int x, int y) { return Darker(plain.At(x, y), flare.At(x, y)); }))
        << "nothing gains light";
    EXPECT_LT(greenBlueAfter, greenBlueBefore * 3 / 4) << "green and blue fall";
}

TEST_F(ScenePicture, RollTurnsThePictureCounterClockwise)
{
    // High above the city, with the whole floor well inside the picture and off its centre.
    const PathPoint eye = {13.5f, -15, 14}, at = {25, 20, -1.34f};
    Look(eye, at, 0);
    Shape upright = ShapeOf(FloorMask());
    Look(eye, at, 30);
    Shape rolled = ShapeOf(FloorMask());
    ASSERT_GT(upright.pixels, 1000);
    EXPECT_NEAR(upright.pixels, rolled.pixels, upright.pixels / 50) << "the whole floor stays in view";
    EXPECT_NEAR(std::hypot(upright.x, upright.y), std::hypot(rolled.x, rolled.y), 1.5) << "turned about the centre";
    EXPECT_NEAR(30, Turn(Bearing(upright), Bearing(rolled)), 2);
    EXPECT_NEAR(30, Turn(upright.axis, rolled.axis), 2);
}

TEST_F(ScenePicture, FrameRateTextIsDimNavy)
{
    Look({1.5f, -3, 0}, {1.5f, 10, 0.5f}); // along a street, with black sky at the top
    ShownFps = 57;
    Picture plain = Render();
    SaverSettings.showfps = 1;
    Picture text = Render();
    auto inBox = [](int x, int y) { return x < Width / 2 && y < Height / 6; };
    auto glyph = [&](int x, int y) { return !plain.SameAt(text, x, y); };
    auto navy = [&](int x, int y) {
        Pixel a = plain.At(x, y), b = text.At(x, y);
        int dr = b.r - a.r, dg = b.g - a.g, db = b.b - a.b;
        return std::abs(dr) <= Rounding && dg >= 0 && db > dg && db <= 60;
    };
    EXPECT_EQ(0, CountPixels([&](int x, int y) { return !inBox(x, y) && glyph(x, y); }))
        << "the text keeps to the top-left corner";
    EXPECT_GT(CountPixels(glyph), 30);
    EXPECT_EQ(0, CountPixels([&](int x, int y) { return glyph(x, y) && !navy(x, y); }))
        << "each glyph pixel adds only a little dark blue";
}

} // namespace
