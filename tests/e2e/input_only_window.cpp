// Tests: another program's window that nothing can be drawn into (InputOnly),
// 200x100 at 0, 0. Prints its id and waits to be killed.
#include <X11/Xlib.h>

#include <cstdio>
#include <unistd.h>

int main()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    XSetWindowAttributes none = {};
    Window window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 200, 100, 0, 0, InputOnly,
                                  CopyFromParent, 0, &none);
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("%lu\n", window);
    std::fflush(stdout);
    pause();
}
