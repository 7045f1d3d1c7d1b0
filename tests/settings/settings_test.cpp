// The settings store and dialog against fake controls and a scripted registry whose keys can refuse to be
// written, as the machine's key refuses ordinary users on Windows.
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

using namespace std::literals;

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

// ---- the dialog: a screen, a window, and controls that keep a check state or a position
static std::map<int, LRESULT> Controls;
static std::vector<INT_PTR> EndCodes;
static std::vector<std::string> Told; // the error boxes' texts
static DEVMODEA Screen;
static RECT DialogRect;
static POINT MovedTo;

LRESULT WINAPI SendDlgItemMessageA(HWND, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == BM_SETCHECK || message == TBM_SETPOS)
        Controls[id] = message == BM_SETCHECK ? (LRESULT)wParam : lParam;
    return Controls[id];
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
            bytes += Keys.contains(path) && Keys[path].contains(name) ? Keys[path][name] : "";
        return bytes;
    }
    // Opens the dialog; the controls then show the settings, as Stored() lists them.
    static std::string Open()
    {
        EXPECT_EQ(SettingsDialogProc(nullptr, WM_INITDIALOG, 0, 0), TRUE); // the focus to OK
        Written.clear();
        std::string shown;
        for (int id : {1013, 1016, 1011, 1012})
            shown += (char)Controls[id];
        return shown;
    }
    static INT_PTR Command(WPARAM command) { return SettingsDialogProc(nullptr, WM_COMMAND, command, 0); }
};

TEST_F(Settings, AUsersOwnValuesWinAndOkStoresTheChoiceInBothKeys)
{
    Keys[Machine] = {{"Speed", "\x14"}, {"Pulses", "\x07"}};
    Keys[User] = {{"Speed", "\x32"}, {"Pulses", "\x05\x01"}, {"Showfps", "\x00"s}};
    EXPECT_EQ(Open(), "\x32\x07\x01\x00"s) << "the user's two bytes are no setting";
    EXPECT_EQ(Stored(Machine), "\x14\x07\x01") << "only what neither key holds gets its default";
    Command(IDOK); // the user's own values would hide a choice stored for the machine alone
    EXPECT_EQ(Stored(Machine), "\x32\x07\x01\x00"s);
    EXPECT_EQ(Stored(User), "\x32\x07\x01\x00"s);
}

TEST_F(Settings, OkStoresWhatTheControlsShowShowfpsFirstAndPulsesLast)
{
    Keys[Machine] = {{"Speed", "\x2a"}, {"Pulses", "\x07"}, {"Reflections", "\x07"}, {"Showfps", "\x00"s}};
    EXPECT_EQ(Open(), "\x2a\x07\x01\x00"s) << "a box is checked for any byte but 0";
    Controls[1016] = 33;
    EXPECT_EQ(Command(IDOK), TRUE);
    EXPECT_EQ(Stored(Machine), "\x2a\x21\x01\x00"s);
    EXPECT_FALSE(Keys.count(User)) << "no user's key is made";
    EXPECT_EQ(Written, "Showfps Reflections Speed Pulses ");
    EXPECT_EQ(EndCodes, std::vector<INT_PTR>{1});
}

// As for an ordinary user on Windows: the machine's values are read, no defaults written, OK stores the user's.
TEST_F(Settings, WhereTheMachinesKeyRefusesWritingItIsReadAndOkStoresTheUsersKey)
{
    Keys[Machine] = {{"Speed", "\x2a"}, {"Pulses", "\xc8"}};
    Refusals[Machine] = ERROR_ACCESS_DENIED;
    EXPECT_EQ(Open(), "\x2a\xc8\x01\x01"); // 200 is -56: no pulses, for the slider to place at its end
    EXPECT_EQ(Command(IDOK), TRUE);
    EXPECT_EQ(Stored(User), "\x2a\xc8\x01\x01");
    EXPECT_EQ(Stored(Machine), "\x2a\xc8");
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
        EXPECT_EQ(std::pair(MovedTo.x, MovedTo.y), std::pair(x, y));
    }
}
