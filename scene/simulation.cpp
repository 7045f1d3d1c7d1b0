// One fixed simulation tick: pulses, tower flares, tile flicker, glow, camera.
#include "scene/scene.h"
#include "settings/settings.h"

enum { GlowFlaring = 0x80, GlowFull = GlowFlaring + 60 };

// Some pulses take new headings; every pulse keeps inside 0..30 and moves one unit.
static void StepPulses()
{
    int count = SaverSettings.pulses;
    for (int k = count / 5; k > 0; k--) {
        int i = RandomBelow(count);
        PulseArray[i].heading = (BYTE)RandomBelow(4);
    }
    for (int i = 0; i < count; i++) {
        Pulse &p = PulseArray[i];
        if (p.x >= 30) p.heading = 1; // later tests win at the corners
        if (p.x <= 0) p.heading = 3;
        if (p.z >= 30) p.heading = 0;
        if (p.z <= 0) p.heading = 2;
        switch (p.heading) {
        case 0: p.z -= 1; break;
        case 1: p.x -= 1; break;
        case 2: p.z += 1; break;
        default: p.x += 1; break;
        }
    }
}

// About one tick in 51 a random tower starts or ends its flare.
static void StepFlare()
{
    if (RandomBelow(51) != 0)
        return;
    int w = RandomBelow(100);
    TowerGlow[w] ^= GlowFlaring;
    FlickerCounts[w] = (BYTE)((TowerGlow[w] & GlowFlaring) ? 9 + RandomBelow(7) : RandomBelow(4));
}

// Every tower re-rolls as many of its tiles as its flicker count says.
static void StepFlicker()
{
    for (int t = 0; t < TowerCount; t++) {
        for (int n = FlickerCounts[t]; n > 0; n--) {
            int column = RandomBelow(4);
            int row = RandomBelow(4);
            int tile = RandomBelow(TilesPerTower);
            int slot = RandomBelow(2);
            TileTable[t * TilesPerTower + tile] = (BYTE)(16 * slot + 4 * column + row);
        }
    }
}

// Flaring towers climb to full glow, resting ones sink to dark.
static void StepGlow()
{
    for (BYTE &glow : TowerGlow) {
        if ((glow & GlowFlaring) && glow < GlowFull)
            glow++;
        else if (!(glow & GlowFlaring) && glow > 0)
            glow--;
    }
}

// Advances the whole scene by one tick; allocates nothing.
void StepScene()
{
    StepPulses();
    StepFlare();
    StepFlicker();
    StepGlow();
    StepCamera();
}
