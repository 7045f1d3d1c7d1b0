// The platform's own password prompt and password change, on the Windows 95/98/Me family.
#include "host/host.h"

// ---- verification state
static HMODULE VerifierLibrary;
VerifyScreenSavePwdProc PasswordVerifier;
LONG CloseApproved;
LONG VerifyInProgress;
DWORD LastVerifyTick = 0xFFFFFFFF; // no verification has run yet

enum { RefusalQuietMs = 200 }; // close requests right after a prompt are refused unasked

typedef DWORD(WINAPI *PwdChangePasswordProc)(LPCSTR, HWND, DWORD, DWORD);

// Loads the verifier when the user's desktop settings ask for a password.
void LoadPasswordVerifier()
{
    if (!Win9xPlatform)
        return;
    if (VerifierLibrary)
        UnloadPasswordVerifier();
    HKEY desktop;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop) != ERROR_SUCCESS)
        return;
    DWORD usePassword = 0, size = sizeof usePassword;
    if (RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr, (LPBYTE)&usePassword, &size)
            == ERROR_SUCCESS
        && usePassword) {
        VerifierLibrary = LoadLibraryA("PASSWORD.CPL");
        if (VerifierLibrary) {
            PasswordVerifier = (VerifyScreenSavePwdProc)(void *)GetProcAddress(VerifierLibrary, "VerifyScreenSavePwd");
            if (PasswordVerifier)
                SetScreenSaverRunning(TRUE);
            else
                UnloadPasswordVerifier();
        }
    }
    RegCloseKey(desktop);
}

// Releases the verifier and tells the platform the saver no longer runs.
void UnloadPasswordVerifier()
{
    if (!Win9xPlatform || !VerifierLibrary)
        return;
    FreeLibrary(VerifierLibrary);
    VerifierLibrary = nullptr;
    if (PasswordVerifier) {
        PasswordVerifier = nullptr;
        SetScreenSaverRunning(FALSE);
    }
}

// Asks for the password before a close; nonzero lets the close go on.
BOOL VerifyBeforeClose(HWND window)
{
    if (VerifyInProgress)
        return FALSE;
    if (!PasswordVerifier) {
        CloseApproved = 1;
        return TRUE;
    }
    if (LastVerifyTick != 0xFFFFFFFF && GetTickCount() - LastVerifyTick < RefusalQuietMs)
        return FALSE;

    VerifyInProgress = 1;
    MSG pending;
    for (int i = 0; i < 2; i++) // frames queued meanwhile would draw over the prompt
        PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    CloseApproved = (LONG)SendMessageA(window, WM_APP, 0, 0);
    VerifyInProgress = 0;
    if (!CloseApproved)
        SetCursor(nullptr);
    LastVerifyTick = GetTickCount();
    return CloseApproved;
}

// Runs the platform's password change for the screen saver provider.
void ChangeSaverPassword(HWND owner)
{
    HMODULE library = LoadLibraryA("MPR.DLL");
    if (!library)
        return;
    PwdChangePasswordProc change = (PwdChangePasswordProc)(void *)GetProcAddress(library, "PwdChangePasswordA");
    if (change)
        change("SCRSAVE", owner, 0, 0);
    FreeLibrary(library);
}
