// The settings dialog's procedure against fake controls and window calls,
// with the real settings store behind it in a file of its own.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "read_only.h"
#include "settings/settings.h"

#include <commctrl.h>

namespace fs = std::filesystem;

// ---- fakes: each control keeps one number, its check state or position
using SentMessage = std::tuple<int, UINT, WPARAM, LPARAM>; // control, message, wParam, lParam
static std::vector<SentMessage> Sent;
static std::map<int, LRESULT> Controls;
static std::vector<INT_PTR> EndCodes;
static std::vector<std::pair<int, int>> Moves;
static std::vector<std::string> Told; // the message boxes, what kind
static DEVMODEA Screen;
static RECT DialogRect;
static const HWND DialogWindow = (HWND)0x5e77;

// Which window and how are left to the end to end test, where a wrong handle, mode or flag shows.
LRESULT WINAPI SendDlgItemMessageA(HWND, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != BM_GETCHECK && message != TBM_GETPOS)
        Sent.push_back({id, message, wParam, lParam});
    if (message == BM_SETCHECK || message == TBM_SETPOS)
        Controls[id] = message == BM_SETCHECK ? (LRESULT)wParam : lParam;
    return Controls[id];
}
BOOL WINAPI EndDialog(HWND, INT_PTR code) { EndCodes.push_back(code); return TRUE; }
BOOL WINAPI GetWindowRect(HWND, LPRECT rect) { *rect = DialogRect; return TRUE; }
BOOL WINAPI SetWindowPos(HWND, HWND, int x, int y, int, int, UINT) { Moves.push_back({x, y}); return TRUE; }
BOOL WINAPI EnumDisplaySettingsA(LPCSTR, DWORD, DEVMODEA *mode) { *mode = Screen; return TRUE; }

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR, UINT type)
{
    Told.push_back(owner == DialogWindow && (type & MB_ICONERROR) ? text : "not an error over the dialog");
    return IDOK;
}

// ---- each test: its own store, in memory where there is one (the store flushes every write to disk)
class SettingsDialog : public testing::Test {
protected:
    fs::path dir = (fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path())
                   / ("vantrel-dialog-" + std::to_string(getpid()));
    fs::path file = dir / "registry.reg";

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        setenv("VANTREL_REGISTRY", file.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string FileText() const { std::ifstream in(file); return {std::istreambuf_iterator<char>(in), {}}; }
    // Speed, Pulses, Reflections, Showfps as the file shows them; -1 for a value not there as one byte.
    std::vector<int> Stored() const
    {
        std::vector<int> bytes;
        std::string text = FileText();
        std::smatch hex;
        for (std::string name : {"Speed", "Pulses", "Reflections", "Showfps"})
            bytes.push_back(std::regex_search(text, hex, std::regex('"' + name + "\"=hex:([0-9a-f]{2})\r?\n"))
                                ? std::stoi(hex[1].str(), nullptr, 16) : -1);
        return bytes;
    }
    // Runs the procedure; the dialog's start begins fresh records of the controls and the end.
    static INT_PTR Send(UINT message, WPARAM wParam = 0)
    {
        if (message == WM_INITDIALOG)
            Sent.clear(), Controls.clear(), EndCodes.clear(), Told.clear();
        return SettingsDialogProc(DialogWindow, message, wParam, 0);
    }
    // Stores speed, pulses, reflections and showfps by confirming controls that show them.
    static void Confirm(LRESULT speed, LRESULT pulses, LRESULT reflections, LRESULT showfps)
    {
        Controls = {{1013, speed}, {1016, pulses}, {1011, reflections}, {1012, showfps}};
        Send(WM_COMMAND, IDOK);
    }
};

// The messages that show the given settings, in the order the dialog sends them: a box is checked only when on.
static std::vector<SentMessage> Shown(LPARAM speed, LPARAM pulses, bool reflections, bool showfps)
{
    std::vector<SentMessage> sent = {{1011, BM_SETCHECK, BST_CHECKED, 0}, {1012, BM_SETCHECK, BST_CHECKED, 0}};
    sent.erase(sent.begin() + 1, sent.begin() + 1 + !showfps);
    sent.erase(sent.begin(), sent.begin() + !reflections);
    for (auto [id, position] : {std::pair{1013, speed}, {1016, pulses}})
        sent.insert(sent.end(), {{id, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100)}, {id, TBM_SETPOS, TRUE, position}});
    return sent;
}

TEST_F(SettingsDialog, ShowsWhatIsStoredAndOkStoresItAgain)
{
    EXPECT_EQ(Send(WM_INITDIALOG), TRUE); // focus to OK; a first run, which stores the defaults at once
    EXPECT_EQ(Stored(), (std::vector<int>{10, 15, 1, 1}));
    EXPECT_EQ(Sent, Shown(10, 15, true, true));
    for (int speed = 0; speed <= 100; speed++) {
        Confirm(speed, 100 - speed, speed & 1, speed % 3 == 0 ? 9 : 0); // any non-zero byte means on
        Send(WM_INITDIALOG);
        EXPECT_EQ(Sent, Shown(speed, 100 - speed, speed & 1, speed % 3 == 0)) << speed;
        Send(WM_COMMAND, IDOK);
        EXPECT_EQ(Stored(), (std::vector<int>{speed, 100 - speed, speed & 1, speed % 3 == 0})) << speed;
    }
    Confirm(200, 200, 1, 1); // beyond the range, for the trackbar to put at its end; a Pulses byte of 200 reads as -56
    Send(WM_INITDIALOG);
    EXPECT_EQ(Sent, Shown(200, -56, true, true));
}

TEST_F(SettingsDialog, CancelStoresNothingOfWhatOkStoresShowfpsFirstAndPulsesLast)
{
    Send(WM_INITDIALOG);
    std::string opened = FileText();
    Controls = {{1011, BST_UNCHECKED}, {1012, BST_CHECKED}, {1013, 0}, {1016, 0}};
    EXPECT_EQ(Send(WM_COMMAND, IDCANCEL), FALSE);
    EXPECT_EQ(FileText(), opened);
    fs::remove(file); // so that OK's writes land as new lines, in the order made
    EXPECT_EQ(Send(WM_COMMAND, IDOK), TRUE);
    EXPECT_EQ(EndCodes, (std::vector<INT_PTR>{0, 1}));
    EXPECT_EQ(Stored(), (std::vector<int>{0, 0, 0, 1}));
    EXPECT_TRUE(std::regex_search(FileText(), std::regex("Showfps[^]*Reflections[^]*Speed[^]*Pulses"))) << FileText();
}

TEST_F(SettingsDialog, OkThatCannotStoreSaysWhyAndKeepsTheDialogOpen)
{
    Confirm(42, 7, 1, 0);
    fs::permissions(file, fs::perms::others_read, fs::perm_options::add); // an administrator's store, for all to read
    EXPECT_TRUE(PassesReadOnly(file, [&] {
        Send(WM_INITDIALOG);
        Controls[1011] = BST_UNCHECKED;
        bool open = Send(WM_COMMAND, IDOK) == TRUE && EndCodes.empty() && Stored() == std::vector<int>{42, 7, 1, 0};
        bool told = Told.size() == 1 && Told[0].starts_with("The settings could not be saved.\n\n")
                    && Told[0].find(file.string()) != std::string::npos; // the store's file, and what went wrong there
        if (!told)
            std::fprintf(stderr, "told: %s\n", Told.empty() ? "nothing" : Told[0].c_str());
        return open && told;
    }));
}

TEST_F(SettingsDialog, CentresOnTheScreenRoundingHalvesDown)
{
    Moves.clear();
    for (auto [width, height, rect] : {std::tuple{1024, 768, RECT{5, 9, 305, 129}}, {1280, 1024, RECT{0, 0, 301, 121}},
                                       {1024, 768, RECT{0, 0, 1025, 771}}}) // the last larger than the screen
        Screen.dmPelsWidth = width, Screen.dmPelsHeight = height, DialogRect = rect, Send(WM_INITDIALOG);
    EXPECT_EQ(Moves, (std::vector<std::pair<int, int>>{{362, 324}, {489, 451}, {-1, -2}}));
}
