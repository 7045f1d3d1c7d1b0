// Where the settings go, against a scripted registry whose keys can refuse to
// be written, as the machine's key refuses ordinary users on Windows: the
// machine's key, the user's, or neither.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "settings/settings.h"

// ---- the scripted registry: keys by path, values by name, handles by number
static std::map<std::string, std::map<std::string, std::string>> Keys;
static std::map<std::string, LSTATUS> Refusals; // a key's answer to being opened for writing
static std::map<UINT_PTR, std::string> Handles;
static UINT_PTR LastHandle;

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
    const std::string &value = values[name];
    bool fits = value.size() <= *size;
    if (fits)
        value.copy((char *)data, value.size());
    *size = (DWORD)value.size();
    return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}
LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD, const BYTE *data, DWORD size)
{
    if (reserved)
        return ERROR_INVALID_PARAMETER;
    Keys[Handles.at((UINT_PTR)key)][name] = std::string((const char *)data, size);
    return ERROR_SUCCESS;
}
LSTATUS WINAPI RegFlushKey(HKEY key) { return Handles.count((UINT_PTR)key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }
LSTATUS WINAPI RegCloseKey(HKEY key) { return Handles.erase((UINT_PTR)key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

class WhereStored : public testing::Test {
protected:
    void SetUp() override { Keys.clear(), Refusals.clear(); }
    void TearDown() override { EXPECT_TRUE(Handles.empty()) << "every key closed"; }

    // The four settings of a key as speed, pulses, reflections, showfps; "" where one is missing.
    static std::string Stored(const std::string &path)
    {
        std::string bytes;
        for (const char *name : {"Speed", "Pulses", "Reflections", "Showfps"})
            bytes += Keys[path].count(name) ? Keys[path][name] : "";
        return bytes;
    }
};

TEST_F(WhereStored, TheMachinesKeyWhenItMayBeWrittenAndTheUsersOwnToo)
{
    EXPECT_EQ(StoreSettings(20, 5, 1, 0), ERROR_SUCCESS);
    EXPECT_EQ(Stored(Machine), std::string("\x14\x05\x01\x00", 4));
    EXPECT_FALSE(Keys.count(User)) << "no user's key is made";
    Keys[User]["Speed"] = "\x32"; // a user's own speed would hide what was just chosen
    EXPECT_EQ(StoreSettings(30, 6, 0, 1), ERROR_SUCCESS);
    EXPECT_EQ(Stored(Machine), std::string("\x1e\x06\x00\x01", 4));
    EXPECT_EQ(Stored(User), std::string("\x1e\x06\x00\x01", 4));
}

TEST_F(WhereStored, TheUsersKeyWhenTheMachinesRefusesAndTheUsersReasonWhenBothDo)
{
    Keys[Machine] = {{"Speed", "\x0a"}};
    Refusals[Machine] = ERROR_ACCESS_DENIED;
    EXPECT_EQ(StoreSettings(20, 5, 1, 0), ERROR_SUCCESS);
    EXPECT_EQ(Stored(User), std::string("\x14\x05\x01\x00", 4));
    EXPECT_EQ(Stored(Machine), "\x0a") << "untouched";

    Refusals[User] = ERROR_BADDB;
    EXPECT_EQ(StoreSettings(40, 7, 0, 0), ERROR_BADDB);
    EXPECT_EQ(Stored(User), std::string("\x14\x05\x01\x00", 4)) << "nothing half-written";
}
