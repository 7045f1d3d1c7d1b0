// Linux: window classes and windows over X11, with the device contexts,
// metrics, focus and cursor calls that go with them. Full-screen popups are
// override-redirect windows above all others; children may live inside a
// foreign window, such as the preview area of another program, and keep its size.
#include "x11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <map>
#include <string>
#include <strings.h>
#include <vector>

// ---- classes
struct WindowClass {
    std::string name;
    WNDPROC proc;
    bool blackBackground;
};

static std::vector<WindowClass> Classes;
static const ATOM FirstClassAtom = 0xC000;

// ---- windows
static std::map<HWND, OwnWindow> OwnWindows;
volatile sig_atomic_t OwnWindowCount;

// Top-level windows hear all input; a child leaves the input to its parent's program.
static const long TopLevelEvents = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                                   PointerMotionMask | FocusChangeMask | ExposureMask | StructureNotifyMask;
static const long ChildEvents = ExposureMask | StructureNotifyMask;

// ---- cursor
static Cursor InvisibleCursor; // made when first needed
static bool CursorHidden;

// ---- stock objects
static const int StockBlackBrush = BLACK_BRUSH; // its address is the handle

static Window ScreenRoot() { return DefaultRootWindow(OpenXDisplay()); }

static WindowClass *FindClass(LPCSTR name)
{
    for (WindowClass &windowClass : Classes)
        if (name && !strcasecmp(windowClass.name.c_str(), name))
            return &windowClass;
    return nullptr;
}

OwnWindow *FindOwnWindow(HWND window)
{
    auto found = OwnWindows.find(window);
    return found == OwnWindows.end() ? nullptr : &found->second;
}

void PostCloseToOwnWindows()
{
    for (auto &[window, own] : OwnWindows)
        PostMessageA(window, WM_CLOSE, 0, 0);
}

// Sent one by one; a window that an earlier one's handling destroyed is skipped.
static void SendToEach(const std::vector<HWND> &windows, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (HWND window : windows)
        if (OwnWindow *own = FindOwnWindow(window); own && !own->destroying)
            SendMessageA(window, message, wParam, lParam);
}

void SendToTopLevelWindows(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::vector<HWND> topLevel;
    for (auto &[window, own] : OwnWindows)
        if (!own.parent)
            topLevel.push_back(window);
    SendToEach(topLevel, message, wParam, lParam);
}

// On Windows the program that owns a preview's parent resizes the preview,
// and the saver's own window stays as made when the screen changes; here the
// platform stands in for them, so a window keeps covering what it covered.
void NoteWindowSize(Window xid, LONG width, LONG height)
{
    std::vector<HWND> resized;
    for (auto &[window, own] : OwnWindows) {
        bool follows = own.follows == xid, itself = XidOf(window) == xid && !own.follows;
        if (!(follows || itself) || (own.width == width && own.height == height))
            continue;
        own.width = width;
        own.height = height;
        resized.push_back(window);
        if (follows)
            XResizeWindow(XDisplay, XidOf(window), (unsigned)width, (unsigned)height);
    }
    SendToEach(resized, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
}

// What a new window keeps covering: the window of another program it is made
// inside (a preview's parent), or the screen when it is made over all of it.
static Window WindowToFollow(HWND parent, int x, int y, int width, int height)
{
    if (parent)
        return FindOwnWindow(parent) ? None : XidOf(parent);
    RECT screen;
    GetClientRect(GetDesktopWindow(), &screen);
    return x == 0 && y == 0 && width == screen.right && height == screen.bottom ? ScreenRoot() : None;
}

// Class names compare without case, as on Windows; the first class registered under a name keeps it.
ATOM WINAPI RegisterClassA(const WNDCLASSA *windowClass)
{
    OpenXDisplay();
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc || FindClass(windowClass->lpszClassName))
        return 0;
    bool black = windowClass->hbrBackground == (HBRUSH)GetStockObject(BLACK_BRUSH);
    Classes.push_back({windowClass->lpszClassName, windowClass->lpfnWndProc, black});
    return (ATOM)(FirstClassAtom + Classes.size() - 1);
}

static Cursor MakeInvisibleCursor()
{
    if (!InvisibleCursor) {
        static const char noBits[1] = {0};
        Pixmap empty = XCreateBitmapFromData(XDisplay, ScreenRoot(), noBits, 1, 1);
        XColor black = {};
        InvisibleCursor = XCreatePixmapCursor(XDisplay, empty, empty, &black, &black, 0, 0);
        XFreePixmap(XDisplay, empty);
    }
    return InvisibleCursor;
}

// Names the window for other programs: WM_NAME and WM_CLASS for window
// managers, our own class property for FindWindowA in another process.
static void NameWindow(Window xid, const WindowClass &windowClass, LPCSTR title, bool topLevel)
{
    XStoreName(XDisplay, xid, title ? title : "");
    XClassHint hint = {(char *)"vantrel", (char *)windowClass.name.c_str()};
    XSetClassHint(XDisplay, xid, &hint);
    XChangeProperty(XDisplay, xid, WindowClassAtom, XA_STRING, 8, PropModeReplace,
                    (const unsigned char *)windowClass.name.c_str(), (int)windowClass.name.size());
    if (topLevel)
        XSetWMProtocols(XDisplay, xid, &WmDeleteWindowAtom, 1);
}

// WM_CREATE runs before the window is shown; -1 from it undoes the window.
HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU, HINSTANCE, LPVOID)
{
    Display *display = OpenXDisplay();
    const WindowClass *windowClass = FindClass(className);
    bool child = style & WS_CHILD;
    if (!windowClass || (child && !parent))
        return nullptr;
    XVisualInfo *visual = WindowVisual();
    XSetWindowAttributes attributes = {};
    unsigned long mask = CWColormap | CWBorderPixel | CWEventMask | CWOverrideRedirect | CWCursor;
    attributes.colormap = XCreateColormap(display, ScreenRoot(), visual->visual, AllocNone);
    attributes.event_mask = child ? ChildEvents : TopLevelEvents;
    attributes.override_redirect = (style & WS_POPUP) != 0;
    attributes.cursor = CursorHidden ? MakeInvisibleCursor() : None;
    if (windowClass->blackBackground)
        mask |= CWBackPixel; // a pixel of 0 is black in any true-colour visual

    Window follows = WindowToFollow(child ? parent : nullptr, x, y, width, height);
    TrapXErrors();
    Window xid = XCreateWindow(display, child ? XidOf(parent) : ScreenRoot(), x, y,
                               (unsigned)std::max(width, 1), (unsigned)std::max(height, 1), 0, visual->depth,
                               InputOutput, visual->visual, mask, &attributes);
    if (XErrorsTrapped()) { // the parent went away, or the request was bad
        XFreeColormap(display, attributes.colormap);
        return nullptr;
    }
    NameWindow(xid, *windowClass, title, !child);

    HWND window = WindowOf(xid);
    OwnWindows[window] = OwnWindow{windowClass->proc, child ? parent : nullptr, std::max(width, 0),
                                   std::max(height, 0), visual->visualid, attributes.colormap, 0, false, false,
                                   follows};
    OwnWindowCount = (sig_atomic_t)OwnWindows.size();
    WatchCloseSignals();
    if (follows)
        XSelectInput(display, follows, StructureNotifyMask); // the root's size changes with the screen's
    if (!child)
        WatchPower();
    if (SendMessageA(window, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    if ((style & WS_VISIBLE) && width > 0 && height > 0) // an empty window stays unmapped: X has no such size
        XMapRaised(display, xid);
    RECT now; // a change before the selection took hold would otherwise go unseen
    if (follows && GetClientRect(WindowOf(follows), &now))
        NoteWindowSize(follows, now.right, now.bottom);
    XFlush(display);
    return window;
}

// WM_DESTROY first, then the X window, unless the server destroyed it already.
BOOL WINAPI DestroyWindow(HWND window)
{
    auto found = OwnWindows.find(window);
    if (found == OwnWindows.end() || found->second.destroying)
        return found != OwnWindows.end();
    found->second.destroying = true;
    SendMessageA(window, WM_DESTROY, 0, 0);
    found = OwnWindows.find(window);
    if (!found->second.gone)
        XDestroyWindow(XDisplay, XidOf(window));
    XFreeColormap(XDisplay, found->second.colormap);
    XFlush(XDisplay);
    OwnWindows.erase(found);
    OwnWindowCount = (sig_atomic_t)OwnWindows.size();
    ForgetWindowMessages(window);
    return TRUE;
}

// Any window of the display counts, also another program's.
BOOL WINAPI IsWindow(HWND window)
{
    if (!window)
        return FALSE;
    if (OwnWindow *own = FindOwnWindow(window); own && !own->gone)
        return TRUE;
    XWindowAttributes attributes;
    return XGetWindowAttributes(OpenXDisplay(), XidOf(window), &attributes) != 0;
}

// Whether the window could be seen: it and every window it lies in are mapped.
BOOL WINAPI IsWindowVisible(HWND window)
{
    XWindowAttributes attributes;
    return window && XGetWindowAttributes(OpenXDisplay(), XidOf(window), &attributes)
        && attributes.map_state == IsViewable;
}

// The screen's root window.
HWND WINAPI GetDesktopWindow(void) { return WindowOf(ScreenRoot()); }

// Top-level windows have no parent; the desktop is nobody's parent.
HWND WINAPI GetParent(HWND window)
{
    if (OwnWindow *own = FindOwnWindow(window))
        return own->parent;
    Window root, parent, *children = nullptr;
    unsigned count;
    if (!XQueryTree(OpenXDisplay(), XidOf(window), &root, &parent, &children, &count))
        return nullptr;
    if (children)
        XFree(children);
    return parent == root ? nullptr : WindowOf(parent);
}

// X windows have no frame of their own: the client area is the whole window.
BOOL WINAPI GetClientRect(HWND window, LPRECT rect)
{
    if (OwnWindow *own = FindOwnWindow(window)) {
        *rect = RECT{0, 0, own->width, own->height};
        return TRUE;
    }
    XWindowAttributes attributes;
    if (!window || !XGetWindowAttributes(OpenXDisplay(), XidOf(window), &attributes))
        return FALSE;
    *rect = RECT{0, 0, attributes.width, attributes.height};
    return TRUE;
}

// The virtual screen is the root window: every monitor of the display, from 0, 0.
int WINAPI GetSystemMetrics(int index)
{
    RECT root;
    GetClientRect(GetDesktopWindow(), &root);
    switch (index) {
    case SM_CXVIRTUALSCREEN:
        return root.right;
    case SM_CYVIRTUALSCREEN:
        return root.bottom;
    default:
        return 0;
    }
}

// Top-level windows only, the topmost first, as on Windows; names compare without case.
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR title)
{
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    XQueryTree(OpenXDisplay(), ScreenRoot(), &root, &parent, &children, &count);
    HWND found = nullptr;
    for (unsigned i = count; i-- > 0 && !found;) {
        Atom type;
        int format;
        unsigned long length, after;
        unsigned char *storedClass = nullptr;
        char *storedTitle = nullptr;
        bool matches = true;
        if (className)
            matches = XGetWindowProperty(XDisplay, children[i], WindowClassAtom, 0, 256, False, XA_STRING, &type,
                                         &format, &length, &after, &storedClass) == Success &&
                      storedClass && !strcasecmp((const char *)storedClass, className);
        if (matches && title)
            matches = XFetchName(XDisplay, children[i], &storedTitle) && !strcasecmp(storedTitle, title);
        if (matches)
            found = WindowOf(children[i]);
        if (storedClass)
            XFree(storedClass);
        if (storedTitle)
            XFree(storedTitle);
    }
    if (children)
        XFree(children);
    return found;
}

// Raises the window and gives it the keyboard; fails for windows that cannot take it.
BOOL WINAPI SetForegroundWindow(HWND window)
{
    TrapXErrors();
    XRaiseWindow(XDisplay, XidOf(window));
    XSetInputFocus(XDisplay, XidOf(window), RevertToPointerRoot, CurrentTime);
    return !XErrorsTrapped();
}

// The window with the keyboard focus; none while the focus follows the pointer.
HWND WINAPI GetForegroundWindow(void)
{
    Window focus;
    int revert;
    XGetInputFocus(OpenXDisplay(), &focus, &revert);
    return focus == None || focus == PointerRoot ? nullptr : WindowOf(focus);
}

// With no window, the whole screen.
HDC WINAPI GetDC(HWND window) { return (HDC)(window ? window : GetDesktopWindow()); }

int WINAPI ReleaseDC(HWND, HDC) { return 1; }

int WINAPI GetClipBox(HDC dc, LPRECT rect) { return GetClientRect((HWND)dc, rect) ? SIMPLEREGION : 0; }

// The program has no icon resource; a class without an icon is fine.
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) { return nullptr; }

HGDIOBJ WINAPI GetStockObject(int object) { return object == BLACK_BRUSH ? (HGDIOBJ)&StockBlackBrush : nullptr; }

BOOL WINAPI GetCursorPos(LPPOINT point)
{
    Window root, child;
    int x, y, windowX, windowY;
    unsigned buttons;
    XQueryPointer(OpenXDisplay(), ScreenRoot(), &root, &child, &x, &y, &windowX, &windowY, &buttons);
    *point = POINT{x, y};
    return TRUE;
}

// With no cursor, the pointer is invisible over our windows, also ones made later.
HCURSOR WINAPI SetCursor(HCURSOR cursor)
{
    Display *display = OpenXDisplay();
    CursorHidden = cursor == nullptr;
    for (auto &[window, own] : OwnWindows)
        if (CursorHidden)
            XDefineCursor(display, XidOf(window), MakeInvisibleCursor());
        else
            XUndefineCursor(display, XidOf(window));
    return nullptr;
}
