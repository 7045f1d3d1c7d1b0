// The registry file on Linux: what a user finds in it, what survives a
// write, and what a broken or read-only file does to the calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

static const char SettingsKey[] = "SOFTWARE\\Vantrel Screen Saver";
static const std::string Header = "Windows Registry Editor Version 5.00\n\n";
static const std::string SettingsSection = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\n";
static const uid_t Nobody = 65534;

static std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

static void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A string's bytes as a REG_SZ holds them: with the terminating NUL.
template <size_t N> static std::string WithNul(const char (&text)[N]) { return {text, N}; }

// Runs as an unprivileged user while in scope: permissions do not stop root.
struct Unprivileged {
    bool root = geteuid() == 0;
    bool dropped = !root || (setresgid(Nobody, Nobody, 0) == 0 && setresuid(Nobody, Nobody, 0) == 0);
    ~Unprivileged()
    {
        if (root && (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0))
            abort();
    }
};

class Registry : public testing::Test {
protected:
    std::string top, folder, file;

    void SetUp() override
    {
        char name[] = "/tmp/vantrel-registry-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        top = name;
        chmod(top.c_str(), 0755); // the unprivileged user looks in too
        folder = top + "/config";
        file = folder + "/registry.reg";
        setenv("VANTREL_REGISTRY", file.c_str(), 1);
    }

    void TearDown() override
    {
        if (fs::exists(folder))
            chmod(folder.c_str(), 0755);
        fs::remove_all(top);
    }

    // Puts a hand-written file in place with the given permissions.
    void Prepare(const std::string &text, mode_t fileMode = 0644, mode_t folderMode = 0755)
    {
        fs::create_directories(folder);
        chmod(folder.c_str(), 0755);
        chmod(file.c_str(), 0644);
        WriteFile(file, text);
        chmod(file.c_str(), fileMode);
        chmod(folder.c_str(), folderMode);
    }

    std::vector<std::string> Listing()
    {
        std::vector<std::string> names;
        for (const fs::directory_entry &entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename());
        return names;
    }
};

static LSTATUS CreateSettings(HKEY *key, REGSAM access = KEY_ALL_ACCESS, DWORD *disposition = nullptr)
{
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                           key, disposition);
}

static LSTATUS Set(HKEY key, const char *name, DWORD type, const std::string &bytes)
{
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()), DWORD(bytes.size()));
}

// The value's bytes, with a buffer of any size; "<error N>" when the query fails.
static std::string Query(HKEY key, const char *name, DWORD *type = nullptr)
{
    BYTE data[1024];
    DWORD size = sizeof data;
    LSTATUS status = RegQueryValueExA(key, name, nullptr, type, data, &size);
    return status ? "<error " + std::to_string(status) + ">" : std::string(reinterpret_cast<char *>(data), size);
}

TEST_F(Registry, FirstUseCreatesTheFileAndKeysExistWithTheirSubkeys)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, &key), ERROR_SUCCESS); // roots always exist
    RegCloseKey(key);
    EXPECT_FALSE(fs::exists(folder)); // and need no file
    ASSERT_EQ(CreateSettings(&key, KEY_ALL_ACCESS, &disposition), ERROR_SUCCESS);
    EXPECT_NE(key, nullptr);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    EXPECT_EQ(ReadFile(file), Header + SettingsSection);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    ASSERT_EQ(CreateSettings(&key, KEY_ALL_ACCESS, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(ReadFile(file), Header + SettingsSection);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    for (const char *absent : {"SOFTWARE\\Vantrel", "SOFTWARE\\Vantrel Screen Saver\\More", "Vantrel Screen Saver"}) {
        key = HKEY(1);
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, absent, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND) << absent;
        EXPECT_EQ(key, nullptr);
    }
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, SettingsKey, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\\\Vantrel", 0, KEY_READ, &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Listing(), std::vector<std::string>{"registry.reg"});

    WriteFile(file, Header); // ends in a blank line already
    ASSERT_EQ(CreateSettings(&key, KEY_ALL_ACCESS, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    EXPECT_EQ(ReadFile(file), Header + SettingsSection);
    RegCloseKey(key);
}

TEST_F(Registry, DefaultPlaceIsTheUsersConfigFolder)
{
    std::string home = getenv("HOME") ? getenv("HOME") : "";
    unsetenv("VANTREL_REGISTRY");
    setenv("XDG_CONFIG_HOME", (top + "/xdg").c_str(), 1);
    HKEY key;
    ASSERT_EQ(CreateSettings(&key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(ReadFile(top + "/xdg/vantrel/registry.reg"), Header + SettingsSection);

    setenv("XDG_CONFIG_HOME", "", 1);
    setenv("HOME", (top + "/home").c_str(), 1);
    ASSERT_EQ(CreateSettings(&key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(ReadFile(top + "/home/.config/vantrel/registry.reg"), Header + SettingsSection);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
}

TEST_F(Registry, ValuesKeepTheirTypeAndLengthInReadableLines)
{
    struct Case {
        const char *name;
        DWORD type;
        std::string data, line;
    };
    const Case cases[] = {
        {"Speed", REG_BINARY, "\x0a", "\"Speed\"=hex:0a"},
        {"Size", REG_DWORD, std::string("\x04\0\0\0", 4), "\"Size\"=dword:00000004"},
        {"Order", REG_DWORD, "\x78\x56\x34\x12", "\"Order\"=dword:12345678"},
        {"Name", REG_SZ, WithNul("C:\\dir \"q\""), "\"Name\"=\"C:\\\\dir \\\"q\\\"\""},
        {"Blank", REG_SZ, WithNul(""), "\"Blank\"=\"\""},
        {"Empty", REG_BINARY, "", "\"Empty\"=hex:"},
        {"NoData", REG_SZ, "", "\"NoData\"=hex(1):"},
        {"Unterminated", REG_SZ, "ab", "\"Unterminated\"=hex(1):61,62"},
        {"Lines", REG_SZ, WithNul("\n"), "\"Lines\"=hex(1):0a,00"},
        {"Short", REG_DWORD, "\x01\x02", "\"Short\"=hex(4):01,02"},
        {"Quote\"d", REG_QWORD, std::string(8, '\xff'), "\"Quote\\\"d\"=hex(b):ff,ff,ff,ff,ff,ff,ff,ff"},
        {"", REG_SZ, WithNul("default"), "@=\"default\""},
    };
    HKEY key;
    ASSERT_EQ(CreateSettings(&key), ERROR_SUCCESS);
    std::string expected = Header + SettingsSection;
    for (const Case &c : cases) {
        ASSERT_EQ(Set(key, c.name, c.type, c.data), ERROR_SUCCESS) << c.name;
        expected += c.line + "\n";
    }
    std::string longData;
    for (int i = 0; i < 200; i++)
        longData += char(i);
    ASSERT_EQ(Set(key, "Long", REG_BINARY, longData), ERROR_SUCCESS);
    std::string text = ReadFile(file);
    ASSERT_EQ(text.substr(0, expected.size()), expected);

    std::istringstream wrapped(text.substr(expected.size())); // as regedit wraps long hex
    std::string line;
    int lines = 0;
    while (std::getline(wrapped, line)) {
        EXPECT_LE(line.size(), 80u) << line;
        EXPECT_EQ(line.ends_with(",\\"), !wrapped.eof() && wrapped.peek() != EOF) << line;
        EXPECT_EQ(line.starts_with("  "), lines++ > 0) << line;
    }
    EXPECT_GE(lines, 8);

    for (const Case &c : cases) {
        DWORD type = 0;
        EXPECT_EQ(Query(key, c.name, &type), c.data) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
    }
    EXPECT_EQ(Query(key, "Long"), longData);
    EXPECT_EQ(Query(key, nullptr), WithNul("default")); // the default value, by either name
    RegCloseKey(key);
}

TEST_F(Registry, QueriesFollowTheWin32Conventions)
{
    Prepare(Header + SettingsSection
            + "\"Speed\"=hex:0a\n\"Nothing\"=hex:\n\"Two\"=hex:01,02\n\"Size\"=dword:00000004\n");
    HKEY key;
    ASSERT_EQ(CreateSettings(&key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    BYTE byte = 0x55;
    EXPECT_EQ(RegQueryValueExA(key, "Speed", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(RegQueryValueExA(key, "Speed", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(RegQueryValueExA(key, "Speed", nullptr, nullptr, &byte, nullptr), ERROR_INVALID_PARAMETER);

    // Nor does a hand-entered 4-byte number fit the settings' one-byte buffer.
    size = 1;
    EXPECT_EQ(RegQueryValueExA(key, "Two", nullptr, &type, &byte, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 2u);
    size = 1;
    EXPECT_EQ(RegQueryValueExA(key, "Size", nullptr, &type, &byte, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(byte, 0x55);

    size = 1;
    EXPECT_EQ(RegQueryValueExA(key, "Nothing", nullptr, &type, &byte, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(byte, 0x55);
    size = 1;
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, &byte, &size), ERROR_FILE_NOT_FOUND);

    RegCloseKey(key);
    EXPECT_EQ(RegQueryValueExA(key, "Speed", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(nullptr, "Speed", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(Registry, WritesChangeOnlyTheirOwnLines)
{
    const std::string original = Header + "; tuned by hand\n"
                                          "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
                                          "\"ScreenSaveUsePassword\"=dword:00000001\n"
                                          "\"Wallpaper\"=\"C:\\\\Windows\\\\web.bmp\"   \n"
                                          "\n"
                                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\n"
                                          "\"Speed\"=dword:00000004\n"
                                          "  ; an indented comment\n"
                                          "\"Blob\"=hex:00,01,02,\\\n"
                                          "  03,04\n"
                                          "a line that means nothing here\n"
                                          "\"Pulses\"=hex:0f\n"
                                          "\n"
                                          "; the end\n"
                                          "[HKEY_CLASSES_ROOT\\.scr]\n"
                                          "@=\"scrfile\"";
    Prepare(original);
    std::string expected = original;
    auto replace = [&](const std::string &from, const std::string &to) {
        ASSERT_NE(expected.find(from), std::string::npos) << from;
        expected.replace(expected.find(from), from.size(), to);
    };
    HKEY key, other;
    ASSERT_EQ(CreateSettings(&key), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(file), original);

    ASSERT_EQ(Set(key, "SPEED", REG_BINARY, "\x0a"), ERROR_SUCCESS); // names ignore case; the first spelling stays
    replace("\"Speed\"=dword:00000004\n", "\"Speed\"=hex:0a\n");
    EXPECT_EQ(ReadFile(file), expected);

    ASSERT_EQ(Set(key, "Blob", REG_BINARY, "\x09"), ERROR_SUCCESS);
    replace("\"Blob\"=hex:00,01,02,\\\n  03,04\n", "\"Blob\"=hex:09\n");
    EXPECT_EQ(ReadFile(file), expected);

    ASSERT_EQ(Set(key, "Showfps", REG_BINARY, "\x01"), ERROR_SUCCESS);
    replace("\"Pulses\"=hex:0f\n", "\"Pulses\"=hex:0f\n\"Showfps\"=hex:01\n");
    EXPECT_EQ(ReadFile(file), expected);

    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "control panel\\DESKTOP", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &other, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(other, "screensaveusepassword"), std::string("\1\0\0\0", 4));
    RegCloseKey(other);

    ASSERT_EQ(RegCreateKeyExA(key, "Extra", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, nullptr),
              ERROR_SUCCESS);
    expected += "\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver\\Extra]\n";
    EXPECT_EQ(ReadFile(file), expected);
    ASSERT_EQ(Set(other, "Depth", REG_BINARY, "\x02"), ERROR_SUCCESS);
    expected += "\"Depth\"=hex:02\n";
    EXPECT_EQ(ReadFile(file), expected);
    RegCloseKey(other);

    EXPECT_EQ(Query(key, "Speed"), "\x0a");
    EXPECT_EQ(Query(key, "Pulses"), "\x0f");
    RegCloseKey(key);
}

TEST_F(Registry, WindowsLineEndingsAndMarkersAreKept)
{
    const std::string original = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                                 "\r\n"
                                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\r\n"
                                 "\"Speed\"=hex:14";
    Prepare(original);
    HKEY key;
    ASSERT_EQ(CreateSettings(&key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, "Pulses", REG_BINARY, "\x0f"), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(file), original + "\r\n\"Pulses\"=hex:0f\r\n");
    RegCloseKey(key);

    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(file), original + "\r\n\"Pulses\"=hex:0f\r\n\r\n[HKEY_CURRENT_USER\\Control Panel]\r\n");
    RegCloseKey(key);
}

TEST_F(Registry, HandWrittenAndWrappedValuesParse)
{
    Prepare("REGEDIT4\r\n"
            "\r\n"
            "  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]  \r\n"
            "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
            "  17,18,19,\\\r\n"
            "\t1A,1b , 1c\r\n"
            "\"Multi\" = hex(7):61,00,62,00,00\r\n"
            "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\r\n"
            "\"Upper\"=DWORD:FfFf\r\n"
            "\"Nul\"=hex(0):\r\n"
            "@=\"x\"\r\n"
            "\"Twice\"=hex:01\r\n"
            "\"twice\"=hex:02\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Vantrel Screen Saver]\r\n"
            "\"TWICE\"=hex:03\r\n"
            "\"Last\"=hex:04\r\n");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    std::string blob;
    for (int i = 0; i <= 0x1c; i++)
        blob += char(i);
    DWORD type;
    EXPECT_EQ(Query(key, "blob", &type), blob);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(Query(key, "Multi", &type), std::string("a\0b\0", 5));
    EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
    EXPECT_EQ(Query(key, "Quad", &type), std::string("\1\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(type, DWORD(REG_QWORD));
    EXPECT_EQ(Query(key, "Upper", &type), std::string("\xff\xff\0\0", 4));
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(Query(key, "Nul", &type), "");
    EXPECT_EQ(type, DWORD(REG_NONE));
    EXPECT_EQ(Query(key, ""), WithNul("x"));
    EXPECT_EQ(Query(key, "Twice"), "\x03"); // on import, later lines win
    RegCloseKey(key);

    ASSERT_EQ(CreateSettings(&key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, "twice", REG_BINARY, "\x05"), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, "New", REG_BINARY, "\x06"), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, "Twice"), "\x05");
    std::string text = ReadFile(file);
    EXPECT_NE(text.find("\"Twice\"=hex:01\r\n\"twice\"=hex:02\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"TWICE\"=hex:05\r\n\"Last\"=hex:04\r\n\"New\"=hex:06\r\n"), std::string::npos);
    RegCloseKey(key);
}

TEST_F(Registry, HandlesRememberTheAccessAskedFor)
{
    Prepare(Header + SettingsSection + "\"Speed\"=hex:0a\n");
    HKEY reader, writer;
    ASSERT_EQ(CreateSettings(&reader, KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_SET_VALUE, &writer), ERROR_SUCCESS);
    EXPECT_EQ(Set(reader, "Speed", REG_BINARY, "\x01"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Query(writer, "Speed"), "<error 5>");
    EXPECT_EQ(Set(writer, "Speed", REG_BINARY, "\x02"), ERROR_SUCCESS);
    EXPECT_EQ(Query(reader, "Speed"), "\x02");
    EXPECT_EQ(RegSetValueExA(writer, "Speed", 0, REG_BINARY, nullptr, 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Set(writer, "Two\nLines", REG_BINARY, "\x02"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ReadFile(file), Header + SettingsSection + "\"Speed\"=hex:02\n");
    RegCloseKey(reader);
    RegCloseKey(writer);

    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, SettingsKey, &writer), ERROR_SUCCESS); // as much access as allowed
    EXPECT_EQ(Set(writer, "Speed", REG_BINARY, "\x03"), ERROR_SUCCESS);
    EXPECT_EQ(Query(writer, "Speed"), "\x03");
    RegCloseKey(writer);
}

TEST_F(Registry, WritesAreAtomicAndMergeWithOtherWriters)
{
    Prepare(Header + SettingsSection + "\"Speed\"=hex:0a\n", 0640);
    HKEY key;
    ASSERT_EQ(CreateSettings(&key), ERROR_SUCCESS);
    for (int i = 0; i < 10; i++)
        ASSERT_EQ(Set(key, "Speed", REG_BINARY, std::string(1, char(i))), ERROR_SUCCESS);
    EXPECT_EQ(Listing(), std::vector<std::string>{"registry.reg"});
    struct stat info;
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // Someone else writes the file while the key is open; that change stays.
    WriteFile(file, Header + SettingsSection + "\"Speed\"=hex:09\n\"Other\"=hex:01\n");
    ASSERT_EQ(Set(key, "Pulses", REG_BINARY, "\x0f"), ERROR_SUCCESS);
    const std::string merged = Header + SettingsSection + "\"Speed\"=hex:09\n\"Other\"=hex:01\n\"Pulses\"=hex:0f\n";
    EXPECT_EQ(ReadFile(file), merged);

    // A write that cannot finish leaves the old file whole and no temporary behind.
    struct rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    struct rlimit small = {16, limit.rlim_max};
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    LSTATUS status = Set(key, "Speed", REG_BINARY, "\x01");
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(status, ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadFile(file), merged);
    EXPECT_EQ(Listing(), std::vector<std::string>{"registry.reg"});
    RegCloseKey(key);
}

TEST_F(Registry, ReadOnlyFileOrFolderRefusesWritingButReads)
{
    const std::string text = Header + SettingsSection + "\"Speed\"=hex:0a\n";
    for (bool folderReadOnly : {false, true}) {
        SCOPED_TRACE(folderReadOnly ? "read-only folder" : "read-only file");
        Prepare(text, folderReadOnly ? 0666 : 0444, folderReadOnly ? 0555 : 0777);
        Unprivileged user;
        if (!user.dropped)
            GTEST_SKIP() << "running as root and cannot become an unprivileged user, whom permissions stop";
        HKEY key = HKEY(1);
        EXPECT_EQ(CreateSettings(&key), ERROR_ACCESS_DENIED);
        EXPECT_EQ(key, nullptr);
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_SET_VALUE, &key), ERROR_ACCESS_DENIED);
        EXPECT_EQ(key, nullptr);

        ASSERT_EQ(CreateSettings(&key, KEY_READ), ERROR_SUCCESS);
        EXPECT_EQ(Query(key, "Speed"), "\x0a");
        EXPECT_EQ(Set(key, "Speed", REG_BINARY, "\x01"), ERROR_ACCESS_DENIED);
        RegCloseKey(key);
        ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, SettingsKey, &key), ERROR_SUCCESS); // the most it may
        EXPECT_EQ(Query(key, "Speed"), "\x0a");
        EXPECT_EQ(Set(key, "Speed", REG_BINARY, "\x01"), ERROR_ACCESS_DENIED);
        RegCloseKey(key);
        EXPECT_EQ(ReadFile(file), text);
    }

    // Write access granted, then taken away before the write.
    for (bool folderReadOnly : {false, true}) {
        SCOPED_TRACE(folderReadOnly ? "folder made read-only" : "file made read-only");
        Prepare(text, 0666, 0777);
        HKEY key;
        {
            Unprivileged user;
            ASSERT_EQ(CreateSettings(&key), ERROR_SUCCESS);
        }
        chmod(folderReadOnly ? folder.c_str() : file.c_str(), folderReadOnly ? 0555 : 0444);
        Unprivileged user;
        EXPECT_EQ(Set(key, "Speed", REG_BINARY, "\x01"), ERROR_ACCESS_DENIED);
        EXPECT_EQ(ReadFile(file), text);
        EXPECT_EQ(Listing(), std::vector<std::string>{"registry.reg"});
        RegCloseKey(key);
    }
}

TEST_F(Registry, BrokenFileIsNamedOnceAndNeverWritten)
{
    const std::string settings = Header + SettingsSection;
    struct Case {
        std::string text;
        int line;
        const char *what;
    };
    const Case cases[] = {
        {"", 1, "not a registry file"},
        {"\n" + settings, 1, "not a registry file"},
        {"REGEDIT5\n\n" + SettingsSection, 1, "not a registry file"},
        {Header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\n", 3, "malformed key name"},
        {Header + "[]\n", 3, "malformed key name"},
        {Header + "[HKEY_LOCAL_MACHINE\\\\SOFTWARE]\n", 3, "malformed key name"},
        {Header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE]\n", 3, "deleting keys is not supported"},
        {Header + "\"Speed\"=hex:0a\n" + SettingsSection, 3, "value before the first key"},
        {settings + "\"Speed=hex:0a\n", 4, "bad quoting"},
        {settings + "\"Speed\"=\"a\\qb\"\n", 4, "bad quoting"},
        {settings + "\"Speed\"=\"ab\n", 4, "bad quoting"},
        {settings + "\"Speed\"=\"a\"b\n", 4, "bad quoting"},
        {settings + "\"Speed\" hex:0a\n", 4, "value name without \"=\""},
        {settings + "\"Speed\"=hex:0g\n", 4, "bad hex byte"},
        {settings + "\"Speed\"=hex:0a,,0b\n", 4, "bad hex byte"},
        {settings + "\"Speed\"=hex:100\n", 4, "bad hex byte"},
        {settings + "\"Speed\"=hex:0a,\n", 4, "bad hex byte"},
        {settings + "\"Speed\"=dword:123456789\n", 4, "dword needs 1 to 8 hex digits"},
        {settings + "\"Speed\"=dword:\n", 4, "dword needs 1 to 8 hex digits"},
        {settings + "\"Speed\"=dword:-1\n", 4, "dword needs 1 to 8 hex digits"},
        {settings + "\"Speed\"=hex(x):00\n", 4, "bad value type"},
        {settings + "\"Speed\"=word:1\n", 4, "unknown value type"},
        {settings + "\"Speed\"=-\n", 4, "deleting values is not supported"},
        {settings + "\n\"Blob\"=hex:00,01,\\\n  02,\\\n", 6, "unterminated continuation"},
    };
    for (size_t i = 0; i < std::size(cases); i++) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.text);
        file = folder + "/broken" + std::to_string(i) + ".reg"; // each file is named once per process
        setenv("VANTREL_REGISTRY", file.c_str(), 1);
        Prepare(c.text);
        testing::internal::CaptureStderr();
        HKEY key = HKEY(1);
        EXPECT_EQ(CreateSettings(&key), ERROR_BADDB);
        EXPECT_EQ(key, nullptr);
        EXPECT_EQ(CreateSettings(&key), ERROR_BADDB);
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_BADDB);
        EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key), ERROR_BADDB);
        std::string said = testing::internal::GetCapturedStderr();
        std::string where = "vantrel: " + file + ":" + std::to_string(c.line) + ": ";
        EXPECT_EQ(said.substr(0, where.size()), where);
        EXPECT_EQ(said.find(c.what), where.size()) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(ReadFile(file), c.text);
    }

    // A key opened while the file was sound: its calls fail too once it breaks.
    file = folder + "/later.reg";
    setenv("VANTREL_REGISTRY", file.c_str(), 1);
    Prepare(settings + "\"Speed\"=hex:0a\n");
    HKEY key;
    ASSERT_EQ(CreateSettings(&key), ERROR_SUCCESS);
    const std::string broken = settings + "\"Speed\"=hex:0a\n\"Pulses\"=hex:zz\n";
    WriteFile(file, broken);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Set(key, "Speed", REG_BINARY, "\x01"), ERROR_BADDB);
    EXPECT_EQ(Query(key, "Speed"), "<error 1009>");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "vantrel: " + file + ":5: bad hex byte\n");
    EXPECT_EQ(ReadFile(file), broken);
    RegCloseKey(key);
    EXPECT_EQ(Listing().size(), std::size(cases) + 1);
}

// Any bytes at all: the calls either refuse the file untouched, or work and
// keep what was there. The sanitizer build of this test catches stray reads;
// it names the first broken file on stderr, like any run would.
TEST_F(Registry, AnyBytesAreHandledSafely)
{
    const std::string sample = Header + SettingsSection
        + "\"Speed\"=hex:0a\n\"Size\"=dword:00000004\n\"Name\"=\"a\\\\b\\\"c\"\n@=hex(7):61,00,\\\n  00,00\n"
          "; comment\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n\"ScreenSaveUsePassword\"=dword:1\n";
    const std::string alphabet = "[]\"\\@=:,;-()\r\n \t0aAfFgxhexdword(b)HKEY_LOCAL_MACHINE\\SOFTWARE\xEF\xBB\xBF";
    std::mt19937 random(20240611);
    auto below = [&](size_t n) { return size_t(random() % n); };
    auto pick = [&] { return below(4) ? alphabet[below(alphabet.size())] : char(random()); };
    fs::create_directories(folder);
    int accepted = 0;
    for (int round = 0; round < 2000; round++) {
        std::string text = round % 3 ? sample : below(2) ? Header : "";
        for (size_t n = round % 3 ? 0 : below(300); n > 0; n--)
            text += pick();
        for (int edits = below(6); edits > 0; edits--) {
            size_t at = below(text.size() + 1);
            char c = pick();
            switch (below(4)) {
            case 0: text.insert(at, 1, c); break;
            case 1: text.erase(at, below(8)); break;
            case 2: if (at < text.size()) text[at] = c; break;
            default: text.resize(at); break;
            }
        }
        WriteFile(file, text);
        HKEY desktop = nullptr, key = nullptr;
        DWORD number = 0, size = 4;
        LSTATUS opened = RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop);
        if (opened == ERROR_SUCCESS) {
            LSTATUS read = RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr, (BYTE *)&number, &size);
            EXPECT_TRUE(read == ERROR_SUCCESS || read == ERROR_MORE_DATA || read == ERROR_FILE_NOT_FOUND) << read;
            RegCloseKey(desktop);
        }
        LSTATUS created = CreateSettings(&key);
        EXPECT_EQ(created == ERROR_BADDB, opened == ERROR_BADDB) << text;
        if (created != ERROR_SUCCESS) {
            EXPECT_EQ(created, ERROR_BADDB) << text;
            EXPECT_EQ(key, nullptr);
            EXPECT_EQ(ReadFile(file), text);
            continue;
        }
        accepted++;
        std::string after = ReadFile(file);
        EXPECT_EQ(after.substr(0, text.size()), text);
        std::string byte(1, char(round));
        EXPECT_EQ(Set(key, "Speed", REG_BINARY, byte), ERROR_SUCCESS) << text;
        EXPECT_EQ(Query(key, "speed"), byte) << text;
        RegCloseKey(key);
    }
    EXPECT_GT(accepted, 100); // the mutations must leave enough sound files to test the writes
    EXPECT_LT(accepted, 1900);
}
