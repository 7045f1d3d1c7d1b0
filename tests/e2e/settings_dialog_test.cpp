// The settings dialog on an Xvfb display of the test's own: first the
// platform's dialog calls inside this process, then the saver's settings
// mode driven like a user would, by keys and the close box, and photographed.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <X11/Xlib.h> // after gtest, whose names its macros would take
#include <X11/Xutil.h>

#include <windows.h>
#include <commctrl.h>

namespace fs = std::filesystem;
extern char **environ;

// ---- processes

// Starts a program with the test's environment, its output dropped; returns its pid.
static pid_t Start(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit code of a started program, waiting up to ten seconds; -2 after killing one that ran on.
static int Finish(pid_t pid)
{
    int status = 0;
    for (int tries = 0; tries < 1000; tries++) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? (signed char)WEXITSTATUS(status) : -3;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -2;
}

// What a shell command printed.
static std::string Output(const std::string &command)
{
    std::string text;
    FILE *pipe = popen(command.c_str(), "r");
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe))
        text += buffer;
    if (pipe)
        pclose(pipe);
    return text;
}

// ---- the display: one Xvfb for the test program, on a display number it picks itself
static const int ScreenWidth = 1024, ScreenHeight = 768;

class XvfbDisplay : public testing::Environment {
    pid_t pid = -1;

    void SetUp() override
    {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        std::string size = std::to_string(ScreenWidth) + "x" + std::to_string(ScreenHeight) + "x24";
        pid = Start({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", size, "-nolisten", "tcp"});
        close(ready[1]);
        ASSERT_GT(pid, 0) << "Xvfb did not start";
        std::string number;
        char c;
        pollfd wait = {ready[0], POLLIN, 0};
        while (poll(&wait, 1, 10000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(ready[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb named no display";
        setenv("DISPLAY", (":" + number).c_str(), 1);
    }
    void TearDown() override
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

static testing::Environment *const TestDisplay = testing::AddGlobalTestEnvironment(new XvfbDisplay);

// ---- dialog units: the template's geometry, and pixels by the base units of the font shown
struct Box {
    int x, y, w, h;
};

static const Box DialogSize = {0, 0, 161, 58};
static const Box OkButton = {7, 37, 43, 14}, ReflectionsBox = {7, 7, 51, 10}, ShowFpsBox = {7, 17, 47, 10},
                 SpeedSlider = {63, 15, 91, 11}, SpeedLabel = {95, 7, 24, 10}, PulsesSlider = {63, 33, 91, 11},
                 PulsesLabel = {75, 24, 57, 10};

static int Pixels(int units, int base, int divisor) { return (int)std::lround((double)units * base / divisor); }

static Box ToPixels(const Box &units, int baseX, int baseY)
{
    return {Pixels(units.x, baseX, 4), Pixels(units.y, baseY, 8), Pixels(units.w, baseX, 4),
            Pixels(units.h, baseY, 8)};
}

// ---- the platform's dialog calls, in this process; the procedure runs a test's script at WM_INITDIALOG
static std::function<void(HWND, WPARAM, LPARAM)> OnInitDialog;
static int ProcedureCalls;

static INT_PTR CALLBACK ScriptedProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    ProcedureCalls++;
    if (message == WM_INITDIALOG)
        OnInitDialog(dialog, wParam, lParam);
    return message == WM_INITDIALOG;
}

static INT_PTR RunScripted(std::function<void(HWND, WPARAM, LPARAM)> script, LPARAM parameter = 0)
{
    OnInitDialog = script;
    return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(2003), nullptr, ScriptedProc, parameter);
}

static LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
}

TEST(DialogPlatform, EndedWhileInitialisingGivesItsCodeAndTheFirstTabStop)
{
    LPARAM given = 0;
    WPARAM focus = 0;
    EXPECT_EQ(RunScripted(
                  [&](HWND dialog, WPARAM wParam, LPARAM lParam) {
                      focus = wParam;
                      given = lParam;
                      EndDialog(dialog, 7);
                  },
                  0x5151),
              7);
    EXPECT_EQ(given, 0x5151);
    EXPECT_NE(focus, 0u); // the OK button
    EXPECT_EQ(Output("xdotool search --name '^Settings$'"), ""); // never shown
}

TEST(DialogPlatform, TrackbarsKeepTheirPositionInsideTheRange)
{
    std::vector<LRESULT> positions;
    RunScripted([&](HWND dialog, WPARAM, LPARAM) {
        for (int id : {1013, 1016}) {
            Send(dialog, id, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
            for (LPARAM position : {200, -56, 42, 100, 0, 10}) {
                Send(dialog, id, TBM_SETPOS, TRUE, position);
                positions.push_back(Send(dialog, id, TBM_GETPOS));
            }
            Send(dialog, id, TBM_SETRANGE, TRUE, MAKELPARAM(50, 60)); // the position follows the range
            positions.push_back(Send(dialog, id, TBM_GETPOS));
        }
        EndDialog(dialog, 0);
    });
    EXPECT_EQ(positions, (std::vector<LRESULT>{100, 0, 42, 100, 0, 10, 50, 100, 0, 42, 100, 0, 10, 50}));
}

TEST(DialogPlatform, CheckBoxesAnswerWhatWasSetAndOtherControlsNothing)
{
    std::vector<LRESULT> answers;
    RunScripted([&](HWND dialog, WPARAM, LPARAM) {
        for (int id : {1011, 1012}) {
            answers.push_back(Send(dialog, id, BM_GETCHECK));
            Send(dialog, id, BM_SETCHECK, BST_CHECKED);
            answers.push_back(Send(dialog, id, BM_GETCHECK));
            Send(dialog, id, BM_SETCHECK, BST_UNCHECKED);
            answers.push_back(Send(dialog, id, BM_GETCHECK));
        }
        Send(dialog, 1013, TBM_SETPOS, TRUE, 33);
        answers.push_back(Send(dialog, 1013, BM_GETCHECK)); // not a button
        answers.push_back(Send(dialog, IDC_STATIC, TBM_GETPOS));
        answers.push_back(Send(dialog, 4242, BM_GETCHECK)); // no such control
        EndDialog(dialog, 0);
    });
    EXPECT_EQ(answers, (std::vector<LRESULT>{0, 1, 0, 0, 1, 0, 0, 0, 0}));
}

TEST(DialogPlatform, TheWindowIsTheTemplateInBaseUnitsAndMovesWhereItIsPut)
{
    RECT before = {}, after = {};
    DEVMODEA mode = {};
    RunScripted([&](HWND dialog, WPARAM, LPARAM) {
        GetWindowRect(dialog, &before);
        SetWindowPos(dialog, HWND_TOP, 362, 324, 0, 0, SWP_NOSIZE);
        GetWindowRect(dialog, &after);
        EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
        EndDialog(dialog, 0);
    });
    int width = before.right - before.left, height = before.bottom - before.top;
    int baseX = Pixels(width, 4, DialogSize.w), baseY = Pixels(height, 8, DialogSize.h);
    EXPECT_EQ(width, Pixels(DialogSize.w, baseX, 4));
    EXPECT_EQ(height, Pixels(DialogSize.h, baseY, 8));
    EXPECT_GT(baseY, baseX); // a font taller than wide, as dialog fonts are
    EXPECT_GE(baseX, 5);
    EXPECT_EQ(after.left, 362);
    EXPECT_EQ(after.top, 324);
    EXPECT_EQ(after.right - after.left, width);
    EXPECT_EQ(after.bottom - after.top, height);
    EXPECT_EQ(mode.dmPelsWidth, (DWORD)ScreenWidth);
    EXPECT_EQ(mode.dmPelsHeight, (DWORD)ScreenHeight);
    EXPECT_EQ(mode.dmBitsPerPel, 24u);
}

TEST(DialogPlatform, NoTemplateNoDialogAndForeignHandlesAreRefused)
{
    ProcedureCalls = 0;
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(2004), nullptr, ScriptedProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, "SETTINGS", nullptr, ScriptedProc, 0), -1);
    EXPECT_EQ(ProcedureCalls, 0);
    HWND stranger = (HWND)(UINT_PTR)0x400001;
    RECT rect;
    EXPECT_FALSE(EndDialog(stranger, 1));
    EXPECT_FALSE(GetWindowRect(stranger, &rect));
    EXPECT_EQ(SendDlgItemMessageA(stranger, 1013, TBM_GETPOS, 0, 0), 0);
    DEVMODEA mode = {};
    EXPECT_FALSE(EnumDisplaySettingsA(nullptr, 0, &mode)); // only the current mode is known
}

// What the first FLTK window showed: its title and the texts of its parts; then it is closed as the close box does.
static std::vector<std::string> Seen;

static void LookAndClose(void *)
{
    Fl_Window *window = Fl::first_window();
    if (!window)
        return;
    Seen.push_back(window->label() ? window->label() : "");
    for (int i = 0; i < window->children(); i++)
        if (window->child(i)->label())
            Seen.push_back(window->child(i)->label());
    window->do_callback();
}

TEST(DialogPlatform, MessageBoxShowsItsTextUnderItsCaptionUntilClosed)
{
    const char *text = "The settings could not be stored.";
    Fl::add_timeout(0.1, LookAndClose);
    EXPECT_EQ(MessageBoxA(nullptr, text, "Vantrel", MB_OK | MB_ICONERROR), IDOK);
    ASSERT_FALSE(Seen.empty());
    EXPECT_EQ(Seen[0], "Vantrel");
    EXPECT_NE(std::find(Seen.begin(), Seen.end(), text), Seen.end());
}

// ---- the settings program

// One settings store per test; the program runs with it and is killed if it outlives the test.
class SettingsProgram : public testing::Test {
protected:
    fs::path dir, file;
    pid_t program = -1;

    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("vantrel-e2e-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = dir / "registry.reg";
        setenv("VANTREL_REGISTRY", file.c_str(), 1);
    }
    void TearDown() override
    {
        if (program > 0)
            Finish(program);
        fs::remove_all(dir);
    }

    std::string FileText() const
    {
        std::ostringstream text;
        text << std::ifstream(file, std::ios::binary).rdbuf();
        return text.str();
    }
    // A store holding Speed, Pulses, Reflections and Showfps as given.
    void Store(std::vector<int> bytes)
    {
        std::string text = "Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\r\n";
        const char *names[] = {"Speed", "Pulses", "Reflections", "Showfps"};
        for (int i = 0; i < 4; i++) {
            char line[40];
            snprintf(line, sizeof line, "\"%s\"=hex:%02x\r\n", names[i], bytes[i]);
            text += line;
        }
        std::ofstream(file, std::ios::binary) << text;
    }
    // The four stored bytes as the file shows them; -1 for a value not there as one byte.
    std::vector<int> Stored() const
    {
        std::vector<int> bytes;
        std::string text = FileText();
        for (const char *name : {"Speed", "Pulses", "Reflections", "Showfps"}) {
            std::smatch found;
            bool there = std::regex_search(text, found, std::regex("\"" + std::string(name) + "\"=hex:([0-9a-f]{2})\r?\n"));
            bytes.push_back(there ? std::stoi(found[1].str(), nullptr, 16) : -1);
        }
        return bytes;
    }

    // Starts the program with a command line that asks for the settings and waits for the
    // dialog; returns its X window, focused, or 0.
    Window Open(std::vector<std::string> args)
    {
        args.insert(args.begin(), VANTREL_SETTINGS_PROGRAM);
        program = Start(args);
        std::string found = Output("timeout 10 xdotool search --sync --onlyvisible --name '^Settings$'");
        Window dialog = std::strtoul(found.c_str(), nullptr, 10);
        if (dialog)
            Output("xdotool windowfocus --sync " + std::to_string(dialog));
        return dialog;
    }
    void Keys(const std::string &keys) { Output("xdotool key --delay 20 " + keys); }
    int Result()
    {
        int code = Finish(program);
        program = -1;
        return code;
    }
};

// The screen as raw RGB, photographed by ImageMagick.
struct Screenshot {
    std::vector<unsigned char> rgb;

    bool Take(const fs::path &file)
    {
        Output("/usr/bin/import -window root -depth 8 rgb:" + file.string());
        std::ifstream in(file, std::ios::binary);
        rgb.assign(std::istreambuf_iterator<char>(in), {});
        return rgb.size() == (size_t)ScreenWidth * ScreenHeight * 3;
    }
    unsigned Colour(int x, int y) const
    {
        const unsigned char *p = &rgb[((size_t)y * ScreenWidth + x) * 3];
        return p[0] << 16 | p[1] << 8 | p[2];
    }
    int Brightness(int x, int y) const
    {
        unsigned c = Colour(x, y);
        return (int)((c >> 16) + (c >> 8 & 255) + (c & 255)) / 3;
    }
    // Pixels of a box that pass a test.
    template <class Test>
    int Count(const Box &box, Test test) const
    {
        int count = 0;
        for (int y = box.y; y < box.y + box.h; y++)
            for (int x = box.x; x < box.x + box.w; x++)
                count += test(x, y);
        return count;
    }
};


// A box of the dialog, on the screen.
static Box OnScreen(const Box &units, int left, int top, int baseX, int baseY)
{
    Box box = ToPixels(units, baseX, baseY);
    return {left + box.x, top + box.y, box.w, box.h};
}

// Where a slider's thumb stands, as a fraction of the slider's width: the
// thumb alone rises above the channel, so it is what breaks the face colour
// on a row just below the slider's top.
static double ThumbAt(const Screenshot &shot, const Box &slider, unsigned face)
{
    int y = slider.y + 3, first = -1, last = -1;
    for (int x = slider.x + 1; x < slider.x + slider.w - 1; x++)
        if (shot.Colour(x, y) != face) {
            first = first < 0 ? x : first;
            last = x;
        }
    return first < 0 ? -1 : ((first + last) / 2.0 - slider.x) / slider.w;
}

TEST_F(SettingsProgram, ShowsTheTemplateCentredAndEnterStoresWhatItShows)
{
    Store({200, 0, 0, 1}); // a speed beyond the slider's range lands at its end
    Window dialog = Open({"/c"});
    ASSERT_NE(dialog, 0u);
    std::string geometry = Output("xdotool getwindowgeometry --shell " + std::to_string(dialog));
    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(sscanf(strstr(geometry.c_str(), "X="), "X=%d Y=%d WIDTH=%d HEIGHT=%d", &left, &top, &width, &height), 4)
        << geometry;
    int baseX = Pixels(width, 4, DialogSize.w), baseY = Pixels(height, 8, DialogSize.h);
    EXPECT_EQ(width, Pixels(DialogSize.w, baseX, 4));
    EXPECT_EQ(height, Pixels(DialogSize.h, baseY, 8));
    EXPECT_EQ(left, (ScreenWidth - width) / 2);
    EXPECT_EQ(top, (ScreenHeight - height) / 2);

    // Photographed once the OK button's dark frame is drawn.
    Box ok = OnScreen(OkButton, left, top, baseX, baseY);
    Screenshot shot;
    for (int tries = 0; tries < 50; tries++) {
        ASSERT_TRUE(shot.Take(dir / "screen.rgb"));
        if (shot.Colour(ok.x, ok.y + ok.h / 2) == 0)
            break;
        usleep(100000);
    }
    Output("/usr/bin/convert -size 1024x768 -depth 8 rgb:" + (dir / "screen.rgb").string() + " "
           + (fs::temp_directory_path() / "vantrel-settings-dialog.png").string());

    // Everything drawn lies in the controls' boxes, and every control draws something.
    unsigned face = shot.Colour(left + 1, top + 1);
    std::vector<Box> controls;
    for (const Box &units : {OkButton, ReflectionsBox, ShowFpsBox, SpeedSlider, SpeedLabel, PulsesSlider, PulsesLabel})
        controls.push_back(OnScreen(units, left, top, baseX, baseY));
    int stray = shot.Count({left, top, width, height}, [&](int x, int y) {
        if (shot.Colour(x, y) == face)
            return false;
        for (const Box &box : controls)
            if (x >= box.x && x < box.x + box.w && y >= box.y && y < box.y + box.h)
                return false;
        return true;
    });
    EXPECT_EQ(stray, 0);
    for (const Box &box : controls)
        EXPECT_GT(shot.Count(box, [&](int x, int y) { return shot.Colour(x, y) != face; }), 10)
            << "control at " << box.x << "," << box.y;

    // The default button's dark frame and its label.
    EXPECT_EQ(shot.Colour(ok.x + ok.w - 1, ok.y + ok.h / 2), 0u);
    EXPECT_GT(shot.Count({ok.x + 3, ok.y + 3, ok.w - 6, ok.h - 6}, [&](int x, int y) { return shot.Brightness(x, y) < 100; }),
              5);

    // Check boxes: a white square at the left, with a mark in it only where the setting is on.
    for (auto [units, checked] : {std::pair{ReflectionsBox, false}, {ShowFpsBox, true}}) {
        Box box = OnScreen(units, left, top, baseX, baseY);
        Box square = {box.x, box.y, box.h, box.h};
        Box inside = {square.x + square.w, square.y + square.h, 0, 0}; // the white pixels' bounds
        shot.Count(square, [&](int x, int y) {
            if (shot.Colour(x, y) != 0xFFFFFF)
                return false;
            inside = {std::min(inside.x, x), std::min(inside.y, y), std::max(inside.w, x + 1), std::max(inside.h, y + 1)};
            return true;
        });
        inside.w -= inside.x, inside.h -= inside.y;
        EXPECT_GE(inside.w, 7);
        EXPECT_EQ(inside.w, inside.h);
        int mark = shot.Count(inside, [&](int x, int y) { return shot.Brightness(x, y) < 100; });
        EXPECT_EQ(mark > 10, checked) << mark;
        EXPECT_EQ(mark == 0, !checked) << mark;
    }

    // Sliders: a channel across, the speed thumb at the right end, the pulses thumb at the left.
    for (auto [units, at] : {std::pair{SpeedSlider, 1.0}, {PulsesSlider, 0.0}}) {
        Box slider = OnScreen(units, left, top, baseX, baseY);
        Box channel = {slider.x, slider.y + slider.h / 2 - 2, slider.w, 4};
        EXPECT_GT(shot.Count(channel, [&](int x, int y) { return shot.Brightness(x, y) < 60; }), slider.w * 7 / 10);
        EXPECT_NEAR(ThumbAt(shot, slider, face), at, 0.1);
    }

    Keys("Return");
    EXPECT_EQ(Result(), 1);
    EXPECT_EQ(Stored(), (std::vector<int>{100, 0, 0, 1}));
}

TEST_F(SettingsProgram, ArrowAndPageKeysMoveTheFocusedSlider)
{
    ASSERT_NE(Open({}), 0u); // no mode at all: the settings, on the first run with the defaults
    Keys("Tab Tab Tab Right Right Right Tab Next");
    Keys("Return");
    EXPECT_EQ(Result(), 1);
    EXPECT_EQ(Stored(), (std::vector<int>{13, 35, 1, 1}));
}

TEST_F(SettingsProgram, EscapeAfterChangesStoresNothing)
{
    Store({42, 7, 1, 0});
    std::string before = FileText();
    ASSERT_NE(Open({"-C"}), 0u);
    Keys("Tab space Tab Tab Right Tab Left");
    Keys("Escape");
    EXPECT_EQ(Result(), 0);
    EXPECT_EQ(FileText(), before);
}

TEST_F(SettingsProgram, TheCloseBoxCancelsAndTheOwnerHoldsTheDialog)
{
    Display *display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 200, 100, 0, 0, 0);
    XMapWindow(display, owner);
    XSync(display, False);

    Window dialog = Open({"/c:" + std::to_string(owner)});
    ASSERT_NE(dialog, 0u);
    std::string opened = FileText(); // the first run's defaults, stored as it opened
    Window holder = 0;
    XGetTransientForHint(display, dialog, &holder);
    EXPECT_EQ(holder, owner);

    Keys("Tab space");
    XEvent close = {};
    close.xclient.type = ClientMessage;
    close.xclient.window = dialog;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, dialog, False, NoEventMask, &close);
    XSync(display, False);
    EXPECT_EQ(Result(), 0);
    EXPECT_EQ(FileText(), opened);
    EXPECT_EQ(Stored(), (std::vector<int>{10, 15, 1, 1}));
    XCloseDisplay(display);
}
