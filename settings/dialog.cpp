// The settings dialog: two check boxes, two sliders and OK.
#include "settings/settings.h"

#include <commctrl.h>

// The settings are the machine's, kept where only an administrator may write.
static const char SettingsNotStored[] = "The settings could not be saved.\n\n"
                                        "They apply to every user of this computer, "
                                        "so only an administrator can change them.";

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

// Stores the four controls' values as the one-byte settings; false when any could not be stored.
static bool StoreSettings(HWND dialog)
{
    BYTE speed = (BYTE)SendDlgItemMessageA(dialog, SpeedSlider, TBM_GETPOS, 0, 0);
    BYTE pulses = (BYTE)SendDlgItemMessageA(dialog, PulsesSlider, TBM_GETPOS, 0, 0);
    BYTE reflections = (BYTE)SendDlgItemMessageA(dialog, ReflectionsBox, BM_GETCHECK, 0, 0);
    BYTE showfps = (BYTE)SendDlgItemMessageA(dialog, ShowFpsBox, BM_GETCHECK, 0, 0);
    const BYTE values[4] = {showfps, reflections, speed, pulses}; // in the order they are written
    static const char *const names[4] = {"Showfps", "Reflections", "Speed", "Pulses"};
    SaverSettings.pulses = (signed char)pulses;
    SaverSettings.reflections = reflections;
    SaverSettings.showfps = showfps;

    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool stored = true;
    for (int i = 0; i < 4; i++)
        stored = RegSetValueExA(key, names[i], 0, REG_BINARY, &values[i], 1) == ERROR_SUCCESS && stored;
    RegCloseKey(key);
    return stored;
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
            if (StoreSettings(dialog))
                EndDialog(dialog, 1);
            else // the dialog stays, so that the user knows nothing was kept
                MessageBoxA(dialog, SettingsNotStored, "Vantrel Screen Saver", MB_OK | MB_ICONERROR);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return FALSE;
        }
        return FALSE;
    }
    return FALSE;
}
