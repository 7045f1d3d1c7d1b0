#include "fake_win32.h"

#include <algorithm>
#include <cstring>

#include <commctrl.h>

#include "host/host.h"
#include "scene/scene.h"

FakeWin32 Fake;
HWND const Saver = (HWND)0x900;

void ResetFake()
{
    Win9xPlatform = 1; // so that a verifier library still loaded is let go
    UnloadPasswordVerifier();
    Fake = FakeWin32();
    PreviewMode = 0;
    SaverWindow = nullptr;
    AcLineStatus = AC_LINE_UNKNOWN;
    AutoPlayQueryMessage = 0;
    SavedCursorPos = {};
    PasswordVerifier = nullptr;
    CloseApproved = 0;
    VerifyInProgress = 0;
    LastVerifyTick = 0xFFFFFFFF;
    Win9xPlatform = 0;
}

void StartSaver(bool win9x, bool passwordWanted)
{
    ResetFake();
    Win9xPlatform = win9x;
    Fake.passwordWanted = passwordWanted;
    SceneDefaultProc = SaverDefaultProc; // as the saver window's start says
    LoadPasswordVerifier();
    Send(WM_CREATE);
}

LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SaverOuterProc(Saver, message, wParam, lParam);
}

int CloseRequests()
{
    return (int)std::ranges::count_if(Fake.posted, [](const MSG &m) {
        return m.hwnd == Saver && m.message == WM_CLOSE && m.wParam == 0 && m.lParam == 0;
    });
}

// The scene, as the host sees it: its own three messages, the rest passed where the host said.
WNDPROC SceneDefaultProc;

LRESULT CALLBACK SceneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_CREATE && message != WM_TIMER && message != WM_DESTROY)
        return SceneDefaultProc(window, message, wParam, lParam);
    Fake.frames += message == WM_TIMER;
    return 0;
}

INT_PTR CALLBACK SettingsDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
BOOL PrepareSettingsDialog(HINSTANCE) { return TRUE; }

// The prompt of the pretended PASSWORD.CPL, and what the user answers.
static BOOL WINAPI FakeVerifier(HWND)
{
    Fake.prompts++;
    return Fake.prompts <= (int)Fake.answers.size() && Fake.answers[Fake.prompts - 1];
}

static DWORD WINAPI FakePasswordChange(LPCSTR provider, HWND owner, DWORD, DWORD)
{
    Fake.started = provider;
    Fake.startedWith = owner;
    return 0;
}

static HMODULE const PasswordCpl = (HMODULE)0x5001, MprDll = (HMODULE)0x5002;

extern "C" {

DWORD WINAPI GetTickCount(void) { return Fake.tick; }
void WINAPI Sleep(DWORD) {}
BOOL WINAPI GetCursorPos(LPPOINT p) { *p = Fake.cursor; return TRUE; }
HCURSOR WINAPI SetCursor(HCURSOR) { Fake.hiddenCursor++; return nullptr; }

BOOL WINAPI PostMessageA(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    Fake.posted.push_back({w, m, wp, lp, 0, {}});
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND w, UINT m, WPARAM wp, LPARAM lp) { return SaverOuterProc(w, m, wp, lp); }

BOOL WINAPI PeekMessageA(LPMSG msg, HWND w, UINT first, UINT last, UINT flags)
{
    auto it = std::ranges::find_if(Fake.posted, [&](const MSG &m) {
        return (!w || m.hwnd == w) && m.message >= first && m.message <= last;
    });
    if (it == Fake.posted.end())
        return FALSE;
    *msg = *it;
    if (flags & PM_REMOVE)
        Fake.posted.erase(it);
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND, UINT m, WPARAM, LPARAM)
{
    Fake.destroyed += m == WM_CLOSE;
    return PlatformAnswer;
}

void WINAPI PostQuitMessage(int code) { PostMessageA(nullptr, WM_QUIT, (WPARAM)code, 0); }
UINT WINAPI RegisterWindowMessageA(LPCSTR) { return 0xC123; }
BOOL WINAPI IsWindow(HWND w) { return w == (HWND)1234; } // of the windows a command line may name
HWND WINAPI GetParent(HWND) { return nullptr; }
HWND WINAPI GetForegroundWindow(void) { return (HWND)0x77; }
BOOL WINAPI SetForegroundWindow(HWND) { return TRUE; }
HWND WINAPI FindWindowA(LPCSTR, LPCSTR) { return nullptr; }

BOOL WINAPI GetClientRect(HWND, LPRECT r) { *r = {0, 0, 320, 240}; return TRUE; }
int WINAPI GetSystemMetrics(int) { return 0; }
HDC WINAPI GetDC(HWND) { return nullptr; }
int WINAPI ReleaseDC(HWND, HDC) { return 1; }
int WINAPI GetClipBox(HDC, LPRECT r) { *r = {0, 0, 640, 480}; return 1; }
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) { return nullptr; }
HGDIOBJ WINAPI GetStockObject(int) { return nullptr; }
ATOM WINAPI RegisterClassA(const WNDCLASSA *) { return 1; }

HWND WINAPI CreateWindowExA(DWORD, LPCSTR, LPCSTR title, DWORD, int, int, int, int, HWND parent, HMENU, HINSTANCE,
                            LPVOID)
{
    Fake.started = title;
    Fake.startedWith = parent;
    return Saver;
}
// The loop ends at once, with a quit code of its own.
BOOL WINAPI GetMessageA(LPMSG message, HWND, UINT, UINT)
{
    *message = MSG{nullptr, WM_QUIT, 7, 0, 0, {}};
    return FALSE;
}
BOOL WINAPI TranslateMessage(const MSG *) { return TRUE; }
LRESULT WINAPI DispatchMessageA(const MSG *) { return 0; }

// On mains power.
BOOL WINAPI GetSystemPowerStatus(LPSYSTEM_POWER_STATUS status)
{
    status->ACLineStatus = 1;
    return TRUE;
}

BOOL WINAPI SystemParametersInfoA(UINT, UINT, PVOID, UINT) { return TRUE; }

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA version)
{
    version->dwPlatformId = (DWORD)Fake.platformId;
    return TRUE;
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *) { return TRUE; }
LPSTR WINAPI GetCommandLineA(void) { return Fake.commandLine.data(); }
LPSTR WINAPI CharNextA(LPCSTR p) { return (LPSTR)(*p ? p + 1 : p); }
HMODULE WINAPI GetModuleHandleA(LPCSTR name) { return name ? nullptr : (HMODULE)0x400000; }
void WINAPI ExitProcess(UINT code) { Fake.exitCode = code; }

HMODULE WINAPI LoadLibraryA(LPCSTR name)
{
    HMODULE module = !std::strcmp(name, "PASSWORD.CPL") ? PasswordCpl
                     : !std::strcmp(name, "MPR.DLL")    ? MprDll : nullptr;
    Fake.libraries += module != nullptr;
    return module;
}
BOOL WINAPI FreeLibrary(HMODULE) { Fake.libraries--; return TRUE; }
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name)
{
    if (module == PasswordCpl && !std::strcmp(name, "VerifyScreenSavePwd"))
        return (FARPROC)(void *)FakeVerifier;
    if (module == MprDll && !std::strcmp(name, "PwdChangePasswordA"))
        return (FARPROC)(void *)FakePasswordChange;
    return nullptr;
}

// The user's desktop settings, with a 32-bit ScreenSaveUsePassword.
LSTATUS WINAPI RegOpenKeyA(HKEY root, LPCSTR path, PHKEY key)
{
    *key = (HKEY)0x6001;
    return root == HKEY_CURRENT_USER && !std::strcmp(path, "Control Panel\\Desktop") ? 0 : ERROR_FILE_NOT_FOUND;
}
LSTATUS WINAPI RegQueryValueExA(HKEY, LPCSTR name, LPDWORD, LPDWORD, LPBYTE data, LPDWORD size)
{
    if (std::strcmp(name, "ScreenSaveUsePassword") || *size != 4)
        return ERROR_FILE_NOT_FOUND;
    *(DWORD *)data = Fake.passwordWanted;
    return ERROR_SUCCESS;
}
LSTATUS WINAPI RegCloseKey(HKEY) { return ERROR_SUCCESS; }

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR name, HWND owner, DLGPROC, LPARAM)
{
    Fake.started = "dialog " + std::to_string((UINT_PTR)name);
    Fake.startedWith = owner;
    return 1;
}

} // extern "C"
