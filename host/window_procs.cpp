// Which messages end the saver, and what the user sees meanwhile.
#include <cstdlib>

#include "host/host.h"
#include "scene/scene.h"

// ---- close rules
POINT SavedCursorPos;
const DWORD MouseMoveThreshold = 4; // pixels, x and y distance added

// ---- input method detached at creation
typedef HIMC(WINAPI *ImmAssociateContextProc)(HWND, HIMC);

static HMODULE ImeModule;
static ImmAssociateContextProc ImeAssociate;
static HIMC SavedImeContext;

static void HideCursor()
{
    SetCursor(nullptr);
}

// Every close request is the same posted message; WM_CLOSE decides when it arrives.
static void RequestClose(HWND window)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
}

// Detaches the input method, if one is loaded already, so keys reach the saver as keys.
static void DetachInputMethod(HWND window)
{
    ImeModule = GetModuleHandleA("IMM32.DLL");
    ImeAssociate = ImeModule ? (ImmAssociateContextProc)(void *)GetProcAddress(ImeModule, "ImmAssociateContext")
                             : nullptr;
    if (ImeAssociate)
        SavedImeContext = ImeAssociate(window, nullptr);
}

// Tells a Windows 95/98/Me system whether a saver runs, so it blocks the task keys.
void SetScreenSaverRunning(BOOL on)
{
    if (!Win9xPlatform)
        return;
    BOOL previous;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, (UINT)on, &previous, 0);
}

// Takes every message of the saver window first; finishes some itself, passes the rest to the scene.
LRESULT CALLBACK SaverOuterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        DetachInputMethod(window);
        GetCursorPos(&SavedCursorPos);
        if (!PreviewMode)
            HideCursor();
        break;
    case WM_DESTROY:
        if (ImeModule && ImeAssociate && SavedImeContext)
            ImeAssociate(window, SavedImeContext);
        PostQuitMessage(0);
        break;
    case WM_SETTEXT:
        return 0; // the title stays
    case WM_PAINT:
        if (CloseApproved)
            return DefWindowProcA(window, message, wParam, lParam);
        if (!PreviewMode)
            HideCursor();
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (PreviewMode) {
            HWND parent = GetParent(window);
            if (parent && IsWindow(parent))
                PostMessageA(parent, message, (WPARAM)parent, lParam);
            return 1;
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (CloseApproved)
            return DefWindowProcA(window, message, wParam, lParam);
        break;
    case WM_SYSCOMMAND:
        if (!PreviewMode && (wParam == SC_NEXTWINDOW || wParam == SC_PREVWINDOW || wParam == SC_SCREENSAVE))
            return 0;
        break;
    case WM_TIMER:
        if (CloseApproved)
            return 0; // the last frame stays until the window goes
        Sleep(0);
        break;
    }
    return SceneWindowProc(window, message, wParam, lParam);
}

// Whether a power broadcast should end the saver; a status change compares the AC line.
static bool PowerEventCloses(WPARAM event, LPARAM flags)
{
    switch (event) {
    case PBT_APMRESUMECRITICAL:
    case PBT_APMRESUMESUSPEND:
    case PBT_APMRESUMESTANDBY:
    case PBT_APMRESUMEAUTOMATIC:
        return !(flags & PBTF_APMRESUMEFROMFAILURE);
    case PBT_APMPOWERSTATUSCHANGE: {
        SYSTEM_POWER_STATUS power;
        BYTE status = GetSystemPowerStatus(&power) ? power.ACLineStatus : AC_LINE_UNKNOWN;
        bool changed = status != AcLineStatus;
        AcLineStatus = status;
        return changed;
    }
    default:
        return true;
    }
}

// The close rules of a running full-screen saver; true when the message is answered here.
static bool ApplyCloseRules(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result)
{
    switch (message) {
    case WM_CLOSE:
        if (Win9xPlatform && !VerifyBeforeClose(window)) {
            GetCursorPos(&SavedCursorPos);
            *result = 0;
            return true;
        }
        return false;
    case WM_APP:
        if (!Win9xPlatform)
            return false;
        *result = PasswordVerifier ? PasswordVerifier(window) : 1;
        return true;
    }
    if (VerifyInProgress)
        return false; // no input closes the saver while the password is asked for

    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        RequestClose(window);
        break;
    case WM_MOUSEMOVE: {
        POINT now;
        GetCursorPos(&now);
        long long moved = std::llabs((long long)now.x - SavedCursorPos.x) + std::llabs((long long)now.y - SavedCursorPos.y);
        if (moved > MouseMoveThreshold) {
            RequestClose(window);
            SavedCursorPos = now;
        }
        break;
    }
    case WM_ACTIVATEAPP:
        if (wParam == 0)
            RequestClose(window);
        break;
    case WM_SHOWWINDOW:
        if (wParam)
            HideCursor();
        break;
    case WM_SETCURSOR:
        HideCursor();
        *result = 1;
        return true;
    case WM_POWER:
        if (wParam == PWR_CRITICALRESUME)
            RequestClose(window);
        break;
    case WM_POWERBROADCAST:
        if (PowerEventCloses(wParam, lParam))
            RequestClose(window);
        break;
    }
    return false;
}

// The host's handling of what the scene passes on: close rules, then the platform's default.
LRESULT CALLBACK SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result;
    if (!PreviewMode && !CloseApproved && ApplyCloseRules(window, message, wParam, lParam, &result))
        return result;
    if (AutoPlayQueryMessage && message == AutoPlayQueryMessage) {
        RequestClose(window);
        return PasswordVerifier ? 1 : 0; // no AutoPlay while a password guards the desktop
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
