#include <gtest/gtest.h>

#include "fake_win32.h"
#include "host/host.h"

static HWND const Foreground = (HWND)0x77;
static const int NT = VER_PLATFORM_WIN32_NT, Win98 = VER_PLATFORM_WIN32_WINDOWS;

// The mode is told by what it started: the dialog template, the password provider or the saver window's title.
TEST(Modes, TheFirstLetterAfterTheProgramNameChoosesTheModeAndTheNumberItsWindow)
{
    const std::tuple<const char *, int, std::string, HWND, UINT> cases[] = {
        {"vantrel.scr", NT, "dialog 2003", nullptr, 1},
        {"\"C:\\Program Files\\vantrel.scr\" -/ /-", NT, "dialog 2003", nullptr, 1},
        {"\"unclosed quote /s", NT, "dialog 2003", nullptr, 1},
        {"vantrel.scr\t /s anything", NT, "Screen Saver", nullptr, 7}, // the quit message's code
        {"\xc3\xa9vantrel -S", NT, "Screen Saver", nullptr, 7},
        {"v /p 1234", NT, "Preview", (HWND)1234, 7},
        {"v /l 1234", NT, "Preview", (HWND)1234, 7},
        {"v /p 4294968530", NT, "Preview", (HWND)1234, 7}, // wraps at 2^32
        {"v /p:1234", NT, "", nullptr, 0xFFFFFFFF},
        {"v /p 99", NT, "", nullptr, 0xFFFFFFFF}, // no window
        {"v /c:1234", NT, "dialog 2003", (HWND)1234, 1},
        {"v /c 1234", NT, "dialog 2003", Foreground, 1}, // no spaces before a settings number
        {"v /a 1234", NT, "", nullptr, 0xFFFFFFFF},
        {"v /a 1234", Win98, "SCRSAVE", (HWND)1234, 0},
        {"v /a", Win98, "SCRSAVE", Foreground, 0},
    };
    for (const auto &[line, platform, mode, window, exit] : cases) {
        ResetFake();
        Fake.platformId = platform;
        Fake.commandLine = line;
        SaverStartup();
        EXPECT_EQ(Fake.exitCode, exit) << line;
        EXPECT_EQ(Fake.started, mode) << line;
        EXPECT_EQ(Fake.startedWith, window) << line;
        EXPECT_EQ(Fake.libraries, 0) << line << ": every library released";
    }
}
