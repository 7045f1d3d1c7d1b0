// The settings dialog on an Xvfb display of the test's own: the saver's
// settings mode driven like a user would, by keys and the close box, and
// photographed; and the platform's message box, which nothing else shows.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <X11/Xlib.h> // after gtest, whose names its macros would take
#include <X11/Xutil.h>

#include <windows.h>

namespace fs = std::filesystem;

// What a shell command printed, byte for byte.
static std::string Output(const std::string &command)
{
    std::string text;
    char buffer[4096];
    FILE *pipe = popen(command.c_str(), "r");
    for (size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, got);
    if (pipe)
        pclose(pipe);
    return text;
}

static std::string FileText(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// ---- the display: one Xvfb for the test program, on a display number it picks itself
static const int ScreenWidth = 1024, ScreenHeight = 768;

class XvfbDisplay : public testing::Environment {
    pid_t pid = -1;

    void SetUp() override
    {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        std::string fd = std::to_string(ready[1]);
        std::string size = std::to_string(ScreenWidth) + "x" + std::to_string(ScreenHeight) + "x24";
        if ((pid = fork()) == 0) {
            close(ready[0]), freopen("/dev/null", "w", stderr);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", size.c_str(), "-nolisten", "tcp", nullptr);
            _exit(127);
        }
        close(ready[1]);
        char number[16] = ":"; // read once Xvfb listens, or at its end when it fails
        ASSERT_GT(read(ready[0], number + 1, sizeof number - 2), 0) << "Xvfb named no display";
        close(ready[0]);
        setenv("DISPLAY", strtok(number, "\n"), 1);
    }
    void TearDown() override
    {
        if (pid > 0)
            kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
    }
};

static testing::Environment *const TestDisplay = testing::AddGlobalTestEnvironment(new XvfbDisplay);

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

// ---- the settings program: one store per test; `timeout` ends a program that outlives its test
static const char *const Names[] = {"Speed", "Pulses", "Reflections", "Showfps"};

class SettingsProgram : public testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("vantrel-e2e-" + std::to_string(getpid())), file = dir / "registry.reg";
    std::future<int> program;
    Window dialog = 0;
    int left = 0, top = 0, width = 0, height = 0; // the dialog's, on the screen

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        setenv("VANTREL_REGISTRY", file.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir); }

    void Store(std::vector<int> bytes)
    {
        std::ofstream out(file, std::ios::binary);
        out << "Windows Registry Editor Version 5.00\r\n\r\n"
            << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\r\n" << std::hex;
        for (int i = 0; i < 4; i++)
            out << '"' << Names[i] << "\"=hex:" << bytes[i] / 16 << bytes[i] % 16 << "\r\n";
    }
    // The four stored bytes as the file shows them; -1 for a value not there as one byte.
    std::vector<int> Stored() const
    {
        std::vector<int> bytes;
        std::string text = FileText(file);
        std::smatch hex;
        for (std::string name : Names)
            bytes.push_back(std::regex_search(text, hex, std::regex('"' + name + "\"=hex:([0-9a-f]{2})\r?\n"))
                                ? std::stoi(hex[1].str(), nullptr, 16) : -1);
        return bytes;
    }
    // Starts the program with the given command line; true once its dialog shows, focused, where it says.
    bool Open(const std::string &args)
    {
        std::string command = "timeout 15 " VANTREL_SETTINGS_PROGRAM " " + args + " >/dev/null 2>&1";
        program = std::async(std::launch::async, [command] { return WEXITSTATUS(std::system(command.c_str())); });
        std::string found = Output("timeout 10 xdotool search --sync --onlyvisible --name '^Settings$' "
                                   "windowfocus --sync getwindowgeometry --shell");
        return sscanf(found.c_str(), "WINDOW=%lu X=%d Y=%d WIDTH=%d HEIGHT=%d", &dialog, &left, &top, &width, &height)
               == 5;
    }
    // Types the keys and gives the program's exit code.
    int Leave(const std::string &keys)
    {
        Output("xdotool key --delay 20 " + keys);
        return program.get();
    }
};

// ---- the screen, photographed by ImageMagick as raw RGB
struct Box { int x, y, w, h; };

static std::string Shot;

static unsigned Colour(int x, int y)
{
    const unsigned char *p = (const unsigned char *)&Shot[((size_t)y * ScreenWidth + x) * 3];
    return p[0] << 16 | p[1] << 8 | p[2];
}

// Pixels of a box that pass a test.
template <class Test> static int Count(const Box &box, Test test)
{
    int count = 0;
    for (int y = box.y; y < box.y + box.h; y++)
        for (int x = box.x; x < box.x + box.w; x++)
            count += test(x, y);
    return count;
}

// The template's geometry in dialog units, and pixels by the base units of the font shown.
static const Box DialogSize = {0, 0, 161, 58}, OkButton = {7, 37, 43, 14}, ReflectionsBox = {7, 7, 51, 10},
                 ShowFpsBox = {7, 17, 47, 10}, SpeedSlider = {63, 15, 91, 11}, SpeedLabel = {95, 7, 24, 10},
                 PulsesSlider = {63, 33, 91, 11}, PulsesLabel = {75, 24, 57, 10};

static int Pixels(int units, int base, int divisor) { return (int)std::lround((double)units * base / divisor); }

TEST_F(SettingsProgram, ShowsTheTemplateCentredAndEnterStoresWhatTheKeysSet)
{
    Store({200, 200, 0, 1}); // beyond the sliders' range: a Speed of 200 is its end, a Pulses byte of 200 is -56
    ASSERT_TRUE(Open("/c"));
    int baseX = Pixels(width, 4, DialogSize.w), baseY = Pixels(height, 8, DialogSize.h);
    EXPECT_EQ(width, Pixels(DialogSize.w, baseX, 4));
    EXPECT_EQ(height, Pixels(DialogSize.h, baseY, 8));
    EXPECT_EQ(left, (ScreenWidth - width) / 2);
    EXPECT_EQ(top, (ScreenHeight - height) / 2);
    auto onScreen = [&](const Box &units) {
        return Box{left + Pixels(units.x, baseX, 4), top + Pixels(units.y, baseY, 8), Pixels(units.w, baseX, 4),
                   Pixels(units.h, baseY, 8)};
    };

    // Photographed once the OK button's dark frame is drawn.
    Box ok = onScreen(OkButton);
    for (int tries = 0; tries < 50 && (Shot.empty() || Colour(ok.x, ok.y + ok.h / 2) != 0); tries++, usleep(100000)) {
        Shot = Output("/usr/bin/import -window root -depth 8 rgb:-");
        ASSERT_EQ(Shot.size(), (size_t)ScreenWidth * ScreenHeight * 3);
    }

    // Everything drawn lies in the controls' boxes, and every control draws something.
    unsigned face = Colour(left + 1, top + 1);
    auto drawn = [&](int x, int y) { return Colour(x, y) != face; };
    auto dark = [](int x, int y) {
        return (Colour(x, y) >> 16) + (Colour(x, y) >> 8 & 255) + (Colour(x, y) & 255) < 300;
    };
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

    // Sliders: a dark channel across; the thumb, which alone rises above the channel,
    // breaks the face just below the top, at the speed's right end and the pulses' left.
    for (auto [units, at] : {std::pair{SpeedSlider, 1.0}, {PulsesSlider, 0.0}}) {
        Box slider = onScreen(units);
        EXPECT_GT(Count({slider.x, slider.y + slider.h / 2 - 2, slider.w, 4}, dark), slider.w * 7 / 10);
        int first = -1, last = -1;
        for (int x = slider.x + 1; x < slider.x + slider.w - 1; x++)
            if (drawn(x, slider.y + 3))
                first = first < 0 ? x : first, last = x;
        EXPECT_NEAR(((first + last) / 2.0 - slider.x) / slider.w, at, 0.1) << first;
    }

    // From OK by tab: space checks the first box; the sliders' keys move them from where they stand.
    EXPECT_EQ(Leave("Tab space Tab Tab Left Tab Next Return"), 1);
    EXPECT_EQ(Stored(), (std::vector<int>{99, 20, 1, 1}));
}

TEST_F(SettingsProgram, EscapeAndTheCloseBoxStoreNothingAndTheOwnerHoldsTheDialog)
{
    Store({42, 7, 1, 0});
    std::string before = FileText(file);
    ASSERT_TRUE(Open("-C"));
    EXPECT_EQ(Leave("Tab space Tab Tab Right Tab Left Escape"), 0);
    EXPECT_EQ(FileText(file), before);

    fs::remove(file); // a first run again, which stores the defaults as it opens
    Display *display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 200, 100, 0, 0, 0), holder = 0;
    XMapWindow(display, owner);
    XSync(display, False);
    ASSERT_TRUE(Open("/c:" + std::to_string(owner)));
    std::string opened = FileText(file); // the first run's defaults, stored as it opened
    XGetTransientForHint(display, dialog, &holder);
    EXPECT_EQ(holder, owner);

    Output("xdotool key --delay 20 Tab space"); // a change, for the close box to drop
    Atom protocol = XInternAtom(display, "WM_PROTOCOLS", False), quit = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XEvent message = {.xclient = {ClientMessage, 0, False, display, dialog, protocol, 32, {.l = {(long)quit}}}};
    XSendEvent(display, dialog, False, NoEventMask, &message);
    XSync(display, False);
    EXPECT_EQ(program.get(), 0);
    EXPECT_EQ(FileText(file), opened);
    EXPECT_EQ(Stored(), (std::vector<int>{10, 15, 1, 1}));
    XCloseDisplay(display);
}
