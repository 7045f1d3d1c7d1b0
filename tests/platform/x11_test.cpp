// The X11 platform against a virtual X server of the test program's own: the message queue and timers, what
// other programs do to our windows, the cursor, and pixel formats. Input, previews in another program's window, other
// windows found and the picture in the chosen pixel format the end-to-end tests show with the real program.
#include "tests/support/xvfb.h"

#include <windows.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <GL/glx.h>
#include <dlfcn.h>

#include "platform/x11.h"

#include <algorithm>
#include <span>
#include <vector>

static std::vector<MSG> Received; // every message a test window got, oldest first

static LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Received.push_back(MSG{window, message, wParam, lParam, 0, {}});
    return DefWindowProcA(window, message, wParam, lParam);
}

// Popups made without WS_VISIBLE are never shown: no X input comes between.
static HWND MakeWindow(DWORD style, int width = 200, int height = 100, HWND parent = nullptr)
{
    static const WNDCLASSA windowClass = {0, RecordingProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "Test"};
    static const ATOM registered = RegisterClassA(&windowClass);
    return registered ? CreateWindowExA(0, "Test", "Test", style, 0, 0, width, height, parent, 0, 0, 0) : nullptr;
}

// Whether the window got the message, with the given wParam unless it is -1.
static bool Got(HWND window, UINT message, WPARAM wParam = (WPARAM)-1)
{
    return std::ranges::any_of(Received, [&](const MSG &m) {
        return m.hwnd == window && m.message == message && (wParam == (WPARAM)-1 || m.wParam == wParam);
    });
}

// Dispatches messages until the condition holds or time is up; whether it holds.
template <class Condition> static bool PumpUntil(Condition done, UINT milliseconds = 5000)
{
    UINT_PTR deadline = SetTimer(nullptr, 0, milliseconds, nullptr);
    MSG message = {};
    while (!done() && !(message.message == WM_TIMER && !message.hwnd && message.wParam == deadline)) {
        GetMessageA(&message, nullptr, 0, 0);
        DispatchMessageA(&message);
    }
    KillTimer(nullptr, deadline);
    return done();
}

TEST(X11, PostedMessagesComeBeforeExpiredTimersWhichNeverBuildABacklog)
{
    HWND window = MakeWindow(WS_POPUP);
    ASSERT_EQ(SetTimer(window, 5, 10, nullptr), 5u);
    Sleep(30);
    ASSERT_TRUE(PostMessageA(window, WM_USER, 1, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER, 2, 0)); // a thread message
    ASSERT_TRUE(PostMessageA(window, WM_TIMER, 9, 0));
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, window, WM_TIMER, WM_TIMER, PM_REMOVE)); // by window and range
    EXPECT_EQ(m.wParam, 9u);
    const std::tuple<HWND, UINT, WPARAM> order[] = {{window, WM_USER, 1}, {nullptr, WM_USER, 2}, {window, WM_TIMER, 5}};
    for (const auto &expected : order) {
        ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
        EXPECT_EQ(std::tuple(m.hwnd, m.message, m.wParam), expected);
    }
    // A stalled thread gets one message for each live timer; a callback runs instead of a window procedure.
    static std::vector<UINT_PTR> calls; // the timers the callback ran for
    EXPECT_TRUE(KillTimer(window, 5));
    EXPECT_EQ(SetTimer(window, 0, 1, nullptr), 1u); // nonzero for window timer 0, as Windows answers
    EXPECT_TRUE(KillTimer(nullptr, SetTimer(nullptr, 0, 1, nullptr)));
    UINT_PTR counted = SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR id, DWORD) { calls.push_back(id); });
    Sleep(200); // twenty periods of 10 ms missed by each
    std::vector<MSG> ready;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        ready.push_back(m);
    ASSERT_EQ(ready.size(), 2u);
    for (const MSG &r : ready)
        DispatchMessageA(&r);
    EXPECT_EQ(calls, std::vector<UINT_PTR>{counted});
    EXPECT_TRUE(Got(window, WM_TIMER, 0));
}

// Leaving the foreground, hidden or closed by another program, as a window manager closes it for the user.
TEST(X11, AWindowHearsWhatOtherProgramsDoToIt)
{
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, 640, 480);
    ASSERT_TRUE(SetForegroundWindow(window));
    ASSERT_TRUE(PumpUntil([&] { return Got(window, WM_PAINT) && Got(window, WM_ACTIVATEAPP, TRUE); }));
    Display *display = XOpenDisplay(nullptr);
    XSetInputFocus(display, DefaultRootWindow(display), RevertToNone, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_ACTIVATEAPP, FALSE); }));
    EXPECT_EQ(IsWindowVisible(window), TRUE);
    XUnmapWindow(display, (Window)(UINT_PTR)window);
    XSync(display, False);
    EXPECT_EQ(IsWindowVisible(window), FALSE);
    XEvent close = {.xclient = {ClientMessage, 0, False, display, (Window)(UINT_PTR)window,
                                XInternAtom(display, "WM_PROTOCOLS", False), 32, {}}};
    close.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSendEvent(display, close.xclient.window, False, NoEventMask, &close);
    XCloseDisplay(display);
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_DESTROY); }));
    EXPECT_TRUE(Got(window, WM_SYSCOMMAND, SC_CLOSE));
}

// A window is found by its class and title, whatever their case, while it lives; none is made of a class
// never registered, nor a child without a parent.
TEST(X11, WindowsAreFoundByClassAndTitleWhileTheyLive)
{
    HWND window = MakeWindow(WS_POPUP);
    EXPECT_EQ(FindWindowA("test", "TEST"), window);
    EXPECT_EQ(FindWindowA("Test", "Other"), nullptr);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(FindWindowA("Test", "Test"), nullptr);
    EXPECT_EQ(CreateWindowExA(0, "Unregistered", "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(MakeWindow(WS_CHILD), nullptr);
}

// With no cursor the pointer is invisible over our windows, also over ones made later.
TEST(X11, WithoutACursorThePointerIsInvisibleOverOurWindows)
{
    Display *display = XOpenDisplay(nullptr);
    auto shown = [display] { // the opaque pixels of the pointer's image, once the platform's requests are in
        IsWindow(GetDesktopWindow());
        XFixesCursorImage *image = XFixesGetCursorImage(display);
        auto opaque = std::ranges::count_if(std::span(image->pixels, image->width * image->height),
                                            [](unsigned long pixel) { return pixel >> 24 != 0; });
        XFree(image);
        return opaque;
    };
    MakeWindow(WS_POPUP | WS_VISIBLE, 100, 100);
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, 50, 50);
    EXPECT_GT(shown(), 0);
    SetCursor(nullptr);
    EXPECT_EQ(shown(), 0);
    MakeWindow(WS_POPUP | WS_VISIBLE, 100, 100); // on top of the first, under the pointer
    EXPECT_EQ(shown(), 0);
    XCloseDisplay(display);
}

// The screen's GLX configs as the platform read them, in its own list, which a test may reorder.
static GLXFBConfig *Listed;
static int ListedCount;
extern "C" GLXFBConfig *glXGetFBConfigs(Display *display, int screen, int *count)
{
    static auto real = (decltype(&glXGetFBConfigs))dlsym(RTLD_NEXT, "glXGetFBConfigs");
    Listed = real(display, screen, count);
    ListedCount = *count;
    return Listed;
}

// Format n is the screen's n-th config, the last one too: a window takes it.
TEST(X11, AWindowTakesTheFormatOfTheScreensLastConfig)
{
    HWND window = MakeWindow(WS_POPUP); // the list is read when the windows' visual is chosen
    std::stable_partition(Listed, Listed + ListedCount, [](GLXFBConfig config) { // the window's config last
        XVisualInfo *info = glXGetVisualFromFBConfig(XDisplay, config);
        bool own = info && info->visualid == WindowVisual()->visualid;
        XFree(info);
        return !own;
    });
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR request = {}; // as the scene asks
    request.dwFlags = PFD_DOUBLEBUFFER | PFD_SUPPORT_OPENGL;
    request.cColorBits = 16;
    request.cStencilBits = 8;
    int format = ChoosePixelFormat(dc, &request);
    EXPECT_EQ(format, ListedCount);
    EXPECT_TRUE(SetPixelFormat(dc, format, &request));
}
