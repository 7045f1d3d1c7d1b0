// Linux: the registry, kept as one text file in the format regedit exports,
// so that a user can read it, edit it and import it on Windows. Every call
// reads the file afresh; a write replaces only the lines of the one value it
// changes and lands atomically; a file we cannot parse is never written.
#include "registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// ---- file format
static const char HeaderLine[] = "Windows Registry Editor Version 5.00";
static const char OldHeaderLine[] = "REGEDIT4"; // regedit still imports these
static const char ByteOrderMark[] = "\xEF\xBB\xBF";
static const size_t WrapColumn = 76;            // regedit keeps hex lines within 80 columns

// ---- the parsed file
struct Value {
    std::string name; // "" is the key's default value, @ in the file
    DWORD type;
    std::string data;
    size_t first, last; // its lines, continuation lines included
};

struct Section {
    std::string path; // root name and subkey, as between the brackets
    size_t last;      // its header or last value line: where a new value goes
    std::vector<Value> values;
};

struct Store {
    std::string file;
    std::vector<std::string> lines; // each with its line ending: together, the file's bytes
    std::vector<Section> sections;
    std::string eol; // the line ending the file already uses
};

// ---- key handles
struct OpenKey {
    std::string path;
    REGSAM access;
};

static OpenKey RootKeys[2] = {{"HKEY_CURRENT_USER", KEY_ALL_ACCESS}, {"HKEY_LOCAL_MACHINE", KEY_ALL_ACCESS}};
static std::set<OpenKey *> OpenKeys;              // handles given out and not yet closed
static std::set<std::string> ReportedFiles;       // broken files already named on stderr
static std::vector<Section> Overrides;            // values for this run only, never written
static const REGSAM WriteAccess = KEY_WRITE & ~KEY_READ; // KEY_SET_VALUE | KEY_CREATE_SUB_KEY

// ---- text helpers

static bool IsBlank(char c) { return c == ' ' || c == '\t'; }
static char Fold(char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// Whether two key or value names are the same, ignoring case as Windows does.
static bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

static bool StartsWith(std::string_view s, std::string_view prefix)
{
    return SameName(s.substr(0, prefix.size()), prefix);
}

// Drops leading blanks and trailing blanks and line endings.
static std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// Reads 1 to 8 hex digits.
static bool ParseNumber(std::string_view s, DWORD &n)
{
    if (s.empty() || s.size() > 8)
        return false;
    n = 0;
    for (char c : s) {
        const char *digit = c ? strchr("0123456789abcdef", Fold(c)) : nullptr;
        if (!digit)
            return false;
        n = n << 4 | DWORD(digit - "0123456789abcdef");
    }
    return true;
}

// A key path the file can hold: no empty names, no line breaks.
static bool ValidKeyPath(std::string_view p)
{
    return !p.empty() && p.front() != '\\' && p.back() != '\\' && p.find("\\\\") == p.npos
        && p.find_first_of("\r\n") == p.npos;
}

// ---- parsing

// Reads a quoted name or string starting at s[pos], undoing the \\ and \" escapes.
static bool Unquote(std::string_view s, size_t &pos, std::string &out)
{
    for (pos++; pos < s.size(); pos++) {
        if (s[pos] == '"') {
            pos++;
            return true;
        }
        if (s[pos] == '\\' && (++pos == s.size() || (s[pos] != '\\' && s[pos] != '"')))
            return false;
        out += s[pos];
    }
    return false;
}

// Reads comma-separated hex bytes; says what is wrong, or null.
static const char *ParseBytes(std::string_view s, std::string &out)
{
    if (Trim(s).empty())
        return nullptr;
    for (;;) {
        size_t comma = s.find(',');
        DWORD byte;
        std::string_view digits = Trim(s.substr(0, comma));
        if (digits.size() > 2 || !ParseNumber(digits, byte))
            return "bad hex byte";
        out += char(byte);
        if (comma == s.npos)
            return nullptr;
        s.remove_prefix(comma + 1);
    }
}

// Reads what follows a value's "=": a string, a dword or hex; says what is wrong, or null.
static const char *ParseData(std::string_view s, Value &v)
{
    s = Trim(s);
    if (s.starts_with('"')) {
        size_t end = 0;
        if (!Unquote(s, end, v.data) || end != s.size())
            return "bad quoting";
        v.type = REG_SZ;
        v.data += '\0';
        return nullptr;
    }
    if (StartsWith(s, "dword:")) {
        DWORD n;
        if (!ParseNumber(s.substr(6), n))
            return "dword needs 1 to 8 hex digits";
        v.type = REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8)
            v.data += char(n >> shift);
        return nullptr;
    }
    v.type = REG_BINARY;
    if (StartsWith(s, "hex:")) {
        s.remove_prefix(4);
    } else if (StartsWith(s, "hex(")) {
        size_t close = s.find("):");
        if (close == s.npos || !ParseNumber(s.substr(4, close - 4), v.type))
            return "bad value type";
        s.remove_prefix(close + 2);
    } else {
        return s == "-" ? "deleting values is not supported" : "unknown value type";
    }
    return ParseBytes(s, v.data);
}

// Finds the file's keys and values; says what is wrong and on which line, or null.
static const char *Parse(Store &st, size_t &i)
{
    std::vector<std::string> &lines = st.lines;
    std::string_view head = lines[0];
    if (head.starts_with(ByteOrderMark))
        head.remove_prefix(3);
    head = Trim(head);
    i = 0;
    if (head != HeaderLine && head != OldHeaderLine)
        return "not a registry file: the first line must be \"Windows Registry Editor Version 5.00\"";
    st.eol = lines[0].ends_with("\r\n") ? "\r\n" : "\n";
    for (i = 1; i < lines.size(); i++) {
        std::string_view s = Trim(lines[i]);
        if (s.starts_with('[')) {
            if (s.starts_with("[-"))
                return "deleting keys is not supported";
            if (!s.ends_with(']') || !ValidKeyPath(s.substr(1, s.size() - 2)))
                return "malformed key name";
            st.sections.push_back({std::string(s.substr(1, s.size() - 2)), i, {}});
        } else if (s.starts_with('"') || s.starts_with('@')) { // other lines are kept and ignored
            Value v = {};
            size_t end = s[0] == '@'; // past the @, or at the opening quote
            if (s[0] == '"' && !Unquote(s, end, v.name))
                return "bad quoting";
            std::string_view rest = Trim(s.substr(end));
            if (!rest.starts_with('='))
                return "value name without \"=\"";
            if (st.sections.empty())
                return "value before the first key";
            std::string data(Trim(rest.substr(1)));
            v.first = i;
            while (StartsWith(data, "hex") && data.ends_with('\\')) { // regedit's wrapped hex
                if (i + 1 == lines.size())
                    return "unterminated continuation";
                data.pop_back();
                data += Trim(lines[++i]);
            }
            if (const char *why = ParseData(data, v))
                return why;
            v.last = i;
            st.sections.back().values.push_back(v);
            st.sections.back().last = i;
        }
    }
    return nullptr;
}

// ---- the file

// Where the store lives: $VANTREL_REGISTRY, else the user's configuration folder.
static std::string StorePath()
{
    const char *path = getenv("VANTREL_REGISTRY");
    if (path && *path)
        return path;
    const char *config = getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return std::string(config) + "/vantrel/registry.reg";
    const char *home = getenv("HOME");
    const struct passwd *user = home && *home ? nullptr : getpwuid(getuid());
    return std::string(user ? user->pw_dir : home ? home : "") + "/.config/vantrel/registry.reg";
}

static std::string FolderOf(const std::string &file) { return file.substr(0, file.rfind('/') + 1); }

// Whether a write could land: no file yet, or both the file and its folder writable.
static bool Writable(const std::string &file)
{
    std::string folder = FolderOf(file);
    return access(file.c_str(), F_OK) != 0
        || (access(file.c_str(), W_OK) == 0 && access(folder.empty() ? "." : folder.c_str(), W_OK) == 0);
}

static bool ReadAll(const std::string &file, std::string &out)
{
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        out.append(buffer, n);
    close(fd);
    return n == 0;
}

// Reads and parses the file; a missing file is an empty store. Fails with
// what the calls return: a broken file is named once on stderr.
static LSTATUS Load(Store &st)
{
    st.file = StorePath();
    std::string bytes;
    if (!ReadAll(st.file, bytes)) {
        if (errno != ENOENT && errno != ENOTDIR)
            return ERROR_ACCESS_DENIED;
        bytes = std::string(HeaderLine) + "\n";
    }
    for (size_t at = 0, end; at < bytes.size(); at = end) {
        end = bytes.find('\n', at);
        end = end == bytes.npos ? bytes.size() : end + 1;
        st.lines.push_back(bytes.substr(at, end - at));
    }
    if (st.lines.empty())
        st.lines.emplace_back();
    size_t line;
    const char *why = Parse(st, line);
    if (!why)
        return ERROR_SUCCESS;
    if (ReportedFiles.insert(st.file).second)
        fprintf(stderr, "vantrel: %s:%zu: %s\n", st.file.c_str(), line + 1, why);
    return ERROR_BADDB;
}

// Writes the whole file through a temporary one beside it, flushed to disk and renamed over it.
static LSTATUS WriteAtomically(const std::string &file, const std::string &bytes)
{
    if (!Writable(file))
        return ERROR_ACCESS_DENIED;
    std::string folder = FolderOf(file);
    for (size_t at = folder.find('/', 1); at != folder.npos; at = folder.find('/', at + 1))
        mkdir(folder.substr(0, at).c_str(), 0777); // most exist already
    std::string temp = file + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0)
        return ERROR_ACCESS_DENIED;
    struct stat old;
    bool written = (stat(file.c_str(), &old) != 0 || fchmod(fd, old.st_mode & 07777) == 0)
        && write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temp.c_str(), file.c_str()) != 0) {
        unlink(temp.c_str());
        return ERROR_ACCESS_DENIED;
    }
    int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) { // makes the rename itself survive a crash
        fsync(dir);
        close(dir);
    }
    return ERROR_SUCCESS;
}

// Saves the file with lines [from, to) replaced by text, every other byte as it was.
static LSTATUS Splice(const Store &st, size_t from, size_t to, std::string text)
{
    if (from > 0 && !st.lines[from - 1].ends_with('\n'))
        text.insert(0, st.eol);
    std::string bytes;
    for (size_t i = 0; i < from; i++)
        bytes += st.lines[i];
    bytes += text;
    for (size_t i = to; i < st.lines.size(); i++)
        bytes += st.lines[i];
    return WriteAtomically(st.file, bytes);
}

// A section header for the end of the file, after a blank line as regedit leaves them.
static std::string NewSection(const Store &st, const std::string &path)
{
    return (Trim(st.lines.back()).empty() ? "" : st.eol) + "[" + path + "]" + st.eol;
}

// Quotes a name or string as regedit does.
static std::string Quote(std::string_view s)
{
    std::string quoted = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// A value's line(s): a string or dword where that keeps type and bytes exact, hex otherwise.
static std::string FormatValue(std::string_view name, DWORD type, std::string_view data, const std::string &eol)
{
    std::string out = (name.empty() ? std::string("@") : Quote(name)) + "=";
    char text[32];
    if (type == REG_DWORD && data.size() == 4) {
        snprintf(text, sizeof text, "dword:%02x%02x%02x%02x", // the number, stored little-endian
                 BYTE(data[3]), BYTE(data[2]), BYTE(data[1]), BYTE(data[0]));
        return out + text + eol;
    }
    if (type == REG_SZ && data.ends_with('\0') && data.find_first_of(std::string_view("\0\r\n", 3)) == data.size() - 1)
        return out + Quote(data.substr(0, data.size() - 1)) + eol;
    snprintf(text, sizeof text, "hex(%x):", unsigned(type));
    out += type == REG_BINARY ? "hex:" : text;
    for (size_t i = 0, lineStart = 0; i < data.size(); i++) {
        snprintf(text, sizeof text, i + 1 < data.size() ? "%02x," : "%02x", BYTE(data[i]));
        out += text;
        if (out.size() - lineStart > WrapColumn && i + 1 < data.size()) {
            out += "\\" + eol;
            lineStart = out.size();
            out += "  ";
        }
    }
    return out + eol;
}

// The value's last occurrence under the key: on import, later lines win.
static const Value *FindValue(const std::vector<Section> &sections, const std::string &path, std::string_view name)
{
    const Value *found = nullptr;
    for (const Section &s : sections)
        if (SameName(s.path, path))
            for (const Value &v : s.values)
                if (SameName(v.name, name))
                    found = &v;
    return found;
}

// Whether the key is in the file or given for this run: a root, its own section, or a subkey's.
static bool KeyExists(const Store &st, const std::string &path)
{
    auto holds = [&path](const Section &s) {
        return StartsWith(s.path, path) && (s.path.size() == path.size() || s.path[path.size()] == '\\');
    };
    return path.find('\\') == path.npos || std::any_of(st.sections.begin(), st.sections.end(), holds)
        || std::any_of(Overrides.begin(), Overrides.end(), holds);
}

// ---- handles

static OpenKey *Resolve(HKEY key)
{
    if (key == HKEY_CURRENT_USER)
        return &RootKeys[0];
    if (key == HKEY_LOCAL_MACHINE)
        return &RootKeys[1];
    OpenKey *open = reinterpret_cast<OpenKey *>(key);
    return OpenKeys.count(open) ? open : nullptr;
}

// Opens parent\sub, creating its section first if asked; the body of every open call.
static LSTATUS Open(HKEY parent, LPCSTR sub, REGSAM access, bool create, PHKEY result, LPDWORD disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const OpenKey *base = Resolve(parent);
    if (!base)
        return ERROR_INVALID_HANDLE;
    std::string path = base->path;
    if (sub && *sub) {
        if (!ValidKeyPath(sub))
            return ERROR_INVALID_PARAMETER;
        path = path + "\\" + sub;
    }
    Store st;
    LSTATUS status = Load(st);
    if (status != ERROR_SUCCESS)
        return status;
    bool exists = KeyExists(st, path);
    if (!exists && !create)
        return ERROR_FILE_NOT_FOUND;
    if ((access & WriteAccess) && !Writable(st.file))
        return ERROR_ACCESS_DENIED;
    if (!exists && (status = Splice(st, st.lines.size(), st.lines.size(), NewSection(st, path))) != ERROR_SUCCESS)
        return status;
    if (disposition)
        *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    OpenKey *key = new OpenKey{path, access};
    OpenKeys.insert(key);
    *result = reinterpret_cast<HKEY>(key);
    return ERROR_SUCCESS;
}

// Resolves a handle opened with the access needed and reads the file, or says why not.
static LSTATUS UseKey(HKEY key, REGSAM needed, const OpenKey *&open, Store &st)
{
    open = Resolve(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    return open->access & needed ? Load(st) : ERROR_ACCESS_DENIED;
}

// ---- the calls

LSTATUS WINAPI RegCreateKeyExA(HKEY parent, LPCSTR sub, DWORD, LPSTR, DWORD, REGSAM access,
                               LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition)
{
    return Open(parent, sub, access, true, result, disposition);
}

LSTATUS WINAPI RegOpenKeyExA(HKEY parent, LPCSTR sub, DWORD, REGSAM access, PHKEY result)
{
    return Open(parent, sub, access, false, result, nullptr);
}

// Opens with the most access the file allows, as the platform's MAXIMUM_ALLOWED does.
LSTATUS WINAPI RegOpenKeyA(HKEY parent, LPCSTR sub, PHKEY result)
{
    LSTATUS status = Open(parent, sub, KEY_ALL_ACCESS, false, result, nullptr);
    return status == ERROR_ACCESS_DENIED ? Open(parent, sub, KEY_READ, false, result, nullptr) : status;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (reserved || (data && !size))
        return ERROR_INVALID_PARAMETER;
    const OpenKey *open;
    Store st;
    if (LSTATUS status = UseKey(key, KEY_QUERY_VALUE, open, st))
        return status;
    const Value *v = FindValue(Overrides, open->path, name ? name : "");
    if (!v)
        v = FindValue(st.sections, open->path, name ? name : "");
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = v->type;
    if (!size)
        return ERROR_SUCCESS;
    DWORD room = *size;
    *size = DWORD(v->data.size());
    if (!data)
        return ERROR_SUCCESS;
    if (v->data.size() > room)
        return ERROR_MORE_DATA;
    memcpy(data, v->data.data(), v->data.size());
    return ERROR_SUCCESS;
}

// Stores the value over its old lines, else at the end of its key's section, else in a new section.
LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    std::string_view valueName = name ? name : "";
    if (reserved || (!data && size) || valueName.find_first_of("\r\n") != valueName.npos)
        return ERROR_INVALID_PARAMETER;
    const OpenKey *open;
    Store st;
    if (LSTATUS status = UseKey(key, KEY_SET_VALUE, open, st))
        return status;
    std::string_view bytes(reinterpret_cast<const char *>(data), data ? size : 0);
    if (const Value *old = FindValue(st.sections, open->path, valueName)) // keeps the name as the file spells it
        return Splice(st, old->first, old->last + 1, FormatValue(old->name, type, bytes, st.eol));
    std::string line = FormatValue(valueName, type, bytes, st.eol);
    const Section *home = nullptr;
    for (const Section &s : st.sections)
        if (SameName(s.path, open->path))
            home = &s;
    size_t at = home ? home->last + 1 : st.lines.size();
    return Splice(st, at, at, home ? line : NewSection(st, open->path) + line);
}

LSTATUS WINAPI RegCloseKey(HKEY key)
{
    OpenKey *open = Resolve(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (OpenKeys.erase(open)) // the roots are never closed
        delete open;
    return ERROR_SUCCESS;
}

void OverrideRegistryValue(HKEY root, LPCSTR subkey, LPCSTR name, DWORD type, const BYTE *data, DWORD size)
{
    const OpenKey *base = Resolve(root);
    Value v = {name ? name : "", type, std::string(reinterpret_cast<const char *>(data), size), 0, 0};
    Overrides.push_back({base->path + "\\" + subkey, 0, {v}});
}
