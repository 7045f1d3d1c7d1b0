// vantrel-replay: runs the scene's simulation without a window and prints its state as JSON.
#include <cstdio>
#include <cstring>

#include "scene/scene.h"
#include "settings/settings.h"
#include "tools/args.h"

static const char Usage[] =
    "usage: vantrel-replay --seed S --ticks N [--speed BYTE] [--pulses BYTE]\n";

static void PrintPoint(const char *name, const PathPoint &p)
{
    std::printf("\"%s\":[%.9g,%.9g,%.9g]", name, (double)p.x, (double)p.z, (double)p.height);
}

static void PrintBytes(const char *name, const BYTE *bytes, int count)
{
    std::printf("\"%s\":[", name);
    for (int i = 0; i < count; i++)
        std::printf("%s%u", i ? "," : "", bytes[i]);
    std::printf("]");
}

static void PrintState(unsigned long long seed, unsigned long long ticks)
{
    std::printf("{\"seed\":%llu,\"ticks\":%llu,\"speed\":%.9g,\"pulseCount\":%d,\n \"tiles\":\"", seed, ticks,
                (double)SaverSettings.speed, SaverSettings.pulses);
    for (BYTE tile : TileTable)
        std::printf("%02x", tile);
    std::printf("\",\n ");
    PrintBytes("glow", TowerGlow, TowerCount);
    std::printf(",");
    PrintBytes("flicker", FlickerCounts, TowerCount);
    std::printf(",\n \"pulses\":[");
    for (int i = 0; i < SaverSettings.pulses; i++) {
        const Pulse &p = PulseArray[i];
        std::printf("%s[%.9g,%.9g,%.9g,%u]", i ? "," : "", (double)p.x, (double)p.y, (double)p.z, p.heading);
    }
    const CameraPoseRecord &pose = CameraPose;
    const CameraPathRecord &path = CameraPath;
    std::printf("],\n \"camera\":{");
    PrintPoint("eye", pose.eye);
    std::printf(",");
    PrintPoint("lookAt", pose.lookAt);
    std::printf(",\"roll\":%.9g,\"rollLimit\":%.9g,\"rollFalling\":%d,\n  \"t\":%.9g,\"direction\":%d,"
                "\"zTurnArmed\":%d,\"xTurnArmed\":%d,\"primed\":%d,\n  ",
                (double)pose.roll, (double)pose.rollLimit, pose.rollFalling ? 1 : 0, (double)path.t,
                path.direction, path.zTurnArmed ? 1 : 0, path.xTurnArmed ? 1 : 0, path.primed ? 1 : 0);
    PrintPoint("start", path.start);
    std::printf(",");
    PrintPoint("control", path.control);
    std::printf(",");
    PrintPoint("end", path.end);
    std::printf(",");
    PrintPoint("previousControl", path.previousControl);
    std::printf("}}\n");
}

int main(int argc, char **argv)
{
    unsigned long long seed = 0, ticks = 0, speed = 10, pulses = 15;
    bool haveSeed = false, haveTicks = false;
    for (int i = 1; i < argc; i++) {
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok;
        if (!std::strcmp(argv[i], "--seed"))
            ok = haveSeed = ParseNumber(value, 0xFFFFFFFFull, &seed);
        else if (!std::strcmp(argv[i], "--ticks"))
            ok = haveTicks = ParseNumber(value, 0xFFFFFFFFull, &ticks);
        else if (!std::strcmp(argv[i], "--speed"))
            ok = ParseNumber(value, 255, &speed);
        else if (!std::strcmp(argv[i], "--pulses"))
            ok = ParseNumber(value, 255, &pulses);
        else
            ok = false;
        if (!ok) {
            std::fputs(Usage, stderr);
            return 2;
        }
        i++;
    }
    if (!haveSeed || !haveTicks) {
        std::fputs(Usage, stderr);
        return 2;
    }

    ApplySettings((BYTE)speed, (BYTE)pulses, 1, 1);
    SceneRandom = (DWORD)seed;
    FillSceneTables();
    for (unsigned long long n = 0; n < ticks; n++)
        StepScene();
    PrintState(seed, ticks);
    return 0;
}
