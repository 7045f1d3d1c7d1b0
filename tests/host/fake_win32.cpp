#include "fake_win32.h"

#include <cstring>
#include <stdexcept>

#include <commctrl.h>

#include "host/host.h"
#include "scene/scene.h"

FakeWin32 Fake;

void ResetFake()
{
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

HWND const Saver = (HWND)0x900;

void StartSaver(bool win9x, bool passwordWanted)
{
    ResetFake();
    Fake.platformId = win9x ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT;
    Fake.passwordWanted = passwordWanted;
    Win9xPlatform = win9x;
    Fake.windowProc = SaverOuterProc;
    SceneDefaultProc = SaverDefaultProc; // as the saver window's start says
    LoadPasswordVerifier();
    SaverOuterProc(Saver, WM_CREATE, 0, 0);
    Fake.posted.clear();
}

LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SaverOuterProc(Saver, message, wParam, lParam);
}

bool ClosedByPlatform()
{
    for (const FakeMessage &m : Fake.defaulted)
        if (m.message == WM_CLOSE)
            return true;
    return false;
}

int FakeWin32::CountPosted(UINT message) const
{
    int n = 0;
    for (const FakeMessage &m : posted)
        n += m.message == message;
    return n;
}

// The scene, as the host sees it: its own three messages, the rest passed where the host said.
WNDPROC SceneDefaultProc;

LRESULT CALLBACK SceneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE || message == WM_TIMER || message == WM_DESTROY) {
        Fake.calls.push_back("scene " + std::to_string(message));
        return 0;
    }
    return SceneDefaultProc(window, message, wParam, lParam);
}

INT_PTR CALLBACK SettingsDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
BOOL PrepareSettingsDialog(HINSTANCE) { return TRUE; }

// The password prompt of the pretended PASSWORD.CPL.
static BOOL WINAPI FakeVerifier(HWND)
{
    Fake.prompts++;
    if (Fake.verifierAnswers.empty())
        return FALSE;
    BOOL answer = Fake.verifierAnswers.front();
    Fake.verifierAnswers.erase(Fake.verifierAnswers.begin());
    return answer;
}

static DWORD WINAPI FakePasswordChange(LPCSTR provider, HWND owner, DWORD, DWORD)
{
    Fake.calls.push_back(std::string("change ") + provider);
    Fake.passwordOwner = owner;
    return 0;
}

static HMODULE const PasswordCpl = (HMODULE)0x5001, MprDll = (HMODULE)0x5002;
static HKEY const DesktopKey = (HKEY)0x6001;

extern "C" {

DWORD WINAPI GetTickCount(void) { return Fake.tick; }
void WINAPI Sleep(DWORD) {}
BOOL WINAPI GetCursorPos(LPPOINT p) { *p = Fake.cursor; return TRUE; }
HCURSOR WINAPI SetCursor(HCURSOR) { Fake.hiddenCursor++; return nullptr; }

BOOL WINAPI PostMessageA(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    Fake.posted.push_back({w, m, wp, lp});
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return Fake.windowProc ? Fake.windowProc(w, m, wp, lp) : 0;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND w, UINT first, UINT last, UINT flags)
{
    for (auto it = Fake.posted.begin(); it != Fake.posted.end(); ++it) {
        if ((w && it->window != w) || it->message < first || it->message > last)
            continue;
        *msg = {it->window, it->message, it->wParam, it->lParam, 0, {}};
        if (flags & PM_REMOVE)
            Fake.posted.erase(it);
        return TRUE;
    }
    return FALSE;
}

LRESULT WINAPI DefWindowProcA(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    Fake.defaulted.push_back({w, m, wp, lp});
    return 0;
}

void WINAPI PostQuitMessage(int code) { Fake.posted.push_back({nullptr, WM_QUIT, (WPARAM)code, 0}); }
UINT WINAPI RegisterWindowMessageA(LPCSTR) { return 0xC123; }
BOOL WINAPI IsWindow(HWND w) { return Fake.windows.count((UINT_PTR)w) > 0; }
HWND WINAPI GetParent(HWND) { return (HWND)0x4321; }
HWND WINAPI GetForegroundWindow(void) { return Fake.foreground; }
BOOL WINAPI SetForegroundWindow(HWND w)
{
    Fake.calls.push_back("foreground " + std::to_string((UINT_PTR)w));
    return TRUE;
}
HWND WINAPI FindWindowA(LPCSTR, LPCSTR) { return Fake.runningSaver; }

BOOL WINAPI GetClientRect(HWND, LPRECT r) { *r = {0, 0, 320, 240}; return TRUE; }
int WINAPI GetSystemMetrics(int index) { return index == SM_CXVIRTUALSCREEN ? 1920 : index == SM_CYVIRTUALSCREEN ? 1080 : 0; }
HDC WINAPI GetDC(HWND) { return nullptr; }
int WINAPI ReleaseDC(HWND, HDC) { return 1; }
int WINAPI GetClipBox(HDC, LPRECT r) { *r = {0, 0, 640, 480}; return 1; }
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) { return nullptr; }
HGDIOBJ WINAPI GetStockObject(int) { return nullptr; }
ATOM WINAPI RegisterClassA(const WNDCLASSA *c) { Fake.windowProc = c->lpfnWndProc; return 1; }

// Creation records what was asked and makes a window unless told to fail; its loop ends at once.
HWND WINAPI CreateWindowExA(DWORD, LPCSTR, LPCSTR title, DWORD style, int, int, int, int, HWND parent, HMENU,
                            HINSTANCE, LPVOID)
{
    Fake.calls.push_back("create");
    Fake.createdParent = parent;
    Fake.createdStyle = style;
    Fake.createdTitle = title;
    return Fake.creationFails ? nullptr : Saver;
}
BOOL WINAPI GetMessageA(LPMSG message, HWND, UINT, UINT)
{
    *message = MSG{nullptr, WM_QUIT, (WPARAM)Fake.quitCode, 0, 0, {}};
    return FALSE;
}
BOOL WINAPI TranslateMessage(const MSG *) { return TRUE; }
LRESULT WINAPI DispatchMessageA(const MSG *) { return 0; }

BOOL WINAPI GetSystemPowerStatus(LPSYSTEM_POWER_STATUS status)
{
    if (Fake.powerStatus < 0)
        return FALSE;
    status->ACLineStatus = (BYTE)Fake.powerStatus;
    return TRUE;
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT value, PVOID, UINT)
{
    if (action == SPI_SCREENSAVERRUNNING)
        Fake.screenSaverRunning = (int)value;
    return TRUE;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA version)
{
    version->dwPlatformId = (DWORD)Fake.platformId;
    return TRUE;
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *) { return TRUE; }
LPSTR WINAPI GetCommandLineA(void) { return Fake.commandLine.data(); }
LPSTR WINAPI CharNextA(LPCSTR p) { return (LPSTR)(*p ? p + 1 : p); }
HMODULE WINAPI GetModuleHandleA(LPCSTR name) { return name ? nullptr : (HMODULE)0x400000; }

void WINAPI ExitProcess(UINT code) { throw FakeExit{code}; }

HMODULE WINAPI LoadLibraryA(LPCSTR name)
{
    Fake.calls.push_back(std::string("load ") + name);
    if (!std::strcmp(name, "PASSWORD.CPL"))
        return Fake.passwordLibrary ? PasswordCpl : nullptr;
    return !std::strcmp(name, "MPR.DLL") ? MprDll : nullptr;
}
BOOL WINAPI FreeLibrary(HMODULE) { Fake.calls.push_back("free"); return TRUE; }
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name)
{
    if (module == PasswordCpl && !std::strcmp(name, "VerifyScreenSavePwd"))
        return (FARPROC)(void *)FakeVerifier;
    if (module == MprDll && !std::strcmp(name, "PwdChangePasswordA"))
        return (FARPROC)(void *)FakePasswordChange;
    return nullptr;
}

LSTATUS WINAPI RegOpenKeyA(HKEY root, LPCSTR path, PHKEY key)
{
    if (root != HKEY_CURRENT_USER || std::strcmp(path, "Control Panel\\Desktop"))
        return ERROR_FILE_NOT_FOUND;
    *key = DesktopKey;
    return ERROR_SUCCESS;
}
LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD, LPBYTE data, LPDWORD size)
{
    if (key != DesktopKey || std::strcmp(name, "ScreenSaveUsePassword") || !Fake.passwordWanted)
        return ERROR_FILE_NOT_FOUND;
    DWORD one = 1;
    std::memcpy(data, &one, 4);
    *size = 4;
    return ERROR_SUCCESS;
}
LSTATUS WINAPI RegCloseKey(HKEY) { return ERROR_SUCCESS; }

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR, HWND owner, DLGPROC, LPARAM)
{
    Fake.dialogOwner = owner;
    return 1;
}

} // extern "C"
