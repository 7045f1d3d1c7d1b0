#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "scene/scene.h"
#include "settings/settings.h"

// Runs the replay tool; returns its exit code and what it wrote to the chosen stream.
static int Replay(const std::string &arguments, std::string *output, bool errors = false)
{
    std::string command = std::string(REPLAY) + " " + arguments + (errors ? " 2>&1 >/dev/null" : " 2>/dev/null");
    FILE *pipe = popen(command.c_str(), "r");
    char buffer[4096];
    output->clear();
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output->append(buffer, n);
    return WEXITSTATUS(pclose(pipe));
}

// The text between "key": and the next delimiter of the flat JSON the tool prints.
static std::string Field(const std::string &json, const std::string &key, char until = ',')
{
    size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos)
        return "<missing>";
    at += key.size() + 3;
    return json.substr(at, json.find(until, at) - at);
}

TEST(Replay, PrintsTheSimulationAsInProcess)
{
    std::string json;
    ASSERT_EQ(Replay("--seed 77 --ticks 250 --speed 30 --pulses 7", &json), 0);

    ApplySettings(30, 7, 1, 1);
    SceneRandom = 77;
    CameraPath = {};
    CameraPose = {};
    std::fill(std::begin(TowerGlow), std::end(TowerGlow), 0);
    FillSceneTables();
    for (int tick = 0; tick < 250; tick++)
        StepScene();

    std::string tiles;
    char hex[3];
    for (BYTE tile : TileTable) {
        std::snprintf(hex, sizeof hex, "%02x", tile);
        tiles += hex;
    }
    EXPECT_EQ(json.substr(json.find("\"tiles\":\"") + 9, tiles.size()), tiles);
    EXPECT_EQ(Field(json, "pulseCount"), "7");
    EXPECT_EQ(Field(json, "speed"), "0.0300000012"); // 30 x 0.001 in single precision
    char roll[32];
    std::snprintf(roll, sizeof roll, "%.9g", (double)CameraPose.roll);
    EXPECT_EQ(Field(json, "roll"), roll);
    char t[32];
    std::snprintf(t, sizeof t, "%.9g", (double)CameraPath.t);
    EXPECT_EQ(Field(json, "t"), t);
    EXPECT_EQ(Field(json, "primed"), "1");
}

TEST(Replay, RefusesBadArgumentsWithUsage)
{
    for (const char *arguments : {"", "--seed 1", "--ticks 5", "--seed x --ticks 5", "--seed 1 --ticks -5",
                                  "--seed 1 --ticks 5 --speed 256", "--seed 1 --ticks 5 --pulses",
                                  "--seed 4294967296 --ticks 1", "--seed 1 --ticks 5 --colour 3",
                                  "--seed 1 --ticks 5x"}) {
        std::string errors;
        EXPECT_EQ(Replay(arguments, &errors, true), 2) << arguments;
        EXPECT_EQ(errors.rfind("usage: vantrel-replay", 0), 0u) << arguments;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << arguments;
    }
}
