// Linux: the registry, kept as one text file in the format regedit exports,
// so that a user can read it, edit it and import it on Windows. Keys under
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER live in the same file, the user's.
// Every call reads the file afresh; a file we cannot parse is never written.
//
// Unlike Windows, writes land when the key is flushed or closed: a handle
// keeps its RegSetValueExA values, which queries through it already see, and
// RegFlushKey or RegCloseKey stores them together in one atomic save that
// replaces only the lines of the values it changes. So a group of values
// written through one handle is in the file whole or not at all, whatever
// happens to the process meanwhile; RegSetValueExA refuses at once what it
// can tell (bad arguments, no write access, a file we cannot parse), and the
// flush or close returns what the save came to. Values still unsaved when
// the process ends are lost, as with a handle never closed.
#include "registry.h"
#include "registry_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <string_view>
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
    size_t from, to; // where its lines are in the text, continuation lines included
};

struct Section {
    std::string path; // root name and subkey, as between the brackets
    size_t end;       // the end of its header or last value line: where a new value goes
    std::vector<Value> values;
};

struct Store {
    StoreFile file;
    std::vector<Section> sections;
    std::string eol; // the line ending the file already uses
};

// ---- key handles
struct OpenKey {
    std::string path;
    REGSAM access;
    std::vector<Value> pending; // written through this handle, not yet saved
};

static OpenKey RootKeys[2] = {{"HKEY_CURRENT_USER", KEY_ALL_ACCESS, {}}, {"HKEY_LOCAL_MACHINE", KEY_ALL_ACCESS, {}}};
static std::set<OpenKey *> OpenKeys;              // handles given out and not yet closed
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

// The line that starts at text[at], line ending included; at moves past it.
static std::string_view NextLine(std::string_view text, size_t &at)
{
    size_t start = at, end = text.find('\n', at);
    at = end == text.npos ? text.size() : end + 1;
    return text.substr(start, at - start);
}

// Finds the file's keys and values; says what is wrong and on which line, or null.
static const char *Parse(Store &st, size_t &number)
{
    std::string_view text = st.file.text;
    size_t at = 0;
    number = 1;
    std::string_view line = NextLine(text, at), head = line;
    if (head.starts_with(ByteOrderMark))
        head.remove_prefix(3);
    head = Trim(head);
    if (head != HeaderLine && head != OldHeaderLine)
        return "not a registry file: the first line must be \"Windows Registry Editor Version 5.00\"";
    st.eol = line.ends_with("\r\n") ? "\r\n" : "\n";
    for (number = 2; at < text.size(); number++) {
        size_t from = at;
        std::string_view s = Trim(NextLine(text, at));
        if (s.starts_with('[')) {
            if (s.starts_with("[-"))
                return "deleting keys is not supported";
            if (!s.ends_with(']') || !ValidKeyPath(s.substr(1, s.size() - 2)))
                return "malformed key name";
            st.sections.push_back({std::string(s.substr(1, s.size() - 2)), at, {}});
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
            while (StartsWith(data, "hex") && data.ends_with('\\')) { // regedit's wrapped hex
                if (at == text.size())
                    return "unterminated continuation";
                data.pop_back();
                data += Trim(NextLine(text, at));
                number++;
            }
            if (const char *why = ParseData(data, v))
                return why;
            v.from = from;
            v.to = at;
            st.sections.back().values.push_back(v);
            st.sections.back().end = at;
        }
    }
    return nullptr;
}

// Parses the file's text, a missing file being a header alone. A broken file is named once on stderr.
static LSTATUS ParseStore(Store &st)
{
    if (!st.file.exists && st.file.text.empty())
        st.file.text = std::string(HeaderLine) + "\n";
    st.sections.clear();
    size_t line;
    const char *why = Parse(st, line);
    return why ? StoreFailure(ERROR_BADDB, st.file.path, line, why) : ERROR_SUCCESS;
}

// Reads and parses the file, failing with what the calls return.
static LSTATUS Load(Store &st)
{
    LSTATUS status = ReadStore(st.file);
    return status == ERROR_SUCCESS ? ParseStore(st) : status;
}

// A read-modify-write under the store's lock: change edits the file as it is now.
static LSTATUS Update(const std::function<LSTATUS(Store &)> &change)
{
    return UpdateStore([&change](StoreFile &file) {
        Store st = {std::move(file), {}, {}};
        LSTATUS status = ParseStore(st);
        if (status == ERROR_SUCCESS)
            status = change(st);
        file = std::move(st.file);
        return status;
    });
}

// Puts text in place of the bytes [from, to), every other byte as it was.
static LSTATUS Splice(Store &st, size_t from, size_t to, std::string text)
{
    if (from > 0 && st.file.text[from - 1] != '\n')
        text.insert(0, st.eol);
    st.file.text.replace(from, to - from, text);
    return ParseStore(st);
}

// A section header for the end of the file, after a blank line as regedit leaves them.
static std::string NewSection(const Store &st, const std::string &path)
{
    std::string_view text = st.file.text;
    if (text.ends_with('\n'))
        text.remove_suffix(1);
    std::string_view last = text.substr(text.rfind('\n') + 1); // npos + 1 is 0: the only line
    return (Trim(last).empty() ? "" : st.eol) + "[" + path + "]" + st.eol;
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

// The last value of that name: on import, later lines win.
static const Value *LastNamed(const std::vector<Value> &values, std::string_view name)
{
    const Value *found = nullptr;
    for (const Value &v : values)
        if (SameName(v.name, name))
            found = &v;
    return found;
}

// The value's last occurrence under the key.
static const Value *FindValue(const std::vector<Section> &sections, const std::string &path, std::string_view name)
{
    const Value *found = nullptr;
    for (const Section &s : sections)
        if (const Value *v = SameName(s.path, path) ? LastNamed(s.values, name) : nullptr)
            found = v;
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
    if (LSTATUS status = Load(st))
        return status;
    bool exists = KeyExists(st, path), created = false;
    if (!exists && !create)
        return ERROR_FILE_NOT_FOUND;
    if (access == MAXIMUM_ALLOWED)
        access = StoreWritable(st.file) ? KEY_ALL_ACCESS : KEY_READ;
    LSTATUS status = access & WriteAccess ? CheckWritable(st.file) : ERROR_SUCCESS;
    if (status == ERROR_SUCCESS && !exists)
        status = Update([&](Store &now) { // made meanwhile by another process, perhaps
            created = !KeyExists(now, path);
            size_t end = now.file.text.size();
            return created ? Splice(now, end, end, NewSection(now, path)) : ERROR_SUCCESS;
        });
    if (status != ERROR_SUCCESS)
        return status;
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    OpenKey *key = new OpenKey{path, access, {}};
    OpenKeys.insert(key);
    *result = reinterpret_cast<HKEY>(key);
    return ERROR_SUCCESS;
}

// Resolves a handle opened with the access needed and reads the file, or says why not.
static LSTATUS UseKey(HKEY key, REGSAM needed, OpenKey *&open, Store &st)
{
    open = Resolve(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    return open->access & needed ? Load(st) : ERROR_ACCESS_DENIED;
}

// Stores the value over its old lines, else at the end of its key's section, else in a new section.
static LSTATUS StoreValue(Store &st, const std::string &path, const Value &v)
{
    if (const Value *old = FindValue(st.sections, path, v.name)) // keeps the name as the file spells it
        return Splice(st, old->from, old->to, FormatValue(old->name, v.type, v.data, st.eol));
    std::string line = FormatValue(v.name, v.type, v.data, st.eol);
    const Section *home = nullptr;
    for (const Section &s : st.sections)
        if (SameName(s.path, path))
            home = &s;
    size_t at = home ? home->end : st.file.text.size();
    return Splice(st, at, at, home ? line : NewSection(st, path) + line);
}

// Saves the handle's pending values together, in the order written. Tried
// once: after a failure they are dropped, so they never land later unseen.
static LSTATUS Commit(OpenKey &open)
{
    std::vector<Value> writes;
    writes.swap(open.pending);
    if (writes.empty())
        return ERROR_SUCCESS;
    return Update([&](Store &st) {
        LSTATUS status = ERROR_SUCCESS;
        for (size_t i = 0; i < writes.size() && status == ERROR_SUCCESS; i++)
            status = StoreValue(st, open.path, writes[i]);
        return status;
    });
}

// ---- the calls

// The reserved word must be 0, as on Windows; keys are kept in the file, so none is volatile.
LSTATUS WINAPI RegCreateKeyExA(HKEY parent, LPCSTR sub, DWORD reserved, LPSTR, DWORD options, REGSAM access,
                               LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition)
{
    if (reserved || options != REG_OPTION_NON_VOLATILE)
        return ERROR_INVALID_PARAMETER;
    return Open(parent, sub, access, true, result, disposition);
}

LSTATUS WINAPI RegOpenKeyExA(HKEY parent, LPCSTR sub, DWORD options, REGSAM access, PHKEY result)
{
    if (options)
        return ERROR_INVALID_PARAMETER;
    return Open(parent, sub, access, false, result, nullptr);
}

// Opens with the most access the file allows, as the platform does.
LSTATUS WINAPI RegOpenKeyA(HKEY parent, LPCSTR sub, PHKEY result)
{
    return Open(parent, sub, MAXIMUM_ALLOWED, false, result, nullptr);
}

// Finds the value: given for this run, else written through this handle, else in the file.
LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (reserved || (data && !size))
        return ERROR_INVALID_PARAMETER;
    OpenKey *open;
    Store st;
    if (LSTATUS status = UseKey(key, KEY_QUERY_VALUE, open, st))
        return status;
    std::string_view valueName = name ? name : "";
    const Value *v = FindValue(Overrides, open->path, valueName);
    if (!v)
        v = LastNamed(open->pending, valueName);
    if (!v)
        v = FindValue(st.sections, open->path, valueName);
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

// Keeps the value with the handle, to be saved at RegFlushKey or RegCloseKey.
LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    std::string_view valueName = name ? name : "";
    if (reserved || (!data && size) || valueName.find_first_of("\r\n") != valueName.npos)
        return ERROR_INVALID_PARAMETER;
    OpenKey *open;
    Store st;
    if (LSTATUS status = UseKey(key, KEY_SET_VALUE, open, st))
        return status;
    if (LSTATUS status = CheckWritable(st.file))
        return status;
    std::string bytes(reinterpret_cast<const char *>(data), data ? size : 0);
    open->pending.push_back({std::string(valueName), type, bytes, 0, 0});
    return ERROR_SUCCESS;
}

// Saves what was written through the handle; the result is the save's.
LSTATUS WINAPI RegFlushKey(HKEY key)
{
    OpenKey *open = Resolve(key);
    return open ? Commit(*open) : ERROR_INVALID_HANDLE;
}

// Saves what was written through the handle and lets it go; the result is the save's.
LSTATUS WINAPI RegCloseKey(HKEY key)
{
    OpenKey *open = Resolve(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    LSTATUS status = Commit(*open);
    if (OpenKeys.erase(open)) // the roots are never closed
        delete open;
    return status;
}

void OverrideRegistryValue(HKEY root, LPCSTR subkey, LPCSTR name, DWORD type, const BYTE *data, DWORD size)
{
    const OpenKey *base = Resolve(root);
    Value v = {name ? name : "", type, std::string(reinterpret_cast<const char *>(data), size), 0, 0};
    Overrides.push_back({base->path + "\\" + subkey, 0, {v}});
}
