// Shows the settings dialog as the program's `/c` and `/c:ID` modes do, the
// owner an X window id; the exit code is the dialog's result.
#include <cstdlib>
#include <cstring>

#include "settings/settings.h"

int main(int argc, char **argv)
{
    const char *mode = argc > 1 ? argv[1] : "";
    HWND owner = !std::strncmp(mode, "/c:", 3) ? (HWND)(UINT_PTR)std::strtoul(mode + 3, nullptr, 10) : nullptr;
    PrepareSettingsDialog(nullptr);
    return (int)DialogBoxParamA(nullptr, MAKEINTRESOURCEA(2003), owner, SettingsDialogProc, 0);
}
