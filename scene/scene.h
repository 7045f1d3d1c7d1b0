// The city scene: its process-wide state and the operations on it.
#pragma once

#include <windows.h>
#include <GL/gl.h>

enum {
    TowerCount = 100,
    TilesPerTower = 93,
    TileCount = TowerCount * TilesPerTower,
};

// ---- scene data
struct Pulse {
    float x, y, z;
    BYTE heading; // 0 toward -z, 1 toward -x, 2 toward +z, 3 toward +x
};

extern BYTE TileTable[TileCount];    // TileCode per tile: 16 slot + 4 column + row
extern BYTE TowerGlow[TowerCount];   // bit 7 flaring, bits 0-6 glow level
extern BYTE FlickerCounts[TowerCount]; // tiles re-rolled per tick
extern Pulse *PulseArray;            // SaverSettings.pulses records, or none

// ---- random generator
extern DWORD SceneRandom; // generator state; the seed becomes the state

int RandomBelow(int n); // 0..n-1 from the next 15-bit output
void FillSceneTables(); // start values of tiles, pulse heights, flicker counts

// ---- camera
struct PathPoint {
    float x, z, height;
};

struct CameraPathRecord {
    PathPoint start, control, end, previousControl;
    float t;                // along the current segment, 0 to below 1
    signed char direction;  // sign of the next step along either axis
    BYTE zTurnArmed, xTurnArmed, primed;
};

struct CameraPoseRecord {
    PathPoint eye, lookAt;
    float roll, rollLimit;  // degrees
    BYTE rollFalling;
};

extern CameraPathRecord CameraPath;
extern CameraPoseRecord CameraPose;

// ---- simulation
void StepScene();  // one fixed tick of pulses, flares, flicker, glow, camera
void StepCamera(); // roll, then fly along the path
