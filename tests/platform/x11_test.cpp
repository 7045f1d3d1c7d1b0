// The X11 platform against a virtual X server of the test program's own:
// the message queue and timers, how a close ends the loop, other programs'
// windows and bogus ids, input from the server, previews in a foreign
// parent, the pixel format, and what happens without a display.
#include <gtest/gtest.h>

#include <windows.h>

#include <GL/gl.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

// ---- other processes

// Starts a program with a pipe from its standard output; kills it at
// destruction if it still runs, and always reaps it.
struct ChildProcess {
    pid_t pid = -1;
    int output = -1;

    explicit ChildProcess(std::vector<std::string> arguments)
    {
        std::vector<char *> argv; // made before the fork: the child only execs
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe2(out, O_CLOEXEC) || (pid = fork()) < 0)
            return;
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        output = out[0];
    }
    ~ChildProcess()
    {
        if (pid > 0)
            kill(pid, SIGKILL);
        Wait();
        close(output);
    }

    // One line of its output, waiting at most 10 s; "" on timeout or end.
    std::string ReadLine()
    {
        std::string line;
        char c;
        pollfd ready = {output, POLLIN, 0};
        while (poll(&ready, 1, 10000) > 0 && read(output, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // Its exit status once it ends, -1 if it was killed by a signal.
    int Wait()
    {
        int status = 0;
        if (pid <= 0 || waitpid(pid, &status, 0) != pid)
            return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

int RunCommand(std::vector<std::string> arguments) { return ChildProcess(std::move(arguments)).Wait(); }

// Another program with a top-level window of the given title (see window_helper.cpp).
struct OtherProgram : ChildProcess {
    HWND window;
    OtherProgram(const char *title)
        : ChildProcess({WINDOW_HELPER, "VantrelHelperClass", title}),
          window((HWND)(UINT_PTR)std::strtoul(ReadLine().c_str(), nullptr, 10)) {}
};

// One Xvfb for the whole test program; DISPLAY names it while the tests run.
struct XvfbEnvironment : ::testing::Environment {
    std::unique_ptr<ChildProcess> server;

    void SetUp() override
    {
        server = std::make_unique<ChildProcess>(
            std::vector<std::string>{"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        std::string number = server->ReadLine();
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        setenv("DISPLAY", (":" + number).c_str(), 1);
    }
    void TearDown() override
    {
        kill(server->pid, SIGTERM);
        server->Wait();
    }
};

auto *const Server = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

// ---- windows that record their messages
const char TestClass[] = "VantrelTestClass";
const int QuitCodeOnDestroy = 7;
std::vector<MSG> Received;          // every message any test window got, oldest first
std::vector<UINT_PTR> CallbackRuns; // timer ids the timer callback was called with

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Received.push_back(MSG{window, message, wParam, lParam, 0, {}});
    if (message == WM_DESTROY)
        PostQuitMessage(QuitCodeOnDestroy);
    return DefWindowProcA(window, message, wParam, lParam);
}

void CALLBACK CountingTimerProc(HWND, UINT, UINT_PTR id, DWORD) { CallbackRuns.push_back(id); }

// Popups made without WS_VISIBLE are never shown: no X input comes between.
HWND MakeWindow(DWORD style, int width = 200, int height = 100, HWND parent = nullptr)
{
    static const WNDCLASSA windowClass = {0, RecordingProc, 0, 0, nullptr, nullptr, nullptr,
                                          (HBRUSH)GetStockObject(BLACK_BRUSH), nullptr, TestClass};
    static const ATOM registered = RegisterClassA(&windowClass);
    return registered ? CreateWindowExA(0, TestClass, "Test", style, 0, 0, width, height, parent, 0, 0, 0) : nullptr;
}

// Whether a test window got the message, with the given wParam unless that is -1.
bool Got(HWND window, UINT message, WPARAM wParam = (WPARAM)-1)
{
    return std::ranges::any_of(Received, [&](const MSG &m) {
        return m.hwnd == window && m.message == message && (wParam == (WPARAM)-1 || m.wParam == wParam);
    });
}

// The ids of the messages the test windows got that pass the filter, oldest first.
std::vector<UINT> ReceivedIds(bool (*passes)(UINT) = [](UINT) { return true; })
{
    std::vector<UINT> ids;
    for (const MSG &m : Received)
        if (passes(m.message))
            ids.push_back(m.message);
    return ids;
}

// Every message that is ready now, removed from the queue.
std::vector<MSG> ReadyMessages()
{
    std::vector<MSG> ready;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD))
        ready.push_back(message);
    return ready;
}

// Runs the message loop until the condition holds, the quit message comes
// or the time is up; whether the condition holds at the end. A thread timer
// of its own marks the time-out.
template <class Condition> bool PumpUntil(Condition done, UINT milliseconds = 5000)
{
    UINT_PTR deadline = SetTimer(nullptr, 0, milliseconds, nullptr);
    MSG message;
    while (!done() && GetMessageA(&message, nullptr, 0, 0) &&
           !(message.message == WM_TIMER && !message.hwnd && message.wParam == deadline))
        DispatchMessageA(&message);
    KillTimer(nullptr, deadline);
    return done();
}

// Each test starts with an empty queue and record, whatever the last one left.
struct X11 : ::testing::Test {
    void SetUp() override
    {
        ReadyMessages();
        Received.clear();
        CallbackRuns.clear();
    }
};

using Size = std::pair<LONG, LONG>;

TEST_F(X11, PostedMessagesComeBeforeAnExpiredTimerInTheOrderPosted)
{
    HWND window = MakeWindow(WS_POPUP);
    ASSERT_EQ(SetTimer(window, 5, 10, nullptr), 5u);
    Sleep(30);
    PostMessageA(window, WM_USER, 1, 0);
    PostMessageA(nullptr, WM_USER + 1, 2, 0); // a thread message
    PostMessageA(window, WM_USER, 3, 0);
    EXPECT_FALSE(PostMessageA(GetDesktopWindow(), WM_USER, 0, 0)); // not a window of ours
    std::tuple<HWND, UINT, WPARAM> expected[] = {
        {window, WM_USER, 1}, {nullptr, WM_USER + 1, 2}, {window, WM_USER, 3}, {window, WM_TIMER, 5}};
    MSG m;
    for (const auto &e : expected) {
        ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
        EXPECT_EQ(std::tuple(m.hwnd, m.message, m.wParam), e);
    }
    DestroyWindow(window);
}

TEST_F(X11, AStalledThreadGetsOneMessagePerTimerAndNoBacklogAndFastTimersRunAtTen)
{
    HWND window = MakeWindow(WS_POPUP);
    SetTimer(window, 3, 1, nullptr);
    UINT_PTR threadTimer = SetTimer(nullptr, 0, 1, CountingTimerProc);
    Sleep(200); // twenty periods of 10 ms missed by each
    std::vector<MSG> ready = ReadyMessages();
    ASSERT_EQ(ready.size(), 2u);
    for (const MSG &message : ready)
        DispatchMessageA(&message);
    EXPECT_EQ(CallbackRuns, std::vector<UINT_PTR>{threadTimer}); // the callback ran instead of a window procedure
    EXPECT_TRUE(Got(window, WM_TIMER, 3));
    EXPECT_TRUE(ReadyMessages().empty());

    PumpUntil([] { return false; }, 200);
    EXPECT_GE(CallbackRuns.size(), 5u);  // it runs,
    EXPECT_LE(CallbackRuns.size(), 22u); // but not at 1 ms
    KillTimer(nullptr, threadTimer);
    DestroyWindow(window);
}

TEST_F(X11, TimerIdentifiersFollowWindowsRulesAndKilledTimersAreSilent)
{
    HWND window = MakeWindow(WS_POPUP);
    UINT_PTR first = SetTimer(nullptr, 0, 10, CountingTimerProc);
    UINT_PTR second = SetTimer(nullptr, 0, 10, CountingTimerProc);
    EXPECT_TRUE(first && second && first != second);
    EXPECT_EQ(SetTimer(window, 0, 10, nullptr), 1u); // nonzero for window timer 0, as Windows answers
    EXPECT_EQ(SetTimer(window, 9, 10, nullptr), 9u);
    EXPECT_EQ(SetTimer(GetDesktopWindow(), 9, 10, nullptr), 0u); // only our own windows take timers

    EXPECT_TRUE(KillTimer(nullptr, first));
    EXPECT_TRUE(KillTimer(window, 9));
    Sleep(30);
    std::vector<MSG> ready = ReadyMessages();
    ASSERT_EQ(ready.size(), 2u);
    for (const MSG &message : ready)
        EXPECT_TRUE((message.hwnd == window && message.wParam == 0) || (!message.hwnd && message.wParam == second));
    KillTimer(nullptr, second);
    DestroyWindow(window); // takes timer 0 of the window with it
    Sleep(30);
    EXPECT_EQ(ReadyMessages().size(), 1u); // the quit message from WM_DESTROY; no timer left
}

TEST_F(X11, PeekFiltersByWindowAndRange)
{
    HWND window = MakeWindow(WS_POPUP), other = MakeWindow(WS_POPUP);
    PostMessageA(other, WM_TIMER, 8, 0);
    PostMessageA(window, WM_USER, 0, 0);
    PostMessageA(window, WM_TIMER, 9, 0);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD));
    EXPECT_EQ(message.wParam, 9u);
    EXPECT_FALSE(PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(ReadyMessages().size(), 2u); // the others stay queued
    DestroyWindow(window);
    DestroyWindow(other);
}

TEST_F(X11, ACloseFromTheSystemMenuDestroysTheWindowAndEndsTheLoop)
{
    HWND window = MakeWindow(WS_POPUP);
    SendMessageA(window, WM_USER, 0, 0); // runs at once, before anything queued
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0))
        DispatchMessageA(&message);
    EXPECT_EQ(message.wParam, (WPARAM)QuitCodeOnDestroy); // the loop ended on the quit message
    EXPECT_EQ(ReceivedIds(), (std::vector<UINT>{WM_CREATE, WM_USER, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
}

LRESULT CALLBACK RefusingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RecordingProc(window, message, wParam, lParam);
    return message == WM_CREATE ? -1 : 0;
}

TEST_F(X11, ARefusedCreationDestroysTheWindowAgain)
{
    WNDCLASSA refusing = {0, RefusingProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "VantrelRefusingClass"};
    ASSERT_NE(RegisterClassA(&refusing), 0);
    EXPECT_EQ(RegisterClassA(&refusing), 0); // once per name, whatever its case
    EXPECT_FALSE(CreateWindowExA(0, "vantrelrefusingclass", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, 0, 0, 0, 0));
    ASSERT_EQ(ReceivedIds(), (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(Received[0].hwnd));
    EXPECT_FALSE(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(X11, TerminationSignalsCloseOurWindows)
{
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE);
    raise(SIGTERM);
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_DESTROY); }));
    EXPECT_TRUE(Got(window, WM_CLOSE)); // the same way out as a user's close
}

TEST_F(X11, RegisteredMessagesAreOneIdentifierPerName)
{
    UINT autoPlay = RegisterWindowMessageA("QueryCancelAutoPlay"), other = RegisterWindowMessageA("SomethingElse");
    EXPECT_GE(std::min(autoPlay, other), 0xC000u);
    EXPECT_LE(std::max(autoPlay, other), 0xFFFFu);
    EXPECT_NE(other, autoPlay);
    EXPECT_EQ(RegisterWindowMessageA("querycancelautoplay"), autoPlay);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
}

TEST_F(X11, TheScreenAndAnotherProgramsWindowAreFoundAndBogusIdsAreNone)
{
    for (auto [index, value] : {std::pair{SM_XVIRTUALSCREEN, 0}, {SM_YVIRTUALSCREEN, 0}, {SM_CXVIRTUALSCREEN, 640},
                                {SM_CYVIRTUALSCREEN, 480}})
        EXPECT_EQ(GetSystemMetrics(index), value) << index; // the virtual screen is the root window
    RECT client = {};
    EXPECT_EQ(GetClipBox(GetDC(nullptr), &client), SIMPLEREGION);
    EXPECT_EQ(Size(client.right, client.bottom), Size(640, 480));

    OtherProgram other("Helper Title");
    ASSERT_TRUE(other.window);
    EXPECT_EQ(FindWindowA("VantrelHelperClass", "Helper Title"), other.window);
    EXPECT_EQ(FindWindowA("vantrelhelperclass", nullptr), other.window);
    EXPECT_EQ(FindWindowA("VantrelHelperClass", "Screen Saver"), nullptr);
    EXPECT_EQ(FindWindowA(TestClass, "Helper Title"), nullptr);
    EXPECT_TRUE(IsWindow(other.window));
    EXPECT_EQ(GetParent(other.window), nullptr);
    ASSERT_TRUE(GetClientRect(other.window, &client));
    EXPECT_EQ(Size(client.right, client.bottom), Size(200, 100));

    HWND bogus = (HWND)(UINT_PTR)0x1FFFFFF0, window = MakeWindow(WS_POPUP);
    EXPECT_FALSE(IsWindow(bogus));
    EXPECT_FALSE(GetClientRect(bogus, &client));
    EXPECT_FALSE(SetForegroundWindow(bogus));
    EXPECT_FALSE(MakeWindow(WS_CHILD | WS_VISIBLE, 10, 10, bogus));
    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(IsWindow(GetDesktopWindow())); // the connection is still good
}

TEST_F(X11, AForegroundPopupGetsInputUntilItLosesTheFocusAndAWindowManagerClosesIt)
{
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, 640, 480);
    ASSERT_TRUE(SetForegroundWindow(window));
    EXPECT_EQ(GetForegroundWindow(), window);
    ASSERT_TRUE(PumpUntil([&] {
        return Got(window, WM_SHOWWINDOW, TRUE) && Got(window, WM_PAINT) && Got(window, WM_ACTIVATEAPP, TRUE);
    }));

    ASSERT_EQ(RunCommand({"xdotool", "mousemove", "100", "120"}), 0);
    POINT cursor;
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(Size(cursor.x, cursor.y), Size(100, 120));
    ASSERT_EQ(RunCommand({"xdotool", "key", "a", "click", "1", "click", "3", "click", "2"}), 0);
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_MBUTTONUP); }));
    EXPECT_EQ(ReceivedIds([](UINT id) { return id >= WM_KEYDOWN && id != WM_MOUSEMOVE; }),
              (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP,
                                 WM_MBUTTONDOWN, WM_MBUTTONUP}));
    EXPECT_TRUE(Got(window, WM_KEYDOWN, 'A'));
    EXPECT_TRUE(std::ranges::any_of(
        Received, [](const MSG &m) { return m.message == WM_MOUSEMOVE && m.lParam == MAKELPARAM(100, 120); }));

    OtherProgram other("Elsewhere");
    ASSERT_TRUE(SetForegroundWindow(other.window));
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_ACTIVATEAPP, FALSE); }));
    // What a window manager sends when the user closes the window.
    Display *display = XOpenDisplay(nullptr);
    XEvent close = {.xclient = {ClientMessage, 0, False, display, (Window)(UINT_PTR)window,
                                XInternAtom(display, "WM_PROTOCOLS", False), 32, {}}};
    close.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSendEvent(display, close.xclient.window, False, NoEventMask, &close);
    XCloseDisplay(display);
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_DESTROY); }));
    EXPECT_TRUE(Got(window, WM_SYSCOMMAND, SC_CLOSE) && Got(window, WM_CLOSE));
}

TEST_F(X11, APreviewLeavesInputToItsParentAndEndsCleanlyWhenTheParentGoes)
{
    OtherProgram other("Display Settings");
    HWND preview = MakeWindow(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 200, 100, other.window);
    HWND empty = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, other.window);
    ASSERT_TRUE(preview && empty);
    EXPECT_EQ(GetParent(preview), other.window);
    RECT client = {1, 1, 1, 1};
    ASSERT_TRUE(GetClientRect(empty, &client));
    EXPECT_EQ(Size(client.right, client.bottom), Size(0, 0)); // not the 1x1 X needs at least
    EXPECT_EQ(GetParent(FindWindowA(TestClass, nullptr)), nullptr); // a child is no top-level window
    ASSERT_TRUE(PumpUntil([&] { return Got(preview, WM_SHOWWINDOW, TRUE); }));

    ASSERT_EQ(RunCommand({"xdotool", "mousemove", "50", "50", "click", "1", "key", "a"}), 0);
    PumpUntil([] { return false; }, 100); // dispatch the input before the window goes, and its queue with it
    kill(other.pid, SIGTERM);
    EXPECT_EQ(other.Wait(), 0); // its loop ended through WM_CLOSE and WM_DESTROY
    EXPECT_TRUE(PumpUntil([&] { return Got(preview, WM_DESTROY); }));
    for (UINT input : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_KEYDOWN})
        EXPECT_FALSE(Got(preview, input)) << input;
}

TEST_F(X11, TheScenesPixelFormatFitsTheWindowWithAStencilBuffer)
{
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, 64, 48);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR request = {}; // of RGBA type
    request.dwFlags = PFD_DOUBLEBUFFER | PFD_SUPPORT_OPENGL;
    request.cColorBits = 16;
    request.cStencilBits = 8;
    int format = ChoosePixelFormat(dc, &request);
    ASSERT_TRUE(format > 0 && SetPixelFormat(dc, format, &request));
    EXPECT_TRUE(SetPixelFormat(dc, format, &request)); // the same again is fine
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(context && wglMakeCurrent(dc, context)); // the format fits the window's visual
    GLint stencilBits = 0;
    GLboolean doubleBuffered = GL_FALSE;
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_GE(stencilBits, 8);
    EXPECT_TRUE(doubleBuffered);
    wglDeleteContext(context);
    DestroyWindow(window);
}

TEST_F(X11, WithoutADisplayTheProgramSaysSoAndEnds)
{
    ChildProcess other({"sh", "-c", "DISPLAY= exec \"$0\" VantrelHelperClass Nowhere 2>&1", WINDOW_HELPER});
    EXPECT_EQ(other.ReadLine(), "vantrel: cannot open display");
    EXPECT_EQ(other.ReadLine(), ""); // said once, and no window number follows
    EXPECT_EQ(other.Wait(), 1);
}

} // namespace
