#include "draw_fixture.h"

// ---- towers

TEST(DrawTowers, EveryTowerIsOneTintByGlowLevelAndATileBatchPerTileThenBaseAndEmptyBatchThenTheCityLeavesWhite)
{
    ResetDrawing();
    const BYTE glow[] = {0, 128, 60, 188, 100, 127}; // whatever the phase; past level 100 negative, unclamped
    std::copy(std::begin(glow), std::end(glow), TowerGlow);
    TileTable[TileCount - 1] = 0; // the last tile's own atlas is slot 0, not the listing atlas left bound
    auto calls = CallsOf(DrawTowers);
    std::vector<std::map<std::string, int>> counts; // per tower, split at its tint
    for (const RecordedCall &call : calls)
        call.name == "glColor3f" ? counts.push_back({{call.name, 1}}) : (void)counts.back()[call.name]++;
    ASSERT_EQ(counts.size(), 101u); // and the closing white
    const std::map<std::string, int> tower = {{"glColor3f", 1},  {"glBindTexture", 94},  {"glBegin", 95},
                                              {"glEnd", 95},     {"glTexCoord2f", 376}, {"glVertex3f", 376}};
    Replay drawn = Replayed(calls);
    EXPECT_EQ(drawn.misuse, 0);
    for (int t = 0; t < 100; t++) {
        EXPECT_EQ(counts[t], tower) << "tower " << t;
        EXPECT_EQ(drawn.batches[95 * t + 94], "12:") << "tower " << t << " ends binding the listing atlas for nothing";
    }
    auto tints = Outline(CallsNamed("glColor3f"));
    EXPECT_EQ(std::vector<std::string>(tints.begin(), tints.begin() + 6),
              (std::vector<std::string>{"glColor3f(1, 1, 1)", "glColor3f(1, 1, 1)", "glColor3f(1, 0.4, 0.4)",
                                        "glColor3f(1, 0.4, 0.4)", "glColor3f(1, 0, 0)", "glColor3f(1, -0.27, -0.27)"}));
    EXPECT_EQ(drawn.last["glColor3f"], (std::vector<double>{1, 1, 1}));
    EXPECT_EQ(drawn.last["glTexCoord2f"], (std::vector<double>{0.01f, 0.01f}));
    EXPECT_EQ(drawn.last["glBindTexture"], (std::vector<double>{GL_TEXTURE_2D, (double)SlotNames[1]}));
    EXPECT_FALSE(drawn.open);
}

TEST(DrawTowers, TilesShowTheirAtlasCellOnEveryFaceAndTheLastTowerSpansItsCell)
{
    ResetDrawing();
    BYTE *codes = TileTable + 93 * 37; // grid row 3, column 7: centre line x = 21, z = 9
    codes[40] = 23;                    // slot 1, column field 1, row field 3
    codes[56] = 6;                     // slot 0, column field 1, row field 2
    codes[92] = 31;
    auto batches = Replayed(CallsOf(DrawTowers)).batches;
    ASSERT_EQ(batches.size(), 9500u);
    const std::pair<int, const char *> tiles[] = { // batch 95 * tower + tile, then texture: s t x y z a corner
        {0, "11: 0 0 -0.5 1 0.5, 0.25 0 -0.17 1 0.5, 0.25 0.25 -0.17 1 0.17, 0 0.25 -0.5 1 0.17"},
        {3522, "11: 0.25 0.5 20.83 1 8.83, 0.5 0.5 21.17 1 8.83, 0.5 0.75 21.17 1 8.5, 0.25 0.75 20.83 1 8.5"}, // roof
        {3524, "11: 0 0 20.5 0.67 9.5, 0.25 0 20.83 0.67 9.5, 0.25 0.25 20.83 1 9.5, 0 0.25 20.5 1 9.5"}, // +z face
        {3555, "12: 1.5 6.25 20.83 -0.33 8.5, 1.75 6.25 21.17 -0.33 8.5, 1.75 6.5 21.17 0 8.5, 1.5 6.5 20.83 0 8.5"},
        {3571, "11: 0.75 1.75 20.5 0.33 9.17, 1 1.75 20.5 0.33 9.5, 1 2 20.5 0.67 9.5, 0.75 2 20.5 0.67 9.17"}, // -x
        {3607, "12: 2.25 8.25 21.5 -1.33 9.17, 2.5 8.25 21.5 -1.33 9.5, 2.5 8.5 21.5 -1 9.5, 2.25 8.5 21.5 -1 9.17"},
        {3608, "12: 0.01 0.01 20.5 -1.33 8.5, 0.01 0.01 21.5 -1.33 8.5, " // base: tile 92's atlas, one texel
               "0.01 0.01 21.5 -1.33 9.5, 0.01 0.01 20.5 -1.33 9.5"},
    };
    for (auto [batch, want] : tiles)
        EXPECT_EQ(batches[batch], want) << "tile " << batch % 95;

    auto vertices = CallsNamed("glVertex3f"); // the last tower's corners span its grid cell's middle
    std::vector<double> low(3, 1e9), high(3, -1e9);
    for (size_t v = vertices.size() - 376; v < vertices.size(); v++)
        for (int i = 0; i < 3; i++)
            low[i] = std::min(low[i], vertices[v].args[i]), high[i] = std::max(high[i], vertices[v].args[i]);
    EXPECT_EQ(Join(low, " ") + " to " + Join(high, " "), "26.5 -1.33 26.5 to 27.5 1 27.5");
}

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
