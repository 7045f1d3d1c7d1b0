// A stand-in for the preview box of the display settings: a window whose
// handle it prints for "vantrel.scr /p <handle>", and which destroys itself
// after the given number of milliseconds, taking the preview with it. Before
// that it prints the size of the preview it found inside, or "none".
#include <windows.h>

#include <cstdio>
#include <cstdlib>

// Says what preview it holds, then goes away; the process ends with it.
static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        KillTimer(window, 1);
        HWND preview = FindWindowExA(window, nullptr, "WindowsScreenSaverClass", "Preview");
        RECT area = {};
        if (preview && GetClientRect(preview, &area))
            std::printf("preview %ldx%ld\n", area.right, area.bottom);
        else
            std::printf("preview none\n");
        std::fflush(stdout);
        DestroyWindow(window);
    } else if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char **argv)
{
    UINT lifetime = argc > 1 ? (UINT)std::strtoul(argv[1], nullptr, 10) : 5000;
    WNDCLASSA parentClass = {};
    parentClass.lpfnWndProc = ParentProc;
    parentClass.hInstance = GetModuleHandleA(nullptr);
    parentClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH); // the preview must paint over it
    parentClass.lpszClassName = "VantrelPreviewParent";
    RegisterClassA(&parentClass);
    HWND window = CreateWindowExA(0, parentClass.lpszClassName, "Preview parent", WS_POPUP | WS_VISIBLE, 0, 0, 320,
                                  240, nullptr, nullptr, parentClass.hInstance, nullptr);
    if (!window)
        return 1;
    std::printf("%lu\n", (unsigned long)(UINT_PTR)window);
    std::fflush(stdout);
    SetTimer(window, 1, lifetime, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0))
        DispatchMessageA(&message);
    return 0;
}
