#include <cmath>

#include "scene_fixture.h"

// Ticks until the path starts a new segment; returns how many ticks one segment took.
static int TicksPerSegment(BYTE speed)
{
    ResetScene(speed, 0);
    StepScene(); // first tick builds the flown segment
    int ticks = 1;
    while (CameraPath.t != 0)
        StepScene(), ticks++;
    return ticks;
}

TEST(CameraPath, SegmentLengthFollowsSinglePrecisionSteps)
{
    EXPECT_EQ(TicksPerSegment(10), 101); // 100 additions of 0.01f stop at 0.9999993
    EXPECT_EQ(TicksPerSegment(100), 10);
    EXPECT_EQ(TicksPerSegment(1), 1001);
}

TEST(CameraPath, FirstTickBuildsTwoSegmentsAndLooksAtTheSecondStart)
{
    ResetScene(10, 0, 5);
    StepScene();
    const CameraPathRecord &path = CameraPath;
    EXPECT_TRUE(path.primed);
    EXPECT_FLOAT_EQ(path.t, 0.01f);
    for (float v : {path.start.x, path.start.z, path.end.x, path.end.z}) {
        float street = (v - 1.5f) / 3;
        EXPECT_EQ(street, std::floor(street)) << v;
        EXPECT_GT(v, 7.5f);
        EXPECT_LT(v, 22.5f);
    }
    EXPECT_EQ(CameraPose.lookAt.x, path.start.x); // B(0) is the start exactly
    EXPECT_EQ(CameraPose.lookAt.z, path.start.z);
    EXPECT_EQ(CameraPose.lookAt.height, path.start.height);
    EXPECT_EQ(path.previousControl.x, path.control.x);
}

TEST(CameraPath, EndPointsStayOnInnerCrossingsOneBlockAway)
{
    ResetScene(100, 0, 31337);
    int diagonals = 0;
    for (int segment = 0; segment < 3000; segment++) {
        StepScene();
        while (CameraPath.t != 0)
            StepScene();
        const CameraPathRecord &path = CameraPath;
        float dx = std::fabs(path.end.x - path.start.x), dz = std::fabs(path.end.z - path.start.z);
        ASSERT_TRUE(path.end.x > 7.5f && path.end.x < 22.5f && path.end.z > 7.5f && path.end.z < 22.5f);
        ASSERT_TRUE((dx == 3 && dz == 0) || (dx == 0 && dz == 3) || (dx == 3 && dz == 3));
        ASSERT_FALSE(path.xTurnArmed && path.zTurnArmed);
        if (dx && dz) {
            diagonals++;
            ASSERT_EQ(path.control.height, 4.0f);
        }
    }
    EXPECT_GT(diagonals, 0);
}

// The camera mid-flight at the crossing (13.5, 13.5), about to build its next segment.
static void PrepareSearch(signed char direction, bool zArmed)
{
    ResetScene(10, 0);
    CameraPath.end = {13.5f, 13.5f, 0.2f};
    CameraPath.start = {13.5f, 10.5f, 0.1f};
    CameraPath.control = CameraPath.previousControl = {13.5f, 12.0f, 0.3f};
    CameraPath.direction = direction;
    CameraPath.zTurnArmed = zArmed;
    CameraPath.primed = 1;
    CameraPose.rollLimit = 50; // no roll draw on this tick
}

TEST(CameraDirection, ArmedAxesTakeFreshSignsAndArmTheOtherOnAChange)
{
    struct Case {
        signed char direction;
        bool zArmed;
        int e, axis; // the attempt's draws: fresh sign, 1 for an x step
        signed char wantDirection;
        bool wantX, wantZ;
        float wantEndX, wantEndZ;
    } cases[] = {
        {+1, true, 0, 0, -1, true, false, 13.5f, 10.5f},  // a changed sign arms x
        {+1, true, 1, 0, +1, false, false, 13.5f, 16.5f}, // the same sign arms nothing
        {-1, false, 1, 0, -1, false, false, 13.5f, 10.5f}, // unarmed: the drawn 1 gives way to -1
        {+1, true, 0, 1, +1, false, true, 16.5f, 13.5f},  // x not armed: no turn, z stays armed
    };
    for (const Case &c : cases) {
        PrepareSearch(c.direction, c.zArmed);
        SceneRandom = SeedForDraws({{2, c.e}, {2, c.axis}});
        StepCamera();
        EXPECT_EQ(CameraPath.direction, c.wantDirection) << "case e=" << c.e << " axis=" << c.axis;
        EXPECT_EQ((bool)CameraPath.xTurnArmed, c.wantX);
        EXPECT_EQ((bool)CameraPath.zTurnArmed, c.wantZ);
        EXPECT_EQ(CameraPath.end.x, c.wantEndX);
        EXPECT_EQ(CameraPath.end.z, c.wantEndZ);
    }
}

TEST(CameraControl, StraightSegmentsContinueThroughTheJoint)
{
    PrepareSearch(+1, true);
    SceneRandom = SeedForDraws({{2, 1}, {2, 0}, {141, 100}});
    StepCamera();
    // previous control (13.5, 12, 0.3), joint (13.5, 13.5, 0.2): 1.3 times back from the joint
    EXPECT_FLOAT_EQ(CameraPath.control.x, 13.5f);
    EXPECT_FLOAT_EQ(CameraPath.control.z, 13.95f);
    EXPECT_FLOAT_EQ(CameraPath.control.height, 0.17f);
    EXPECT_FLOAT_EQ(CameraPath.end.height, 0.30f);
    EXPECT_EQ(CameraPose.lookAt.z, 13.5f);
}

TEST(CameraRoll, TurnsAtTheLimitAndDrawsANewOne)
{
    ResetScene(10, 0);
    StepScene();
    EXPECT_FLOAT_EQ(CameraPose.roll, 0.08f);
    EXPECT_TRUE(CameraPose.rollFalling);
    EXPECT_GE(CameraPose.rollLimit, 10.0f);
    EXPECT_LE(CameraPose.rollLimit, 50.0f);

    // Reaching the limit exactly turns the roll.
    ResetScene(100, 0);
    CameraPose.roll = -20 + 0.8f;
    CameraPose.rollLimit = 20;
    CameraPose.rollFalling = 1;
    CameraPath.primed = 1;
    CameraPath.end = CameraPath.start = {13.5f, 13.5f, 0};
    CameraPath.t = 0.5f;
    SceneRandom = SeedForDraws({{41, 40}});
    StepCamera();
    EXPECT_EQ(CameraPose.roll, -20 + 0.8f - 0.8f);
    EXPECT_FALSE(CameraPose.rollFalling);
    EXPECT_EQ(CameraPose.rollLimit, 50.0f);
}

TEST(CameraSpeedZero, EyeAndLookAtSitOnEachNewStart)
{
    ResetScene(0, 0, 3);
    for (int tick = 0; tick < 50; tick++) {
        PathPoint oldEnd = CameraPath.end;
        StepScene();
        EXPECT_EQ(CameraPose.roll, 0.0f);
        EXPECT_EQ(CameraPath.t, 0.0f);
        EXPECT_EQ(CameraPose.eye.x, CameraPath.start.x);
        EXPECT_EQ(CameraPose.eye.z, CameraPath.start.z);
        EXPECT_EQ(CameraPose.lookAt.x, CameraPose.eye.x);
        EXPECT_EQ(CameraPose.lookAt.z, CameraPose.eye.z);
        if (tick > 0) {
            EXPECT_EQ(CameraPath.start.x, oldEnd.x);
        }
    }
    EXPECT_TRUE(CameraPose.rollFalling);
}

TEST(CameraBob, OnlyDiagonalSegmentsLiftTheEye)
{
    ResetScene(10, 0, 17);
    bool sawDiagonal = false, sawStraight = false;
    for (int tick = 0; tick < 200000 && !(sawDiagonal && sawStraight); tick++) {
        float before = CameraPath.t;
        StepScene();
        const CameraPathRecord &path = CameraPath;
        if (before < 0.45f || before > 0.55f)
            continue;
        // Where the eye would be without the bob: the curve one step behind the look-at point.
        float u = before - 0.01f, a = (1 - u) * (1 - u), b = 2 * u * (1 - u), c = u * u;
        float plain = a * path.start.height + b * path.control.height + c * path.end.height;
        bool diagonal = path.end.x != path.start.x && path.end.z != path.start.z;
        float bob = CameraPose.eye.height - plain;
        if (diagonal) {
            sawDiagonal = true;
            EXPECT_NEAR(bob, 0.25 * std::sin(3.14159265 * before), 1e-5);
        } else {
            sawStraight = true;
            EXPECT_NEAR(bob, 0.0f, 1e-5);
        }
    }
    EXPECT_TRUE(sawDiagonal);
    EXPECT_TRUE(sawStraight);
}

// Values worked out by hand: the quadratic Bezier at t = 0.5 (weights 1/4, 1/2, 1/4) for the look-at point
// and at t - Speed = 0.4 (weights 0.36, 0.48, 0.16) for the eye, which a diagonal segment lifts by 0.25.
TEST(CameraCurve, LookAtAndEyeLieOnTheSegmentsCurve)
{
    struct Case {
        PathPoint start, control, end, lookAt, eye;
    } cases[] = {
        {{10.5f, 13.5f, 0}, {10.5f, 15, 1}, {10.5f, 16.5f, 0.5f}, {10.5f, 15, 0.625f}, {10.5f, 14.7f, 0.56f}},
        {{10.5f, 13.5f, 0}, {12, 15, 4}, {13.5f, 16.5f, 0}, {12, 15, 2}, {11.7f, 14.7f, 1.92f + 0.25f}},
    };
    for (const Case &c : cases) {
        ResetScene(100, 0);
        CameraPath = {c.start, c.control, c.end, c.control, 0.5f, 1, 0, 0, 1};
        CameraPose.rollLimit = 50; // no roll draw on this tick
        StepCamera();
        for (auto [got, want] : {std::pair{CameraPose.lookAt, c.lookAt}, {CameraPose.eye, c.eye}}) {
            EXPECT_FLOAT_EQ(got.x, want.x);
            EXPECT_FLOAT_EQ(got.z, want.z);
            EXPECT_NEAR(got.height, want.height, 1e-6);
        }
        EXPECT_FLOAT_EQ(CameraPath.t, 0.6f);
    }
}
