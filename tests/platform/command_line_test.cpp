// The Linux command line against an Xvfb of its own: Windows forms pass as they are; XScreenSaver's and the
// lockers' become a preview in their window; bad values are refused with one line before any setting is made.
// (What the options do, and --help and --version, the end-to-end tests ask the real program.)
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

// What the program runs with, or "exit N: " and what was said; XSCREENSAVER_WINDOW is unset when empty.
static std::string Translate(std::vector<std::string> words, const std::string &xscreensaverWindow = "")
{
    setenv("XSCREENSAVER_WINDOW", xscreensaverWindow.c_str(), 1);
    if (xscreensaverWindow.empty())
        unsetenv("XSCREENSAVER_WINDOW");
    std::vector<char *> argv = {(char *)"vantrel"};
    for (std::string &word : words)
        argv.push_back(word.data());
    Overridden.clear();
    testing::internal::CaptureStderr();
    std::string tail;
    int exitCode = -7;
    bool run = TranslateCommandLine((int)argv.size(), argv.data(), &tail, &exitCode);
    std::string said = testing::internal::GetCapturedStderr();
    return run ? tail : "exit " + std::to_string(exitCode) + ": " + said;
}

TEST(LinuxCommandLine, WindowsFormsPassXScreenSaversDrawIntoItsWindowAndALockersWindowServesNoArguments)
{
    Display *display = XOpenDisplay(nullptr);
    Window root = DefaultRootWindow(display), locker = XCreateSimpleWindow(display, root, 0, 0, 64, 48, 0, 0, 0);
    XSync(display, False);
    char hex[32];
    snprintf(hex, sizeof hex, "0x%lx", locker);
    const std::string inRoot = "/p " + std::to_string(root), inLocker = "/p " + std::to_string(locker);
    const std::tuple<std::string, std::vector<std::string>, std::string> cases[] = { // the variable, words, tail
        {"", {}, ""}, {"", {"-S", "-root"}, "-S -root"}, // the settings dialog; a Windows form is all the host's
        {"", {"-root"}, inRoot}, {"", {"-no-fps"}, "/s"}, // options alone: full screen
        {"", {"-install", "-visual", "default", "-window-id", "0x4D2"}, "/p 1234"},
        {hex, {}, inLocker}, {hex, {"-root", "-speed", "3"}, inLocker}, {hex, {"-window-id", "01234"}, "/p 1234"},
        {std::to_string(locker), {}, inLocker}, // decimal, as some lockers write it
        {std::to_string(locker) + "x", {}, ""}, {"0x1FFFFFF0", {"-root"}, inRoot}}; // names no window
    for (const auto &[variable, words, tail] : cases)
        EXPECT_EQ(Translate(words, variable), tail) << testing::PrintToString(words) << " in " << variable;
    XCloseDisplay(display);
}

TEST(LinuxCommandLine, BadValuesAreRefusedWithOneLineNamingTheOptionAndNothingIsSet)
{
    const std::string speed = "exit 255: vantrel: -speed takes a whole number from 0 to 100\n";
    const std::string id = "exit 255: vantrel: -window-id takes an X window id, decimal or hexadecimal after 0x\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-speed", "101"}, speed}, {{"-speed", "-1"}, speed}, {{"-pulses", "3", "-speed"}, speed}, // nothing set
        {{"-pulses", "99999999999999999999999"}, "exit 255: vantrel: -pulses takes a whole number from 0 to 100\n"},
        {{"-window-id", "0x"}, id}, {{"-window-id", "12x"}, id}, {{"-window-id", "0x100000000"}, id},
        {{"-visual"}, "exit 255: vantrel: -visual takes a visual's name or number\n"},
        {{"-root", "/s"}, "exit 255: vantrel: unknown option /s (vantrel --help lists them)\n"}};
    for (const auto &[words, said] : cases) {
        EXPECT_EQ(Translate(words), said) << testing::PrintToString(words);
        EXPECT_TRUE(Overridden.empty()) << testing::PrintToString(words);
    }
}
