// The settings program on an Xvfb display of its own, driven by keys as a user would.
#include "tests/support/xvfb.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

// A store of the four bytes, as the program writes one.
static std::string StoreText(const std::vector<int> &bytes)
{
    std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\n";
    char line[32];
    for (int i = 0; const char *name : {"Speed", "Pulses", "Reflections", "Showfps"}) {
        snprintf(line, sizeof line, "\"%s\"=hex:%02x\n", name, bytes[i++]);
        text += line;
    }
    return text;
}

// Runs `vantrel /c` on a store of the four bytes and types the keys once its dialog shows, focused; gives the
// exit code (-1 when no dialog showed) and the store left. `timeout` bounds the wait for a program that hangs.
static std::pair<int, std::string> RunSettings(const std::vector<int> &stored, const std::string &keys)
{
    fs::path dir = fs::temp_directory_path() / ("vantrel-e2e-" + std::to_string(getpid()));
    fs::create_directories(dir);
    setenv("VANTREL_REGISTRY", (dir / "registry.reg").c_str(), 1);
    std::ofstream(dir / "registry.reg") << StoreText(stored);
    ChildProcess program("timeout 15 " VANTREL_SETTINGS_PROGRAM " /c >/dev/null 2>&1");
    int exit = -1;
    if (RunCommand("timeout 10 xdotool search --sync --onlyvisible --name '^Settings$' windowfocus --sync") == 0) {
        RunCommand("xdotool key --delay 20 " + keys);
        exit = program.Wait();
    }
    std::ifstream left(dir / "registry.reg");
    std::pair<int, std::string> result = {exit, {std::istreambuf_iterator(left), {}}};
    fs::remove_all(dir);
    return result;
}

TEST(SettingsProgram, EscapeStoresNothing)
{
    EXPECT_EQ(RunSettings({42, 7, 1, 0}, "Tab space Tab Tab Right Tab Left Escape"),
              std::pair(0, StoreText({42, 7, 1, 0})));
}

// From OK by tab: space checks the first box; the sliders' keys move them from where they stand, which is at the
// ends of their range for a Speed of 200 and a Pulses byte of 200, that is -56.
TEST(SettingsProgram, EnterStoresWhatTheKeysSet)
{
    EXPECT_EQ(RunSettings({200, 200, 0, 1}, "Tab space Tab Tab Left Tab Next Return"),
              std::pair(1, StoreText({99, 20, 1, 1})));
}
