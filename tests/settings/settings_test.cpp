// The settings store and dialog against fake controls and a scripted registry whose keys can refuse to be
// written, as the machine's key refuses ordinary users on Windows.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/settings.h"

#include <commctrl.h>

// ---- the registry: keys by path, values by name, open keys by handle
static std::map<std::string, std::map<std::string, std::string>> Keys;
static std::map<std::string, LSTATUS> Refusals; // a key's answer to being opened for writing
static std::map<UINT_PTR, std::string> Handles;
static UINT_PTR LastHandle;
static std::string Written; // the names of the values written, in order

static const std::string Machine = "HKLM\\SOFTWARE\\Vantrel Screen Saver";
static const std::string User = "HKCU\\SOFTWARE\\Vantrel Screen Saver";

static LSTATUS Open(HKEY root, LPCSTR sub, REGSAM access, bool create, PHKEY key)
{
    std::string path = (root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "HKCU\\") + std::string(sub);
    *key = nullptr;
    if (access & KEY_SET_VALUE && Refusals.count(path))
        return Refusals[path];
    if (!create && !Keys.count(path))
        return ERROR_FILE_NOT_FOUND;
    Keys[path];
    Handles[++LastHandle] = path;
    *key = (HKEY)LastHandle;
    return ERROR_SUCCESS;
}

// The reserved words must be 0, as on Windows.
LSTATUS WINAPI RegCreateKeyExA(HKEY root, LPCSTR sub, DWORD reserved, LPSTR, DWORD options, REGSAM access,
                               LPSECURITY_ATTRIBUTES, PHKEY key, LPDWORD)
{
    return reserved || options ? ERROR_INVALID_PARAMETER : Open(root, sub, access, true, key);
}
LSTATUS WINAPI RegOpenKeyExA(HKEY root, LPCSTR sub, DWORD options, REGSAM access, PHKEY key)
{
    return options ? ERROR_INVALID_PARAMETER : Open(root, sub, access, false, key);
}
LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD, LPBYTE data, LPDWORD size)
{
    auto &values = Keys[Handles.at((UINT_PTR)key)];
    if (!values.count(name))
        return ERROR_FILE_NOT_FOUND;
    if (values[name].size() > *size)
        return ERROR_MORE_DATA;
    *size = (DWORD)values[name].copy((char *)data, *size);
    return ERROR_SUCCESS;
}
LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD, const BYTE *data, DWORD size)
{
    if (reserved)
        return ERROR_INVALID_PARAMETER;
    Keys[Handles.at((UINT_PTR)key)][name] = std::string((const char *)data, size);
    Written += name + std::string(" ");
    return ERROR_SUCCESS;
}
LSTATUS WINAPI RegFlushKey(HKEY key) { return Handles.count((UINT_PTR)key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }
LSTATUS WINAPI RegCloseKey(HKEY key) { return Handles.erase((UINT_PTR)key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

// The system's words for a code, ending in a line break as the platform's do.
DWORD WINAPI FormatMessageA(DWORD, LPCVOID, DWORD code, DWORD, LPSTR buffer, DWORD size, va_list *)
{
    return code == ERROR_ACCESS_DENIED ? (DWORD)std::string("Access is denied.\r\n").copy(buffer, size) : 0;
}

// ---- the dialog: a screen, a window, and controls that keep a check state or a position within a range
struct Control {
    LRESULT value;
    int low, high;
};
static std::map<int, Control> Controls;
static std::vector<INT_PTR> EndCodes;
static std::vector<std::string> Told; // the error boxes' texts
static DEVMODEA Screen;
static RECT DialogRect;
static POINT MovedTo;

LRESULT WINAPI SendDlgItemMessageA(HWND, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    Control &control = Controls[id];
    if (message == BM_SETCHECK)
        control.value = (LRESULT)wParam;
    if (message == TBM_SETRANGE)
        control = {control.value, LOWORD(lParam), HIWORD(lParam)};
    if (message == TBM_SETPOS)
        control.value = std::clamp((int)lParam, control.low, control.high);
    return control.value;
}
BOOL WINAPI EndDialog(HWND, INT_PTR code) { EndCodes.push_back(code); return TRUE; }
BOOL WINAPI GetWindowRect(HWND, LPRECT rect) { *rect = DialogRect; return TRUE; }
BOOL WINAPI SetWindowPos(HWND, HWND, int x, int y, int, int, UINT) { MovedTo = {x, y}; return TRUE; }
BOOL WINAPI EnumDisplaySettingsA(LPCSTR, DWORD, DEVMODEA *mode) { *mode = Screen; return TRUE; }
int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR, UINT type)
{
    Told.push_back(type & MB_ICONERROR ? text : "not an error");
    return IDOK;
}

class Settings : public testing::Test {
protected:
    void SetUp() override
    {
        Keys.clear();
        Refusals.clear();
        Controls.clear();
        EndCodes.clear();
    }
    void TearDown() override { EXPECT_TRUE(Handles.empty()) << "every key closed"; }

    // The four settings of a key as Speed, Pulses, Reflections, Showfps; "" where one is missing.
    static std::string Stored(const std::string &path)
    {
        std::string bytes;
        for (const char *name : {"Speed", "Pulses", "Reflections", "Showfps"})
            bytes += Keys[path][name];
        return bytes;
    }
    // Opens the dialog; the controls then show the settings, as Stored() lists them.
    static std::string Open()
    {
        EXPECT_EQ(SettingsDialogProc(nullptr, WM_INITDIALOG, 0, 0), TRUE); // the focus to OK
        Written.clear();
        std::string shown;
        for (int id : {1013, 1016, 1011, 1012})
            shown += (char)Controls[id].value;
        return shown;
    }
    static INT_PTR Command(WPARAM command) { return SettingsDialogProc(nullptr, WM_COMMAND, command, 0); }
};

TEST_F(Settings, AFirstRunStoresAndShowsTheDefaults)
{
    EXPECT_EQ(Open(), "\x0a\x0f\x01\x01");
    EXPECT_EQ(Stored(Machine), "\x0a\x0f\x01\x01");
    EXPECT_FLOAT_EQ(SaverSettings.speed, 0.01f);
    EXPECT_FALSE(Keys.count(User)) << "no user's key is made";
}

TEST_F(Settings, AUsersOwnValuesWinAndOnlyWhatNeitherKeyHoldsGetsItsDefault)
{
    Keys[Machine] = {{"Speed", "\x14"}, {"Pulses", "\x07"}};
    Keys[User] = {{"Speed", "\x32"}, {"Pulses", "\x05\x01"}, {"Showfps", std::string(1, '\0')}};
    EXPECT_EQ(Open(), std::string("\x32\x07\x01\x00", 4)) << "the user's two bytes are no setting";
    EXPECT_EQ(Stored(Machine), "\x14\x07\x01");
}

TEST_F(Settings, AReaderGetsWhatTheMachineStoresAndWritesNoDefaults)
{
    Keys[Machine] = {{"Speed", "\x2a"}, {"Pulses", "\xc8"}};
    Refusals[Machine] = ERROR_ACCESS_DENIED;
    LoadSettings();
    EXPECT_EQ(SaverSettings.speedByte, 42);
    EXPECT_EQ(SaverSettings.pulses, -56); // 200: no pulses
    EXPECT_EQ(SaverSettings.showfps, 1);
    EXPECT_EQ(Stored(Machine), "\x2a\xc8");
}

TEST_F(Settings, OkStoresWhatTheControlsShowShowfpsFirstAndPulsesLast)
{
    Keys[Machine] = {{"Speed", "\xc8"}, {"Pulses", "\xc8"}, {"Reflections", "\x07"}, {"Showfps", std::string(1, '\0')}};
    EXPECT_EQ(Open(), std::string("\x64\x00\x01\x00", 4)) << "beyond the sliders' ranges: at their ends";
    Controls[1016].value = 33;
    EXPECT_EQ(Command(IDOK), TRUE);
    EXPECT_EQ(Stored(Machine), std::string("\x64\x21\x01\x00", 4));
    EXPECT_EQ(Written, "Showfps Reflections Speed Pulses ");
    EXPECT_EQ(EndCodes, std::vector<INT_PTR>{1});
}

TEST_F(Settings, CancelStoresNothing)
{
    Open();
    Controls[1013].value = 50;
    EXPECT_EQ(Command(IDCANCEL), FALSE);
    EXPECT_EQ(Written, "");
    EXPECT_EQ(EndCodes, std::vector<INT_PTR>{0});
}

TEST_F(Settings, OkWritesAUsersOwnKeyTooSoThatItHidesNothing)
{
    Keys[User] = {{"Speed", "\x32"}};
    Open();
    Command(IDOK);
    EXPECT_EQ(Stored(Machine), "\x32\x0f\x01\x01");
    EXPECT_EQ(Stored(User), "\x32\x0f\x01\x01");
}

TEST_F(Settings, OkFallsBackToTheUsersKeyWhenTheMachinesRefuses)
{
    Refusals[Machine] = ERROR_ACCESS_DENIED;
    Open();
    EXPECT_EQ(Command(IDOK), TRUE);
    EXPECT_EQ(Stored(User), "\x0a\x0f\x01\x01");
    EXPECT_EQ(EndCodes, std::vector<INT_PTR>{1});
}

TEST_F(Settings, OkThatCannotStoreSaysWhyAndTheDialogStays)
{
    Refusals[Machine] = ERROR_ACCESS_DENIED;
    Refusals[User] = ERROR_ACCESS_DENIED;
    Open();
    EXPECT_EQ(Command(IDOK), TRUE);
    EXPECT_EQ(Told, std::vector<std::string>{"The settings could not be saved.\n\nAccess is denied."});
    EXPECT_TRUE(EndCodes.empty());
}

TEST_F(Settings, TheDialogIsCentredWithHalvesRoundedDown)
{
    Screen.dmPelsWidth = 1024;
    Screen.dmPelsHeight = 768;
    for (auto [dialog, x, y] : {std::tuple{RECT{5, 9, 305, 129}, 362, 324}, {RECT{0, 0, 1027, 771}, -2, -2}}) {
        DialogRect = dialog;
        Open();
        EXPECT_EQ(MovedTo.x, x);
        EXPECT_EQ(MovedTo.y, y);
    }
}
