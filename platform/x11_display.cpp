// Linux: the one connection to the X server. X errors never end the
// process: a foreign window may vanish at any moment (a preview's parent
// does), and the calls that care ask for their errors explicitly.
#include "x11.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// ---- connection
Display *XDisplay;
Atom WmProtocolsAtom, WmDeleteWindowAtom, WindowClassAtom;

// ---- errors
static unsigned long XErrorCount; // protocol errors since the last TrapXErrors

static int CountXError(Display *, XErrorEvent *)
{
    XErrorCount++;
    return 0;
}

// The server is gone and with it every window: nothing is left to draw or restore.
static int LoseDisplay(Display *)
{
    static const char message[] = "vantrel: lost the display\n";
    if (write(STDERR_FILENO, message, sizeof message - 1) < 0) {
    }
    _exit(1);
}

Display *OpenXDisplay()
{
    if (XDisplay)
        return XDisplay;
    XSetErrorHandler(CountXError);
    XSetIOErrorHandler(LoseDisplay);
    XDisplay = XOpenDisplay(nullptr);
    if (!XDisplay) {
        std::fputs("vantrel: cannot open display\n", stderr);
        std::exit(1);
    }
    WmProtocolsAtom = XInternAtom(XDisplay, "WM_PROTOCOLS", False);
    WmDeleteWindowAtom = XInternAtom(XDisplay, "WM_DELETE_WINDOW", False);
    WindowClassAtom = XInternAtom(XDisplay, "_VANTREL_WINDOW_CLASS", False);
    return XDisplay;
}

void TrapXErrors()
{
    XSync(OpenXDisplay(), False);
    XErrorCount = 0;
}

bool XErrorsTrapped()
{
    XSync(XDisplay, False);
    return XErrorCount != 0;
}
