// The X11 platform against a virtual X server of the test program's own: the message queue and timers, how a
// close ends the loop, other programs' windows and bogus ids, input from the server, previews in a foreign
// parent, the pixel format, and what happens without a display.
#include "tests/support/xvfb.h"

#include <windows.h>

#include <GL/gl.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <ranges>
#include <tuple>
#include <vector>

// Another program with a top-level window of the given title (see window_helper.cpp).
struct OtherProgram : ChildProcess {
    HWND window;
    OtherProgram(const std::string &title)
        : ChildProcess(WINDOW_HELPER " VantrelHelperClass '" + title + "'"), window((HWND)std::atol(Read().c_str())) {}
};

// ---- windows that record their messages
static const char TestClass[] = "VantrelTestClass";
static const int QuitCodeOnDestroy = 7;
static std::vector<MSG> Received;          // every message any test window got, oldest first
static std::vector<UINT_PTR> CallbackRuns; // timer ids the timer callback was called with

static LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Received.push_back(MSG{window, message, wParam, lParam, 0, {}});
    if (message == WM_DESTROY) PostQuitMessage(QuitCodeOnDestroy);
    return DefWindowProcA(window, message, wParam, lParam);
}

static void CALLBACK CountingTimerProc(HWND, UINT, UINT_PTR id, DWORD) { CallbackRuns.push_back(id); }

// Popups made without WS_VISIBLE are never shown: no X input comes between.
static HWND MakeWindow(DWORD style, int width = 200, int height = 100, HWND parent = nullptr)
{
    static const WNDCLASSA windowClass = {0, RecordingProc, 0, 0, nullptr, nullptr, nullptr,
                                          (HBRUSH)GetStockObject(BLACK_BRUSH), nullptr, TestClass};
    static const ATOM registered = RegisterClassA(&windowClass);
    return registered ? CreateWindowExA(0, TestClass, "Test", style, 0, 0, width, height, parent, 0, 0, 0) : nullptr;
}

// Whether a test window got the message, with the given wParam and lParam unless they are -1.
static bool Got(HWND window, UINT message, WPARAM wParam = (WPARAM)-1, LPARAM lParam = -1)
{
    return std::ranges::any_of(Received, [&](const MSG &m) {
        return m.hwnd == window && m.message == message && (wParam == (WPARAM)-1 || m.wParam == wParam) &&
               (lParam == -1 || m.lParam == lParam);
    });
}

// The ids of the messages the test windows got that pass the filter, oldest first.
static std::vector<UINT> ReceivedIds(bool (*passes)(UINT) = [](UINT) { return true; })
{
    auto ids = Received | std::views::transform(&MSG::message) | std::views::filter(passes);
    return {ids.begin(), ids.end()};
}

// Every message that is ready now, removed from the queue.
static std::vector<MSG> ReadyMessages()
{
    std::vector<MSG> ready;
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD);) ready.push_back(message);
    return ready;
}

// Dispatches messages, past the quits test windows post, until the condition holds or time is up; whether it holds.
template <class Condition> static bool PumpUntil(Condition done, UINT milliseconds = 5000)
{
    UINT_PTR deadline = SetTimer(nullptr, 0, milliseconds, nullptr);
    MSG message = {};
    while (!done() && !(message.message == WM_TIMER && !message.hwnd && message.wParam == deadline))
        GetMessageA(&message, nullptr, 0, 0), DispatchMessageA(&message);
    KillTimer(nullptr, deadline);
    return done();
}

// Each test starts with an empty queue and record, whatever the last one left.
struct X11 : ::testing::Test {
    void SetUp() override { ReadyMessages(), Received.clear(), CallbackRuns.clear(); }
};

using Size = std::pair<LONG, LONG>;

TEST_F(X11, PostedMessagesComeBeforeExpiredTimersWhichCoalesceAndPeekFiltersByWindowAndRange)
{
    HWND window = MakeWindow(WS_POPUP), other = MakeWindow(WS_POPUP);
    ASSERT_EQ(SetTimer(window, 5, 10, nullptr), 5u);
    Sleep(30);
    // Posted in this order (with a thread message among them) and come so, the expired timer last.
    std::tuple<HWND, UINT, WPARAM> expected[] = {{other, WM_TIMER, 8}, {window, WM_USER, 1}, {nullptr, WM_USER + 1, 2},
                                                 {window, WM_USER, 3}, {window, WM_TIMER, 5}};
    for (auto [to, message, wParam] : expected | std::views::take(4))
        ASSERT_TRUE(PostMessageA(to, message, wParam, 0));
    PostMessageA(window, WM_TIMER, 9, 0);
    EXPECT_FALSE(PostMessageA(GetDesktopWindow(), WM_USER, 0, 0)); // not a window of ours
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD));
    EXPECT_EQ(m.wParam, 9u);
    for (const auto &e : expected) {
        ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
        EXPECT_EQ(std::tuple(m.hwnd, m.message, m.wParam), e);
    }
    KillTimer(window, 5), DestroyWindow(other), ReadyMessages(); // with the quit its destruction posts

    // A stalled thread gets one message per live timer and no backlog; fast timers run at ten milliseconds.
    EXPECT_EQ(SetTimer(window, 0, 1, nullptr), 1u); // nonzero for window timer 0, as Windows answers
    EXPECT_TRUE(SetTimer(window, 9, 1, nullptr) == 9 && !SetTimer(GetDesktopWindow(), 9, 1, nullptr)); // ours only
    UINT_PTR killed = SetTimer(nullptr, 0, 1, nullptr), threadTimer = SetTimer(nullptr, 0, 1, CountingTimerProc);
    EXPECT_TRUE(killed && threadTimer && killed != threadTimer && KillTimer(nullptr, killed) && KillTimer(window, 9));
    Sleep(200); // twenty periods of 10 ms missed by each
    std::vector<MSG> ready = ReadyMessages();
    ASSERT_EQ(ready.size(), 2u);
    for (const MSG &message : ready) {
        EXPECT_EQ(message.hwnd, message.wParam ? nullptr : window);
        DispatchMessageA(&message);
    }
    EXPECT_EQ(CallbackRuns, std::vector<UINT_PTR>{threadTimer}); // the callback ran instead of a window procedure
    EXPECT_TRUE(Got(window, WM_TIMER, 0));

    PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(CallbackRuns.size() >= 5 && CallbackRuns.size() <= 22) << CallbackRuns.size(); // not at 1 ms
    KillTimer(nullptr, threadTimer), DestroyWindow(window); // the window takes its timer 0 with it
    Sleep(30);
    EXPECT_EQ(ReadyMessages().size(), 1u); // the quit message from WM_DESTROY; no timer left
}

TEST_F(X11, ACloseOrSignalEndsTheLoopAndARefusedCreationUndoesTheWindow)
{
    HWND window = MakeWindow(WS_POPUP);
    SendMessageA(window, WM_USER, 0, 0); // runs at once, before anything queued
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) DispatchMessageA(&message);
    EXPECT_EQ(message.wParam, (WPARAM)QuitCodeOnDestroy); // the loop ended on the quit message
    EXPECT_EQ(ReceivedIds(), (std::vector<UINT>{WM_CREATE, WM_USER, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(window) || DestroyWindow(window) || SendMessageA(window, WM_USER, 0, 0));

    HWND signalled = MakeWindow(WS_POPUP | WS_VISIBLE);
    raise(SIGTERM);
    EXPECT_TRUE(PumpUntil([&] { return Got(signalled, WM_DESTROY); }));
    EXPECT_TRUE(Got(signalled, WM_CLOSE)); // the same way out as a user's close

    // Classes and messages are one per name whatever its case, and a refused creation undoes the window.
    Received.clear();
    UINT autoPlay = RegisterWindowMessageA("QueryCancelAutoPlay"), other = RegisterWindowMessageA("SomethingElse");
    EXPECT_TRUE(std::min(autoPlay, other) >= 0xC000 && std::max(autoPlay, other) <= 0xFFFF && other != autoPlay);
    EXPECT_EQ(RegisterWindowMessageA("querycancelautoplay"), autoPlay);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);

    WNDCLASSA refusing = {0, [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        return RecordingProc(window, message, wParam, lParam), message == WM_CREATE ? -1 : 0;
    }, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "VantrelRefusingClass"};
    ASSERT_NE(RegisterClassA(&refusing), 0);
    EXPECT_EQ(RegisterClassA(&refusing), 0); // once per name, whatever its case
    EXPECT_FALSE(CreateWindowExA(0, "vantrelrefusingclass", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, 0, 0, 0, 0));
    ASSERT_EQ(ReceivedIds(), (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(Received[0].hwnd) || CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0));
}

TEST_F(X11, TheScreenAndOthersWindowsAreFoundBogusIdsAreNoneThePixelFormatFitsAndNoDisplayEnds)
{
    EXPECT_EQ(std::tuple(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                         GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)),
              std::tuple(0, 0, ScreenWidth, ScreenHeight)); // the virtual screen is the root window
    RECT client = {};
    EXPECT_EQ(GetClipBox(GetDC(nullptr), &client), SIMPLEREGION);
    EXPECT_EQ(Size(client.right, client.bottom), Size(ScreenWidth, ScreenHeight));

    OtherProgram other("Helper Title");
    ASSERT_TRUE(other.window && FindWindowA("VantrelHelperClass", "Helper Title") == other.window);
    EXPECT_EQ(FindWindowA("vantrelhelperclass", nullptr), other.window);
    EXPECT_FALSE(FindWindowA("VantrelHelperClass", "Screen Saver") || FindWindowA(TestClass, "Helper Title"));
    ASSERT_TRUE(IsWindow(other.window) && !GetParent(other.window) && GetClientRect(other.window, &client));
    EXPECT_EQ(Size(client.right, client.bottom), Size(200, 100));

    HWND bogus = (HWND)(UINT_PTR)0x1FFFFFF0;
    EXPECT_FALSE(IsWindow(bogus) || GetClientRect(bogus, &client) || SetForegroundWindow(bogus));
    EXPECT_FALSE(MakeWindow(WS_CHILD | WS_VISIBLE, 10, 10, bogus));
    EXPECT_TRUE(IsWindow(GetDesktopWindow())); // the connection is still good

    // The scene's pixel format fits the window, with a stencil buffer; without a display the program says so.
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, 64, 48);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR request = {}; // of RGBA type
    request.dwFlags = PFD_DOUBLEBUFFER | PFD_SUPPORT_OPENGL, request.cColorBits = 16, request.cStencilBits = 8;
    int format = ChoosePixelFormat(dc, &request);
    ASSERT_TRUE(format > 0 && SetPixelFormat(dc, format, &request));
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(context && wglMakeCurrent(dc, context)); // the format fits the window's visual
    GLint stencilBits = 0, doubleBuffered = GL_FALSE;
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits), glGetIntegerv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_TRUE(stencilBits >= 8 && doubleBuffered);
    wglDeleteContext(context), DestroyWindow(window);

    // Without a display the program says so and ends.
    ChildProcess lost("env DISPLAY= " WINDOW_HELPER " VantrelHelperClass Nowhere 2>&1");
    EXPECT_EQ(lost.Read('\0'), "vantrel: cannot open display\n"); // said once, and no window number follows
    EXPECT_EQ(lost.Wait(), 1);
}

TEST_F(X11, AForegroundPopupGetsInputUntilClosedAndAPreviewGetsNoneAndEndsWithItsParent)
{
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, 640, 480);
    ASSERT_TRUE(SetForegroundWindow(window) && GetForegroundWindow() == window);
    ASSERT_TRUE(PumpUntil([&] {
        return Got(window, WM_SHOWWINDOW, TRUE) && Got(window, WM_PAINT) && Got(window, WM_ACTIVATEAPP, TRUE);
    }));

    ASSERT_EQ(RunCommand("xdotool mousemove 100 120"), 0);
    POINT cursor = {};
    EXPECT_TRUE(GetCursorPos(&cursor) && Size(cursor.x, cursor.y) == Size(100, 120)) << cursor.x << ',' << cursor.y;
    ASSERT_EQ(RunCommand("xdotool key a click 1 click 3 click 2"), 0);
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_MBUTTONUP); }));
    EXPECT_EQ(ReceivedIds([](UINT id) { return id >= WM_KEYDOWN && id != WM_MOUSEMOVE; }),
              (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP,
                                 WM_MBUTTONDOWN, WM_MBUTTONUP}));
    EXPECT_TRUE(Got(window, WM_KEYDOWN, 'A') && Got(window, WM_MOUSEMOVE, (WPARAM)-1, MAKELPARAM(100, 120)));

    OtherProgram other("Elsewhere");
    ASSERT_TRUE(SetForegroundWindow(other.window));
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_ACTIVATEAPP, FALSE); }));
    // What a window manager sends when the user closes the window.
    Display *display = XOpenDisplay(nullptr);
    XEvent close = {.xclient = {ClientMessage, 0, False, display, (Window)(UINT_PTR)window,
                                XInternAtom(display, "WM_PROTOCOLS", False), 32, {}}};
    close.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSendEvent(display, close.xclient.window, False, NoEventMask, &close), XCloseDisplay(display);
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_DESTROY); }));
    EXPECT_TRUE(Got(window, WM_SYSCOMMAND, SC_CLOSE) && Got(window, WM_CLOSE));

    // A preview in the other program's window leaves input to it and ends cleanly when that goes.
    HWND preview = MakeWindow(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 200, 100, other.window);
    HWND empty = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, preview); // ours: it keeps its size
    ASSERT_TRUE(preview && empty && GetParent(preview) == other.window);
    RECT client = {1, 1, 1, 1};
    EXPECT_TRUE(GetClientRect(empty, &client) && !client.right && !client.bottom); // not the 1x1 X needs at least
    EXPECT_EQ(GetParent(FindWindowA(TestClass, nullptr)), nullptr); // a child is no top-level window
    ASSERT_TRUE(PumpUntil([&] { return Got(preview, WM_SHOWWINDOW, TRUE); }));

    ASSERT_EQ(RunCommand("xdotool mousemove 50 50 click 1 key a"), 0);
    PumpUntil([] { return false; }, 100); // dispatch the input before the window goes, and its queue with it
    kill(other.pid, SIGTERM);
    EXPECT_EQ(other.Wait(), 0); // its loop ended through WM_CLOSE and WM_DESTROY
    EXPECT_TRUE(PumpUntil([&] { return Got(preview, WM_DESTROY); }));
    EXPECT_FALSE(Got(preview, WM_MOUSEMOVE) || Got(preview, WM_LBUTTONDOWN) || Got(preview, WM_KEYDOWN));
}

TEST_F(X11, AWindowIsVisibleOnlyWhileItAndTheWindowsItLiesInAreMapped)
{
    HWND parent = MakeWindow(WS_POPUP | WS_VISIBLE), child = MakeWindow(WS_CHILD | WS_VISIBLE, 50, 50, parent);
    HWND hidden = MakeWindow(WS_POPUP);
    EXPECT_EQ(IsWindowVisible(parent), TRUE);
    EXPECT_EQ(IsWindowVisible(child), TRUE);
    EXPECT_EQ(IsWindowVisible(hidden), FALSE);
    Display *other = XOpenDisplay(nullptr); // as another program would hide it
    XUnmapWindow(other, (Window)(UINT_PTR)parent);
    XSync(other, False);
    XCloseDisplay(other);
    EXPECT_EQ(IsWindowVisible(child), FALSE);
    EXPECT_EQ(IsWindowVisible(parent), FALSE);
    for (HWND window : {child, parent, hidden})
        DestroyWindow(window);
}
