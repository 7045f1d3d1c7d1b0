// Time of one simulation tick, with the default pulse count and with the most the dialog offers.
#include <benchmark/benchmark.h>

#include "scene/scene.h"
#include "settings/settings.h"

static void BM_StepScene(benchmark::State &state)
{
    ApplySettings(10, (BYTE)state.range(0), 1, 1);
    SceneRandom = 1;
    FillSceneTables();
    for (auto _ : state)
        StepScene();
    benchmark::DoNotOptimize(TileTable);
}
BENCHMARK(BM_StepScene)->Arg(15)->Arg(100);
