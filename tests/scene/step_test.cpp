#include <cmath>

#include "scene_fixture.h"
#include "tests/support/allocations.h"

// One pulse at (x, z) with the given heading, after one tick.
static Pulse StepOnePulse(float x, float z, BYTE heading)
{
    ResetScene(10, 1);
    PulseArray[0] = {x, 0, z, heading};
    StepScene();
    return PulseArray[0];
}

TEST(PulseMovement, TurnsBackAtTheBordersBeforeMoving)
{
    struct Case {
        float x, z;
        BYTE heading;
        float wantX, wantZ;
        BYTE wantHeading;
    } cases[] = {
        {30, 12, 3, 29, 12, 1},  // re-rolled outward at x = 30: back at once
        {0, 12, 1, 1, 12, 3},
        {12, 30, 2, 12, 29, 0},
        {12, 0, 0, 12, 1, 2},
        {30, 30, 3, 30, 29, 0},  // corners: the z tests win
        {0, 0, 1, 0, 1, 2},
        {30, 0, 0, 30, 1, 2},
        {0, 30, 2, 0, 29, 0},
        {12, 12, 1, 11, 12, 1},  // inside: straight on
    };
    for (const Case &c : cases) {
        Pulse p = StepOnePulse(c.x, c.z, c.heading);
        EXPECT_EQ(p.x, c.wantX) << "from " << c.x << "," << c.z;
        EXPECT_EQ(p.z, c.wantZ) << "from " << c.x << "," << c.z;
        EXPECT_EQ(p.heading, c.wantHeading) << "from " << c.x << "," << c.z;
    }
}

TEST(PulseMovement, FewPulsesRunBackAndForthAlongOneStreet)
{
    ResetScene(10, 4);
    FillSceneTables();
    for (int tick = 1; tick <= 200; tick++) {
        StepScene();
        for (int i = 0; i < 4; i++) {
            ASSERT_EQ(PulseArray[i].z, 1.0f) << "tick " << tick;
            ASSERT_EQ(PulseArray[i].x, PulseArray[0].x);
        }
        // 0 -> (0,1), then along x: 1, 2, ... 30, 29, ... 0, 1 ...
        int along = (tick - 1) % 60;
        EXPECT_EQ(PulseArray[0].x, (float)(along <= 30 ? along : 60 - along)) << "tick " << tick;
    }
}

TEST(PulseMovement, ManyPulsesTakeNewHeadingsFromTheGenerator)
{
    // 100 pulses: 20 re-rolls of (pulse, heading) come first in every tick.
    ResetScene(10, 100, 99);
    FillSceneTables();
    DWORD before = SceneRandom;
    BYTE want[100] = {};
    for (int k = 0; k < 20; k++) {
        int i = RandomBelow(100);
        want[i] = (BYTE)RandomBelow(4);
    }
    SceneRandom = before;
    for (int i = 0; i < 100; i++)
        PulseArray[i] = {15, 0, 15, 0};
    StepScene();
    for (int i = 0; i < 100; i++) {
        float dx = PulseArray[i].x - 15, dz = PulseArray[i].z - 15;
        const float moves[4][2] = {{0, -1}, {-1, 0}, {0, 1}, {1, 0}};
        EXPECT_EQ(PulseArray[i].heading, want[i]);
        EXPECT_EQ(dx, moves[want[i]][0]);
        EXPECT_EQ(dz, moves[want[i]][1]);
    }
}

TEST(PulseMovement, NoOrNegativePulseCountsLeaveTheRestRunning)
{
    for (BYTE stored : {0, 200}) {
        ResetScene(10, stored);
        EXPECT_EQ(PulseArray, nullptr) << "stored " << (int)stored;
        FillSceneTables();
        StepScene(); // must not touch the missing array
        EXPECT_TRUE(CameraPath.primed);
        EXPECT_GT(CameraPose.roll, 0.0f);
    }
}

TEST(TowerFlare, AToggleTurnsTheGlowAndItsFlickerCount)
{
    struct Case {
        BYTE glow;             // before the toggle
        BYTE afterToggle;      // after the toggle's own tick
        int ticks;             // from the toggle until the glow settles
        BYTE settled;
        int drawN, draw, flicker; // the count drawn right after the toggle
    } cases[] = {
        {150, 21, 22, 0, 4, 3, 3},       // a flare ends at level 22 and fades to dark
        {10, 139, 50, 188, 7, 6, 15},    // a flare starts at level 10 and climbs to full
    };
    for (const Case &c : cases) {
        ResetScene(10, 0);
        TowerGlow[7] = c.glow;
        SceneRandom = SeedForDraws({{51, 0}, {100, 7}, {c.drawN, c.draw}});
        StepScene();
        EXPECT_EQ(TowerGlow[7], c.afterToggle);
        EXPECT_EQ(FlickerCounts[7], c.flicker);
        for (int tick = 2; tick <= c.ticks + 1; tick++) {
            SceneRandom = SeedForDraws({{51, 1}}); // no toggle
            StepScene();
            EXPECT_EQ(TowerGlow[7] == c.settled, tick >= c.ticks) << "after " << tick << " ticks";
        }
    }
}

TEST(TileFlicker, RerollsOnlyTheTowersOwnTilesInColumnRowTileSlotOrder)
{
    ResetScene(10, 0);
    FlickerCounts[42] = 1;
    DWORD seed = SeedForDraws({{51, 1}, {4, 2}, {4, 1}, {93, 92}, {2, 1}});
    SceneRandom = seed;
    StepScene();
    EXPECT_EQ(TileTable[42 * 93 + 92], 16 + 4 * 2 + 1);
    TileTable[42 * 93 + 92] = 0;
    for (int i = 0; i < TileCount; i++)
        ASSERT_EQ(TileTable[i], 0) << "index " << i;
}

TEST(LongRun, AMillionTicksKeepEveryValueInRangeWithoutAllocating)
{
    ResetScene(10, 15, 2024);
    FillSceneTables();
    long allocationsBefore = Allocations;
    for (int tick = 0; tick < 1000000; tick++) {
        StepScene();
        if (tick % 1000)
            continue;
        for (int i = 0; i < 15; i++) {
            ASSERT_GE(PulseArray[i].x, 0.0f);
            ASSERT_LE(PulseArray[i].x, 30.0f);
            ASSERT_GE(PulseArray[i].z, 0.0f);
            ASSERT_LE(PulseArray[i].z, 30.0f);
            ASSERT_LT(PulseArray[i].heading, 4);
        }
        for (const PathPoint *p : {&CameraPose.eye, &CameraPose.lookAt}) {
            ASSERT_TRUE(std::isfinite(p->height));
            ASSERT_GT(p->x, -1.5f);
            ASSERT_LT(p->x, 28.5f);
            ASSERT_GT(p->z, -1.5f);
            ASSERT_LT(p->z, 28.5f);
            ASSERT_GT(p->height, -3.0f);
            ASSERT_LT(p->height, 5.0f);
        }
        ASSERT_TRUE(std::isfinite(CameraPose.roll));
        ASSERT_LE(std::fabs(CameraPose.roll), 50.1f);
    }
    if (!AllocationsCounted)
        GTEST_SKIP() << "this build counts no allocations";
    EXPECT_EQ(Allocations, allocationsBefore);
    for (BYTE tile : TileTable)
        ASSERT_LT(tile, 32);
    for (int t = 0; t < TowerCount; t++) {
        ASSERT_LE(TowerGlow[t] & 0x7F, 60);
        ASSERT_LE(FlickerCounts[t], 15);
    }
}
