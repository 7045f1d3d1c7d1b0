// The settings program on an Xvfb display of its own, driven by keys and the close box as a user would and
// photographed.
#include "tests/support/xvfb.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include <X11/Xlib.h> // after gtest, whose names its macros would take
#include <X11/Xutil.h>

namespace fs = std::filesystem;

static std::string FileText(const fs::path &f) { std::ifstream in(f); return {std::istreambuf_iterator(in), {}}; }

// A store of the four bytes, as the program writes one.
static std::string StoreText(std::vector<int> bytes)
{
    std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\n";
    char line[32];
    for (int i = 0; const char *name : {"Speed", "Pulses", "Reflections", "Showfps"}) {
        snprintf(line, sizeof line, "\"%s\"=hex:%02x\n", name, bytes[i++]);
        text += line;
    }
    return text;
}

// One store per test; `timeout` bounds the wait for a program that hangs.
class SettingsProgram : public testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("vantrel-e2e-" + std::to_string(getpid()));
    fs::path file = dir / "registry.reg";
    std::optional<ChildProcess> program;
    Window dialog = 0;
    int left = 0, top = 0, width = 0, height = 0; // the dialog's, on the screen

    void SetUp() override
    {
        fs::create_directories(dir);
        setenv("VANTREL_REGISTRY", file.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Starts the program with the given command line; true once its dialog shows, focused.
    bool Open(const std::string &args)
    {
        program.emplace("timeout 15 " VANTREL_SETTINGS_PROGRAM " " + args + " >/dev/null 2>&1");
        std::string found = ChildProcess("timeout 10 xdotool search --sync --onlyvisible --name '^Settings$' "
                                         "windowfocus --sync getwindowgeometry --shell").Read('\0');
        return sscanf(found.c_str(), "WINDOW=%lu X=%d Y=%d WIDTH=%d HEIGHT=%d", &dialog, &left, &top, &width,
                      &height) == 5;
    }
    // Types the keys and gives the program's exit code.
    int Leave(const std::string &keys)
    {
        RunCommand("xdotool key --delay 20 " + keys);
        return program->Wait();
    }
};

// A box in dialog units, or in pixels on the screen.
struct Box {
    int x, y, w, h;
};

TEST_F(SettingsProgram, ShowsTheTemplateCentredAndEnterStoresWhatTheKeysSet)
{
    // Beyond the sliders' range: a Speed of 200 is its end, a Pulses byte of 200 is -56.
    std::ofstream(file) << StoreText({200, 200, 0, 1});
    ASSERT_TRUE(Open("/c"));
    EXPECT_EQ(left, (ScreenWidth - width) / 2);
    EXPECT_EQ(top, (ScreenHeight - height) / 2);

    // The template's 161 x 58 units give the base units of the font shown, which place the seven controls.
    auto pixels = [](int units, int base, int divisor) { return (int)std::lround((double)units * base / divisor); };
    int baseX = pixels(width, 4, 161), baseY = pixels(height, 8, 58);
    EXPECT_EQ(width, pixels(161, baseX, 4));
    EXPECT_EQ(height, pixels(58, baseY, 8));
    auto onScreen = [&](const Box &u) {
        return Box{left + pixels(u.x, baseX, 4), top + pixels(u.y, baseY, 8), pixels(u.w, baseX, 4),
                   pixels(u.h, baseY, 8)};
    };
    const Box ok = onScreen({7, 37, 43, 14});
    const std::vector<Box> controls = {ok,
                                       onScreen({7, 7, 51, 10}),   // Reflections
                                       onScreen({7, 17, 47, 10}),  // Show FPS
                                       onScreen({63, 15, 91, 11}), // the speed slider
                                       onScreen({95, 7, 24, 10}),  // Speed
                                       onScreen({63, 33, 91, 11}), // the pulses slider
                                       onScreen({75, 24, 57, 10})}; // Number of Pulses

    // Photographed by ImageMagick as raw RGB, once the OK button's dark frame is drawn.
    std::string shot, shotFile = dir / "screen.rgb";
    auto colour = [&](int x, int y) {
        auto p = (const unsigned char *)&shot[((size_t)y * ScreenWidth + x) * 3];
        return p[0] << 16 | p[1] << 8 | p[2];
    };
    for (int tries = 0; tries < 50 && (shot.empty() || colour(ok.x, ok.y + ok.h / 2) != 0); tries++) {
        usleep(100000);
        RunCommand("/usr/bin/import -window root -depth 8 rgb:" + shotFile);
        shot = FileText(shotFile);
        ASSERT_EQ(shot.size(), (size_t)ScreenWidth * ScreenHeight * 3);
    }

    // Everything drawn lies in the controls' boxes, and every control draws something.
    int face = colour(left + 1, top + 1), outside = 0;
    std::vector<int> inside(controls.size());
    for (int y = top; y < top + height; y++) {
        for (int x = left; x < left + width; x++) {
            auto in = [&](const Box &b) { return x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h; };
            auto control = std::find_if(controls.begin(), controls.end(), in);
            if (colour(x, y) == face)
                continue;
            if (control == controls.end())
                outside++;
            else
                inside[control - controls.begin()]++;
        }
    }
    EXPECT_EQ(outside, 0);
    for (size_t i = 0; i < controls.size(); i++)
        EXPECT_GT(inside[i], 10) << "control " << i;

    // From OK by tab: space checks the first box; the sliders' keys move them from where they stand.
    EXPECT_EQ(Leave("Tab space Tab Tab Left Tab Next Return"), 1);
    EXPECT_EQ(FileText(file), StoreText({99, 20, 1, 1}));
}

TEST_F(SettingsProgram, EscapeAndTheCloseBoxStoreNothingAndTheOwnerHoldsTheDialog)
{
    std::ofstream(file) << StoreText({42, 7, 1, 0});
    ASSERT_TRUE(Open("-C"));
    EXPECT_EQ(Leave("Tab space Tab Tab Right Tab Left Escape"), 0);
    EXPECT_EQ(FileText(file), StoreText({42, 7, 1, 0}));

    fs::remove(file); // a first run again, which stores the defaults as it opens
    Display *display = XOpenDisplay(nullptr); // on the test's own server, already proven by opening the dialog
    Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 200, 100, 0, 0, 0), holder = 0;
    XMapWindow(display, owner);
    XSync(display, False);
    ASSERT_TRUE(Open("/c:" + std::to_string(owner)));
    XGetTransientForHint(display, dialog, &holder);
    EXPECT_EQ(holder, owner);

    RunCommand("xdotool key --delay 20 Tab space"); // a change, for the close box to drop
    Atom protocol = XInternAtom(display, "WM_PROTOCOLS", False), quit = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XEvent message = {.xclient = {ClientMessage, 0, False, display, dialog, protocol, 32, {.l = {(long)quit}}}};
    XSendEvent(display, dialog, False, NoEventMask, &message);
    XSync(display, False);
    EXPECT_EQ(program->Wait(), 0);
    EXPECT_EQ(FileText(file), StoreText({10, 15, 1, 1})); // the first run's defaults, stored as it opened
    XCloseDisplay(display);
}
