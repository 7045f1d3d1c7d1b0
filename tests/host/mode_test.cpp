#include <gtest/gtest.h>

#include "fake_win32.h"
#include "host/host.h"

static HWND const Foreground = (HWND)0x77, Unset = (HWND)-1;

// What a run started: the mode, the window it was given (parent or owner) and the result.
struct Started {
    std::string mode;
    HWND window;
    int result;
};

static Started Observe(int result)
{
    if (Fake.dialogOwner != Unset)
        return {"settings", Fake.dialogOwner, result};
    if (Fake.passwordOwner != Unset)
        return {"password", Fake.passwordOwner, result};
    if (!Fake.createdTitle.empty())
        return {Fake.createdTitle == "Preview" ? "preview" : "screen", Fake.createdParent, result};
    return {"none", nullptr, result};
}

static Started RunTail(const char *tail, int platform = VER_PLATFORM_WIN32_NT)
{
    ResetFake();
    Fake.windows = {1234, 0x77};
    Fake.platformId = platform;
    std::string copy = tail;
    return Observe(RunSaverMode((HINSTANCE)0x400000, copy.data()));
}

TEST(Modes, TheFirstLetterChoosesTheModeAndTheNumberItsWindow)
{
    struct Case {
        const char *tail;
        std::string mode;
        HWND window;
        int result;
    } cases[] = {
        {"", "settings", nullptr, 1},          {"  -/ /-", "settings", nullptr, 1},
        {"/s", "screen", nullptr, 0},          {"-S", "screen", nullptr, 0},
        {"s", "screen", nullptr, 0},           {"  /s anything", "screen", nullptr, 0},
        {"/p 1234", "preview", (HWND)1234, 0}, {"/l 1234", "preview", (HWND)1234, 0},
        {"/P1234", "preview", (HWND)1234, 0},  {"/p 4294968530", "preview", (HWND)1234, 0}, // wraps at 2^32
        {"/p:1234", "none", nullptr, -1},      {"/p 99", "none", nullptr, -1},
        {"/p", "none", nullptr, -1},           {"/c:1234", "settings", (HWND)1234, 1},
        {"/c 1234", "settings", Foreground, 1}, // no spaces before a settings number
        {"/c", "settings", Foreground, 1},     {"/c:99", "settings", Foreground, 1},
        {"\t/s", "none", nullptr, -1},         {"/x", "none", nullptr, -1},
        {"/a 1234", "none", nullptr, -1},      {"/\xe9", "none", nullptr, -1},
        {"-root", "none", nullptr, -1},        {"-window-id 1234", "none", nullptr, -1}, // Linux's alone
    };
    for (const Case &c : cases) {
        Started started = RunTail(c.tail);
        EXPECT_EQ(started.mode, c.mode) << '"' << c.tail << '"';
        EXPECT_EQ(started.window, c.window) << '"' << c.tail << '"';
        EXPECT_EQ(started.result, c.result) << '"' << c.tail << '"';
    }
    RunTail("/p 1234");
    EXPECT_EQ(Fake.createdStyle, (DWORD)(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN));
}

TEST(Modes, WindowNumbersStopAtTheFirstNonDigit)
{
    EXPECT_EQ(ParseWindowNumber("4294967295"), 4294967295u);
    EXPECT_EQ(ParseWindowNumber("12:34"), 12u);
    EXPECT_EQ(ParseWindowNumber("-5"), 0u);
    EXPECT_EQ(ParseWindowNumber("7\xb9"), 7u);
}

TEST(Modes, PasswordChangeOnlyOnTheWin9xFamily)
{
    Started started = RunTail("/a 1234", VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(started.mode, "password");
    EXPECT_EQ(started.window, (HWND)1234);
    EXPECT_EQ(started.result, 0);
    EXPECT_EQ(Fake.calls.back(), "free"); // MPR.DLL released after use
    EXPECT_EQ(RunTail("/a", VER_PLATFORM_WIN32_WINDOWS).window, Foreground);
}

TEST(Modes, StartupSkipsTheProgramName)
{
    struct Case {
        const char *line;
        std::string mode;
        UINT exit;
    } cases[] = {
        {"\"C:\\Program Files\\vantrel.scr\" /s", "screen", 0}, {"vantrel.scr /p 1234", "preview", 0},
        {"vantrel.scr\t \t/s", "screen", 0},                     {"\"unclosed quote /s", "settings", 1},
        {"\xc3\xa9vantrel /s", "screen", 0},                     {"vantrel.scr", "settings", 1},
        {"vantrel /x", "none", 0xFFFFFFFF},
    };
    for (const Case &c : cases) {
        ResetFake();
        Fake.windows = {1234};
        Fake.commandLine = c.line;
        UINT exit = 99;
        try {
            SaverStartup();
        } catch (const FakeExit &e) {
            exit = e.code;
        }
        EXPECT_EQ(Observe(0).mode, c.mode) << c.line;
        EXPECT_EQ(exit, c.exit) << c.line;
    }
}

TEST(Modes, ASecondFullScreenStartOnlyBringsTheFirstForward)
{
    ResetFake();
    Fake.runningSaver = (HWND)0x55;
    Fake.windows = {0x55};
    std::string tail = "/s";
    EXPECT_EQ(RunSaverMode(nullptr, tail.data()), 0);
    EXPECT_EQ(Fake.calls, std::vector<std::string>{"foreground 85"});
}

TEST(Modes, ASaverWindowEndsWithItsQuitCodeOrMinusOneWhenItCannotBeMade)
{
    for (const char *tail : {"/s", "/p 1234"}) {
        for (bool fails : {false, true}) {
            ResetFake();
            Fake.windows = {1234};
            Fake.creationFails = fails;
            Fake.quitCode = 7;
            std::string copy = tail;
            EXPECT_EQ(RunSaverMode(nullptr, copy.data()), fails ? -1 : 7) << tail;
        }
    }
}

TEST(Modes, FullScreenRecordsThePowerStatePreviewDoesNot)
{
    for (auto [tail, power, want] : {std::tuple{"/s", 0, 0}, {"/s", -1, 255}, {"/p 1234", 1, 255}}) {
        ResetFake();
        Fake.windows = {1234};
        Fake.powerStatus = power;
        std::string copy = tail;
        RunSaverMode(nullptr, copy.data());
        EXPECT_EQ(AcLineStatus, want) << tail << " power " << power;
    }
    EXPECT_EQ(PreviewMode, 1);
}
