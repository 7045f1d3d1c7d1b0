// Scene data that lives from program start to end, and its random start values.
#include "scene/scene.h"
#include "settings/settings.h"

// ---- per-tower tables, zero at program start
BYTE TileTable[TileCount];
BYTE TowerGlow[TowerCount];
BYTE FlickerCounts[TowerCount];
Pulse *PulseArray;

// ---- random generator
DWORD SceneRandom;

// Next 15-bit output of the C library's classic linear congruential rand().
static int NextRandom()
{
    SceneRandom = SceneRandom * 214013u + 2531011u;
    return (int)((SceneRandom >> 16) & 0x7FFF);
}

// A value 0..n-1, scaled from the next 15-bit output: r * n / 32768, truncated.
// The product scaled by 1/32768 in double precision is exact, so a shift gives the same.
int RandomBelow(int n)
{
    return (NextRandom() * n) >> 15;
}

// A fresh pulse array for the Pulses setting, random tiles, lowered odd pulses and flicker
// counts, in the generator's fixed order.
void FillSceneTables()
{
    delete[] PulseArray;
    PulseArray = SaverSettings.pulses > 0 ? new Pulse[SaverSettings.pulses]() : nullptr; // zero: at (0, 0), heading 0

    for (BYTE &tile : TileTable) {
        int column = RandomBelow(4);
        int row = RandomBelow(4);
        int slot = RandomBelow(2);
        tile = (BYTE)(16 * slot + 4 * column + row);
    }
    for (int i = 1; i < SaverSettings.pulses; i += 2)
        PulseArray[i].y = -1.33f; // just above the floor; even pulses fly at 0
    for (BYTE &count : FlickerCounts)
        count = (BYTE)RandomBelow(4);
}
