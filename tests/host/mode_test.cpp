#include <gtest/gtest.h>

#include "fake_win32.h"
#include "host/host.h"

class Modes : public testing::Test {
protected:
    void SetUp() override
    {
        ResetFake();
        Fake.windows = {1234, 0x77};
    }
    // Runs a tail and tells which mode started: "screen", "preview", "settings", "password" or "none".
    static std::string Run(const char *tail, int *result = nullptr)
    {
        std::string copy = tail;
        int r = RunSaverMode((HINSTANCE)0x400000, copy.data());
        if (result)
            *result = r;
        if (Fake.dialogOwner != (HWND)-1)
            return "settings";
        if (Fake.passwordOwner != (HWND)-1)
            return "password";
        if (Fake.createdTitle == "Preview")
            return "preview";
        if (Fake.createdTitle == "Screen Saver")
            return "screen";
        return "none";
    }
};

TEST_F(Modes, LettersChooseTheMode)
{
    struct Case {
        const char *tail;
        std::string mode;
        int result;
    } cases[] = {
        {"", "settings", 1},         {"  -/ /-", "settings", 1}, {"/s", "screen", 0},
        {"-S", "screen", 0},         {"s", "screen", 0},         {"  /s anything", "screen", 0},
        {"/p 1234", "preview", 0},   {"/l 1234", "preview", 0},  {"/P1234", "preview", 0},
        {"/p:1234", "none", -1},     {"/p 99", "none", -1},      {"/p", "none", -1},
        {"/c:1234", "settings", 1},  {"/c", "settings", 1},      {"\t/s", "none", -1},
        {"/x", "none", -1},          {"/a 1234", "none", -1},    {"/\xe9", "none", -1},
    };
    for (const Case &c : cases) {
        SetUp();
        int result = 99;
        EXPECT_EQ(Run(c.tail, &result), c.mode) << '"' << c.tail << '"';
        EXPECT_EQ(result, c.result) << '"' << c.tail << '"';
    }
}

TEST_F(Modes, WindowNumbersNameTheParentOrOwner)
{
    Run("/p 1234");
    EXPECT_EQ(Fake.createdParent, (HWND)1234);
    EXPECT_EQ(Fake.createdStyle, (DWORD)(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN));

    SetUp();
    Run("/c:1234");
    EXPECT_EQ(Fake.dialogOwner, (HWND)1234);
    for (const char *tail : {"/c 1234", "/c", "/c:99"}) { // spaces before the number are not skipped
        SetUp();
        Run(tail);
        EXPECT_EQ(Fake.dialogOwner, (HWND)0x77) << tail;
    }
    SetUp();
    Run("");
    EXPECT_EQ(Fake.dialogOwner, nullptr);
}

TEST_F(Modes, WindowNumbersWrapAt32Bits)
{
    EXPECT_EQ(ParseWindowNumber("4294967295"), 4294967295u);
    EXPECT_EQ(ParseWindowNumber("4294968530"), 1234u); // 2^32 + 1234
    EXPECT_EQ(ParseWindowNumber("12:34"), 12u);
    EXPECT_EQ(ParseWindowNumber("-5"), 0u);
    EXPECT_EQ(ParseWindowNumber("7\xb9"), 7u);
    Run("/p 4294968530");
    EXPECT_EQ(Fake.createdParent, (HWND)1234);
}

TEST_F(Modes, PasswordChangeOnlyOnTheWin9xFamily)
{
    int result;
    Fake.platformId = VER_PLATFORM_WIN32_WINDOWS;
    EXPECT_EQ(Run("/a 1234", &result), "password");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Fake.passwordOwner, (HWND)1234);
    EXPECT_EQ(Fake.calls.back(), "free"); // MPR.DLL released after use

    SetUp();
    Fake.platformId = VER_PLATFORM_WIN32_WINDOWS;
    Run("/a", &result);
    EXPECT_EQ(Fake.passwordOwner, (HWND)0x77);
}

TEST_F(Modes, XScreenSaverOptionsDrawIntoTheGivenWindow)
{
    Fake.windows.insert(0x2a00007);
    Run("-window-id 0x2a00007");
    EXPECT_EQ(Fake.createdParent, (HWND)0x2a00007);
    SetUp();
    Fake.windows.insert(0x2a00007);
    Run("-window-id 44040199");
    EXPECT_EQ(Fake.createdParent, (HWND)0x2a00007);
    SetUp();
    Fake.windows.insert(1);
    Run("-root");
    EXPECT_EQ(Fake.createdTitle, "Preview");
    for (const char *tail : {"-window-id 0x99", "-window-id", "-window-id 12x", "-rooted"}) {
        SetUp();
        int result;
        EXPECT_EQ(Run(tail, &result), "none") << tail;
        EXPECT_EQ(result, -1) << tail;
    }
}

TEST_F(Modes, StartupSkipsTheProgramName)
{
    struct Case {
        const char *line;
        std::string mode;
    } cases[] = {
        {"\"C:\\Program Files\\vantrel.scr\" /s", "screen"},
        {"vantrel.scr /p 1234", "preview"},
        {"vantrel.scr\t \t/s", "screen"},
        {"\"unclosed quote /s", "settings"},
        {"\xc3\xa9vantrel /s", "screen"},
        {"vantrel.scr", "settings"},
    };
    for (const Case &c : cases) {
        SetUp();
        Fake.commandLine = c.line;
        try {
            SaverStartup();
            ADD_FAILURE() << "returned";
        } catch (const FakeExit &) {
        }
        std::string mode = Fake.dialogOwner != (HWND)-1 ? "settings"
                           : Fake.createdTitle == "Preview" ? "preview"
                           : Fake.createdTitle == "Screen Saver" ? "screen" : "none";
        EXPECT_EQ(mode, c.mode) << c.line;
    }
    SetUp();
    Fake.commandLine = "vantrel /x";
    try {
        SaverStartup();
    } catch (const FakeExit &exit) {
        EXPECT_EQ(exit.code, 0xFFFFFFFFu);
    }
}

TEST_F(Modes, ASecondFullScreenStartOnlyBringsTheFirstForward)
{
    Fake.runningSaver = (HWND)0x55;
    Fake.windows.insert(0x55);
    int result;
    EXPECT_EQ(Run("/s", &result), "none");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Fake.calls, std::vector<std::string>{"foreground 85"});
}

TEST_F(Modes, FullScreenRecordsThePowerStatePreviewDoesNot)
{
    Fake.powerStatus = 0;
    Run("/s");
    EXPECT_EQ(AcLineStatus, 0);
    SetUp();
    Fake.powerStatus = -1;
    Run("/s");
    EXPECT_EQ(AcLineStatus, 255);
    SetUp();
    Fake.powerStatus = 1;
    Run("/p 1234");
    EXPECT_EQ(AcLineStatus, 255);
    EXPECT_EQ(PreviewMode, 1);
}
