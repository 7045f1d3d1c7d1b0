// The four settings: one-byte registry values under one machine-wide key.
#include "settings/settings.h"
#include "scene/scene.h"

// ---- in-memory settings
SaverSettingsRecord SaverSettings;

struct StoredValue {
    const char *name;
    BYTE fallback;
};

// In the order they are read.
static const StoredValue StoredValues[4] = {
    {"Speed", 10},
    {"Pulses", 15},
    {"Reflections", 1},
    {"Showfps", 1},
};

// Derives the in-memory settings from the stored bytes and sizes a fresh pulse array.
void ApplySettings(BYTE speed, BYTE pulses, BYTE reflections, BYTE showfps)
{
    SaverSettings.speed = (float)speed * 0.001f;
    SaverSettings.speedByte = speed;
    SaverSettings.pulses = (signed char)pulses;
    SaverSettings.reflections = reflections;
    SaverSettings.showfps = showfps;

    delete[] PulseArray;
    PulseArray = SaverSettings.pulses > 0 ? new Pulse[SaverSettings.pulses]() : nullptr;
}

// Reads the four values, writing back the default of any that is missing or not one byte.
// A user who may not write the machine's key still gets what an administrator stored there.
void LoadSettings()
{
    HKEY key = nullptr;
    bool writable = RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
    if (!writable)
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, 0, KEY_READ, &key);
    BYTE bytes[4];
    for (int i = 0; i < 4; i++) {
        DWORD size = 1;
        if (RegQueryValueExA(key, StoredValues[i].name, nullptr, nullptr, &bytes[i], &size) != ERROR_SUCCESS
            || size != 1) {
            bytes[i] = StoredValues[i].fallback;
            if (writable)
                RegSetValueExA(key, StoredValues[i].name, 0, REG_BINARY, &bytes[i], 1);
        }
    }
    if (key)
        RegCloseKey(key);
    ApplySettings(bytes[0], bytes[1], bytes[2], bytes[3]);
}
