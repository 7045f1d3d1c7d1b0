#include <algorithm>
#include <map>

#include "draw_fixture.h"

// ---- towers

// One DrawTowers split at every tint: a piece per tower, then the closing white.
static std::vector<std::vector<RecordedCall>> CallsPerTower()
{
    std::vector<std::vector<RecordedCall>> pieces;
    for (const RecordedCall &call : CallsOf(DrawTowers)) {
        if (call.name == "glColor3f")
            pieces.emplace_back();
        pieces.back().push_back(call);
    }
    return pieces;
}

// Expects the corners of one batch, positions to single precision, texture coordinates exactly.
static void ExpectCorners(const Batch &batch, GLuint texture, const std::vector<Corner> &want, const char *what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(batch.texture, texture);
    ASSERT_EQ(batch.corners.size(), want.size());
    for (size_t c = 0; c < want.size(); c++) {
        const Corner &got = batch.corners[c];
        EXPECT_EQ(got.s, want[c].s) << "corner " << c;
        EXPECT_EQ(got.t, want[c].t) << "corner " << c;
        EXPECT_NEAR(got.x, want[c].x, 1e-5) << "corner " << c;
        EXPECT_NEAR(got.y, want[c].y, 1e-5) << "corner " << c;
        EXPECT_NEAR(got.z, want[c].z, 1e-5) << "corner " << c;
    }
}

TEST(DrawTowers, EveryTowerIsOneTintAndATileBatchPerTileThenBaseAndEmptyBatch)
{
    ResetDrawing();
    SceneRandom = 7;
    FillSceneTables();
    auto pieces = CallsPerTower();
    ASSERT_EQ(pieces.size(), 101u);
    for (int t = 0; t < 100; t++) {
        SCOPED_TRACE("tower " + std::to_string(t));
        std::map<std::string, int> counts;
        for (const RecordedCall &call : pieces[t])
            counts[call.name]++;
        EXPECT_EQ(counts, (std::map<std::string, int>{{"glColor3f", 1}, {"glBindTexture", 94}, {"glBegin", 95},
                                                      {"glEnd", 95}, {"glTexCoord2f", 376}, {"glVertex3f", 376}}));
        auto batches = Batches(pieces[t]);
        ASSERT_EQ(batches.size(), 95u);
        for (int b = 0; b < 94; b++)
            EXPECT_EQ(batches[b].corners.size(), 4u) << "batch " << b;
        EXPECT_TRUE(batches[94].corners.empty());
        EXPECT_EQ(batches[94].texture, SlotNames[1]);
    }
    EXPECT_EQ(Outline(pieces[100]), std::vector<std::string>{"glColor3f(1, 1, 1)"});
    EXPECT_EQ(Recorder().gl.misuse, 0);
}

TEST(DrawTowers, TilesShowTheirAtlasCellOnEveryFace)
{
    ResetDrawing();
    const int t = 37;             // grid row 3, column 7: centre line x = 21, z = 9
    BYTE *codes = TileTable + 93 * t;
    codes[40] = 23;               // slot 1, column field 1, row field 3
    codes[56] = 6;                // slot 0, column field 1, row field 2
    codes[92] = 31;
    auto batches = Batches(CallsOf(DrawTowers));
    ASSERT_EQ(batches.size(), 9500u);
    const struct {
        int tower, tile, slot;
        std::vector<Corner> corners; // s, t, x, y, z
        const char *what;
    } cases[] = {
        {0, 0, 0, {{0, 0, -0.5f, 1, 0.5f}, {0.25f, 0, -0.17f, 1, 0.5f}, {0.25f, 0.25f, -0.17f, 1, 0.17f},
                   {0, 0.25f, -0.5f, 1, 0.17f}}, "roof, first tile of tower 0"},
        {t, 7, 0, {{0.25f, 0.5f, 20.83f, 1, 8.83f}, {0.5f, 0.5f, 21.17f, 1, 8.83f}, {0.5f, 0.75f, 21.17f, 1, 8.5f},
                   {0.25f, 0.75f, 20.83f, 1, 8.5f}}, "roof, row 2, column 1"},
        {t, 9, 0, {{0, 0, 20.5f, 0.67f, 9.5f}, {0.25f, 0, 20.83f, 0.67f, 9.5f}, {0.25f, 0.25f, 20.83f, 1, 9.5f},
                   {0, 0.25f, 20.5f, 1, 9.5f}}, "+z face, top left"},
        {t, 40, 1, {{1.5f, 6.25f, 20.83f, -0.33f, 8.5f}, {1.75f, 6.25f, 21.17f, -0.33f, 8.5f},
                    {1.75f, 6.5f, 21.17f, 0, 8.5f}, {1.5f, 6.5f, 20.83f, 0, 8.5f}}, "-z face, row 3, column 1, code 23"},
        {t, 56, 0, {{0.75f, 1.75f, 20.5f, 0.33f, 9.17f}, {1, 1.75f, 20.5f, 0.33f, 9.5f}, {1, 2, 20.5f, 0.67f, 9.5f},
                    {0.75f, 2, 20.5f, 0.67f, 9.17f}}, "-x face, row 1, column 2, code 6"},
        {t, 92, 1, {{2.25f, 8.25f, 21.5f, -1.33f, 9.17f}, {2.5f, 8.25f, 21.5f, -1.33f, 9.5f},
                    {2.5f, 8.5f, 21.5f, -1, 9.5f}, {2.25f, 8.5f, 21.5f, -1, 9.17f}}, "+x face, last tile, code 31"},
        {t, 93, 1, {{0.01f, 0.01f, 20.5f, -1.33f, 8.5f}, {0.01f, 0.01f, 21.5f, -1.33f, 8.5f},
                    {0.01f, 0.01f, 21.5f, -1.33f, 9.5f}, {0.01f, 0.01f, 20.5f, -1.33f, 9.5f}},
         "base, in the atlas tile 92 left bound"},
    };
    for (const auto &c : cases)
        ExpectCorners(batches[95 * c.tower + c.tile], SlotNames[c.slot], c.corners, c.what);
}

TEST(DrawTowers, LastTowerSpansItsGridCellMiddle)
{
    ResetDrawing();
    auto batches = Batches(CallsOf(DrawTowers));
    ASSERT_EQ(batches.size(), 9500u);
    float low[3] = {1e9, 1e9, 1e9}, high[3] = {-1e9, -1e9, -1e9};
    for (int b = 95 * 99; b < 95 * 100; b++)
        for (const Corner &c : batches[b].corners)
            for (int axis = 0; axis < 3; axis++) {
                float v = (&c.x)[axis];
                low[axis] = std::min(low[axis], v), high[axis] = std::max(high[axis], v);
            }
    float wantLow[3] = {26.5f, -1.33f, 26.5f}, wantHigh[3] = {27.5f, 1, 27.5f};
    for (int axis = 0; axis < 3; axis++) {
        EXPECT_NEAR(low[axis], wantLow[axis], 1e-5) << "axis " << axis;
        EXPECT_NEAR(high[axis], wantHigh[axis], 1e-5) << "axis " << axis;
    }
}

TEST(DrawTowers, GlowTintsByLevelWhateverThePhase)
{
    ResetDrawing();
    const BYTE glow[] = {0, 128, 60, 188, 100, 127};
    const float green[] = {1, 1, 0.4f, 0.4f, 0, -0.27f}; // past level 100 the tint goes negative, unclamped
    std::copy(std::begin(glow), std::end(glow), TowerGlow);
    CallsOf(DrawTowers);
    auto tints = CallsNamed("glColor3f");
    ASSERT_EQ(tints.size(), 101u);
    for (int t = 0; t < 6; t++) {
        EXPECT_EQ(tints[t].args[0], 1) << "glow " << (int)glow[t];
        EXPECT_NEAR(tints[t].args[1], green[t], 1e-6) << "glow " << (int)glow[t];
        EXPECT_EQ(tints[t].args[2], tints[t].args[1]) << "glow " << (int)glow[t];
    }
}

TEST(DrawTowers, LeavesWhiteTheBaseTexelAndTheListingAtlas)
{
    ResetDrawing();
    SceneRandom = 11;
    FillSceneTables();
    TileTable[TileCount - 1] = 0; // the last tile's own atlas is slot 0
    TowerGlow[99] = 60;
    CallsOf(DrawTowers);
    const RecordedGlState &gl = Recorder().gl;
    EXPECT_EQ(std::vector<float>(gl.color, gl.color + 4), (std::vector<float>{1, 1, 1, 1}));
    EXPECT_EQ(gl.texCoord[0], 0.01f);
    EXPECT_EQ(gl.texCoord[1], 0.01f);
    EXPECT_EQ(gl.boundTexture, SlotNames[1]);
    EXPECT_FALSE(gl.batchOpen);
}

// ---- floor and pulses

TEST(DrawFloor, OneQuadRepeatingTheFloorOncePerGridCell)
{
    ResetDrawing();
    EXPECT_EQ(Outline(CallsOf(DrawFloor)),
              (std::vector<std::string>{"glBindTexture(3553, 13)", "glBegin(7)",
                                        "glTexCoord2f(10, 10)", "glVertex3f(-1.5, -1.34, -1.5)",
                                        "glTexCoord2f(0, 10)", "glVertex3f(28.5, -1.34, -1.5)",
                                        "glTexCoord2f(0, 0)", "glVertex3f(28.5, -1.34, 28.5)",
                                        "glTexCoord2f(10, 0)", "glVertex3f(-1.5, -1.34, 28.5)", "glEnd()"}));
}

TEST(DrawPulses, EachPulseIsAUnitSquareWithItsTextureTurnedToItsHeading)
{
    ResetDrawing(5);
    for (BYTE h = 0; h < 4; h++)
        PulseArray[h] = {12, -1.33f, 3, h};
    PulseArray[4] = {30, 0, 0, 2};
    auto calls = CallsOf(DrawPulses);
    EXPECT_EQ(CallsNamed("glBindTexture").size(), 1u);
    EXPECT_EQ(Text(calls[0]), "glBindTexture(3553, 14)");
    auto batches = Batches(calls);
    ASSERT_EQ(batches.size(), 5u);
    const float square[4][2] = {{12, 3}, {13, 3}, {13, 4}, {12, 4}};
    const float texture[4][4][2] = {
        {{1, 1}, {0, 1}, {0, 0}, {1, 0}}, // toward -z: turned half a turn
        {{0, 1}, {0, 0}, {1, 0}, {1, 1}},
        {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, // toward +z: as stored
        {{1, 0}, {1, 1}, {0, 1}, {0, 0}},
    };
    for (int h = 0; h < 4; h++) {
        std::vector<Corner> want;
        for (int c = 0; c < 4; c++)
            want.push_back({texture[h][c][0], texture[h][c][1], square[c][0], -1.33f, square[c][1]});
        ExpectCorners(batches[h], SlotNames[3], want, ("heading " + std::to_string(h)).c_str());
    }
    ExpectCorners(batches[4], SlotNames[3], {{0, 0, 30, 0, 0}, {1, 0, 31, 0, 0}, {1, 1, 31, 0, 1}, {0, 1, 30, 0, 1}},
                  "at the lattice edge, height 0");
    EXPECT_EQ(Recorder().gl.misuse, 0);
}

TEST(DrawPulses, NoPulsesOnlyBindsTheSprite)
{
    for (BYTE stored : {0, 200}) { // 200 reads as -56
        ResetDrawing(stored);
        EXPECT_EQ(Outline(CallsOf(DrawPulses)), std::vector<std::string>{"glBindTexture(3553, 14)"}) << (int)stored;
    }
}
