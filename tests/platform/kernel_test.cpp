// The kernel services: the AC line from sysfs, the command line Windows
// would have built, and the answers that steer the host to the NT paths.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/kernel.h"

namespace {

namespace fs = std::filesystem;

// A fake /sys/class/power_supply, named by the environment while it lives.
struct PowerSupplies {
    fs::path dir = fs::temp_directory_path() / ("vantrel-power-" + std::to_string(getpid()));

    PowerSupplies()
    {
        fs::create_directories(dir);
        setenv("VANTREL_POWER_SUPPLY_DIR", dir.c_str(), 1);
    }
    ~PowerSupplies()
    {
        unsetenv("VANTREL_POWER_SUPPLY_DIR");
        fs::remove_all(dir);
    }

    void Add(const char *name, const char *type, const char *online)
    {
        fs::create_directories(dir / name);
        Write(dir / name / "type", type);
        if (online)
            Write(dir / name / "online", online);
    }

    static void Write(const fs::path &file, const char *text)
    {
        FILE *out = std::fopen(file.c_str(), "w");
        std::fprintf(out, "%s\n", text);
        std::fclose(out);
    }

    static BYTE AcLine()
    {
        SYSTEM_POWER_STATUS status = {};
        EXPECT_TRUE(GetSystemPowerStatus(&status));
        return status.ACLineStatus;
    }
};

TEST(PowerStatus, TheAcLineIsOnlineWhenAnyMainsSupplyIs)
{
    PowerSupplies supplies;
    EXPECT_EQ(supplies.AcLine(), AC_LINE_UNKNOWN); // no supply at all: a desktop without the class
    supplies.Add("BAT0", "Battery", "1");         // batteries say nothing about the line
    EXPECT_EQ(supplies.AcLine(), AC_LINE_UNKNOWN);
    supplies.Add("AC", "Mains", "0");
    EXPECT_EQ(supplies.AcLine(), AC_LINE_OFFLINE);
    supplies.Add("USB", "Mains", "1");
    EXPECT_EQ(supplies.AcLine(), AC_LINE_ONLINE);
    supplies.Add("USB", "Mains", "0");
    EXPECT_EQ(supplies.AcLine(), AC_LINE_OFFLINE);
    fs::remove_all(supplies.dir);
    EXPECT_EQ(supplies.AcLine(), AC_LINE_UNKNOWN);
}

TEST(CommandLine, IsBuiltAsWindowsWouldQuotingAProgramNameWithSpaces)
{
    char program[] = "/opt/my savers/vantrel.scr", mode[] = "/p", window[] = "1234";
    char *quoted[] = {program, mode, window};
    EXPECT_STREQ(RememberArguments(3, quoted), "/p 1234");
    EXPECT_STREQ(GetCommandLineA(), "\"/opt/my savers/vantrel.scr\" /p 1234");

    char plain[] = "vantrel";
    char *alone[] = {plain};
    EXPECT_STREQ(RememberArguments(1, alone), "");
    EXPECT_STREQ(GetCommandLineA(), "vantrel");

    const char *end = GetCommandLineA() + 7;
    EXPECT_EQ(CharNextA(GetCommandLineA()), GetCommandLineA() + 1);
    EXPECT_EQ(CharNextA(end), end); // never past the end
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
}

TEST(Kernel, TheTickCountFollowsTheMonotonicClock)
{
    DWORD start = GetTickCount();
    Sleep(50);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 50u);
    EXPECT_LT(elapsed, 5000u);
}

} // namespace
