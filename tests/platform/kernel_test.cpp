// The kernel services: the AC line from sysfs, the command line Windows
// would have built, and the answers that steer the host to the NT paths.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <unistd.h>

#include "platform/kernel.h"

namespace {

namespace fs = std::filesystem;

TEST(PowerStatus, TheAcLineIsOnlineWhenAnyMainsSupplyIs)
{
    fs::path dir = fs::temp_directory_path() / ("vantrel-power-" + std::to_string(getpid()));
    setenv("VANTREL_POWER_SUPPLY_DIR", dir.c_str(), 1);
    SYSTEM_POWER_STATUS status = {};
    auto acLine = [&] { return GetSystemPowerStatus(&status) ? status.ACLineStatus : -1; };
    EXPECT_EQ(acLine(), AC_LINE_UNKNOWN); // no such directory: a desktop without the class
    std::tuple<const char *, const char *, const char *, BYTE> steps[] = {
        {"BAT0", "Battery", "1", AC_LINE_UNKNOWN}, // batteries say nothing about the line
        {"AC", "Mains", "0", AC_LINE_OFFLINE},
        {"USB", "Mains", "1", AC_LINE_ONLINE}, // any one online will do
        {"USB", "Mains", "0", AC_LINE_OFFLINE},
    };
    for (auto [name, type, online, expected] : steps) {
        fs::create_directories(dir / name);
        std::ofstream(dir / name / "type") << type << '\n';
        std::ofstream(dir / name / "online") << online << '\n';
        EXPECT_EQ(acLine(), expected) << name << " " << online;
    }
    fs::remove_all(dir);
    unsetenv("VANTREL_POWER_SUPPLY_DIR");
}

TEST(CommandLine, IsBuiltAsWindowsWouldQuotingAProgramNameWithSpaces)
{
    EXPECT_STREQ(RememberCommandLine("/opt/my savers/vantrel.scr", "/p 1234"), "/p 1234");
    EXPECT_STREQ(GetCommandLineA(), "\"/opt/my savers/vantrel.scr\" /p 1234");

    EXPECT_STREQ(RememberCommandLine("vantrel", ""), "");
    EXPECT_STREQ(GetCommandLineA(), "vantrel");
    EXPECT_EQ(CharNextA(GetCommandLineA()), GetCommandLineA() + 1);
    EXPECT_EQ(CharNextA(GetCommandLineA() + 7), GetCommandLineA() + 7); // never past the end
}

TEST(Kernel, TheHostIsSteeredToTheNtPathsWithNoLibrariesToLoad)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
    version.dwOSVersionInfoSize = 4;
    EXPECT_FALSE(GetVersionExA(&version));

    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA("IMM32.DLL"), nullptr);
    EXPECT_EQ(LoadLibraryA("PASSWORD.CPL"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "VerifyScreenSavePwd"), nullptr);

    DWORD start = GetTickCount();
    Sleep(50);
    EXPECT_GE(GetTickCount() - start, 50u); // milliseconds, not some other unit
    EXPECT_LT(GetTickCount() - start, 5000u);
}

} // namespace
