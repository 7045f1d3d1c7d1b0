#include <gtest/gtest.h>

#include "fake_win32.h"
#include "host/host.h"

// A full-screen saver on a pretended Windows 98 whose desktop asks for a password.
class PasswordFlow : public testing::Test {
protected:
    void SetUp() override { StartSaver(true, true); }
};

TEST_F(PasswordFlow, AWrongPasswordKeepsTheSaverAndRequestsWithin200MsAreRefusedUnasked)
{
    Fake.answers = {FALSE, TRUE};
    Fake.cursor = {300, 300};
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_EQ(Fake.prompts, 1);
    EXPECT_EQ(SavedCursorPos.x, 300); // movement is measured from where the prompt left it
    Fake.tick += 199;
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_EQ(Fake.prompts, 1);
    Fake.tick += 1;
    Send(WM_CLOSE);
    EXPECT_EQ(Fake.prompts, 2);
    EXPECT_EQ(Fake.destroyed, 1);
}

TEST_F(PasswordFlow, WhileThePromptIsUpInputAndClosesAreRefused)
{
    VerifyInProgress = 1; // as inside the prompt's own message loop
    Send(WM_KEYDOWN);
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_EQ(CloseRequests(), 0);
    EXPECT_EQ(Fake.prompts, 0);
}

TEST_F(PasswordFlow, TwoPendingFramesAreDroppedBeforeThePrompt)
{
    for (UINT message : {WM_TIMER, WM_TIMER, WM_KEYDOWN, WM_TIMER})
        PostMessageA(Saver, message, 0, 0);
    Send(WM_CLOSE);
    ASSERT_EQ(Fake.posted.size(), 2u);
    EXPECT_EQ(Fake.posted[0].message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(Fake.posted[1].message, (UINT)WM_TIMER);
}

TEST_F(PasswordFlow, AutoPlayIsRefusedWhileAPasswordGuardsTheDesktop)
{
    AutoPlayQueryMessage = 0xC123;
    EXPECT_EQ(Send(0xC123), 1);
    EXPECT_EQ(CloseRequests(), 1);
    UnloadPasswordVerifier();
    EXPECT_EQ(Send(0xC123), 0);
}

TEST_F(PasswordFlow, WithoutAPasswordWantedTheFirstCloseRequestCloses)
{
    StartSaver(true, false);
    Send(WM_CLOSE);
    EXPECT_EQ(Fake.destroyed, 1);
    EXPECT_EQ(Fake.prompts, 0);
}
