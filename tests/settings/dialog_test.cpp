// The settings dialog's procedure against fake controls and window calls,
// with the real settings store behind it in a file of its own.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "read_only.h"
#include "settings/settings.h"

#include <commctrl.h>

namespace fs = std::filesystem;

// ---- fake controls: each keeps one number, its check state or position
struct SentMessage {
    int id;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const SentMessage &) const = default;
};

static std::vector<SentMessage> Sent;
static std::map<int, LRESULT> ControlState;
static std::vector<INT_PTR> EndCodes;
static DWORD ScreenWidth, ScreenHeight;
static RECT DialogRect;
static std::vector<std::vector<LONG_PTR>> Moves; // after, x, y, cx, cy, flags
static const HWND DialogWindow = (HWND)0x5e77;

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    EXPECT_EQ(dialog, DialogWindow);
    Sent.push_back({id, message, wParam, lParam});
    if (message == BM_SETCHECK)
        ControlState[id] = (LRESULT)wParam;
    if (message == TBM_SETPOS)
        ControlState[id] = lParam;
    return message == BM_GETCHECK || message == TBM_GETPOS ? ControlState[id] : 0;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    EXPECT_EQ(dialog, DialogWindow);
    EndCodes.push_back(result);
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND, LPRECT rect)
{
    *rect = DialogRect;
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND dialog, HWND after, int x, int y, int cx, int cy, UINT flags)
{
    EXPECT_EQ(dialog, DialogWindow);
    Moves.push_back({(LONG_PTR)after, x, y, cx, cy, (LONG_PTR)flags});
    return TRUE;
}

BOOL WINAPI EnumDisplaySettingsA(LPCSTR device, DWORD mode, DEVMODEA *settings)
{
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(mode, ENUM_CURRENT_SETTINGS);
    settings->dmPelsWidth = ScreenWidth;
    settings->dmPelsHeight = ScreenHeight;
    return TRUE;
}

struct ShownMessage {
    HWND owner;
    std::string text;
    UINT type;
};
static std::vector<ShownMessage> MessageBoxes;

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR, UINT type)
{
    MessageBoxes.push_back({owner, text, type});
    return IDOK;
}

// Each test gets its own store file and fresh fakes.
class SettingsDialog : public testing::Test {
protected:
    fs::path dir, file;

    void SetUp() override
    {
        // In memory where there is such a file system: the store flushes every write to disk.
        fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        dir = base / ("vantrel-dialog-" + std::to_string(::getpid()) + "-"
                                           + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = dir / "registry.reg";
        setenv("VANTREL_REGISTRY", file.c_str(), 1);
        Sent.clear();
        ControlState.clear();
        EndCodes.clear();
        Moves.clear();
        MessageBoxes.clear();
        ScreenWidth = 1024, ScreenHeight = 768;
        DialogRect = {0, 0, 300, 120};
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string FileText() const
    {
        std::ostringstream text;
        text << std::ifstream(file, std::ios::binary).rdbuf();
        return text.str();
    }
    // A store holding the four settings as given.
    void Store(int speed, int pulses, int reflections, int showfps)
    {
        char text[256];
        snprintf(text, sizeof text,
                 "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\r\n"
                 "\"Speed\"=hex:%02x\r\n\"Pulses\"=hex:%02x\r\n\"Reflections\"=hex:%02x\r\n\"Showfps\"=hex:%02x\r\n",
                 speed, pulses, reflections, showfps);
        std::ofstream(file, std::ios::binary) << text;
    }
    // Speed, Pulses, Reflections, Showfps as stored now: one byte each, or -1 where a value is not one byte.
    static std::vector<int> Stored()
    {
        std::vector<int> bytes;
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, 0, KEY_READ, &key);
        for (const char *name : {"Speed", "Pulses", "Reflections", "Showfps"}) {
            BYTE data[4];
            DWORD size = sizeof data, type = 0;
            bool one = RegQueryValueExA(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS && size == 1
                       && type == REG_BINARY;
            bytes.push_back(one ? data[0] : -1);
        }
        if (key)
            RegCloseKey(key);
        return bytes;
    }
    static INT_PTR Send(UINT message, WPARAM wParam = 0)
    {
        return SettingsDialogProc(DialogWindow, message, wParam, 0);
    }
};

// The messages that show the given settings, in the order the dialog sends them.
static std::vector<SentMessage> Shown(LPARAM speed, LPARAM pulses, bool reflections, bool showfps)
{
    std::vector<SentMessage> sent;
    if (reflections)
        sent.push_back({1011, BM_SETCHECK, BST_CHECKED, 0});
    if (showfps)
        sent.push_back({1012, BM_SETCHECK, BST_CHECKED, 0});
    for (auto [id, position] : {std::pair{1013, speed}, {1016, pulses}}) {
        sent.push_back({id, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100)});
        sent.push_back({id, TBM_SETPOS, TRUE, position});
    }
    return sent;
}

TEST_F(SettingsDialog, FirstRunStoresTheDefaultsBeforeAnythingIsConfirmed)
{
    EXPECT_EQ(Send(WM_INITDIALOG), TRUE); // focus to OK
    EXPECT_EQ(Stored(), (std::vector<int>{10, 15, 1, 1}));
    EXPECT_EQ(Sent, Shown(10, 15, true, true));
    EXPECT_TRUE(EndCodes.empty());
}

TEST_F(SettingsDialog, SwitchedOffSettingsLeaveTheBoxesAsCreated)
{
    Store(0, 0, 0, 0);
    Send(WM_INITDIALOG);
    EXPECT_EQ(Sent, Shown(0, 0, false, false));
    Store(3, 4, 0, 9); // any non-zero byte means on
    Sent.clear();
    Send(WM_INITDIALOG);
    EXPECT_EQ(Sent, Shown(3, 4, false, true));
}

TEST_F(SettingsDialog, EveryStoredSpeedComesBackAndOkStoresItAgain)
{
    for (int speed = 0; speed <= 100; speed++) {
        Store(speed, 100 - speed, speed & 1, speed % 3 == 0);
        ControlState.clear();
        EndCodes.clear();
        Send(WM_INITDIALOG);
        EXPECT_EQ(ControlState[1013], speed);
        EXPECT_EQ(Send(WM_COMMAND, IDOK), TRUE);
        EXPECT_EQ(EndCodes, std::vector<INT_PTR>{1});
        EXPECT_EQ(Stored(), (std::vector<int>{speed, 100 - speed, speed & 1, speed % 3 == 0})) << speed;
    }
}

TEST_F(SettingsDialog, OkStoresWhatTheControlsShow)
{
    Send(WM_INITDIALOG);
    ControlState = {{1011, BST_UNCHECKED}, {1012, BST_CHECKED}, {1013, 0}, {1016, 0}};
    Send(WM_COMMAND, IDOK);
    EXPECT_EQ(Stored(), (std::vector<int>{0, 0, 0, 1}));
    EXPECT_TRUE(MessageBoxes.empty());
    // The settings in memory follow, except the speed, which nothing reads once the dialog ends.
    EXPECT_EQ(SaverSettings.pulses, 0);
    EXPECT_EQ(SaverSettings.reflections, 0);
    EXPECT_EQ(SaverSettings.showfps, 1);
    EXPECT_FLOAT_EQ(SaverSettings.speed, 0.01f);
}

TEST_F(SettingsDialog, OkWritesShowfpsReflectionsSpeedPulsesInThatOrder)
{
    Send(WM_INITDIALOG);
    fs::remove(file); // so that the writes land as new lines, in the order made
    Send(WM_COMMAND, IDOK);
    std::string text = FileText();
    size_t showfps = text.find("\"Showfps\""), reflections = text.find("\"Reflections\""),
           speed = text.find("\"Speed\""), pulses = text.find("\"Pulses\"");
    ASSERT_NE(pulses, std::string::npos);
    EXPECT_LT(showfps, reflections);
    EXPECT_LT(reflections, speed);
    EXPECT_LT(speed, pulses);
}

TEST_F(SettingsDialog, CancelAfterChangesStoresNothing)
{
    Store(42, 7, 1, 0);
    Send(WM_INITDIALOG);
    std::string opened = FileText();
    ControlState = {{1011, BST_UNCHECKED}, {1012, BST_CHECKED}, {1013, 99}, {1016, 1}};
    EXPECT_EQ(Send(WM_COMMAND, IDCANCEL), FALSE);
    EXPECT_EQ(EndCodes, std::vector<INT_PTR>{0});
    EXPECT_EQ(FileText(), opened);
}

TEST_F(SettingsDialog, OkThatCannotStoreSaysSoAndKeepsTheDialogOpen)
{
    Store(42, 7, 1, 0);
    std::string stored = FileText();
    EXPECT_TRUE(PassesReadOnly(file, [&] {
        Send(WM_INITDIALOG);
        bool shown = ControlState[1013] == 42 && ControlState[1016] == 7; // read all the same
        ControlState[1011] = BST_UNCHECKED;
        bool handled = Send(WM_COMMAND, IDOK) == TRUE;
        bool told = MessageBoxes.size() == 1 && MessageBoxes[0].owner == DialogWindow
                    && (MessageBoxes[0].type & MB_ICONERROR) && !MessageBoxes[0].text.empty();
        return shown && handled && told && EndCodes.empty() && FileText() == stored;
    }));
}

TEST_F(SettingsDialog, StoredValuesBeyondTheRangeGoToTheSlidersAsRead)
{
    // The trackbar puts them at its ends; a Pulses byte above 127 reads as negative.
    Store(200, 200, 1, 1);
    Send(WM_INITDIALOG);
    EXPECT_EQ(Sent, Shown(200, -56, true, true));
}

TEST_F(SettingsDialog, CentresOnTheScreenRoundingDown)
{
    DialogRect = {5, 9, 305, 129};
    Send(WM_INITDIALOG);
    ScreenWidth = 1280, ScreenHeight = 1024;
    DialogRect = {0, 0, 301, 121};
    Send(WM_INITDIALOG);
    EXPECT_EQ(Moves, (std::vector<std::vector<LONG_PTR>>{{(LONG_PTR)HWND_TOP, 362, 324, 0, 0, SWP_NOSIZE},
                                                         {(LONG_PTR)HWND_TOP, 489, 451, 0, 0, SWP_NOSIZE}}));
}

TEST_F(SettingsDialog, OtherCommandsAndMessagesAreLeftToThePlatform)
{
    Send(WM_INITDIALOG);
    std::string opened = FileText();
    Sent.clear();
    EXPECT_EQ(Send(WM_COMMAND, MAKEWPARAM(1011, BN_CLICKED)), FALSE);
    EXPECT_EQ(Send(WM_CLOSE), FALSE);
    EXPECT_EQ(Send(WM_KEYDOWN, 0x1B), FALSE);
    EXPECT_TRUE(Sent.empty());
    EXPECT_TRUE(EndCodes.empty());
    EXPECT_EQ(FileText(), opened);
}
