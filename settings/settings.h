// The four stored settings and the dialog that edits them.
#pragma once

#include <windows.h>

#define SETTINGS_SUBKEY "SOFTWARE\\Vantrel Screen Saver"

struct SaverSettingsRecord {
    float speed;        // path segments per tick: the stored byte x 0.001
    BYTE speedByte;     // the stored byte the speed came from
    signed char pulses; // pulse count; 128..255 stored read as negative
    BYTE reflections;   // 0 = no floor reflection
    BYTE showfps;       // 0 = no frame-rate text
};

// ---- store
extern SaverSettingsRecord SaverSettings;

void LoadSettings();                                                    // registry -> SaverSettings
void ApplySettings(BYTE speed, BYTE pulses, BYTE reflections, BYTE showfps); // stored bytes -> SaverSettings
LSTATUS StoreSettings(BYTE speed, BYTE pulses, BYTE reflections, BYTE showfps); // -> registry, all four or none

// ---- dialog
BOOL PrepareSettingsDialog(HINSTANCE instance); // registers nothing; the dialog needs no classes of its own
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
