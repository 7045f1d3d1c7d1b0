// The settings dialog on an Xvfb display of its own, driven by keys and the close box like a user would and
// photographed; and the platform's message box, which nothing else shows.
#include "tests/support/xvfb.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <X11/Xlib.h> // after gtest, whose names its macros would take
#include <X11/Xutil.h>

#include <windows.h>

namespace fs = std::filesystem;

static std::string FileText(const fs::path &f) { std::ifstream in(f); return {std::istreambuf_iterator(in), {}}; }

TEST(DialogPlatform, MessageBoxShowsItsTextUnderItsCaptionUntilClosed)
{
    static std::string seen; // the first window's title, then its parts' texts, a line each
    Fl::add_timeout(0.1, [](void *) {
        Fl_Window *window = Fl::first_window();
        for (int i = -1; window && i < window->children(); i++)
            if (const char *label = i < 0 ? window->label() : window->child(i)->label())
                seen += label + std::string("\n");
        if (window)
            window->do_callback(); // as the close box does
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Not stored.", "Vantrel", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(seen.rfind("Vantrel\n", 0), 0u) << seen;
    EXPECT_NE(seen.find("\nNot stored.\n"), std::string::npos) << seen;
}

// ---- the settings program: one store per test; `timeout` bounds the wait for one that hangs

// A store of the four bytes, as the program writes one.
static std::string StoreText(std::vector<int> bytes)
{
    std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\n";
    char line[32];
    for (int i = 0; const char *name : {"Speed", "Pulses", "Reflections", "Showfps"})
        text += (snprintf(line, sizeof line, "\"%s\"=hex:%02x\n", name, bytes[i++]), line);
    return text;
}

class SettingsProgram : public testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("vantrel-e2e-" + std::to_string(getpid())), file = dir / "registry.reg";
    std::optional<ChildProcess> program;
    Window dialog = 0;
    int left = 0, top = 0, width = 0, height = 0; // the dialog's, on the screen

    void SetUp() override { fs::create_directories(dir), setenv("VANTREL_REGISTRY", file.c_str(), 1); }
    void TearDown() override { fs::remove_all(dir); }

    // Starts the program with the given command line; true once its dialog shows, focused, where it says.
    bool Open(const std::string &args)
    {
        program.emplace("timeout 15 " VANTREL_SETTINGS_PROGRAM " " + args + " >/dev/null 2>&1");
        std::string f = ChildProcess("timeout 10 xdotool search --sync --onlyvisible --name '^Settings$' "
                                     "windowfocus --sync getwindowgeometry --shell").Read('\0');
        return sscanf(f.c_str(), "WINDOW=%lu X=%d Y=%d WIDTH=%d HEIGHT=%d", &dialog, &left, &top, &width, &height) == 5;
    }
    // Types the keys and gives the program's exit code.
    int Leave(const std::string &keys) { return RunCommand("xdotool key --delay 20 " + keys), program->Wait(); }
};

// ---- the screen, photographed by ImageMagick as raw RGB
struct Box { int x, y, w, h; };

static std::string Shot;

static unsigned Colour(int x, int y)
{
    auto p = (const unsigned char *)&Shot[((size_t)y * ScreenWidth + x) * 3];
    return p[0] << 16 | p[1] << 8 | p[2];
}

// Pixels of a box that pass a test.
template <class Test> static int Count(const Box &box, Test test)
{
    int count = 0;
    for (int i = 0; i < box.w * box.h; i++)
        count += test(box.x + i % box.w, box.y + i / box.w);
    return count;
}

// The template's geometry in dialog units, and pixels by the base units of the font shown.
static const Box DialogSize = {0, 0, 161, 58}, OkButton = {7, 37, 43, 14}, ReflectionsBox = {7, 7, 51, 10},
                 ShowFpsBox = {7, 17, 47, 10}, SpeedSlider = {63, 15, 91, 11}, SpeedLabel = {95, 7, 24, 10},
                 PulsesSlider = {63, 33, 91, 11}, PulsesLabel = {75, 24, 57, 10};

static int Pixels(int units, int base, int divisor) { return (int)std::lround((double)units * base / divisor); }

TEST_F(SettingsProgram, ShowsTheTemplateCentredAndEnterStoresWhatTheKeysSet)
{
    // Beyond the sliders' range: a Speed of 200 is its end, a Pulses byte of 200 is -56.
    std::ofstream(file) << StoreText({200, 200, 0, 1});
    ASSERT_TRUE(Open("/c"));
    int baseX = Pixels(width, 4, DialogSize.w), baseY = Pixels(height, 8, DialogSize.h);
    EXPECT_EQ(std::pair(left, top), std::pair((ScreenWidth - width) / 2, (ScreenHeight - height) / 2));
    auto px = [&](int units, bool down) { return down ? Pixels(units, baseY, 8) : Pixels(units, baseX, 4); };
    auto onScreen = [&](const Box &u) { return Box{left + px(u.x, 0), top + px(u.y, 1), px(u.w, 0), px(u.h, 1)}; };
    EXPECT_EQ(std::pair(width, height), std::pair(px(DialogSize.w, 0), px(DialogSize.h, 1)));

    // Photographed once the OK button's dark frame is drawn.
    Box ok = onScreen(OkButton);
    std::string shotFile = dir / "screen.rgb";
    for (int tries = 0; tries < 50 && (Shot.empty() || Colour(ok.x, ok.y + ok.h / 2) != 0); tries++, usleep(100000)) {
        RunCommand("/usr/bin/import -window root -depth 8 rgb:" + shotFile), Shot = FileText(shotFile);
        ASSERT_EQ(Shot.size(), (size_t)ScreenWidth * ScreenHeight * 3);
    }

    // Everything drawn lies in the controls' boxes, and every control draws something.
    unsigned face = Colour(left + 1, top + 1);
    auto drawn = [&](int x, int y) { return Colour(x, y) != face; };
    auto dark = [](int x, int y) { unsigned c = Colour(x, y); return (c >> 16) + (c >> 8 & 255) + (c & 255) < 300; };
    const std::vector<Box> controls = {OkButton,   ReflectionsBox, ShowFpsBox, SpeedSlider,
                                       SpeedLabel, PulsesSlider,   PulsesLabel};
    EXPECT_EQ(Count({left, top, width, height}, [&](int x, int y) {
        return drawn(x, y) && std::none_of(controls.begin(), controls.end(), [&](const Box &units) {
                   Box b = onScreen(units);
                   return x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h;
               });
    }), 0);
    for (const Box &units : controls)
        EXPECT_GT(Count(onScreen(units), drawn), 10) << "control at " << units.x << "," << units.y << " units";

    // The default button's dark frame and its label.
    EXPECT_EQ(Colour(ok.x + ok.w - 1, ok.y + ok.h / 2), 0u);
    EXPECT_GT(Count({ok.x + 3, ok.y + 3, ok.w - 6, ok.h - 6}, dark), 5);

    // Check boxes: the same sunken square at the left, short of the text, with a mark only in the one that is on.
    auto square = [&](const Box &units) { Box b = onScreen(units); return Count({b.x, b.y, b.h * 2 / 3, b.h}, dark); };
    EXPECT_GT(square(ShowFpsBox) - square(ReflectionsBox), 10);

    // Sliders: a dark channel across; the thumb alone breaks the face below the top: speed at the right, pulses left.
    for (auto [units, at] : {std::pair{SpeedSlider, 1.0}, {PulsesSlider, 0.0}}) {
        Box s = onScreen(units);
        EXPECT_GT(Count({s.x, s.y + s.h / 2 - 2, s.w, 4}, dark), s.w * 7 / 10);
        double sum = 0; // of the thumb's columns
        int n = Count({s.x + 1, s.y + 3, s.w - 2, 1}, [&](int x, int y) { return drawn(x, y) ? sum += x, 1 : 0; });
        EXPECT_NEAR((sum / n - s.x) / s.w, at, 0.1) << n;
    }

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
    Display *display = XOpenDisplay(nullptr); // on the fixture's own server, already proven by opening the dialog
    Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 200, 100, 0, 0, 0), holder = 0;
    XMapWindow(display, owner), XSync(display, False);
    ASSERT_TRUE(Open("/c:" + std::to_string(owner)));
    XGetTransientForHint(display, dialog, &holder);
    EXPECT_EQ(holder, owner);

    RunCommand("xdotool key --delay 20 Tab space"); // a change, for the close box to drop
    Atom protocol = XInternAtom(display, "WM_PROTOCOLS", False), quit = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XEvent message = {.xclient = {ClientMessage, 0, False, display, dialog, protocol, 32, {.l = {(long)quit}}}};
    XSendEvent(display, dialog, False, NoEventMask, &message), XSync(display, False);
    EXPECT_EQ(program->Wait(), 0);
    EXPECT_EQ(FileText(file), StoreText({10, 15, 1, 1})); // the first run's defaults, stored as it opened
    XCloseDisplay(display);
}
