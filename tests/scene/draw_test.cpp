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
