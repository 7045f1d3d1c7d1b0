// From the command line to the chosen mode and back to the exit code.
#include "host/host.h"
#include "platform/guard.h"
#include "settings/settings.h"

#include <commctrl.h>

// ---- process-wide host state
HINSTANCE ModuleInstance;
int Win9xPlatform;

// ---- the mode run under the fault guard
struct ModeRequest {
    const char *tail;
    int result;
};

// The program's entry: every argument is taken from the command line instead.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SaverStartup();
    return 0;
}

// Skips the program name and the separators after it, runs the mode and ends the process.
void SaverStartup()
{
    const char *p = GetCommandLineA();
    if (*p == '"') {
        p = CharNextA(p);
        while (*p && *p != '"')
            p = CharNextA(p);
        if (*p == '"')
            p++;
    } else {
        while ((unsigned char)*p > ' ')
            p = CharNextA(p);
    }
    while (*p && (unsigned char)*p <= ' ')
        p = CharNextA(p);
    ExitProcess((UINT)RunSaverMode(GetModuleHandleA(nullptr), (LPSTR)p));
}

// Reads a decimal window number, wrapping at 32 bits; stops at the first non-digit.
DWORD ParseWindowNumber(const char *cursor)
{
    DWORD value = 0;
    for (; (signed char)*cursor >= '0' && (signed char)*cursor <= '9'; cursor++)
        value = value * 10 + (DWORD)(*cursor - '0');
    return value;
}

// The window a number names, or none when it names no window.
static HWND ExistingWindow(DWORD number)
{
    HWND window = (HWND)(UINT_PTR)number;
    return number && IsWindow(window) ? window : nullptr;
}

static const char *SkipSpaces(const char *p)
{
    while (*p == ' ')
        p++;
    return p;
}

// The mode letter decides; only the window numbers are read after it.
static int DispatchMode(const char *p)
{
    HWND window;
    for (;; p++) {
        switch ((signed char)*p) {
        case ' ':
        case '-':
        case '/':
            continue;
        case '\0':
            return (int)ShowSettingsDialog(nullptr);
        case 'S':
        case 's':
            return RunSaverWindow(nullptr);
        case 'P':
        case 'p':
        case 'L':
        case 'l':
            window = ExistingWindow(ParseWindowNumber(SkipSpaces(p + 1)));
            return window ? RunSaverWindow(window) : -1;
        case 'C':
        case 'c':
            window = p[1] == ':' ? ExistingWindow(ParseWindowNumber(p + 2)) : nullptr;
            return (int)ShowSettingsDialog(window ? window : GetForegroundWindow());
        case 'A':
        case 'a':
            if (!Win9xPlatform)
                return -1;
            window = ExistingWindow(ParseWindowNumber(SkipSpaces(p + 1)));
            ChangeSaverPassword(window ? window : GetForegroundWindow());
            return 0;
        default:
            return -1;
        }
    }
}

// The guarded part of RunSaverMode: the mode the tail asks for.
static void RunRequestedMode(void *request)
{
    ModeRequest *mode = (ModeRequest *)request;
    mode->result = DispatchMode(mode->tail);
}

// Prepares the controls, learns the platform family and runs the mode under the fault guard.
int RunSaverMode(HINSTANCE instance, LPSTR tail)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    ModuleInstance = instance;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    Win9xPlatform = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;

    ModeRequest mode = {tail, -1};
    if (!RunGuarded(RunRequestedMode, &mode, UnhandledExceptionFilter)) {
        SetScreenSaverRunning(FALSE);
        mode.result = -1;
    }
    return mode.result;
}

// The settings dialog, owned by the given window or by none.
INT_PTR ShowSettingsDialog(HWND owner)
{
    PrepareSettingsDialog(ModuleInstance);
    return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(2003), owner, SettingsDialogProc, 0);
}
