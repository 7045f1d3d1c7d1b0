// Linux: what the X11 pieces of the platform share. A window handle is the
// X window id itself, for our windows and foreign ones alike, and a window's
// device context is the window again.
#pragma once

#include <windows.h>

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <csignal>
#include <cstdint>

inline Window XidOf(HWND window) { return (Window)(UINT_PTR)window; }
inline HWND WindowOf(Window xid) { return (HWND)(UINT_PTR)xid; }

// ---- the connection (x11_display.cpp)
extern Display *XDisplay; // null until a window call needs it
extern Atom WmProtocolsAtom, WmDeleteWindowAtom, WindowClassAtom;

Display *OpenXDisplay(); // opened once; without a display the process says so and ends
void TrapXErrors();      // from here on, count protocol errors
bool XErrorsTrapped();   // waits for the server; true if an error came since TrapXErrors

// ---- windows of this process (x11_windows.cpp)
struct OwnWindow {
    WNDPROC proc;       // the class's window procedure
    HWND parent;        // null for top-level windows
    LONG width, height; // client size as made or last configured (X has no empty windows)
    VisualID visual;    // fixed at creation; the pixel format must match it
    Colormap colormap;
    int pixelFormat;    // 0 until SetPixelFormat
    bool destroying;    // WM_DESTROY is on its way: no more input
    bool gone;          // the server destroyed it with its parent
    Window follows;     // whose size it keeps: another program's window it lies in, or the root; None
};

extern volatile sig_atomic_t OwnWindowCount;

OwnWindow *FindOwnWindow(HWND window); // null for foreign windows and after DestroyWindow
void PostCloseToOwnWindows();           // WM_CLOSE to each, as a user's close would
void SendToTopLevelWindows(UINT message, WPARAM wParam, LPARAM lParam); // as Windows broadcasts
void NoteWindowSize(Window xid, LONG width, LONG height); // ours take it, and ours that cover it follow

// ---- the message queue (x11_messages.cpp)
void ForgetWindowMessages(HWND window); // its queued messages and its timers go with it
void WatchCloseSignals();               // SIGTERM, SIGINT and SIGHUP close our windows from now on

// ---- power events (power.cpp)
void WatchPower();              // from now on, power events reach our top-level windows
int PowerEventSocket();         // the kernel's device events to wait on, or -1
std::uint64_t NextPowerCheck(); // when the supplies and clocks are due a look; UINT64_MAX while not watching
void CheckPower();              // sends what changed since the last look, when one is due or announced

// ---- pixel formats (glx.cpp)
XVisualInfo *WindowVisual(); // what every window is made with, so any format the program picks fits
