// Windows over X11: other programs' windows, foreign and bogus ids, the
// virtual screen, input from the server, previews in a foreign parent, the
// pixel format, and what happens without a display.
#include "x11_fixture.h"

#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <cstring>

static auto *Server = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

namespace {

using Windows = X11Test;

// Another program with a top-level window of the given class and title.
struct OtherProgram : ChildProcess {
    HWND window = nullptr;

    OtherProgram(const char *className, const char *title) : ChildProcess({WINDOW_HELPER, className, title})
    {
        window = (HWND)(UINT_PTR)std::strtoul(ReadLine().c_str(), nullptr, 10);
    }
};

// Polls a condition for a moment: another process's doings reach us in their own time.
template <class Condition> bool Eventually(Condition condition)
{
    for (int i = 0; i < 200 && !condition(); i++)
        Sleep(10);
    return condition();
}

TEST_F(Windows, AnotherProgramsWindowIsFoundByClassAndTitleAndClosesOnSigterm)
{
    OtherProgram other("VantrelHelperClass", "Helper Title");
    ASSERT_TRUE(other.window);
    EXPECT_EQ(FindWindowA("VantrelHelperClass", "Helper Title"), other.window);
    EXPECT_EQ(FindWindowA("vantrelhelperclass", nullptr), other.window);
    EXPECT_EQ(FindWindowA("VantrelHelperClass", "Screen Saver"), nullptr);
    EXPECT_EQ(FindWindowA(TestClass, "Helper Title"), nullptr);
    EXPECT_TRUE(IsWindow(other.window));
    EXPECT_EQ(GetParent(other.window), nullptr);
    RECT client;
    ASSERT_TRUE(GetClientRect(other.window, &client));
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);

    kill(other.pid, SIGTERM);
    EXPECT_EQ(other.Wait(), 0); // its message loop ended through WM_CLOSE and WM_DESTROY
    EXPECT_TRUE(Eventually([&] { return !IsWindow(other.window); }));
    EXPECT_EQ(FindWindowA("VantrelHelperClass", "Helper Title"), nullptr);
}

TEST_F(Windows, BogusAndDestroyedIdsAreNoWindowsAndHarmNothing)
{
    HWND bogus = (HWND)(UINT_PTR)0x1FFFFFF0;
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(IsWindow(bogus));
    RECT client;
    EXPECT_FALSE(GetClientRect(bogus, &client));
    EXPECT_EQ(GetParent(bogus), nullptr);
    EXPECT_FALSE(SetForegroundWindow(bogus));
    EXPECT_FALSE(CreateWindowExA(0, TestClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, bogus, nullptr, nullptr,
                                 nullptr));

    HWND window = MakeWindow(WS_POPUP);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindow(GetDesktopWindow()));
    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(IsWindow(GetDesktopWindow())); // the connection is still good
}

TEST_F(Windows, TheVirtualScreenIsTheRootWindow)
{
    EXPECT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), 0);
    EXPECT_EQ(GetSystemMetrics(SM_YVIRTUALSCREEN), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 640);
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), 480);
    HDC screen = GetDC(nullptr);
    RECT box = {};
    EXPECT_EQ(GetClipBox(screen, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 640);
    EXPECT_EQ(box.bottom, 480);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST_F(Windows, KeysClicksAndMotionReachTheForegroundPopup)
{
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, 640, 480);
    ASSERT_TRUE(window);
    ASSERT_TRUE(SetForegroundWindow(window));
    EXPECT_EQ(GetForegroundWindow(), window);
    ASSERT_TRUE(PumpUntil([&] { return Got(window, WM_SHOWWINDOW, TRUE) && Got(window, WM_PAINT); }));

    ASSERT_EQ(RunCommand({"xdotool", "mousemove", "100", "120"}), 0);
    POINT cursor;
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, 100);
    EXPECT_EQ(cursor.y, 120);
    ASSERT_EQ(RunCommand({"xdotool", "key", "a", "click", "1", "click", "3", "click", "2"}), 0);
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_MBUTTONUP); }));

    std::vector<UINT> input;
    for (const MSG &m : Received)
        if (m.message >= WM_KEYDOWN && m.message != WM_MOUSEMOVE)
            input.push_back(m.message);
    EXPECT_EQ(input, (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                                        WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}));
    EXPECT_TRUE(Got(window, WM_KEYDOWN, 'A'));
    bool movedThere = false;
    for (const MSG &m : Received)
        movedThere |= m.message == WM_MOUSEMOVE && m.lParam == MAKELPARAM(100, 120);
    EXPECT_TRUE(movedThere);
    DestroyWindow(window);
}

TEST_F(Windows, LosingTheFocusDeactivatesAndAClosingWindowManagerClosesIt)
{
    HWND window = MakeWindow(WS_VISIBLE);
    OtherProgram other("VantrelHelperClass", "Elsewhere");
    ASSERT_TRUE(window && other.window);
    ASSERT_TRUE(SetForegroundWindow(window));
    ASSERT_TRUE(PumpUntil([&] { return Got(window, WM_ACTIVATEAPP, TRUE); }));
    ASSERT_TRUE(SetForegroundWindow(other.window));
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_ACTIVATEAPP, FALSE); }));

    // What a window manager sends when the user closes the window.
    Display *display = XOpenDisplay(nullptr);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = (Window)(UINT_PTR)window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(display);
    EXPECT_TRUE(PumpUntil([&] { return Got(window, WM_DESTROY); }));
    EXPECT_TRUE(Got(window, WM_SYSCOMMAND, SC_CLOSE));
    EXPECT_TRUE(Got(window, WM_CLOSE));
}

TEST_F(Windows, APreviewLeavesInputToItsParentAndEndsCleanlyWhenTheParentGoes)
{
    OtherProgram other("VantrelHelperClass", "Display Settings");
    ASSERT_TRUE(other.window);
    HWND preview = MakeWindow(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 200, 100, other.window);
    ASSERT_TRUE(preview);
    EXPECT_EQ(GetParent(preview), other.window);
    EXPECT_EQ(FindWindowA(TestClass, nullptr), nullptr); // a child is no top-level window
    ASSERT_TRUE(PumpUntil([&] { return Got(preview, WM_SHOWWINDOW, TRUE); }));

    ASSERT_EQ(RunCommand({"xdotool", "mousemove", "50", "50", "click", "1", "key", "a"}), 0);
    kill(other.pid, SIGTERM);
    EXPECT_EQ(other.Wait(), 0);
    ASSERT_TRUE(PumpUntil([] { return !QuitCodes.empty(); }));
    EXPECT_EQ(QuitCodes, std::vector<WPARAM>{QuitCodeOnDestroy}); // the loop ends as after any close
    EXPECT_TRUE(Got(preview, WM_DESTROY));
    EXPECT_FALSE(IsWindow(preview));
    for (UINT input : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_KEYDOWN})
        EXPECT_FALSE(Got(preview, input)) << input;
}

TEST_F(Windows, AnEmptyPreviewKeepsItsEmptySize)
{
    HWND parent = MakeWindow(WS_VISIBLE, 100, 100);
    HWND preview = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, parent);
    ASSERT_TRUE(preview);
    RECT client = {1, 1, 1, 1};
    ASSERT_TRUE(GetClientRect(preview, &client));
    EXPECT_EQ(client.right, 0);
    EXPECT_EQ(client.bottom, 0);
    DestroyWindow(preview);
    DestroyWindow(parent);
}

TEST_F(Windows, TheScenesPixelFormatFitsTheWindowWithAStencilBuffer)
{
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, 64, 48);
    ASSERT_TRUE(window);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DOUBLEBUFFER | PFD_SUPPORT_OPENGL;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 16;
    request.cStencilBits = 8;
    int format = ChoosePixelFormat(dc, &request);
    ASSERT_GT(format, 0);
    ASSERT_TRUE(SetPixelFormat(dc, format, &request));
    EXPECT_TRUE(SetPixelFormat(dc, format, &request)); // the same again is fine
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(context);
    ASSERT_TRUE(wglMakeCurrent(dc, context));

    GLint stencilBits = 0, redBits = 0;
    GLboolean doubleBuffered = GL_FALSE;
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    glGetIntegerv(GL_RED_BITS, &redBits);
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_GE(stencilBits, 8);
    EXPECT_GE(redBits, 5);
    EXPECT_TRUE(doubleBuffered);

    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    EXPECT_TRUE(SwapBuffers(dc));
    glFinish();
    IsWindow(GetDesktopWindow()); // a round trip: the swap has reached the server
    Display *display = XOpenDisplay(nullptr);
    XImage *image = XGetImage(display, (Window)(UINT_PTR)window, 32, 24, 1, 1, AllPlanes, ZPixmap);
    ASSERT_TRUE(image);
    EXPECT_EQ(XGetPixel(image, 0, 0) & 0xFFFFFF, 0xFF0000u); // the window shows the red frame
    XDestroyImage(image);
    XCloseDisplay(display);

    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_TRUE(wglDeleteContext(context));
    ReleaseDC(window, dc);
    DestroyWindow(window);
}

TEST_F(Windows, WithoutADisplayTheProgramSaysSoAndEnds)
{
    char noDisplay[] = "DISPLAY=";
    char *environment[] = {noDisplay, nullptr};
    ChildProcess other({WINDOW_HELPER, "VantrelHelperClass", "Nowhere"}, true, environment);
    EXPECT_EQ(other.ReadLine(), "vantrel: cannot open display");
    EXPECT_EQ(other.ReadLine(), ""); // said once, and no window number follows
    EXPECT_EQ(other.Wait(), 1);
}

} // namespace
