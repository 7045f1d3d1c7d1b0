#include <gtest/gtest.h>

#include "fake_win32.h"
#include "host/host.h"

// A running full-screen saver with the cursor saved at (100, 100).
class CloseRules : public testing::Test {
protected:
    void SetUp() override { StartSaver(false, false); }
    static int Closes() { return Fake.CountPosted(WM_CLOSE); }
    static void MoveTo(LONG x, LONG y)
    {
        Fake.cursor = {x, y};
        Send(WM_MOUSEMOVE, 0, MAKELPARAM(1, 1)); // the message's own coordinates are not used
    }
};

TEST_F(CloseRules, InputDeactivationAndPowerEventsRequestAClose)
{
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool closes;
    } cases[] = {
        {WM_KEYDOWN, 0, 0, true},          {WM_SYSKEYDOWN, 0, 0, true},       {WM_LBUTTONDOWN, 0, 0, true},
        {WM_RBUTTONDOWN, 0, 0, true},      {WM_MBUTTONDOWN, 0, 0, true},      {WM_KEYUP, 0, 0, false},
        {WM_SYSKEYUP, 0, 0, false},        {WM_CHAR, 'a', 0, false},          {WM_LBUTTONUP, 0, 0, false},
        {WM_RBUTTONUP, 0, 0, false},       {WM_MBUTTONUP, 0, 0, false},       {WM_ACTIVATEAPP, 1, 0, false},
        {WM_ACTIVATEAPP, 0, 0, true},      {WM_POWER, 2, 0, false},           {WM_POWER, PWR_CRITICALRESUME, 0, true},
        {WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0, true},
        {WM_POWERBROADCAST, PBT_APMSUSPEND, 0, true},
        {WM_POWERBROADCAST, PBT_APMSTANDBY, 0, true},
        {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0, true},
        {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, PBTF_APMRESUMEFROMFAILURE, false},
        {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, true},
        {WM_POWERBROADCAST, PBT_APMRESUMECRITICAL, PBTF_APMRESUMEFROMFAILURE, false},
        {WM_POWERBROADCAST, PBT_APMBATTERYLOW, 0, true},
        {WM_POWERBROADCAST, PBT_APMOEMEVENT, 0, true},
        {WM_POWERBROADCAST, 0x99, 0, true},
    };
    for (const Case &c : cases) {
        Fake.posted.clear();
        Send(c.message, c.wParam, c.lParam);
        EXPECT_EQ(Closes(), c.closes ? 1 : 0) << "message " << c.message << " wParam " << c.wParam;
        for (const FakeMessage &m : Fake.posted) // a close request is always the same message
            EXPECT_TRUE(m.window == Saver && m.wParam == 0 && m.lParam == 0);
    }
}

TEST_F(CloseRules, MouseMovesCountFromTheSavedPositionBeyondFourPixels)
{
    MoveTo(103, 101); // 3 + 1
    MoveTo(97, 99);
    MoveTo(102, 100);
    MoveTo(104, 100); // small moves add up, since the saved position stays
    EXPECT_EQ(Closes(), 0);
    MoveTo(103, 102); // 3 + 2
    EXPECT_EQ(Closes(), 1);
    EXPECT_EQ(SavedCursorPos.x, 103);
    EXPECT_EQ(SavedCursorPos.y, 102);
}

TEST_F(CloseRules, SystemCommandsThatSwitchAwayAreRefused)
{
    for (WPARAM command : {SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE})
        EXPECT_EQ(Send(WM_SYSCOMMAND, command), 0);
    EXPECT_TRUE(Fake.defaulted.empty());
    Send(WM_SYSCOMMAND, SC_CLOSE);
    ASSERT_EQ(Fake.defaulted.size(), 1u); // the platform turns it into WM_CLOSE
    EXPECT_EQ(Fake.defaulted[0].wParam, (WPARAM)SC_CLOSE);
}

TEST_F(CloseRules, OnlyAChangeOfTheAcLineCloses)
{
    AcLineStatus = 1;
    Fake.powerStatus = 1;
    Send(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE);
    EXPECT_EQ(Closes(), 0);
    Fake.powerStatus = 0;
    Send(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE);
    EXPECT_EQ(Closes(), 1);
    EXPECT_EQ(AcLineStatus, 0);
    Fake.powerStatus = -1; // unknown now: a change from 0
    Send(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE);
    EXPECT_EQ(Closes(), 2);
    EXPECT_EQ(AcLineStatus, 255);
}

TEST_F(CloseRules, CursorStaysHiddenAndTheTitleStays)
{
    int hidden = Fake.hiddenCursor;
    EXPECT_EQ(Send(WM_SETCURSOR), 1);
    Send(WM_SHOWWINDOW, 1);
    Send(WM_PAINT);
    EXPECT_EQ(Fake.hiddenCursor, hidden + 3);
    Fake.defaulted.clear();
    EXPECT_EQ(Send(WM_SETTEXT, 0, (LPARAM) "new"), 0);
    EXPECT_TRUE(Fake.defaulted.empty());
}

TEST_F(CloseRules, AnApprovedCloseStopsFramesAndInputRules)
{
    Send(WM_CLOSE); // NT family: straight to the platform, which destroys the window
    ASSERT_EQ(Fake.defaulted.size(), 1u);
    EXPECT_EQ(Fake.defaulted[0].message, (UINT)WM_CLOSE);

    CloseApproved = 1;
    Fake.calls.clear();
    EXPECT_EQ(Send(WM_TIMER), 0);
    EXPECT_TRUE(Fake.calls.empty()); // no frame
    Send(WM_KEYDOWN);
    EXPECT_EQ(Closes(), 0);
    Send(WM_DESTROY);
    EXPECT_EQ(Fake.CountPosted(WM_QUIT), 1);
}

TEST_F(CloseRules, ThePreviewLeavesInputAlone)
{
    PreviewMode = 1;
    Fake.windows = {0x4321};
    int hidden = Fake.hiddenCursor;
    for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_SETCURSOR, WM_ACTIVATEAPP})
        Send(message);
    MoveTo(500, 500);
    EXPECT_EQ(Closes(), 0);
    EXPECT_EQ(Fake.hiddenCursor, hidden);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE), 0);
    EXPECT_EQ(Fake.defaulted.back().wParam, (WPARAM)SC_SCREENSAVE); // passed on, not refused

    EXPECT_EQ(Send(WM_CONTEXTMENU, 0, 77), 1);
    ASSERT_EQ(Fake.posted.size(), 1u);
    EXPECT_EQ(Fake.posted[0].window, (HWND)0x4321);
    EXPECT_EQ(Fake.posted[0].wParam, (WPARAM)0x4321);
    EXPECT_EQ(Fake.posted[0].lParam, 77);
}
