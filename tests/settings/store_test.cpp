#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "read_only.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

// Each test gets its own store file, named by VANTREL_REGISTRY.
class SettingsStore : public testing::Test {
protected:
    fs::path dir, file;

    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("vantrel-settings-" + std::to_string(::getpid()) + "-"
                                           + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = dir / "registry.reg";
        setenv("VANTREL_REGISTRY", file.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string &text) { std::ofstream(file, std::ios::binary) << text; }
    std::string Read() const
    {
        std::ostringstream text;
        text << std::ifstream(file, std::ios::binary).rdbuf();
        return text.str();
    }
    // A store holding the settings key with the given value lines.
    void WriteKey(const std::string &values)
    {
        Write("Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\r\n" + values);
    }
    // The stored bytes and type of one value, read back through the registry calls.
    static std::string Stored(const char *name, DWORD *type = nullptr)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "<no key>";
        BYTE data[16];
        DWORD size = sizeof data;
        LSTATUS status = RegQueryValueExA(key, name, nullptr, type, data, &size);
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? std::string((char *)data, size) : "<missing>";
    }
};

TEST_F(SettingsStore, FirstRunStoresTheDefaults)
{
    LoadSettings();
    EXPECT_FLOAT_EQ(SaverSettings.speed, 0.01f);
    EXPECT_EQ(SaverSettings.speedByte, 10);
    EXPECT_EQ(SaverSettings.pulses, 15);
    EXPECT_EQ(SaverSettings.reflections, 1);
    EXPECT_EQ(SaverSettings.showfps, 1);
    for (auto [name, want] : {std::pair{"Speed", 10}, {"Pulses", 15}, {"Reflections", 1}, {"Showfps", 1}}) {
        DWORD type = 0;
        EXPECT_EQ(Stored(name, &type), std::string(1, (char)want)) << name;
        EXPECT_EQ(type, (DWORD)REG_BINARY) << name;
    }
}

TEST_F(SettingsStore, OnlyTheMissingValueIsWritten)
{
    WriteKey("\"Speed\"=hex:00\r\n\"Reflections\"=hex:07\r\n\"Showfps\"=hex:00\r\n");
    LoadSettings();
    EXPECT_EQ(SaverSettings.speed, 0.0f);
    EXPECT_EQ(SaverSettings.pulses, 15);
    EXPECT_EQ(SaverSettings.reflections, 7);
    EXPECT_EQ(SaverSettings.showfps, 0);
    EXPECT_EQ(Stored("Pulses"), "\x0f");
    EXPECT_EQ(Stored("Speed"), std::string(1, '\0'));
    EXPECT_EQ(Stored("Reflections"), "\x07");
}

TEST_F(SettingsStore, AUsersOwnValuesWinAndTheMachinesFillTheRest)
{
    const std::string stored = "Windows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\r\n"
                               "\"Speed\"=hex:14\r\n\"Pulses\"=hex:07\r\n\r\n"
                               "[HKEY_CURRENT_USER\\SOFTWARE\\Vantrel Screen Saver]\r\n"
                               "\"Speed\"=hex:32\r\n\"Pulses\"=hex:00,01\r\n\"Showfps\"=hex:00\r\n";
    Write(stored);
    LoadSettings();
    EXPECT_EQ(SaverSettings.speedByte, 50);
    EXPECT_EQ(SaverSettings.pulses, 7); // the user's two bytes are no setting
    EXPECT_EQ(SaverSettings.reflections, 1);
    EXPECT_EQ(SaverSettings.showfps, 0);
    // Only the value neither key holds gets its default, in the machine's key.
    EXPECT_EQ(Read(), stored.substr(0, stored.find("\r\n\r\n[HKEY_CURRENT")) + "\r\n\"Reflections\"=hex:01"
                          + stored.substr(stored.find("\r\n\r\n[HKEY_CURRENT")));
}

TEST_F(SettingsStore, AFourByteValueIsReplacedByTheOneByteDefault)
{
    WriteKey("\"Speed\"=dword:00000064\r\n\"Pulses\"=hex:c8\r\n\"Reflections\"=hex:01\r\n\"Showfps\"=hex:01\r\n");
    LoadSettings();
    EXPECT_FLOAT_EQ(SaverSettings.speed, 0.01f);
    DWORD type = 0;
    EXPECT_EQ(Stored("Speed", &type), "\x0a");
    EXPECT_EQ(type, (DWORD)REG_BINARY);
    EXPECT_EQ(SaverSettings.pulses, -56); // 200 reads as negative: no pulses
}

TEST_F(SettingsStore, SpeedBytesGiveSinglePrecisionThousandths)
{
    for (int stored : {0, 1, 10, 100, 255}) {
        ApplySettings((BYTE)stored, 0, 0, 0);
        EXPECT_EQ(SaverSettings.speed, (float)stored * 0.001f);
        EXPECT_EQ(SaverSettings.speedByte, stored);
    }
}

TEST_F(SettingsStore, ACorruptStoreIsLeftUntouchedAndDefaultsAreUsed)
{
    const std::string corrupt = "Windows Registry Editor Version 5.00\r\n\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\r\n"
                                "\"Speed\"=hex:zz\r\n\"Pulses\"=hex:64\r\n";
    Write(corrupt);
    LoadSettings();
    EXPECT_EQ(Read(), corrupt);
    EXPECT_FLOAT_EQ(SaverSettings.speed, 0.01f);
    EXPECT_EQ(SaverSettings.pulses, 15);
}

TEST_F(SettingsStore, AReaderGetsWhatAnAdministratorStoredAndWritesNoDefaults)
{
    const std::string stored = "Windows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\r\n"
                               "\"Speed\"=hex:2a\r\n\"Pulses\"=hex:07\r\n\"Reflections\"=hex:00\r\n";
    Write(stored);
    EXPECT_TRUE(PassesReadOnly(file, [&] {
        LoadSettings();
        bool read = SaverSettings.speedByte == 42 && SaverSettings.pulses == 7 && SaverSettings.reflections == 0
                    && SaverSettings.showfps == 1; // missing, so the default
        if (!read)
            fprintf(stderr, "read speed %d, pulses %d, reflections %d, showfps %d\n", SaverSettings.speedByte,
                    SaverSettings.pulses, SaverSettings.reflections, SaverSettings.showfps);
        return read && Read() == stored;
    }));
}
