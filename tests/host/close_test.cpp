#include <gtest/gtest.h>

#include "fake_win32.h"
#include "host/host.h"

// A running saver on the NT family, the cursor saved at (100, 100).
class CloseRules : public testing::Test {
protected:
    void SetUp() override { StartSaver(false, false); }
    static void MoveTo(LONG x, LONG y)
    {
        Fake.cursor = {x, y};
        Send(WM_MOUSEMOVE, 0, MAKELPARAM(1, 1)); // the message's own coordinates are not used
    }
};

TEST_F(CloseRules, WhatEachMessageDoesToAFullScreenSaverAndToAPreview)
{
    const std::tuple<int, UINT, WPARAM, LPARAM, int, int, LRESULT> cases[] = {
        {0, WM_KEYDOWN, 0, 0, 1, 0, PlatformAnswer},
        {0, WM_LBUTTONDOWN, 0, 0, 1, 0, PlatformAnswer},
        {0, WM_KEYUP, 0, 0, 0, 0, PlatformAnswer},
        {0, WM_ACTIVATEAPP, 0, 0, 1, 0, PlatformAnswer},
        {0, WM_POWER, PWR_CRITICALRESUME, 0, 1, 0, PlatformAnswer},
        {0, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0, 1, 0, PlatformAnswer},
        {0, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, PBTF_APMRESUMEFROMFAILURE, 0, 0, PlatformAnswer},
        {0, WM_POWERBROADCAST, PBT_APMBATTERYLOW, 0, 1, 0, PlatformAnswer}, // as every event not named above or below
        {0, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0, 1, 0, PlatformAnswer}, // the AC line: unknown to mains
        {0, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0, 0, 0, PlatformAnswer}, // and mains again
        {0, WM_CREATE, 0, 0, 0, 1, 0},
        {0, WM_SETCURSOR, 0, 0, 0, 1, 1},
        {0, WM_SHOWWINDOW, 1, 0, 0, 1, PlatformAnswer},
        {0, WM_PAINT, 0, 0, 0, 1, PlatformAnswer},
        {0, WM_SETTEXT, 0, (LPARAM) "new title", 0, 0, 0},
        {0, WM_CLOSE, 0, 0, 0, 0, PlatformAnswer}, // on the NT family straight to the platform
        {0, WM_SYSCOMMAND, SC_NEXTWINDOW, 0, 0, 0, 0},
        {0, WM_SYSCOMMAND, SC_SCREENSAVE, 0, 0, 0, 0},
        {0, WM_SYSCOMMAND, SC_CLOSE, 0, 0, 0, PlatformAnswer}, // which the platform turns into WM_CLOSE
        {1, WM_KEYDOWN, 0, 0, 0, 0, PlatformAnswer},
        {1, WM_LBUTTONDOWN, 0, 0, 0, 0, PlatformAnswer},
        {1, WM_ACTIVATEAPP, 0, 0, 0, 0, PlatformAnswer},
        {1, WM_CREATE, 0, 0, 0, 0, 0},
        {1, WM_PAINT, 0, 0, 0, 0, PlatformAnswer},
        {1, WM_SYSCOMMAND, SC_SCREENSAVE, 0, 0, 0, PlatformAnswer},
    };
    for (const auto &[preview, message, wParam, lParam, closes, hides, result] : cases) {
        PreviewMode = preview;
        Fake.posted.clear();
        int hidden = Fake.hiddenCursor;
        EXPECT_EQ(Send(message, wParam, lParam), result) << message << ", " << wParam;
        EXPECT_EQ(CloseRequests(), closes) << message << ", " << wParam;
        EXPECT_EQ(Fake.hiddenCursor - hidden, hides) << message << ", " << wParam;
    }
}

TEST_F(CloseRules, MouseMovesCloseBeyondFourPixelsFromWhereTheLastCloseWasAsked)
{
    MoveTo(103, 101); // 3 + 1
    MoveTo(104, 100); // 4 + 0, however it was reached
    EXPECT_EQ(CloseRequests(), 0);
    MoveTo(103, 102); // 3 + 2
    EXPECT_EQ(CloseRequests(), 1);
}

TEST_F(CloseRules, OnceACloseIsApprovedNoFrameIsDrawnAndInputGoesToThePlatform)
{
    CloseApproved = 1;
    EXPECT_EQ(Send(WM_TIMER), 0);
    EXPECT_EQ(Fake.frames, 0);
    EXPECT_EQ(Send(WM_KEYDOWN), PlatformAnswer);
    EXPECT_EQ(CloseRequests(), 0);
}
