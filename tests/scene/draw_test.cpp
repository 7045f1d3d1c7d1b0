#include "draw_fixture.h"

// ---- floor and pulses

TEST(DrawFloorAndPulses, FloorIsOneQuadRepeatingPerGridCellAndEachPulseAUnitSquareTurnedToItsHeading)
{
    ResetDrawing(4);
    EXPECT_EQ(Outline(CallsOf(DrawFloor)), (std::vector<std::string>{"glBindTexture(3553, 13)", "glBegin(7)",
              "glTexCoord2f(10, 10)", "glVertex3f(-1.5, -1.34, -1.5)", "glTexCoord2f(0, 10)",
              "glVertex3f(28.5, -1.34, -1.5)", "glTexCoord2f(0, 0)", "glVertex3f(28.5, -1.34, 28.5)",
              "glTexCoord2f(10, 0)", "glVertex3f(-1.5, -1.34, 28.5)", "glEnd()"}));
    for (BYTE h = 0; h < 4; h++)
        PulseArray[h] = {3.0f * h, h == 3 ? 0 : -1.33f, 6, h}; // the last one at the lattice edge, height 0
    Replay drawn = Replayed(CallsOf(DrawPulses));
    EXPECT_EQ(CallsNamed("glBindTexture").size(), 1u);
    EXPECT_EQ(drawn.misuse, 0);
    EXPECT_EQ(drawn.batches, (std::vector<std::string>{
                                 "14: 1 1 0 -1.33 6, 0 1 1 -1.33 6, 0 0 1 -1.33 7, 1 0 0 -1.33 7", // -z: half a turn
                                 "14: 0 1 3 -1.33 6, 0 0 4 -1.33 6, 1 0 4 -1.33 7, 1 1 3 -1.33 7",
                                 "14: 0 0 6 -1.33 6, 1 0 7 -1.33 6, 1 1 7 -1.33 7, 0 1 6 -1.33 7", // +z: as stored
                                 "14: 1 0 9 0 6, 1 1 10 0 6, 0 1 10 0 7, 0 0 9 0 7"}));
    for (BYTE stored : {0, 200}) { // none, and 200 reads as -56
        ResetDrawing(stored);
        EXPECT_EQ(Outline(CallsOf(DrawPulses)), std::vector<std::string>{"glBindTexture(3553, 14)"}) << (int)stored;
    }
}

// ---- what can show

// Looking down -z from 40 units out on +z at the middle of the columns, with a square 90 degree
// view from 1 to 100 units out into a window of 100 x 100 pixels: grid row R lies 40 - 3R away.
static void LookAlongTheColumns()
{
    Recorder().projection = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -101.0f / 99, -1, 0, 0, -200.0f / 99, 0};
    Recorder().modelView = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -13.5f, 0, -40, 1};
    glViewport(0, 0, 100, 100);
}

static void Fog(const GLfloat *colour, GLenum blendDestination)
{
    glEnable(GL_FOG), glFogf(GL_FOG_MODE, GL_LINEAR), glFogf(GL_FOG_END, 20), glFogfv(GL_FOG_COLOR, colour);
    glEnable(GL_BLEND), glBlendFunc(GL_SRC_ALPHA, blendDestination);
}

TEST(DrawTowers, LeavesOutTowersWhollyBeyondTheViewTheScissorBoxOrTheEndOfABlackFog)
{
    static const GLfloat black[4] = {0, 0, 0, 1}, grey[4] = {0.5f, 0.5f, 0.5f, 1};
    const struct { const char *state; void (*set)(); int towers; } cases[] = {
        {"every tower in view", [] {}, 100},
        {"black fog ending 20 out, added: rows 7 to 9", [] { Fog(black, GL_ONE); }, 30},
        {"grey fog", [] { Fog(grey, GL_ONE); }, 100},
        {"black fog over the picture", [] { Fog(black, GL_ONE_MINUS_SRC_ALPHA); }, 100},
        {"linear fog switched off", [] { Fog(black, GL_ONE), glDisable(GL_FOG); }, 100},
        {"exponential fog", [] { Fog(black, GL_ONE), glFogf(GL_FOG_MODE, GL_EXP); }, 100},
        {"scissored to the left half: columns 0 to 4", [] { glEnable(GL_SCISSOR_TEST), glScissor(0, 0, 50, 100); }, 50},
        {"scissored above every roof", [] { glEnable(GL_SCISSOR_TEST), glScissor(0, 75, 100, 25); }, 0},
        {"facing away", [] { Recorder().modelView = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 13.5f, 0, 40, 1}; }, 0},
    };
    for (const auto &c : cases) {
        ResetDrawing(), LookAlongTheColumns(), c.set(), DrawTowers();
        long indices = 0; // two triangles for each of a tower's 93 tiles and its base
        for (const RecordedCall &draw : CallsNamed("glDrawElements"))
            indices += (long)draw.args[1];
        EXPECT_EQ(indices, 6 * 94 * c.towers) << c.state;
    }
}

TEST(ScissorFloor, BoxesEveryPixelOfTheFloorAPixelWiderWithinTheViewport)
{
    const struct { const char *view; std::array<GLfloat, 16> modelView; std::vector<std::string> calls; } cases[] = {
        // 30 above the middle, looking down: 15 either side at 31.34 away, 23.9 pixels either side of 50.
        {"from high above", {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, -13.5f, 13.5f, -30, 1},
         {"glScissor(25, 25, 50, 50)", "glEnable(3089)"}},
        // In the middle at height 0, along -z: the floor runs from behind the eye to 15 ahead, 1.34 below,
        // its far edge 4.5 pixels below the middle.
        {"from inside the city", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -13.5f, 0, -13.5f, 1},
         {"glScissor(0, 0, 100, 47)", "glEnable(3089)"}},
    };
    for (const auto &c : cases) {
        ResetDrawing(), LookAlongTheColumns(), Recorder().modelView = c.modelView, ScissorFloor();
        auto calls = Outline(Recorder().calls);
        EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()), c.calls) << c.view;
    }
}
