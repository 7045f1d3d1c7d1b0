// The message queue and the timers: what comes first, what a stalled thread
// gets afterwards, and how a window's close ends the loop.
#include "x11_fixture.h"

#include <csignal>

static auto *Server = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

namespace {

using MessageQueue = X11Test;

std::vector<UINT_PTR> CallbackRuns; // timer ids the callback was called with

void CALLBACK CountingTimerProc(HWND, UINT, UINT_PTR id, DWORD) { CallbackRuns.push_back(id); }

// Every message that is ready now, removed from the queue.
std::vector<MSG> ReadyMessages()
{
    std::vector<MSG> ready;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD))
        ready.push_back(message);
    return ready;
}

TEST_F(MessageQueue, PostedMessagesComeBeforeAnExpiredTimerInTheOrderPosted)
{
    HWND window = MakeWindow(WS_POPUP); // never shown: no X input interferes
    ASSERT_TRUE(window);
    ASSERT_EQ(SetTimer(window, 5, 10, nullptr), 5u);
    Sleep(30);
    PostMessageA(window, WM_USER, 1, 0);
    PostMessageA(nullptr, WM_USER + 1, 2, 0); // a thread message
    PostMessageA(window, WM_USER, 3, 0);

    MSG message;
    struct Expected {
        HWND window;
        UINT message;
        WPARAM wParam;
    } expected[] = {{window, WM_USER, 1}, {nullptr, WM_USER + 1, 2}, {window, WM_USER, 3}, {window, WM_TIMER, 5}};
    for (const Expected &e : expected) {
        ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
        EXPECT_EQ(message.hwnd, e.window);
        EXPECT_EQ(message.message, e.message);
        EXPECT_EQ(message.wParam, e.wParam);
    }
    EXPECT_FALSE(PostMessageA(GetDesktopWindow(), WM_USER, 0, 0)); // not a window of ours
    KillTimer(window, 5);
    DestroyWindow(window);
}

TEST_F(MessageQueue, AStalledThreadGetsOneMessagePerTimerAndNoBacklog)
{
    HWND window = MakeWindow(WS_POPUP);
    ASSERT_TRUE(window);
    SetTimer(window, 3, 1, nullptr);
    UINT_PTR threadTimer = SetTimer(nullptr, 0, 1, CountingTimerProc);
    ASSERT_NE(threadTimer, 0u);
    CallbackRuns.clear();
    Sleep(200); // twenty periods of 10 ms missed by each

    std::vector<MSG> ready = ReadyMessages();
    ASSERT_EQ(ready.size(), 2u);
    for (const MSG &message : ready) {
        EXPECT_EQ(message.message, (UINT)WM_TIMER);
        DispatchMessageA(&message);
    }
    EXPECT_EQ(CallbackRuns, std::vector<UINT_PTR>{threadTimer}); // the callback ran instead of a window procedure
    EXPECT_TRUE(Got(window, WM_TIMER, 3));
    EXPECT_TRUE(ReadyMessages().empty());
    KillTimer(nullptr, threadTimer);
    DestroyWindow(window);
}

TEST_F(MessageQueue, PeriodsBelowTenMillisecondsRunAtTen)
{
    HWND window = MakeWindow(WS_POPUP);
    ASSERT_TRUE(window);
    SetTimer(window, 1, 1, nullptr);
    DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= 200; }, 1000);
    int ticks = 0;
    for (const MSG &message : Received)
        ticks += message.message == WM_TIMER;
    EXPECT_GE(ticks, 5);  // it runs,
    EXPECT_LE(ticks, 22); // but not at 1 ms
    KillTimer(window, 1);
    DestroyWindow(window);
}

TEST_F(MessageQueue, TimerIdentifiersFollowWindowsRules)
{
    HWND window = MakeWindow(WS_POPUP);
    ASSERT_TRUE(window);
    UINT_PTR first = SetTimer(nullptr, 0, 10, CountingTimerProc);
    UINT_PTR second = SetTimer(nullptr, 0, 10, CountingTimerProc);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(SetTimer(window, 0, 10, nullptr), 1u); // nonzero for window timer 0, as Windows answers
    EXPECT_EQ(SetTimer(window, 9, 10, nullptr), 9u);
    EXPECT_EQ(SetTimer(GetDesktopWindow(), 9, 10, nullptr), 0u); // only our own windows take timers

    EXPECT_TRUE(KillTimer(nullptr, first));
    EXPECT_FALSE(KillTimer(nullptr, first));
    EXPECT_TRUE(KillTimer(window, 9));
    Sleep(30);
    std::vector<MSG> ready = ReadyMessages();
    ASSERT_EQ(ready.size(), 2u); // the killed ones are silent
    for (const MSG &message : ready)
        EXPECT_TRUE((message.hwnd == window && message.wParam == 0) ||
                    (!message.hwnd && message.wParam == second));
    KillTimer(nullptr, second);
    DestroyWindow(window); // takes timer 0 of the window with it
    Sleep(30);
    ready = ReadyMessages();
    ASSERT_EQ(ready.size(), 1u);
    EXPECT_EQ(ready[0].message, (UINT)WM_QUIT); // from WM_DESTROY; no timer left
}

TEST_F(MessageQueue, PeekFiltersByWindowAndRangeAndCanLeaveMessagesQueued)
{
    HWND window = MakeWindow(WS_POPUP), other = MakeWindow(WS_POPUP);
    ASSERT_TRUE(window && other);
    PostMessageA(other, WM_TIMER, 8, 0);
    PostMessageA(window, WM_USER, 0, 0);
    PostMessageA(window, WM_TIMER, 9, 0);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    EXPECT_EQ(message.wParam, 9u);
    ASSERT_TRUE(PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD));
    EXPECT_EQ(message.wParam, 9u);
    EXPECT_FALSE(PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE));
    std::vector<MSG> rest = ReadyMessages();
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0].hwnd, other);
    EXPECT_EQ(rest[1].message, (UINT)WM_USER);
    DestroyWindow(window);
    DestroyWindow(other);
}

TEST_F(MessageQueue, CloseDestroysTheWindowAndItsQueuedMessagesAndEndsTheLoop)
{
    HWND window = MakeWindow(WS_POPUP);
    ASSERT_TRUE(window);
    SendMessageA(window, WM_USER, 0, 0);
    ASSERT_TRUE(Got(window, WM_USER)); // sent messages run at once
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(window, WM_USER + 5, 0, 0); // still queued when the window goes

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0))
        DispatchMessageA(&message);
    EXPECT_EQ(message.message, (UINT)WM_QUIT);
    EXPECT_EQ(message.wParam, (WPARAM)QuitCodeOnDestroy);
    std::vector<UINT> order;
    for (const MSG &m : Received)
        order.push_back(m.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_CREATE, WM_USER, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
}

LRESULT CALLBACK RefusingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RecordingProc(window, message, wParam, lParam);
    return message == WM_CREATE ? -1 : 0;
}

TEST_F(MessageQueue, ARefusedCreationDestroysTheWindowAgain)
{
    WNDCLASSA refusing = {};
    refusing.lpfnWndProc = RefusingProc;
    refusing.lpszClassName = "VantrelRefusingClass";
    ASSERT_NE(RegisterClassA(&refusing), 0);
    EXPECT_EQ(RegisterClassA(&refusing), 0); // once per name, whatever its case
    EXPECT_FALSE(CreateWindowExA(0, "vantrelrefusingclass", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr));
    ASSERT_EQ(Received.size(), 2u);
    EXPECT_EQ(Received[0].message, (UINT)WM_CREATE);
    EXPECT_EQ(Received[1].message, (UINT)WM_DESTROY);
    EXPECT_FALSE(IsWindow(Received[0].hwnd));
    EXPECT_FALSE(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(MessageQueue, TerminationSignalsCloseOurWindows)
{
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE);
    ASSERT_TRUE(window);
    raise(SIGTERM);
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_DESTROY); }));
    EXPECT_TRUE(Got(window, WM_CLOSE)); // the same way out as a user's close
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(MessageQueue, RegisteredMessagesAreOneIdentifierPerName)
{
    UINT autoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");
    EXPECT_GE(autoPlay, 0xC000u);
    EXPECT_LE(autoPlay, 0xFFFFu);
    EXPECT_EQ(RegisterWindowMessageA("querycancelautoplay"), autoPlay);
    UINT other = RegisterWindowMessageA("SomethingElse");
    EXPECT_NE(other, autoPlay);
    EXPECT_GE(other, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
}

} // namespace
