// A scripted stand-in for the platform under the host: clock, cursor, queue, windows, power, libraries.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

struct FakeWin32 {
    // ---- what the host reads
    DWORD tick = 5000;
    POINT cursor = {100, 100};
    int platformId = VER_PLATFORM_WIN32_NT;
    std::string commandLine;
    bool passwordWanted = true;          // ScreenSaveUsePassword, which only the Win9x family may read
    std::vector<BOOL> answers;           // the password prompts' results, in turn

    // ---- what the host did
    std::string started;                 // the mode: dialog template, password provider or window title
    HWND startedWith = nullptr;          // its owner or parent
    UINT exitCode = 99;                  // of ExitProcess, which returns here
    std::vector<MSG> posted;             // the queue, oldest first
    int destroyed = 0;                   // WM_CLOSE reached the platform, which destroys the window
    int frames = 0;                      // WM_TIMER that reached the scene
    int hiddenCursor = 0;
    int prompts = 0;
    int libraries = 0;                   // loaded and not freed
};

extern FakeWin32 Fake;

const LRESULT PlatformAnswer = 0xDEF; // what the platform's default window procedure answers

void ResetFake(); // a fresh platform and host, as at process start

// ---- a created saver window, as the close-rule and password tests see it
extern HWND const Saver;

void StartSaver(bool win9x, bool passwordWanted); // reset, family, verifier loaded, WM_CREATE sent
LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
int CloseRequests(); // WM_CLOSE posted to the saver with 0 and 0, the one form a close request has
