// The saver host: command line, saver window, close rules and password hooks.
#pragma once

#include <windows.h>

// ---- entry and modes
extern HINSTANCE ModuleInstance;
extern int Win9xPlatform;

void SaverStartup();
int RunSaverMode(HINSTANCE instance, LPSTR tail);
DWORD ParseWindowNumber(const char *cursor);
INT_PTR ShowSettingsDialog(HWND owner);

// ---- saver window
extern int PreviewMode;
extern HWND SaverWindow;
extern BYTE AcLineStatus;
extern UINT AutoPlayQueryMessage;

int RunSaverWindow(HWND parent);

// ---- input and close rules
extern POINT SavedCursorPos;
extern const DWORD MouseMoveThreshold;

LRESULT CALLBACK SaverOuterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetScreenSaverRunning(BOOL on);

// ---- password verification (Windows 95/98/Me family)
typedef BOOL(WINAPI *VerifyScreenSavePwdProc)(HWND);

extern VerifyScreenSavePwdProc PasswordVerifier;
extern LONG CloseApproved;
extern LONG VerifyInProgress;
extern DWORD LastVerifyTick;

void LoadPasswordVerifier();
void UnloadPasswordVerifier();
BOOL VerifyBeforeClose(HWND window);
void ChangeSaverPassword(HWND owner);
