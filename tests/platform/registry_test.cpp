// The registry file on Linux: what a user finds in it, what survives a
// write, and what a broken or read-only file does to the calls.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <fstream>
#include <optional>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::string_literals; // "...\0"s keeps the NUL that ends a REG_SZ

static const char SettingsKey[] = "SOFTWARE\\Vantrel Screen Saver";
static const std::string Header = "Windows Registry Editor Version 5.00\n\n";
static const std::string Settings = Header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\n";
// As written by hand and by regedit on Windows.
static const std::string HandWritten = "\xEF\xBB\xBFREGEDIT4\r\n; tuned by hand\r\n"
    "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n\"ScreenSaveUsePassword\"=dword:00000001\r\n"
    "\"Wallpaper\"=\"C:\\\\web.bmp\"   \r\n\r\n  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]  \r\n"
    "\"Speed\"=dword:00000004\r\n  ; an indented comment\r\n\"Blob\"=hex:00,01,02,\\\r\n  03,04,\\\r\n\t05 , 06\r\n"
    "a line that means nothing here\r\n\"Multi\" = hex(7):61,00,62,00,00\r\n\"Quad\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\"Upper\"=DWORD:FfFf\r\n@=\"x\"\r\n\"Twice\"=hex:01\r\n\"twice\"=hex:02\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Vantrel Screen Saver]\r\n\"TWICE\"=hex:03\r\n\"Pulses\"=hex:0f\r\n\r\n; the end\r\n"
    "[HKEY_CLASSES_ROOT\\.scr]\r\n@=\"scrfile\"";

static std::string ReadFile(const std::string &path)
{
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

static void WriteFile(const std::string &path, std::string_view text) { std::ofstream(path, std::ios::binary) << text; }

// Runs as nobody (65534) while in scope: permissions do not stop root.
struct Unprivileged {
    bool root = geteuid() == 0, dropped = !root || (!setresgid(65534, 65534, 0) && !setresuid(65534, 65534, 0));
    ~Unprivileged() { if (root && (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0)) abort(); }
};

class Registry : public testing::Test {
protected:
    std::string top, folder, file;

    void SetUp() override
    {
        char name[] = "/tmp/vantrel-registry-XXXXXX";
        ASSERT_TRUE(mkdtemp(name) && chmod(name, 0755) == 0); // the unprivileged user looks in too
        Use((folder = (top = name) + "/config") + "/registry.reg");
    }
    void TearDown() override { chmod(folder.c_str(), 0755); fs::remove_all(top); }

    const std::string &Use(const std::string &path) { return setenv("VANTREL_REGISTRY", path.c_str(), 1), file = path; }

    void Prepare(const std::string &text, mode_t mode = 0644) // a hand-written file, in a folder anyone may write to
    {
        fs::create_directories(folder), chmod(folder.c_str(), 0777), fs::remove(file);
        WriteFile(file, text), chmod(file.c_str(), mode);
    }

    long Files() { return std::distance(fs::directory_iterator(folder), fs::directory_iterator()); }
};

// Creates or opens a key for all access: the settings key unless told otherwise.
static LSTATUS Create(HKEY *key, HKEY parent = HKEY_LOCAL_MACHINE, LPCSTR sub = SettingsKey, DWORD *disposition = {})
{
    return RegCreateKeyExA(parent, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key, disposition);
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

// What FormatMessageA says of a code, as the settings dialog asks for it; "<none>" when it gives no text.
static std::string Words(DWORD code, DWORD size = 512)
{
    char words[512] = "untouched";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, words,
                                  size, nullptr);
    return length == 0 && words == "untouched"s ? "<none>" : length == strlen(words) ? words : "<length wrong>";
}

TEST_F(Registry, FirstUseCreatesTheFileInItsPlaceAndValuesKeepTypeAndLengthInReadableLinesByWin32Conventions)
{
    HKEY key = nullptr, writer, reader;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(folder)); // reading writes nothing
    for (DWORD round = 0, disposition = 0; round < 4; round++) {
        if (round == 2) WriteFile(file, Header); // from no file, then from a header alone that ends in a blank line
        ASSERT_EQ(Create(&key, HKEY_LOCAL_MACHINE, SettingsKey, &disposition), ERROR_SUCCESS);
        EXPECT_EQ(disposition, round % 2 ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY);
        EXPECT_TRUE(ReadFile(file) == Settings && !RegCloseKey(key)) << ReadFile(file);
    }
    EXPECT_TRUE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key) == ERROR_SUCCESS && !RegCloseKey(key));
    for (const char *path : {"SOFTWARE\\Vantrel", "SOFTWARE\\Vantrel Screen Saver\\More", "Vantrel Screen Saver"})
        EXPECT_TRUE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) == ERROR_FILE_NOT_FOUND && !key) << path;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, SettingsKey, &key), ERROR_FILE_NOT_FOUND);

    const struct { const char *name; DWORD type; std::string data, line; } cases[] = {
        {"Speed", REG_BINARY, "\x0a", "\"Speed\"=hex:0a"}, {"Empty", REG_BINARY, "", "\"Empty\"=hex:"},
        {"Size", REG_DWORD, "\x78\x56\x34\0"s, "\"Size\"=dword:00345678"}, {"Blank", REG_SZ, "\0"s, "\"Blank\"=\"\""},
        {"Name", REG_SZ, "C:\\ \"q\"\0"s, "\"Name\"=\"C:\\\\ \\\"q\\\"\""}, {"", REG_SZ, "default\0"s, "@=\"default\""},
        {"NoNul", REG_SZ, "ab", "\"NoNul\"=hex(1):61,62"}, {"NoData", REG_SZ, "", "\"NoData\"=hex(1):"},
        {"LF", REG_SZ, "\n\0"s, "\"LF\"=hex(1):0a,00"}, {"Odd", REG_DWORD, "\x01\x02", "\"Odd\"=hex(4):01,02"},
        {"Quote\"d", REG_QWORD, std::string(8, '\xff'), "\"Quote\\\"d\"=hex(b):ff,ff,ff,ff,ff,ff,ff,ff"},
        {"Long", REG_BINARY, std::string(200, '\x5a'), ""}}; // its wrapped lines are checked below
    ASSERT_EQ(Create(&key), ERROR_SUCCESS);
    std::string expected = Settings;
    for (const auto &c : cases) {
        ASSERT_EQ(Set(key, c.name, c.type, c.data), ERROR_SUCCESS) << c.name;
        EXPECT_EQ(Query(key, c.name, c.type), c.data) << c.name;
        expected += c.line.empty() ? "" : c.line + "\n";
    }
    EXPECT_EQ(Query(key, nullptr), "default\0"s); // the default value, by either name
    ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);
    std::string text = ReadFile(file);
    ASSERT_EQ(text.substr(0, expected.size()), expected);
    // Long hex wraps as regedit wraps it: within 80 columns, continuation lines indented.
    for (size_t at = expected.size(), end; (end = text.find('\n', at)) != text.npos; at = end + 1)
        EXPECT_TRUE(end - at <= 80 && (at == expected.size() || text.compare(at, 2, "  ") == 0)) << text.substr(at);

    // A 4-byte number (entered by hand, say) does not fit the settings' one-byte buffer; without one, its size comes.
    const struct { const char *name; bool buffer; LSTATUS status; DWORD size, type; } queries[] = {
        {"Size", true, ERROR_MORE_DATA, 4, REG_DWORD}, {"Odd", true, ERROR_MORE_DATA, 2, REG_DWORD},
        {"Empty", true, ERROR_SUCCESS, 0, REG_BINARY}, {"Speed", false, ERROR_SUCCESS, 1, REG_BINARY}};
    EXPECT_EQ(RegQueryValueExA(key, "Speed", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS); // it exists
    for (const auto &c : queries) {
        DWORD size = 1, type = 0, byte = 0x55; // only its first byte is offered
        EXPECT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, c.buffer ? (BYTE *)&byte : nullptr, &size), c.status);
        EXPECT_TRUE(size == c.size && type == c.type && byte == 0x55) << c.name << ' ' << size << ' ' << type;
    }
    EXPECT_EQ(Query(key, "Missing"), "<error 2>");
    EXPECT_EQ(RegSetValueExA(key, "Speed", 0, REG_BINARY, nullptr, 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Set(key, "Two\nLines", REG_BINARY, "\x02"), ERROR_INVALID_PARAMETER); // it would break the file
    HKEY other = nullptr; // reserved words must be 0
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 1, nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 1, KEY_READ, &other), ERROR_INVALID_PARAMETER);
    // RegOpenKeyA gets as much access as allowed; a handle keeps the access asked for.
    ASSERT_TRUE(!RegOpenKeyA(HKEY_LOCAL_MACHINE, SettingsKey, &writer) && !Set(writer, "Speed", REG_BINARY, "\x03"));
    ASSERT_EQ(RegOpenKeyExA(key, nullptr, 0, KEY_READ, &reader), ERROR_SUCCESS); // the same key
    EXPECT_EQ(Set(reader, "Speed", REG_BINARY, "\x01"), ERROR_ACCESS_DENIED);
    for (HKEY open : {key, writer, reader, HKEY_LOCAL_MACHINE}) EXPECT_EQ(RegCloseKey(open), ERROR_SUCCESS);
    EXPECT_TRUE(Query(key, "Speed") == "<error 6>" && RegCloseKey(key) == ERROR_INVALID_HANDLE); // closed already

    unsetenv("VANTREL_REGISTRY"), setenv("HOME", (top + "/home").c_str(), 1); // no file named: the user's own folder
    for (auto [config, place] : {std::pair{"/xdg", "/xdg/vantrel"}, {"", "/home/.config/vantrel"}}) {
        setenv("XDG_CONFIG_HOME", *config ? (top + config).c_str() : "", 1);
        EXPECT_TRUE(Create(&key) == ERROR_SUCCESS && !RegCloseKey(key)) << place;
        EXPECT_EQ(ReadFile(top + place + "/registry.reg"), Settings) << place;
    }
}

// Lines a write does not own stay byte for byte, line endings and marker included; a write lands whole or not at all.
TEST_F(Registry, OthersFilesKeepAllButTheLinesWrittenAndBrokenOrReadOnlyOnesAreNeverWritten)
{
    HKEY key, desktop, extra, early, other;
    ASSERT_EQ(Create(&key), ERROR_SUCCESS);
    Prepare(HandWritten, 0640); // by someone else, while the key is open: every call reads the file afresh
    const struct { const char *name; std::string data; DWORD type; } values[] = { // on import, later lines win
        {"blob", "\0\1\2\3\4\5\6"s, REG_BINARY}, {"Multi", "a\0b\0\0"s, REG_MULTI_SZ}, {"", "x\0"s, REG_SZ},
        {"Quad", "\1\0\0\0\0\0\0\0"s, REG_QWORD}, {"Upper", "\xff\xff\0\0"s, REG_DWORD}, {"Twice", "\x03", REG_BINARY}};
    for (const auto &v : values) EXPECT_EQ(Query(key, v.name, v.type), v.data) << v.name;
    // Names ignore case and keep the file's spelling; a new value joins its key's last section.
    const struct { const char *name, *data, *from, *to; } writes[] = {
        {"SPEED", "\x0a", "\"Speed\"=dword:00000004\r\n", "\"Speed\"=hex:0a\r\n"},
        {"Blob", "\x09", "\"Blob\"=hex:00,01,02,\\\r\n  03,04,\\\r\n\t05 , 06\r\n", "\"Blob\"=hex:09\r\n"},
        {"twice", "\x05", "\"TWICE\"=hex:03\r\n", "\"TWICE\"=hex:05\r\n"},
        {"Showfps", "\x01", "\"Pulses\"=hex:0f\r\n", "\"Pulses\"=hex:0f\r\n\"Showfps\"=hex:01\r\n"}};
    std::string expected = HandWritten;
    for (const auto &w : writes) {
        expected.replace(expected.find(w.from), strlen(w.from), w.to);
        EXPECT_TRUE(!Set(key, w.name, REG_BINARY, w.data) && !RegFlushKey(key) && ReadFile(file) == expected)
            << w.name << ReadFile(file);
    }
    ASSERT_EQ(Create(&desktop, HKEY_CURRENT_USER, "control panel\\DESKTOP"), ERROR_SUCCESS);
    EXPECT_EQ(Query(desktop, "screensaveusepassword", REG_DWORD), "\1\0\0\0"s);
    ASSERT_TRUE(!Create(&extra, key, "Extra") && !Set(extra, "Depth", REG_BINARY, "\x02") && !RegFlushKey(extra));
    expected += "\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver\\Extra]\r\n\"Depth\"=hex:02\r\n";
    EXPECT_EQ(ReadFile(file), expected);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));

    RegCloseKey(key), RegCloseKey(desktop), RegCloseKey(extra);

    // A broken file is named once, and never written.
    auto line4 = [](const char *line) { return Settings + line + "\n"; };
    const struct { int line; const char *what; std::vector<std::string> texts; } cases[] = {
        {1, "not a registry file", {"", "\n" + Settings, "REGEDIT5\n\n" + Settings.substr(Header.size())}},
        {3, "malformed key name", {Header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\n", Header + "[]\n", Header + "[A\\\\B]\n",
                                   Header + "[A\\]\n"}},
        {3, "deleting keys is not supported", {Header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE]\n"}},
        {3, "value before the first key", {Header + "\"Speed\"=hex:0a\n" + Settings.substr(Header.size())}},
        {4, "bad quoting", {line4("\"S=hex:0a"), line4("\"S\"=\"a\\qb\""), line4("\"S\"=\"ab"), line4("\"S\"=\"a\"b")}},
        {4, "value name without \"=\"", {line4("\"Speed\" hex:0a")}}, {4, "bad value type", {line4("@=hex(x):00")}},
        {4, "bad hex byte", {line4("@=hex:0g"), line4("@=hex:0a,,0b"), line4("@=hex:100"), line4("@=hex:0a,")}},
        {4, "dword needs 1 to 8 hex digits", {line4("@=dword:123456789"), line4("@=dword:"), line4("@=dword:-1")}},
        {4, "unknown value type", {line4("@=word:1")}}, {4, "deleting values is not supported", {line4("@=-")}},
        {6, "unterminated continuation", {Settings + "\n\"Blob\"=hex:00,01,\\\n  02,\\\n"}}};
    int files = 0;
    Prepare(Settings);
    ASSERT_EQ(Create(&key), ERROR_SUCCESS); // while the file was sound; a handle names a key, not a file
    for (const auto &c : cases)
        for (const std::string &text : c.texts) {
            SCOPED_TRACE(text);
            WriteFile(Use(folder + "/broken" + std::to_string(files++) + ".reg"), text); // each named once per process
            testing::internal::CaptureStderr();
            EXPECT_TRUE(Set(key, "Speed", REG_BINARY, "\x01") == ERROR_BADDB && Query(key, "Speed") == "<error 1009>");
            EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &other), ERROR_BADDB);
            std::string said = testing::internal::GetCapturedStderr(), at = file + ":" + std::to_string(c.line) + ": ";
            EXPECT_TRUE(said.starts_with("vantrel: " + at + c.what) && said.find('\n') + 1 == said.size()) << said;
            EXPECT_EQ(ReadFile(file), text);
        }
    EXPECT_EQ(Files(), files + 1);
    RegCloseKey(key);

    // Any bytes at all are handled safely, and the sanitizer build of this test sees no stray reads.
    const std::string alphabet = "[]\"\\@=:,;-()\r\n \t0aAfFgxhexdword(b)HKEY_LOCAL_MACHINE\\SOFTWARE\xEF\xBB\xBF";
    std::mt19937 random(20240611);
    auto below = [&](size_t n) { return size_t(random() % n); };
    auto pick = [&] { return below(4) ? alphabet[below(alphabet.size())] : char(random()); };
    int accepted = 0;
    for (int round = 0; round < 2000; round++) {
        std::string text = round % 3 ? HandWritten : below(2) ? Header : "";
        while (round % 3 == 0 && below(300)) text += pick(); // a random length, 300 on average
        for (int edits = below(6); edits > 0; edits--) // a few characters, or the rest, cut; a few put in
            text.replace(below(text.size() + 1), below(4) ? below(4) : text.npos, std::string(below(3), pick()));
        if (round % 5 == 4) { // as regedit on Windows writes: UTF-16LE, here of Latin-1 characters
            std::string wide = "\xFF\xFE";
            for (char c : text.substr(text.starts_with("\xEF\xBB\xBF") ? 3 : 0)) wide += {c, '\0'}; // one mark
            text = wide;
        }
        WriteFile(file, text);
        LSTATUS created = Create(&key);
        EXPECT_TRUE(created == ERROR_SUCCESS || created == ERROR_BADDB) << text;
        // Refused, the file stays as it was; accepted, it may gain the settings section at its end.
        EXPECT_EQ(ReadFile(file).substr(0, created ? text.npos : text.size()), text);
        if (created != ERROR_SUCCESS) continue;
        EXPECT_EQ(Set(key, "Speed", REG_BINARY, std::string(1, char(++accepted))), ERROR_SUCCESS) << text;
        EXPECT_EQ(Query(key, "speed"), std::string(1, char(accepted))) << text;
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS) << text;
    }
    EXPECT_TRUE(accepted > 100 && accepted < 1900) << accepted << " sound: enough to test the writes, not all";

    // A read-only file or folder refuses writing but reads.
    for (bool folderReadOnly : {false, true}) {
        SCOPED_TRACE(folderReadOnly ? "read-only folder" : "read-only file");
        Prepare(expected, 0666);
        ASSERT_EQ(Create(&early), ERROR_SUCCESS); // write access granted, then taken away
        chmod(folderReadOnly ? folder.c_str() : file.c_str(), folderReadOnly ? 0555 : 0444);
        Unprivileged user;
        if (!user.dropped) GTEST_SKIP() << "running as root, and cannot become nobody, whom permissions stop";
        EXPECT_EQ(Set(early, "Speed", REG_BINARY, "\x01"), ERROR_ACCESS_DENIED);
        EXPECT_TRUE(Create(&key) == ERROR_ACCESS_DENIED &&
                    RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_SET_VALUE, &key) == ERROR_ACCESS_DENIED);
        ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, SettingsKey, &key), ERROR_SUCCESS); // the most it may
        EXPECT_TRUE(Query(key, "Speed") == "\x0a" && Set(key, "Speed", REG_BINARY, "\x01") == ERROR_ACCESS_DENIED);
        EXPECT_EQ(ReadFile(file), expected);
        RegCloseKey(early), RegCloseKey(key);
    }
}

TEST_F(Registry, ValuesGivenForTheRunShadowTheStoredOnesAndAreNeverWritten)
{
    Prepare(Settings + "\"Speed\"=hex:0a\n");
    const BYTE fast = 90;
    OverrideRegistryValue(HKEY_CURRENT_USER, SettingsKey, "Speed", REG_BINARY, &fast, 1);
    HKEY user = nullptr, machine = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, KEY_READ, &user), ERROR_SUCCESS);
    EXPECT_EQ(Query(user, "Speed"), "\x5a");
    EXPECT_EQ(Query(user, "Pulses"), "<error 2>");
    ASSERT_EQ(Create(&machine), ERROR_SUCCESS);
    EXPECT_EQ(Query(machine, "Speed"), "\x0a");
    EXPECT_EQ(Set(machine, "Pulses", REG_BINARY, "\x03"), ERROR_SUCCESS);
    EXPECT_TRUE(!RegCloseKey(user) && !RegCloseKey(machine));
    EXPECT_EQ(ReadFile(file), Settings + "\"Speed\"=hex:0a\n\"Pulses\"=hex:03\n");
}

// Runs body in a child process; the child's id.
static pid_t Spawn(const std::function<int()> &body)
{
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) _exit(body());
    return child;
}

// The child's end as waitpid gives it (0: it returned 0); its resource use if asked.
static int Await(pid_t child, struct rusage *usage = nullptr)
{
    int status = -1;
    wait4(child, &status, 0, usage);
    return status;
}

// A store linked from elsewhere (a dotfiles repository, say) is saved where the link leads, and stays linked.
TEST_F(Registry, ASaveLandsWhereTheLinkLeadsKeepingTheLinkAndTheFilesOwnerAndMode)
{
    std::string target = top + "/dotfiles/registry.reg";
    fs::create_directories(folder), fs::create_directories(top + "/dotfiles");
    WriteFile(target, Settings), chmod(target.c_str(), 0640);
    fs::create_symlink("../dotfiles/registry.reg", file); // relative, as link farms make them
    bool root = geteuid() == 0; // then saving another user's store, which must stay theirs
    ASSERT_TRUE(!root || chown(target.c_str(), 65534, 65534) == 0);
    HKEY key;
    ASSERT_TRUE(!Create(&key) && !Set(key, "Speed", REG_BINARY, "\x07") && !RegCloseKey(key));
    EXPECT_EQ(fs::read_symlink(file), "../dotfiles/registry.reg");
    EXPECT_EQ(ReadFile(target), Settings + "\"Speed\"=hex:07\n");
    struct stat saved = {};
    ASSERT_EQ(stat(target.c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 07777, 0640u);
    EXPECT_EQ(saved.st_uid, root ? 65534u : geteuid());
    EXPECT_EQ(saved.st_gid, root ? 65534u : getegid());

    // A dangling link: the file it names is made, in a new folder for the user alone.
    fs::remove(file), fs::create_symlink(top + "/elsewhere/new.reg", file);
    ASSERT_TRUE(!Create(&key) && !RegCloseKey(key));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(ReadFile(top + "/elsewhere/new.reg"), Settings);
    EXPECT_EQ(fs::status(top + "/elsewhere").permissions(), fs::perms(0700));
    EXPECT_EQ(fs::status(top + "/elsewhere/new.reg").permissions(), fs::perms(0600));
}

// Processes saving at once or killed while saving: each save re-reads the file under the lock, so none loses
// another's values, and lands whole, so the settings dialog's four values are the old four or the new four.
TEST_F(Registry, SavesFromOtherProcessesAreNotLostAndAKilledSaveLeavesNoMixNorAfterTheNextSaveAFile)
{
    static const char *const four[4] = {"Showfps", "Reflections", "Speed", "Pulses"};
    auto save = [](const std::vector<std::string> &names, char value, const std::string &padding = "") {
        HKEY key;
        LSTATUS status = Create(&key);
        for (const std::string &name : names) status = status ? status : Set(key, name.c_str(), REG_BINARY, {value});
        status = status ? status : Set(key, "Padding", REG_BINARY, padding);
        return status ? status : RegFlushKey(key) || RegCloseKey(key);
    };
    auto stored = [](const std::vector<std::string> &names) { // each value's byte, or '-' if it is not there so
        std::string bytes;
        HKEY key;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
        for (const std::string &name : names)
            bytes += Query(key, name.c_str()).size() == 1 ? Query(key, name.c_str()) : "-";
        RegCloseKey(key);
        return bytes;
    };
    // Two writers, each of its own values, one save a value.
    std::vector<std::string> names[2];
    for (int w = 0; w < 2; w++)
        for (int i = 0; i < 40; i++) names[w].push_back(std::to_string(w) + "-" + std::to_string(i));
    pid_t writers[2];
    for (int w = 0; w < 2; w++)
        writers[w] = Spawn([&, w] {
            int failed = 0;
            for (const std::string &name : names[w]) failed += save({name}, '\x01') != ERROR_SUCCESS;
            return failed;
        });
    for (pid_t writer : writers) EXPECT_EQ(Await(writer), 0) << "saves that failed, times 256";
    for (int w = 0; w < 2; w++) EXPECT_EQ(stored(names[w]), std::string(40, '\x01')) << "- for a value lost";

    // Killed inside the write of its temporary file: past its file size limit, by SIGXFSZ.
    std::vector<std::string> settings(four, four + 4);
    ASSERT_EQ(save(settings, '\x01'), ERROR_SUCCESS);
    int killed = Await(Spawn([&] {
        struct rlimit small = {4096, 4096}, none = {0, 0};
        setrlimit(RLIMIT_CORE, &none), setrlimit(RLIMIT_FSIZE, &small);
        return save(settings, '\x02', std::string(8192, '\xee'));
    }));
    EXPECT_TRUE(WIFSIGNALED(killed) && WTERMSIG(killed) == SIGXFSZ) << killed;
    EXPECT_EQ(stored(settings), "\x01\x01\x01\x01");
    EXPECT_EQ(Files(), 2) << "the store and the killed save's temporary file";
    ASSERT_EQ(save(settings, '\x03'), ERROR_SUCCESS);
    EXPECT_EQ(stored(settings), "\x03\x03\x03\x03");
    EXPECT_EQ(Files(), 1);
    // Killed at random points of saves made one after another.
    std::mt19937 random(5);
    for (int round = 0; round < 10; round++) {
        pid_t saver = Spawn([&]() -> int { for (char value = 0;; value++) save(settings, value); });
        usleep(random() % 20000);
        kill(saver, SIGKILL), Await(saver);
        std::string bytes = stored(settings);
        EXPECT_EQ(bytes, std::string(4, bytes[0])) << round;
    }
}

// Each way the store can fail is named once on stderr and said in words for the settings dialog's error box,
// at once: opening never waits on a FIFO or reads a device or an over-size file to its end.
TEST_F(Registry, EachFailureIsNamedOnceOnStderrAndSaidInWords)
{
    std::string fifo = top + "/fifo", large = top + "/large.reg", odd = top + "/odd.reg", half = top + "/half.reg",
                broken = top + "/broken.reg", unreadable = file;
    fs::create_directories(folder), mkfifo(fifo.c_str(), 0600);
    WriteFile(large, Header + std::string(1 << 20, '\n'));
    WriteFile(odd, "\xFF\xFEW");
    WriteFile(half, "\xFF\xFE\x00\xD8W\x00"s); // half a surrogate pair
    WriteFile(broken, Settings + "\"Speed\"=hex:0a\n\"Pulses\"=hex:zz\n");
    WriteFile(unreadable, Settings), chmod(unreadable.c_str(), 0600);
    const struct { std::string path; LSTATUS code; const char *where, *what; } cases[] = {
        {fifo, ERROR_BADDB, "", "is not a regular file but a FIFO"},
        {"/dev/zero", ERROR_BADDB, "", "is not a regular file but a device"},
        {folder, ERROR_BADDB, "", "is not a regular file but a directory"},
        {large, ERROR_FILE_TOO_LARGE, "", "is too large: more than 1048576 bytes"},
        {odd, ERROR_BADDB, "", "is not valid UTF-16"},
        {half, ERROR_BADDB, "", "is not valid UTF-16"},
        {broken, ERROR_BADDB, ":5", "bad hex byte"},
        {unreadable, ERROR_ACCESS_DENIED, "", "cannot be read: permission denied"}}; // as a user who may not
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        Use(c.path);
        std::optional<Unprivileged> user; // root's permissions would let it in
        if (c.path == unreadable && !user.emplace().dropped) GTEST_SKIP() << "cannot become nobody";
        HKEY key = nullptr;
        alarm(10); // a hang fails the test rather than blocking the suite
        testing::internal::CaptureStderr();
        EXPECT_EQ(Create(&key), c.code);
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key), c.code);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "vantrel: " + c.path + c.where + ": " + c.what + "\n");
        alarm(0);
        std::string said = *c.where ? " has an error on line 5: " : " ";
        EXPECT_EQ(Words(c.code), "The registry file " + c.path + said + c.what + ".\r\n");
    }
    // Other codes have the platform's words; a code without words, or a buffer too small for them, no text.
    EXPECT_EQ(Words(ERROR_BADDB), "The configuration registry database is corrupt.\r\n");
    EXPECT_EQ(Words(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.\r\n");
    EXPECT_EQ(Words(12345), "<none>");
    EXPECT_EQ(Words(ERROR_BADDB, 49), "<none>");
    // Nor is a store written that could not be read again.
    HKEY key;
    Prepare(Settings);
    ASSERT_TRUE(!Create(&key) && !Set(key, "Large", REG_BINARY, std::string(1 << 19, '\x01')));
    EXPECT_TRUE(RegCloseKey(key) == ERROR_FILE_TOO_LARGE && ReadFile(file) == Settings);

    // A full disk, in a child with a small file system of its own: the old file stays, without leftovers.
    int child = Await(Spawn([&] {
        std::string said = "<no file system of its own>";
        if (!unshare(CLONE_NEWNS) && !mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr)
            && !mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k")) {
            WriteFile(Use(folder + "/registry.reg"), Settings);
            std::ofstream filler(folder + "/filler", std::ios::binary);
            while (filler << std::string(4096, '\0') << std::flush) {}
            LSTATUS status = Create(&key) || Set(key, "Speed", REG_BINARY, "\x01") ? -1 : RegFlushKey(key);
            said = Words(status) + (ReadFile(file) == Settings ? "" : " changed") + (Files() == 2 ? "" : " left");
        }
        WriteFile(top + "/said", said);
        return 0;
    }));
    std::string said = ReadFile(top + "/said");
    EXPECT_EQ(child, 0);
    if (said == "<no file system of its own>") GTEST_SKIP() << "no mount namespace here for a small file system";
    EXPECT_EQ(said, "The registry file " + folder + "/registry.reg cannot be written: no space left on device.\r\n");
}

// Parsing holds the file once, not a string for each line: a megabyte of blank lines costs a few, not fifty.
TEST_F(Registry, ParsingAFileOfBlankLinesTakesMemoryOfItsSize)
{
    const std::string value = "\"Speed\"=hex:2a\n";
    Prepare(Settings + std::string((1 << 20) - Settings.size() - value.size(), '\n') + value); // the most read
    auto peak = [](bool parse) { // the largest size of a child process that reads the store or not, in KiB
        struct rusage usage = {};
        EXPECT_EQ(Await(Spawn([parse] {
                            HKEY key = nullptr;
                            return parse && (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key)
                                             || Query(key, "Speed") != "*");
                        }),
                        &usage),
                  0);
        return usage.ru_maxrss;
    };
    long before = peak(false), parsing = peak(true);
    EXPECT_LT(parsing - before, 16 * 1024) << before << " KiB without the parse, " << parsing << " KiB with it";
}

// What regedit on Windows exports: UTF-16LE with a byte order mark and CRLF; read, and written back the same way.
TEST_F(Registry, AUtf16ExportIsReadAndWrittenBackInUtf16)
{
    auto utf16 = [](std::u16string_view text) {
        std::string bytes;
        for (char16_t unit : text) bytes += {char(unit & 0xff), char(unit >> 8)};
        return bytes;
    };
    std::u16string exported = u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Grüße]\r\n"
        u"\"Größe\"=\"x ✓ 𝄞𐀀\"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\r\n\"Speed\"=hex:0a\r\n";
    Prepare(utf16(exported));
    HKEY user, machine;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Grüße", 0, KEY_ALL_ACCESS, &user), ERROR_SUCCESS);
    EXPECT_EQ(Query(user, "Größe", REG_SZ), "x ✓ 𝄞𐀀\0"s); // the calls' text is UTF-8
    ASSERT_TRUE(!Create(&machine) && !Set(machine, "Speed", REG_BINARY, "\x20") && !RegCloseKey(machine));
    ASSERT_TRUE(!Set(user, "Ünïcode", REG_SZ, "ß\0"s) && !RegFlushKey(user));
    exported.replace(exported.find(u"0a"), 2, u"20");
    exported.insert(exported.find(u"\r\n\r\n[HKEY_LOCAL") + 2, u"\"Ünïcode\"=\"ß\"\r\n");
    EXPECT_EQ(ReadFile(file), utf16(exported));
    // Bytes that are not UTF-8 have no place in a UTF-16 file: the save is refused and the file kept.
    for (const char *name : {"\xff", "\x80", "\xed\xa0\x80"}) // the last, half a UTF-16 pair
        EXPECT_TRUE(!Set(user, name, REG_BINARY, "\x01") && RegFlushKey(user) == ERROR_INVALID_PARAMETER) << name;
    EXPECT_EQ(ReadFile(file), utf16(exported));
    RegCloseKey(user);
}
