// Tests: another program's black window, 200x100 at 0, 0, of the class and title
// given. Prints its id and runs until the window is closed. (Built for Linux
// and, for the Wine tests, for Windows.)
#include <windows.h>

#include <cstdio>

static LRESULT CALLBACK HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    WNDCLASSA windowClass = {0, HelperProc, 0, 0, nullptr, nullptr, nullptr, (HBRUSH)GetStockObject(BLACK_BRUSH),
                             nullptr, argv[1]}; // black where nothing is drawn, also after a child of it went
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, argv[1], argv[2], WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    IsWindow(GetDesktopWindow()); // a round trip: the server has the window and its names before anyone is told
    std::printf("%lu\n", (unsigned long)(UINT_PTR)window);
    std::fflush(stdout); // the reader waits for it
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0))
        DispatchMessageA(&message);
    return (int)message.wParam;
}
