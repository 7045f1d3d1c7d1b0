// Linux: the process entry reads the command line, hands what it asks for to
// the platform and runs the program's WinMain.
#include "command_line.h"
#include "kernel.h"

int main(int argc, char **argv)
{
    std::string tail;
    int exitCode;
    if (!TranslateCommandLine(argc, argv, &tail, &exitCode))
        return exitCode;
    LPSTR commandTail = RememberCommandLine(argc > 0 ? argv[0] : "", tail);
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandTail, SW_SHOWNORMAL);
}
