#include "scene_fixture.h"

TEST(SceneRandom, FollowsTheClassicCLibrarySequence)
{
    // The first outputs of the classic rand() after srand(1).
    SceneRandom = 1;
    for (int want : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358})
        EXPECT_EQ(RandomBelow(32768), want);
}

TEST(SceneRandom, ScalesTheOutputDown)
{
    // The top output 32767 gives n - 1 for every n; the output 0 gives 0.
    DWORD top = SeedForDraws({{32768, 32767}});
    for (int n : {2, 4, 93, 141}) {
        SceneRandom = top;
        EXPECT_EQ(RandomBelow(n), n - 1);
    }
    SceneRandom = SeedForDraws({{32768, 0}});
    EXPECT_EQ(RandomBelow(141), 0);
}

TEST(SceneTables, StartValuesAreInRangeAndRepeatForTheSameSeed)
{
    ResetScene(10, 15, 12345);
    FillSceneTables();
    BYTE tiles[TileCount], flicker[TowerCount];
    std::memcpy(tiles, TileTable, sizeof tiles);
    std::memcpy(flicker, FlickerCounts, sizeof flicker);
    int seen[32] = {};
    for (BYTE tile : TileTable) {
        ASSERT_LT(tile, 32);
        seen[tile]++;
    }
    for (int code = 0; code < 32; code++)
        EXPECT_GT(seen[code], 150) << "code " << code << " is rarely drawn";
    for (BYTE count : FlickerCounts)
        EXPECT_LT(count, 4);
    for (BYTE glow : TowerGlow)
        EXPECT_EQ(glow, 0);

    ResetScene(10, 15, 12345);
    FillSceneTables();
    EXPECT_EQ(std::memcmp(tiles, TileTable, sizeof tiles), 0);
    EXPECT_EQ(std::memcmp(flicker, FlickerCounts, sizeof flicker), 0);
}

TEST(SceneTables, TilesTakeThreeDrawsInColumnRowSlotOrder)
{
    ResetScene(10, 0, 77);
    int column = RandomBelow(4), row = RandomBelow(4), slot = RandomBelow(2);
    SceneRandom = 77;
    FillSceneTables();
    EXPECT_EQ(TileTable[0], 16 * slot + 4 * column + row);

    // 27900 tile draws, then one flicker draw per tower.
    SceneRandom = 77;
    for (int i = 0; i < 3 * TileCount; i++)
        RandomBelow(2);
    for (int t = 0; t < TowerCount; t++)
        EXPECT_EQ(FlickerCounts[t], RandomBelow(4)) << "tower " << t;
}

TEST(SceneTables, OddPulsesFlyJustAboveTheFloor)
{
    ResetScene(10, 1);
    FillSceneTables();
    EXPECT_EQ(PulseArray[0].y, 0.0f);

    ResetScene(10, 4);
    FillSceneTables();
    const float heights[4] = {0, -1.33f, 0, -1.33f};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(PulseArray[i].y, heights[i]);
        EXPECT_EQ(PulseArray[i].x, 0.0f);
        EXPECT_EQ(PulseArray[i].heading, 0);
    }

    ResetScene(10, 0);
    FillSceneTables();
    EXPECT_EQ(PulseArray, nullptr);
}
