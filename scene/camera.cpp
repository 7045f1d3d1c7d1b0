// The camera's roll and its flight on Bezier segments between street crossings.
#include <cmath>
#include <numbers>

#include "scene/scene.h"
#include "settings/settings.h"

// ---- flight state, zero at program start
CameraPathRecord CameraPath;
CameraPoseRecord CameraPose;

// A random height for a path point: -0.70 to +0.70 in hundredths.
static float RandomHeight()
{
    return (float)((RandomBelow(141) - 70) * 0.01);
}

// One of the inner street coordinates 10.5, 13.5, 16.5 and 19.5.
static float RandomInnerStreet()
{
    return (float)(1.5 + 3 * (3 + RandomBelow(4)));
}

// Rocks the camera between random limits, turning at or past each limit.
static void StepRoll()
{
    CameraPoseRecord &pose = CameraPose;
    float step = SaverSettings.speed * 8;
    if (!pose.rollFalling) {
        pose.roll = pose.roll + step;
        if (pose.roll >= pose.rollLimit) {
            pose.rollFalling = 1;
            pose.rollLimit = (float)(10 + RandomBelow(41));
        }
    } else {
        pose.roll = pose.roll - step;
        if (pose.roll <= -pose.rollLimit) {
            pose.rollFalling = 0;
            pose.rollLimit = (float)(10 + RandomBelow(41));
        }
    }
}

// Takes a fresh sign for an armed axis; a change of sign arms the other axis.
static void TurnAxis(BYTE &armed, BYTE &other, int e)
{
    if (!armed)
        return;
    signed char d = (signed char)(e ? e : -1);
    if (d != CameraPath.direction)
        other = 1;
    CameraPath.direction = d;
    armed = 0;
}

// Steps the end point one block at a time until it lies on an inner crossing.
static void SearchEnd()
{
    CameraPathRecord &path = CameraPath;
    do {
        int e = RandomBelow(2);
        if (!path.zTurnArmed && !path.xTurnArmed) {
            e = path.direction;
            path.zTurnArmed = 1;
        }
        if (RandomBelow(2) == 1) {
            TurnAxis(path.xTurnArmed, path.zTurnArmed, e);
            path.end.x = path.start.x + 3 * path.direction;
        } else {
            TurnAxis(path.zTurnArmed, path.xTurnArmed, e);
            path.end.z = path.start.z + 3 * path.direction;
        }
        path.end.height = RandomHeight();
    } while (!(path.end.x > 7.5f && path.end.x < 22.5f && path.end.z > 7.5f && path.end.z < 22.5f));
}

// A segment that moves along both axes cuts across a block.
static bool IsDiagonal()
{
    const CameraPathRecord &path = CameraPath;
    return path.end.x != path.start.x && path.end.z != path.start.z;
}

// Builds the next segment from the last end point, continuing the flight without a kink.
static void BuildSegment()
{
    CameraPathRecord &path = CameraPath;
    if (path.start.x == 0) {
        path.start.x = RandomInnerStreet();
        path.start.z = RandomInnerStreet();
        path.start.height = RandomHeight();
    } else {
        path.start = path.end;
    }
    SearchEnd();

    const PathPoint &prev = path.previousControl;
    if (path.control.x == 0) {
        path.control.x = (float)(path.start.x + (path.start.x - path.end.x) * 0.6);
        path.control.z = (float)(path.start.z + (path.start.z - path.end.z) * 0.6);
    } else {
        path.control.x = (float)(prev.x + (prev.x - path.start.x) * -1.3);
        path.control.z = (float)(prev.z + (prev.z - path.start.z) * -1.3);
    }
    if (IsDiagonal())
        path.control.height = 4; // arc over the block
    else
        path.control.height = (float)(prev.height + (prev.height - path.start.height) * -1.3);
    path.previousControl = path.control;
    path.t = 0;
}

// The quadratic Bezier point of the current segment at u.
static PathPoint SegmentPoint(float u)
{
    const CameraPathRecord &path = CameraPath;
    float a = (1 - u) * (1 - u), b = 2 * u * (1 - u), c = u * u;
    return {
        a * path.start.x + b * path.control.x + c * path.end.x,
        a * path.start.z + b * path.control.z + c * path.end.z,
        a * path.start.height + b * path.control.height + c * path.end.height,
    };
}

// Rolls, builds a segment when the last one is done, and places eye and look-at.
void StepCamera()
{
    CameraPathRecord &path = CameraPath;
    CameraPoseRecord &pose = CameraPose;
    float speed = SaverSettings.speed;

    StepRoll();
    if (path.t == 0)
        BuildSegment();
    if (!path.primed) {
        path.primed = 1;
        BuildSegment(); // the first segment only shapes this one
    }
    pose.lookAt = SegmentPoint(path.t);
    pose.eye = SegmentPoint(path.t - speed);
    if (IsDiagonal())
        pose.eye.height = (float)(pose.eye.height + 0.25 * std::sin(std::numbers::pi * path.t));
    path.t = path.t + speed;
    if (path.t >= 1)
        path.t = 0;
}
