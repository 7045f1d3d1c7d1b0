#include <gtest/gtest.h>

#include "fake_win32.h"
#include "host/host.h"

// A full-screen saver on a pretended Windows 98 whose desktop asks for a password.
class PasswordFlow : public testing::Test {
protected:
    void SetUp() override
    {
        StartSaver(true, true);
        AutoPlayQueryMessage = 0xC123;
    }
};

TEST_F(PasswordFlow, LoadingTellsThePlatformASaverRuns)
{
    ASSERT_NE(PasswordVerifier, nullptr);
    EXPECT_EQ(Fake.screenSaverRunning, 1);
    UnloadPasswordVerifier();
    EXPECT_EQ(PasswordVerifier, nullptr);
    EXPECT_EQ(Fake.screenSaverRunning, 0);
}

TEST_F(PasswordFlow, AWrongPasswordKeepsTheSaverAndTheNextRequestsAreQuiet)
{
    Fake.verifierAnswers = {FALSE, TRUE};
    Fake.cursor = {300, 300};
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_EQ(Fake.prompts, 1);
    EXPECT_FALSE(ClosedByPlatform());
    EXPECT_EQ(SavedCursorPos.x, 300); // movement is measured from where the prompt left it

    Fake.tick += 199; // within 200 ms of the prompt: refused without asking
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_EQ(Fake.prompts, 1);

    Fake.tick += 1;
    Send(WM_CLOSE);
    EXPECT_EQ(Fake.prompts, 2);
    EXPECT_TRUE(ClosedByPlatform());
    EXPECT_EQ(CloseApproved, 1);
}

TEST_F(PasswordFlow, TwoQueuedClosesGiveOnePrompt)
{
    // The prompt's own loop delivers the second close while the first waits.
    static bool nested;
    nested = false;
    Fake.verifierAnswers = {FALSE};
    Fake.windowProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_APP && !nested) {
            nested = true;
            EXPECT_EQ(VerifyInProgress, 1);
            SaverOuterProc(w, WM_KEYDOWN, 0, 0); // input requests no close meanwhile
            EXPECT_EQ(Fake.CountPosted(WM_CLOSE), 0);
            EXPECT_EQ(SaverOuterProc(w, WM_CLOSE, 0, 0), 0);
        }
        return SaverOuterProc(w, m, wp, lp);
    };
    Send(WM_CLOSE);
    EXPECT_EQ(Fake.prompts, 1);
    EXPECT_EQ(VerifyInProgress, 0);
    EXPECT_FALSE(ClosedByPlatform());
}

TEST_F(PasswordFlow, PendingFramesAreDroppedBeforeThePrompt)
{
    for (int i = 0; i < 3; i++)
        Fake.posted.push_back({Saver, WM_TIMER, 1, 0});
    Fake.posted.push_back({Saver, WM_KEYDOWN, 0, 0});
    Fake.verifierAnswers = {TRUE};
    Send(WM_CLOSE);
    EXPECT_EQ(Fake.CountPosted(WM_TIMER), 1); // at most two are removed
    EXPECT_EQ(Fake.CountPosted(WM_KEYDOWN), 1);
    Fake.calls.clear();
    EXPECT_EQ(Send(WM_TIMER, 1, 0), 0); // swallowed once approved
    EXPECT_TRUE(Fake.calls.empty());
}

TEST_F(PasswordFlow, AutoPlayIsRefusedWhileAPasswordGuardsTheDesktop)
{
    EXPECT_EQ(Send(0xC123, 0, 0), 1);
    EXPECT_EQ(Fake.CountPosted(WM_CLOSE), 1);
    UnloadPasswordVerifier();
    EXPECT_EQ(Send(0xC123, 0, 0), 0);
}

TEST_F(PasswordFlow, NoPasswordWantedOrNoLibraryApprovesAtOnce)
{
    for (bool library : {true, false}) {
        ResetFake();
        Fake.platformId = VER_PLATFORM_WIN32_WINDOWS;
        Win9xPlatform = 1;
        Fake.passwordWanted = !library; // either no wish or no library
        Fake.passwordLibrary = library;
        LoadPasswordVerifier();
        EXPECT_EQ(PasswordVerifier, nullptr);
        EXPECT_EQ(Fake.screenSaverRunning, -1); // the platform is not told
        EXPECT_EQ(Send(WM_CLOSE, 0, 0), 0);
        EXPECT_TRUE(ClosedByPlatform());
        EXPECT_EQ(Fake.prompts, 0);
    }
}

TEST_F(PasswordFlow, TheNtFamilyLoadsNothing)
{
    ResetFake();
    Fake.passwordWanted = true;
    LoadPasswordVerifier();
    EXPECT_TRUE(Fake.calls.empty());
    Send(WM_APP, 0, 0);
    EXPECT_EQ(Fake.defaulted.back().message, (UINT)WM_APP);
}
