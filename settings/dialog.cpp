// The settings dialog: two check boxes, two sliders and OK.
#include "settings/settings.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

enum {
    ReflectionsBox = 1011,
    ShowFpsBox = 1012,
    SpeedSlider = 1013,
    PulsesSlider = 1016,
};

// The dialog needs no window classes of its own; the trackbar comes with the common controls.
BOOL PrepareSettingsDialog(HINSTANCE)
{
    return TRUE;
}

// Half of a size difference, rounded down also when the dialog is larger than the screen.
static int HalfDown(int difference)
{
    return difference >= 0 ? difference / 2 : -((1 - difference) / 2);
}

// Centres the dialog on the screen of the current display mode.
static void CentreDialog(HWND dialog)
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    RECT frame;
    GetWindowRect(dialog, &frame);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(dialog, HWND_TOP, HalfDown((int)mode.dmPelsWidth - width), HalfDown((int)mode.dmPelsHeight - height),
                 0, 0, SWP_NOSIZE);
}

// A 0..100 slider placed at the given value.
static void SetSlider(HWND dialog, int id, int position)
{
    SendDlgItemMessageA(dialog, id, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendDlgItemMessageA(dialog, id, TBM_SETPOS, TRUE, position);
}

// Stores what the four controls show; false, after telling the user why, when it could not be stored.
static bool StoreControls(HWND dialog)
{
    BYTE speed = (BYTE)SendDlgItemMessageA(dialog, SpeedSlider, TBM_GETPOS, 0, 0);
    BYTE pulses = (BYTE)SendDlgItemMessageA(dialog, PulsesSlider, TBM_GETPOS, 0, 0);
    BYTE reflections = (BYTE)SendDlgItemMessageA(dialog, ReflectionsBox, BM_GETCHECK, 0, 0);
    BYTE showfps = (BYTE)SendDlgItemMessageA(dialog, ShowFpsBox, BM_GETCHECK, 0, 0);
    SaverSettings.pulses = (signed char)pulses;
    SaverSettings.reflections = reflections;
    SaverSettings.showfps = showfps;
    LSTATUS status = StoreSettings(speed, pulses, reflections, showfps);
    if (status == ERROR_SUCCESS)
        return true;
    char text[512] = "The settings could not be saved.\n\n";
    size_t length = std::strlen(text);
    DWORD words = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, (DWORD)status, 0,
                                 text + length, (DWORD)(sizeof text - length), nullptr);
    if (!words)
        std::snprintf(text + length, sizeof text - length, "Error %ld.", (long)status);
    for (length = std::strlen(text); length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n'); length--)
        text[length - 1] = '\0'; // the system's words end in a line break of their own
    MessageBoxA(dialog, text, "Vantrel Screen Saver", MB_OK | MB_ICONERROR);
    return false;
}

// Shows the stored settings; OK stores all four, cancel nothing.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        LoadSettings();
        CentreDialog(dialog);
        if (SaverSettings.reflections)
            SendDlgItemMessageA(dialog, ReflectionsBox, BM_SETCHECK, BST_CHECKED, 0);
        if (SaverSettings.showfps)
            SendDlgItemMessageA(dialog, ShowFpsBox, BM_SETCHECK, BST_CHECKED, 0);
        SetSlider(dialog, SpeedSlider, SaverSettings.speedByte);
        SetSlider(dialog, PulsesSlider, SaverSettings.pulses);
        return TRUE; // focus to the first tab stop, OK
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            if (StoreControls(dialog)) // else the dialog stays, so that the user can try again or cancel
                EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return FALSE;
        }
        return FALSE;
    }
    return FALSE;
}
