// Linux: the process entry hands the arguments to the platform and runs the program's WinMain.
#include "kernel.h"

int main(int argc, char **argv)
{
    LPSTR tail = RememberArguments(argc, argv);
    return WinMain(GetModuleHandleA(nullptr), nullptr, tail, SW_SHOWNORMAL);
}
