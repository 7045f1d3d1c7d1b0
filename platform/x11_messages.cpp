// Linux: the thread's message queue over the X connection. Posted messages
// and X input come first, in the order they arrived; then the quit message;
// then one WM_TIMER of the timer that has waited longest. A timer never
// builds a backlog: one that expired several times while the thread was
// busy is delivered once, and its schedule moves on.
#include "kernel.h"
#include "x11.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

// ---- the thread's queue
static thread_local std::deque<MSG> Posted; // posted messages and translated X input, oldest first
static thread_local bool QuitPosted;
static thread_local int QuitCode;

// ---- timers
struct Timer {
    HWND window; // none for a thread timer
    UINT_PTR id;
    UINT period;       // milliseconds, at least USER_TIMER_MINIMUM
    TIMERPROC proc;    // none: WM_TIMER goes to the window procedure
    std::uint64_t due; // next expiry, in MonotonicMilliseconds
};

static thread_local std::vector<Timer> Timers;
static thread_local UINT_PTR LastThreadTimerId;

// ---- registered messages
static std::map<std::string, UINT> RegisteredMessages; // by lower-case name
static const UINT FirstRegisteredMessage = 0xC000, LastRegisteredMessage = 0xFFFF;

// ---- close signals
static int WakeupPipe[2] = {-1, -1}; // the signal handler writes, the queue reads

// ---- X buttons 1 to 3: left, middle, right
struct ButtonMessages {
    UINT down, up;
};

static const ButtonMessages Buttons[] = {
    {WM_LBUTTONDOWN, WM_LBUTTONUP}, {WM_MBUTTONDOWN, WM_MBUTTONUP}, {WM_RBUTTONDOWN, WM_RBUTTONUP}};

static void Enqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Posted.push_back(MSG{window, message, wParam, lParam, GetTickCount(), {}});
}

// Letters and digits carry their Windows virtual-key codes; other keys 0.
static WPARAM VirtualKey(XKeyEvent *event)
{
    KeySym symbol = XLookupKeysym(event, 0);
    if (symbol >= XK_a && symbol <= XK_z)
        return symbol - XK_a + 'A';
    return symbol >= XK_0 && symbol <= XK_9 ? symbol : 0;
}

// Grabs lend the keyboard out for a moment, and focus moving inside our
// window or to the pointer is no change of the active program.
static bool ActivationChanges(const XFocusChangeEvent &event)
{
    return event.mode != NotifyGrab && event.mode != NotifyUngrab && event.detail != NotifyInferior &&
           event.detail != NotifyPointer;
}

// One X event as the message it stands for; a window the server destroyed
// (with its parent) is destroyed here too, so its WM_DESTROY still runs.
static void TranslateXEvent(XEvent &event)
{
    if (event.type == ConfigureNotify) // of our window, or of one that ours covers
        NoteWindowSize(event.xconfigure.window, event.xconfigure.width, event.xconfigure.height);
    HWND window = WindowOf(event.xany.window);
    OwnWindow *own = FindOwnWindow(window);
    if (!own || own->destroying)
        return;
    switch (event.type) {
    case KeyPress:
    case KeyRelease: {
        bool down = event.type == KeyPress, system = event.xkey.state & Mod1Mask;
        UINT message = system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
        Enqueue(window, message, VirtualKey(&event.xkey), 0);
        break;
    }
    case ButtonPress:
    case ButtonRelease:
        if (event.xbutton.button >= Button1 && event.xbutton.button <= Button3) {
            const ButtonMessages &button = Buttons[event.xbutton.button - Button1];
            Enqueue(window, event.type == ButtonPress ? button.down : button.up, 0,
                    MAKELPARAM(event.xbutton.x, event.xbutton.y));
        }
        break;
    case MotionNotify:
        Enqueue(window, WM_MOUSEMOVE, 0, MAKELPARAM(event.xmotion.x, event.xmotion.y));
        break;
    case FocusIn:
    case FocusOut:
        if (ActivationChanges(event.xfocus))
            Enqueue(window, WM_ACTIVATEAPP, event.type == FocusIn, 0);
        break;
    case MapNotify:
        Enqueue(window, WM_SHOWWINDOW, TRUE, 0);
        break;
    case Expose:
        if (event.xexpose.count == 0) // the last of a series
            Enqueue(window, WM_PAINT, 0, 0);
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == XidOf(window)) {
            own->gone = true;
            DestroyWindow(window);
        }
        break;
    case ClientMessage:
        if (event.xclient.message_type == WmProtocolsAtom && (Atom)event.xclient.data.l[0] == WmDeleteWindowAtom)
            Enqueue(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
}

static void ReadXEvents()
{
    while (XDisplay && XPending(XDisplay)) {
        XEvent event;
        XNextEvent(XDisplay, &event);
        TranslateXEvent(event);
    }
}

static void ReadCloseSignals()
{
    char bytes[16];
    bool signalled = false;
    while (WakeupPipe[0] >= 0 && read(WakeupPipe[0], bytes, sizeof bytes) > 0)
        signalled = true;
    if (signalled)
        PostCloseToOwnWindows();
}

// GetMessage's filter: one window or any, a message range or all when both ends are 0.
static bool Passes(HWND window, UINT message, HWND filter, UINT first, UINT last)
{
    return (!filter || window == filter) && ((first == 0 && last == 0) || (message >= first && message <= last));
}

// The filter's timer that expires first, expired or not.
static Timer *NextTimer(HWND filter, UINT first, UINT last)
{
    Timer *next = nullptr;
    for (Timer &timer : Timers)
        if (Passes(timer.window, WM_TIMER, filter, first, last) && (!next || timer.due < next->due))
            next = &timer;
    return next;
}

static bool TakeMessage(LPMSG message, HWND filter, UINT first, UINT last, bool remove)
{
    ReadCloseSignals();
    CheckPower();
    ReadXEvents();
    for (auto queued = Posted.begin(); queued != Posted.end(); ++queued)
        if (Passes(queued->hwnd, queued->message, filter, first, last)) {
            *message = *queued;
            if (remove)
                Posted.erase(queued);
            return true;
        }
    if (QuitPosted && !filter) {
        *message = MSG{nullptr, WM_QUIT, (WPARAM)QuitCode, 0, GetTickCount(), {}};
        QuitPosted = !remove;
        return true;
    }
    std::uint64_t now = MonotonicMilliseconds();
    Timer *timer = NextTimer(filter, first, last);
    if (!timer || timer->due > now)
        return false;
    *message = MSG{timer->window, WM_TIMER, timer->id, (LPARAM)timer->proc, (DWORD)now, {}};
    if (remove) // the expiries missed meanwhile are dropped, not delivered later
        timer->due += ((now - timer->due) / timer->period + 1) * timer->period;
    return true;
}

// Sleeps until X input, a close signal, a power event, the next look at the power supplies or the
// filter's next timer expiry.
static void WaitForMessages(HWND filter, UINT first, UINT last)
{
    pollfd watched[3];
    nfds_t count = 0;
    if (XDisplay) {
        XFlush(XDisplay);
        if (XEventsQueued(XDisplay, QueuedAlready))
            return;
        watched[count++] = pollfd{ConnectionNumber(XDisplay), POLLIN, 0};
    }
    if (WakeupPipe[0] >= 0)
        watched[count++] = pollfd{WakeupPipe[0], POLLIN, 0};
    if (PowerEventSocket() >= 0)
        watched[count++] = pollfd{PowerEventSocket(), POLLIN, 0};
    std::uint64_t due = NextPowerCheck(), now = MonotonicMilliseconds();
    if (Timer *timer = NextTimer(filter, first, last))
        due = std::min(due, timer->due);
    int timeout = due == UINT64_MAX ? -1 : due <= now ? 0 : (int)std::min<std::uint64_t>(due - now, INT_MAX);
    poll(watched, count, timeout);
}

BOOL WINAPI GetMessageA(LPMSG message, HWND filter, UINT first, UINT last)
{
    while (!TakeMessage(message, filter, first, last, true))
        WaitForMessages(filter, first, last);
    return message->message != WM_QUIT;
}

BOOL WINAPI PeekMessageA(LPMSG message, HWND filter, UINT first, UINT last, UINT flags)
{
    return TakeMessage(message, filter, first, last, flags & PM_REMOVE);
}

// Nothing reads character messages, so keys are not translated into any.
BOOL WINAPI TranslateMessage(const MSG *) { return FALSE; }

// A timer message that carries a callback runs the callback instead of the window procedure.
LRESULT WINAPI DispatchMessageA(const MSG *message)
{
    if (message->message == WM_TIMER && message->lParam) {
        ((TIMERPROC)message->lParam)(message->hwnd, WM_TIMER, message->wParam, GetTickCount());
        return 0;
    }
    return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

// Other programs' windows take no Win32 messages.
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window && !FindOwnWindow(window))
        return FALSE;
    Enqueue(window, message, wParam, lParam);
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    OwnWindow *own = FindOwnWindow(window);
    return own ? own->proc(window, message, wParam, lParam) : 0;
}

void WINAPI PostQuitMessage(int code)
{
    QuitPosted = true;
    QuitCode = code;
}

// A close asked for by the user destroys the window; nothing else needs a default here.
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_CLOSE)
        DestroyWindow(window);
    else if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)
        SendMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}

// Names compare without case, as on Windows; the identifiers hold for this process.
UINT WINAPI RegisterWindowMessageA(LPCSTR name)
{
    if (!name || !*name)
        return 0;
    std::string key = name;
    for (char &c : key)
        c = (char)std::tolower((unsigned char)c);
    auto entry = RegisteredMessages.try_emplace(key, FirstRegisteredMessage + (UINT)RegisteredMessages.size()).first;
    return entry->second <= LastRegisteredMessage ? entry->second : 0;
}

static Timer *FindTimer(HWND window, UINT_PTR id)
{
    for (Timer &timer : Timers)
        if (timer.window == window && timer.id == id)
            return &timer;
    return nullptr;
}

// A thread timer gets an identifier of the platform's choosing unless it
// names one that exists; a window timer keeps the caller's, and like Windows
// the result for identifier 0 is 1. Setting an existing timer restarts it.
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc)
{
    if (window && !FindOwnWindow(window))
        return 0;
    Timer *timer = FindTimer(window, id);
    if (!timer) {
        if (!window)
            do
                id = ++LastThreadTimerId;
            while (!id || FindTimer(nullptr, id));
        timer = &Timers.emplace_back(Timer{window, id, 0, nullptr, 0});
    }
    timer->period = std::max<UINT>(period, USER_TIMER_MINIMUM);
    timer->proc = proc;
    timer->due = MonotonicMilliseconds() + timer->period;
    return window && !id ? 1 : id;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id)
{
    Timer *timer = FindTimer(window, id);
    if (!timer)
        return FALSE;
    Timers.erase(Timers.begin() + (timer - Timers.data()));
    return TRUE;
}

void ForgetWindowMessages(HWND window)
{
    std::erase_if(Posted, [window](const MSG &message) { return message.hwnd == window; });
    std::erase_if(Timers, [window](const Timer &timer) { return timer.window == window; });
}

// With no window left to close, the signal does what it would have done.
static void CloseOnSignal(int number)
{
    if (OwnWindowCount == 0) {
        signal(number, SIG_DFL);
        raise(number);
        return;
    }
    int saved = errno;
    if (write(WakeupPipe[1], "", 1) < 0) {
    }
    errno = saved;
}

void WatchCloseSignals()
{
    if (WakeupPipe[0] >= 0 || pipe2(WakeupPipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = CloseOnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr); // the terminal or the session that started us went away
}
