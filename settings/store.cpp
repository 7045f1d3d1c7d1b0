// The four settings: one-byte registry values, a user's own over the machine's.
#include "settings/settings.h"

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

// Derives the in-memory settings from the stored bytes.
void ApplySettings(BYTE speed, BYTE pulses, BYTE reflections, BYTE showfps)
{
    SaverSettings.speed = (float)speed * 0.001f;
    SaverSettings.speedByte = speed;
    SaverSettings.pulses = (signed char)pulses;
    SaverSettings.reflections = reflections;
    SaverSettings.showfps = showfps;
}

// A value stored as exactly one byte; anything else counts as missing.
static bool QueryByte(HKEY key, const char *name, BYTE *byte)
{
    DWORD size = 1;
    return key && RegQueryValueExA(key, name, nullptr, nullptr, byte, &size) == ERROR_SUCCESS && size == 1;
}

// Reads the four values: the user's own where there is one, else the machine's, else the default,
// which is written back to the machine's key when it may be written.
void LoadSettings()
{
    HKEY user = nullptr, machine = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_SUBKEY, 0, KEY_READ, &user);
    bool writable = RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &machine, nullptr) == ERROR_SUCCESS;
    if (!writable) // an ordinary user still reads what an administrator stored
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, 0, KEY_READ, &machine);
    BYTE bytes[4];
    for (int i = 0; i < 4; i++) {
        const StoredValue &value = StoredValues[i];
        if (QueryByte(user, value.name, &bytes[i]) || QueryByte(machine, value.name, &bytes[i]))
            continue;
        bytes[i] = value.fallback;
        if (writable)
            RegSetValueExA(machine, value.name, 0, REG_BINARY, &bytes[i], 1);
    }
    if (user)
        RegCloseKey(user);
    if (machine)
        RegCloseKey(machine);
    ApplySettings(bytes[0], bytes[1], bytes[2], bytes[3]);
}

// Writes the four bytes as one-byte values in the dialog's order and flushes them together.
static LSTATUS WriteValues(HKEY key, const BYTE (&bytes)[4])
{
    // Not the order they are read in: the dialog has always written the check boxes first.
    static const char *const names[4] = {"Showfps", "Reflections", "Speed", "Pulses"};
    LSTATUS status = ERROR_SUCCESS;
    for (int i = 0; i < 4 && status == ERROR_SUCCESS; i++)
        status = RegSetValueExA(key, names[i], 0, REG_BINARY, &bytes[i], 1);
    if (status == ERROR_SUCCESS)
        status = RegFlushKey(key);
    RegCloseKey(key);
    return status;
}

// Stores the settings where they take effect: the machine's key when it may be written (and a
// user's own key too, if there is one, so that it does not hide the new choice), else the user's.
LSTATUS StoreSettings(BYTE speed, BYTE pulses, BYTE reflections, BYTE showfps)
{
    const BYTE bytes[4] = {showfps, reflections, speed, pulses};
    HKEY machine = nullptr, user = nullptr;
    LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &machine, nullptr);
    if (status == ERROR_SUCCESS && (status = WriteValues(machine, bytes)) == ERROR_SUCCESS) {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_SUBKEY, 0, KEY_ALL_ACCESS, &user) == ERROR_SUCCESS)
            status = WriteValues(user, bytes);
        return status;
    }
    status = RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_SUBKEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                             nullptr, &user, nullptr);
    return status == ERROR_SUCCESS ? WriteValues(user, bytes) : status;
}
