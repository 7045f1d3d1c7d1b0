// The registry file on Linux: what a user finds in it, what survives a write,
// and what a broken or unreachable file does to the calls. (The settings'
// tests read a read-only store through it.)
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::string_literals; // "...\0"s keeps the NUL that ends a REG_SZ

static const char SettingsKey[] = "SOFTWARE\\Vantrel Screen Saver";
static const std::string Header = "Windows Registry Editor Version 5.00\n\n";
static const std::string Settings = Header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\n";

static std::string ReadFile(const std::string &path)
{
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

static void WriteFile(const std::string &path, std::string_view text) { std::ofstream(path, std::ios::binary) << text; }

// Each test has a folder of its own, and names the store in it.
class Registry : public testing::Test {
protected:
    std::string top = mkdtemp(std::string("/tmp/vantrel-registry-XXXXXX").data()), folder = top + "/config", file;

    void SetUp() override { Use(folder + "/registry.reg"); }
    void TearDown() override { fs::remove_all(top); }

    const std::string &Use(const std::string &path)
    {
        setenv("VANTREL_REGISTRY", path.c_str(), 1);
        return file = path;
    }
    // A file written by hand.
    void Prepare(const std::string &text, mode_t mode = 0644)
    {
        fs::create_directories(folder);
        WriteFile(file, text);
        chmod(file.c_str(), mode);
    }
    long Files() { return std::distance(fs::directory_iterator(folder), fs::directory_iterator()); }
};

// Creates or opens the settings key for all access.
static LSTATUS Create(HKEY *key)
{
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key, nullptr);
}

static LSTATUS Set(HKEY key, const char *name, DWORD type, const std::string &bytes)
{
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()), DWORD(bytes.size()));
}

// The value's bytes, with a buffer of any size; "<error N>" if the query fails, "<type T>" if not of the type asked.
static std::string Query(HKEY key, const char *name, DWORD want = REG_NONE)
{
    BYTE data[1024];
    DWORD size = sizeof data, type = REG_NONE;
    if (LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, data, &size))
        return "<error " + std::to_string(status) + ">";
    return want && type != want ? "<type " + std::to_string(type) + ">" : std::string((char *)data, size);
}

// Writes one-byte values of the settings key through one handle and closes it: what the save came to.
static LSTATUS Save(const std::vector<std::string> &names, char value)
{
    HKEY key;
    LSTATUS status = Create(&key);
    for (size_t i = 0; i < names.size() && status == ERROR_SUCCESS; i++)
        status = Set(key, names[i].c_str(), REG_BINARY, {value});
    return status == ERROR_SUCCESS ? RegCloseKey(key) : status;
}

// What FormatMessageA says of a code, as the settings dialog asks for it; "" when it gives no text.
static std::string Words(DWORD code)
{
    char words[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, words, 512, nullptr);
    return words;
}

TEST_F(Registry, ValuesKeepTypeAndBytesInTheLinesRegeditWrites)
{
    HKEY key;
    ASSERT_EQ(Create(&key), ERROR_SUCCESS);
    const struct { const char *name; DWORD type; std::string data, line; } cases[] = {
        {"Speed", REG_BINARY, "\x0a", "\"Speed\"=hex:0a\n"}, {"Empty", REG_BINARY, "", "\"Empty\"=hex:\n"},
        {"Size", REG_DWORD, "\x78\x56\x34\0"s, "\"Size\"=dword:00345678\n"}, {"", REG_SZ, "x\0"s, "@=\"x\"\n"},
        {"Name", REG_SZ, "C:\\ \"q\"\0"s, "\"Name\"=\"C:\\\\ \\\"q\\\"\"\n"},
        {"LF", REG_SZ, "\n\0"s, "\"LF\"=hex(1):0a,00\n"}, {"Odd", REG_DWORD, "\x01\x02", "\"Odd\"=hex(4):01,02\n"},
        {"Quote\"d", REG_QWORD, std::string(8, '\xff'), "\"Quote\\\"d\"=hex(b):ff,ff,ff,ff,ff,ff,ff,ff\n"},
        {"Long", REG_BINARY, std::string(200, '\x5a'), ""}}; // wrapped over continuation lines
    std::string expected = Settings;
    for (const auto &c : cases) {
        ASSERT_EQ(Set(key, c.name, c.type, c.data), ERROR_SUCCESS) << c.name;
        expected += c.line;
    }
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(file).substr(0, expected.size()), expected);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS); // from the file
    for (const auto &c : cases)
        EXPECT_EQ(Query(key, c.name, c.type), c.data) << c.name;
    RegCloseKey(key);
}

TEST_F(Registry, WithoutAFileNamedTheStoreIsInTheUsersConfigurationFolder)
{
    unsetenv("VANTREL_REGISTRY");
    setenv("HOME", (top + "/home").c_str(), 1);
    for (auto [config, place] : {std::pair{"/xdg", "/xdg/vantrel"}, {"", "/home/.config/vantrel"}}) {
        setenv("XDG_CONFIG_HOME", *config ? (top + config).c_str() : "", 1);
        EXPECT_EQ(Save({}, 0), ERROR_SUCCESS);
        EXPECT_EQ(ReadFile(top + place + "/registry.reg"), Settings) << place;
    }
}

// Names ignore case and keep the file's spelling; on import later lines win; lines a write does not own stay
// byte for byte, line endings, marker and mode included; every call reads the file afresh.
TEST_F(Registry, OthersFilesKeepAllButTheLinesWritten)
{
    HKEY key;
    ASSERT_EQ(Create(&key), ERROR_SUCCESS);
    Prepare("\xEF\xBB\xBFREGEDIT4\r\n; by hand\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n@=\"x\"\r\n\r\n"
            "  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]  \r\n\"Speed\"=dword:00000004\r\n  ; a comment\r\n"
            "\"Blob\"=hex:00,01,02,\\\r\n  03,04,\\\r\n\t05 , 06\r\nnonsense\r\n\"Multi\" = hex(7):61,00,00\r\n"
            "\"Zoom\"=hex:01\r\n\"Upper\"=DWORD:FfFf\r\n\"Twice\"=hex:01\r\n\"twice\"=hex:02\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Vantrel Screen Saver]\r\n\"TWICE\"=hex:03\r\n\"Pulses\"=hex:0f\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\.scr]\r\n@=\"scrfile\"", 0640); // by someone else, while the key is open
    EXPECT_EQ(Query(key, "Twice"), "\x03");
    const struct { const char *name, *from, *to; } writes[] = { // a new value joins its key's last section
        {"SPEED", "\"Speed\"=dword:00000004\r\n", "\"Speed\"=hex:0a\r\n"},
        {"blob", "\"Blob\"=hex:00,01,02,\\\r\n  03,04,\\\r\n\t05 , 06\r\n", "\"Blob\"=hex:0a\r\n"},
        {"twice", "\"TWICE\"=hex:03\r\n", "\"TWICE\"=hex:0a\r\n"},
        {"Showfps", "\"Pulses\"=hex:0f\r\n", "\"Pulses\"=hex:0f\r\n\"Showfps\"=hex:0a\r\n"}};
    std::string expected = ReadFile(file);
    for (const auto &w : writes) {
        expected.replace(expected.find(w.from), strlen(w.from), w.to);
        EXPECT_EQ(Set(key, w.name, REG_BINARY, "\x0a"), ERROR_SUCCESS);
        EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
        EXPECT_EQ(ReadFile(file), expected) << w.name;
    }
    RegCloseKey(key);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
}

// A store regedit exported as UTF-16 is written back as UTF-16, each character as it was.
TEST_F(Registry, AUtf16StoreStaysUtf16)
{
    auto utf16 = [](std::u16string_view text) { return "\xFF\xFE"s + std::string((char *)text.data(), 2 * text.size()); };
    const std::u16string before = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\\u0080\u20AC\U0001F600]\r\n";
    Prepare(utf16(before));
    ASSERT_EQ(Save({"Speed"}, 1), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(file), utf16(before + u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\r\n\"Speed\"=hex:01\r\n"));
}

// A broken file is named once, with its line and what is wrong, and never written.
TEST_F(Registry, ABrokenFileIsNamedOnceAndNeverWritten)
{
    const std::tuple<int, const char *, std::string> cases[] = { // the line, what is wrong there, the file
        {1, "not a registry file", "REGEDIT5\n"}, {3, "deleting keys is not supported", Header + "[-HKEY]\n"},
        {3, "malformed key name", Header + "[A\\\\B]\n"}, {4, "value name without \"=\"", Settings + "\"S\" hex:0a\n"},
        {3, "value before the first key", Header + "@=0\n"}, {4, "bad quoting", Settings + "\"S\"=\"a\\qb\"\n"},
        {4, "bad value type", Settings + "@=hex(x):0\n"}, {4, "deleting values is not supported", Settings + "@=-\n"},
        {4, "bad hex byte", Settings + "@=hex:100\n"}, {4, "dword needs 1 to 8 hex digits", Settings + "@=dword:\n"},
        {4, "unknown value type", Settings + "@=w:1\n"},
        {6, "unterminated continuation", Settings + "\n@=hex:00,\\\n  01,\\\n"}};
    Prepare(Settings);
    HKEY key;
    ASSERT_EQ(Create(&key), ERROR_SUCCESS); // while the file was sound; a handle names a key, not a file
    int files = 0;
    for (const auto &[line, what, text] : cases) {
        WriteFile(Use(folder + "/" + std::to_string(files++) + ".reg"), text); // each file is named once in a process
        testing::internal::CaptureStderr();
        EXPECT_EQ(Set(key, "Speed", REG_BINARY, "\x01"), ERROR_BADDB) << text;
        EXPECT_EQ(Query(key, "Speed"), "<error 1009>") << text;
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(said.starts_with("vantrel: " + file + ":" + std::to_string(line) + ": " + what)) << said;
        EXPECT_EQ(said.find('\n') + 1, said.size()) << said;
        EXPECT_EQ(ReadFile(file), text);
    }
    RegCloseKey(key);
}

// A store linked from elsewhere (a dotfiles repository, say) is saved where the link leads, stays linked and
// keeps its owner and mode; a dangling link's file is made, in a new folder for the user alone.
TEST_F(Registry, ASaveLandsWhereTheLinkLeads)
{
    const std::string target = top + "/dotfiles/registry.reg";
    fs::create_directories(top + "/dotfiles");
    fs::create_directories(folder);
    WriteFile(target, Settings);
    bool root = geteuid() == 0; // then saving another user's store, which must stay theirs
    ASSERT_EQ(root ? chown(target.c_str(), 65534, 65534) : 0, 0);
    chmod(target.c_str(), 0640);
    fs::create_symlink("../dotfiles/registry.reg", file); // relative, as link farms make them
    ASSERT_EQ(Save({"Speed"}, 7), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(target), Settings + "\"Speed\"=hex:07\n");
    struct stat saved = {};
    ASSERT_EQ(lstat(target.c_str(), &saved), 0);
    EXPECT_EQ(std::tuple(saved.st_mode & 07777, saved.st_uid, saved.st_gid),
              std::tuple(0640u, root ? 65534u : geteuid(), root ? 65534u : getegid()));
    fs::remove(file);
    fs::create_symlink(top + "/elsewhere/new.reg", file);
    ASSERT_EQ(Save({}, 0), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(fs::status(top + "/elsewhere").permissions(), fs::perms(0700));
    EXPECT_EQ(fs::status(top + "/elsewhere/new.reg").permissions(), fs::perms(0600));
}

// A save lands whole or not at all: failing or killed while it writes, it leaves the old file as it was; what a
// killed save left behind goes with the next save. Saves close what they open, the locked folder among it.
TEST_F(Registry, AFailedOrKilledSaveLeavesTheOldFileAndNothingOpen)
{
    ASSERT_EQ(Save({"Speed", "Pulses"}, 1), ERROR_SUCCESS);
    const std::string old = ReadFile(file);
    auto saveTooMuch = [&](bool killed) { // in a child whose files may not pass 4096 bytes: how it ended
        pid_t child = fork();
        if (child == 0) {
            struct rlimit small = {4096, 4096}, none = {0, 0};
            setrlimit(RLIMIT_CORE, &none);
            setrlimit(RLIMIT_FSIZE, &small);
            signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
            LSTATUS status = Save({"Speed", "Pulses", std::string(4096, 'P')}, 2);
            _exit(Words(status) == "The registry file " + file + " cannot be written: file too large.\r\n" ? 0 : 1);
        }
        int status = -1;
        waitpid(child, &status, 0);
        return status;
    };
    EXPECT_EQ(saveTooMuch(false), 0) << "the failure not said in words";
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(Files(), 1);
    EXPECT_TRUE(WIFSIGNALED(saveTooMuch(true)));
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(Files(), 2) << "the store and the killed save's temporary file";
    auto descriptors = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
    long open = descriptors();
    EXPECT_EQ(Save({"Speed"}, 3), ERROR_SUCCESS);
    EXPECT_EQ(Save({"Speed"}, 4), ERROR_SUCCESS);
    EXPECT_EQ(descriptors(), open);
    EXPECT_EQ(Files(), 1);
}

// Two programs saving at once lose nothing of each other's: every value each wrote is there.
TEST_F(Registry, SavesAtOnceLoseNothing)
{
    pid_t children[2];
    for (int p = 0; p < 2; p++)
        if ((children[p] = fork()) == 0) {
            for (int i = 0; i < 100; i++)
                Save({std::to_string(p) + "-" + std::to_string(i)}, 1);
            _exit(0);
        }
    for (pid_t child : children)
        waitpid(child, nullptr, 0);
    EXPECT_EQ(std::ranges::count(ReadFile(file), '\n'), 3 + 200) << ReadFile(file);
}

// Each way the store can fail is named once on stderr and said in words for the settings dialog's error box,
// at once: opening never waits on a FIFO or reads a device or an over-size file to its end.
TEST_F(Registry, EachFailureIsNamedOnceOnStderrAndSaidInWords)
{
    const std::string fifo = top + "/fifo", large = top + "/large", odd = top + "/odd", half = top + "/half";
    Prepare(Settings + "\"Speed\"=hex:0a\n\"Pulses\"=hex:zz\n");
    mkfifo(fifo.c_str(), 0600);
    WriteFile(large, Header + std::string(1 << 20, '\n'));
    WriteFile(odd, "\xFF\xFEW");
    WriteFile(half, "\xFF\xFE\x00\xD8\x00\xE0"s); // half a surrogate pair, and the unit past the low halves
    const std::tuple<std::string, LSTATUS, const char *> cases[] = {
        {fifo, ERROR_BADDB, "is not a regular file but a FIFO"}, {odd, ERROR_BADDB, "is not valid UTF-16"},
        {"/dev/zero", ERROR_BADDB, "is not a regular file but a device"}, {half, ERROR_BADDB, "is not valid UTF-16"},
        {folder, ERROR_BADDB, "is not a regular file but a directory"},
        {large, ERROR_FILE_TOO_LARGE, "is too large: more than 1048576 bytes"},
        {file, ERROR_BADDB, "has an error on line 5: bad hex byte"}};
    for (const auto &[path, code, what] : cases) {
        Use(path);
        HKEY key;
        alarm(10); // a hang fails the test rather than blocking the suite
        testing::internal::CaptureStderr();
        EXPECT_EQ(Create(&key), code) << path;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key), code) << path;
        std::string said = testing::internal::GetCapturedStderr();
        alarm(0);
        EXPECT_EQ(Words(code), "The registry file " + path + " " + what + ".\r\n");
        EXPECT_EQ(said.find('\n') + 1, said.size()) << said;
    }
}
