// Puts the process-wide scene back to program start for each test.
#pragma once

#include <cstring>

#include <gtest/gtest.h>

#include "scene/scene.h"
#include "settings/settings.h"

// Zero tables and camera, the given stored bytes and a fresh pulse array, the generator seeded.
inline void ResetScene(BYTE speed = 10, BYTE pulses = 15, DWORD seed = 1)
{
    ApplySettings(speed, pulses, 1, 1);
    FillSceneTables();
    std::memset(TileTable, 0, sizeof TileTable);
    std::memset(TowerGlow, 0, sizeof TowerGlow);
    std::memset(FlickerCounts, 0, sizeof FlickerCounts);
    CameraPath = {};
    CameraPose = {};
    SceneRandom = seed;
}
