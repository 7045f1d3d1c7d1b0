// A scripted stand-in for the platform under the host: clock, cursor, queue, modules, registry.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

struct FakeMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct FakeWin32 {
    // ---- what the host reads
    DWORD tick = 5000;
    POINT cursor = {100, 100};
    int platformId = VER_PLATFORM_WIN32_NT;
    std::string commandLine = "vantrel.scr";
    std::set<UINT_PTR> windows;          // ids that IsWindow confirms
    HWND foreground = (HWND)0x77;
    HWND runningSaver = nullptr;         // what FindWindowA finds
    int powerStatus = 1;                 // AC line byte, -1 when the query fails
    bool passwordWanted = false;         // ScreenSaveUsePassword
    bool passwordLibrary = true;         // PASSWORD.CPL loads
    std::vector<BOOL> verifierAnswers;   // successive prompt results
    WNDPROC windowProc = nullptr;        // where SendMessageA delivers
    bool creationFails = false;          // CreateWindowExA makes no window
    int quitCode = 0;                    // what the message loop's quit message carries

    // ---- what the host did
    std::vector<FakeMessage> posted;     // the queue, oldest first
    std::vector<FakeMessage> defaulted;  // messages that reached DefWindowProcA
    std::vector<std::string> calls;      // notable calls, in order
    int hiddenCursor = 0;
    int prompts = 0;
    int screenSaverRunning = -1;         // last SPI_SCREENSAVERRUNNING value
    HWND createdParent = nullptr;
    DWORD createdStyle = 0;
    std::string createdTitle;
    HWND dialogOwner = (HWND)-1;
    HWND passwordOwner = (HWND)-1;

    int CountPosted(UINT message) const;
};

extern FakeWin32 Fake;

// What the faked ExitProcess throws, so a test can see the exit code.
struct FakeExit {
    UINT code;
};

void ResetFake();

// ---- a created saver window, as the close-rule and password tests see it
extern HWND const Saver;

void StartSaver(bool win9x, bool passwordWanted); // reset, family, verifier loaded, WM_CREATE sent
LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
bool ClosedByPlatform(); // a WM_CLOSE reached the platform, which destroys the window
