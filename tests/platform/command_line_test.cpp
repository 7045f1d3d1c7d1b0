// The Linux command line against an Xvfb of its own: Windows forms pass as they are; XScreenSaver's and the
// lockers' become a preview in their window, with the options as this run's settings; bad values are refused
// with one line before anything is set or started.
#include "tests/support/xvfb.h"

#include <map>
#include <vector>

#include <X11/Xlib.h>

#include "platform/command_line.h"
#include "platform/registry.h"

// This run's settings as the command line set them, by registry value.
static std::map<std::string, int> Overridden;

void OverrideRegistryValue(HKEY root, LPCSTR subkey, LPCSTR name, DWORD type, const BYTE *data, DWORD size)
{
    EXPECT_EQ(std::tuple(root, std::string(subkey), type, size),
              std::tuple(HKEY_CURRENT_USER, std::string("SOFTWARE\\Vantrel Screen Saver"), (DWORD)REG_BINARY, 1u));
    Overridden[name] = data[0];
}

struct Outcome {
    std::string tail; // what the program runs with, or "exit N" and what was said
    std::map<std::string, int> settings;
};

static Outcome Translate(std::vector<std::string> words)
{
    std::vector<char *> argv = {(char *)"vantrel"};
    for (std::string &word : words)
        argv.push_back(word.data());
    Overridden.clear();
    testing::internal::CaptureStdout(), testing::internal::CaptureStderr();
    std::string tail;
    int exitCode = -7;
    bool run = TranslateCommandLine((int)argv.size(), argv.data(), &tail, &exitCode);
    std::string said = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    return {run ? tail : "exit " + std::to_string(exitCode) + ": " + said, Overridden};
}

static std::string Preview(Window window) { return "/p " + std::to_string(window); }

TEST(LinuxCommandLine, WindowsFormsPassXScreenSaversDrawIntoItsWindowAndALockersWindowServesNoArguments)
{
    Display *display = XOpenDisplay(nullptr);
    Window root = DefaultRootWindow(display), locker = XCreateSimpleWindow(display, root, 0, 0, 64, 48, 0, 0, 0);
    XSync(display, False);
    char hex[32];
    snprintf(hex, sizeof hex, "0x%lx", locker);
    struct Case {
        std::string xscreensaverWindow; // XSCREENSAVER_WINDOW, unset when empty
        std::vector<std::string> words;
        std::string tail;
    } cases[] = {
        {"", {}, ""}, // the settings dialog
        {"", {"/p", "1234"}, "/p 1234"},
        {"", {"-S", "-root"}, "-S -root"}, // a Windows letter first: all of it is the host's
        {"", {"-root"}, Preview(root)},
        {"", {"-window-id", "0x4D2"}, "/p 1234"},
        {"", {"-install", "-visual", "default", "-window-id", "01234"}, "/p 1234"},
        {"", {"-no-fps"}, "/s"}, // options alone: full screen
        {hex, {}, Preview(locker)},
        {hex, {"-root", "-speed", "3"}, Preview(locker)},
        {hex, {"-fps"}, Preview(locker)},
        {hex, {"-window-id", "7"}, "/p 7"},
        {hex, {"/c"}, "/c"},
        {std::to_string(locker), {}, Preview(locker)}, // decimal, as some lockers write it
        {"0x1FFFFFF0", {}, ""}, // names no window
        {"0x1FFFFFF0", {"-root"}, Preview(root)},
    };
    for (const Case &c : cases) {
        if (c.xscreensaverWindow.empty())
            unsetenv("XSCREENSAVER_WINDOW");
        else
            setenv("XSCREENSAVER_WINDOW", c.xscreensaverWindow.c_str(), 1);
        EXPECT_EQ(Translate(c.words).tail, c.tail) << testing::PrintToString(c.words) << " in " << c.xscreensaverWindow;
    }
    unsetenv("XSCREENSAVER_WINDOW");
    XCloseDisplay(display);
}

TEST(LinuxCommandLine, OptionsSetThisRunsSettingsTheLastOneForAValueWinning)
{
    using Settings = std::map<std::string, int>;
    EXPECT_EQ(Translate({"-window-id", "5", "-speed", "0", "-pulses", "100", "-no-reflections", "-fps"}).settings,
              (Settings{{"Speed", 0}, {"Pulses", 100}, {"Reflections", 0}, {"Showfps", 1}}));
    EXPECT_EQ(Translate({"-reflections", "-no-fps", "-speed", "7", "-root", "-speed", "100"}).settings,
              (Settings{{"Speed", 100}, {"Reflections", 1}, {"Showfps", 0}}));
    EXPECT_EQ(Translate({"/s", "-speed", "5"}).settings, Settings{}); // not XScreenSaver's form
}

TEST(LinuxCommandLine, BadValuesAreRefusedWithOneLineNamingTheOptionAndNothingIsSet)
{
    const std::string speed = "exit 255: vantrel: -speed takes a whole number from 0 to 100\n",
                      windowId = "exit 255: vantrel: -window-id takes an X window id, decimal or hexadecimal after 0x\n";
    std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-speed", "101"}, speed},
        {{"-speed", "-1"}, speed},
        {{"-speed", "1e2"}, speed},
        {{"-pulses", "3", "-speed"}, speed}, // the valid option before it is not set either
        {{"-pulses", "99999999999999999999999"}, "exit 255: vantrel: -pulses takes a whole number from 0 to 100\n"},
        {{"-window-id", "0x"}, windowId},
        {{"-window-id", "12x"}, windowId},
        {{"-window-id", "0x100000000"}, windowId},
        {{"-visual"}, "exit 255: vantrel: -visual takes a visual's name or number\n"},
        {{"-root", "/s"}, "exit 255: vantrel: unknown option /s (vantrel --help lists them)\n"},
    };
    for (const auto &[words, said] : cases) {
        Outcome outcome = Translate(words);
        EXPECT_EQ(outcome.tail, said) << testing::PrintToString(words);
        EXPECT_TRUE(outcome.settings.empty()) << testing::PrintToString(words);
    }
}

TEST(LinuxCommandLine, HelpAndVersionAnswerOnStandardOutputAndStartNothing)
{
    std::string help = Translate({"-root", "--help", "-speed", "500"}).tail;
    EXPECT_EQ(help.rfind("exit 0: Usage: vantrel", 0), 0u) << help;
    for (const char *named : {"/s", "/p ID", "/c", "-root", "-window-id ID", "XSCREENSAVER_WINDOW", "-speed N",
                              "-pulses N", "-no-reflections", "-no-fps", "-visual V", "registry.reg"})
        EXPECT_NE(help.find(named), std::string::npos) << named;
    EXPECT_EQ(Translate({"--version"}).tail, "exit 0: vantrel " VANTREL_VERSION "\n");
}
