// Puts the process-wide scene back to program start for each test.
#pragma once

#include <cstring>

#include <gtest/gtest.h>

#include "scene/scene.h"
#include "settings/settings.h"

// The given stored bytes with mirror and frame rate on, glows and camera as at program start, and
// the generator seeded for the tables that the caller fills next.
inline void ResetScene(BYTE speed = 10, BYTE pulses = 15, DWORD seed = 1)
{
    ApplySettings(speed, pulses, 1, 1);
    std::memset(TowerGlow, 0, sizeof TowerGlow);
    CameraPath = {};
    CameraPose = {};
    SceneRandom = seed;
}
