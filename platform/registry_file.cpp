// Linux: the registry's file on disk. Only a regular file of at most
// MaxStoreSize bytes is read, and opening it never blocks. A UTF-16LE file
// with its byte order mark (what regedit on Windows exports) is held as UTF-8
// and written back as UTF-16LE.
//
// A save follows symbolic links to the file they name and replaces that
// file, so a link stays a link. It holds an advisory lock on the file's
// folder while it re-reads, changes and replaces the file, so that saves from
// several processes never lose one another's values. The new text goes to a
// temporary file beside the old one, with the old one's owner and mode, is
// flushed to disk and renamed over it, so a save killed midway leaves the old
// file whole; the next save removes what such a save left behind.
//
// Why the folder is locked: the file itself is replaced on every save, so a
// lock on it would go with the old file; a lock file would be one more file
// beside the user's (in a dotfiles repository, say) and, made by root, could
// shut its user out. The folder is where the rename happens, exists whenever
// a save can land, and a save reads it anyway, for what killed saves left.
//
// Failures are named once on stderr. FormatMessageA, a kernel32 call, lives
// here because on Linux only the registry's failures are ever put into words:
// for the last one it gives a sentence naming the file and the reason, for
// the settings dialog's error box.
#include "registry_file.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <set>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

static const size_t MaxStoreSize = 1 << 20; // a store holds a few hundred bytes; an export of a branch, more
static const char TempMark[] = ".saving-";   // a temporary file: the store's name, this and six characters
static const int MaxLinks = 40;              // as many as the kernel follows

// ---- failures
static std::set<std::string> Reported; // what stderr has been told, by file and reason
static LSTATUS LastCode = ERROR_SUCCESS; // the last failure and its sentence, for FormatMessageA
static std::string LastSentence;

LSTATUS StoreFailure(LSTATUS code, const std::string &file, size_t line, const std::string &what)
{
    std::string where = line ? file + ":" + std::to_string(line) : file;
    if (Reported.insert(where + ": " + what).second)
        fprintf(stderr, "vantrel: %s: %s\n", where.c_str(), what.c_str());
    LastCode = code;
    LastSentence = "The registry file " + file + (line ? " has an error on line " + std::to_string(line) + ": " : " ")
                   + what + ".\r\n";
    return code;
}

// The Win32 code for what errno says.
static LSTATUS CodeOf(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EFBIG:
        return ERROR_FILE_TOO_LARGE;
    default: // EACCES, EPERM and whatever else keeps the file from us
        return ERROR_ACCESS_DENIED;
    }
}

// A system call on the file failed: says what could not be done and errno's words.
static LSTATUS SystemFailure(const std::string &file, const char *what, int error)
{
    std::string why = strerror(error);
    why[0] = char(tolower(BYTE(why[0]))); // it goes mid-sentence
    return StoreFailure(CodeOf(error), file, 0, std::string(what) + ": " + why);
}

// The platform's words for the codes the registry returns, as its message table ends them.
static const char *SystemWords(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.\r\n";
    case ERROR_ACCESS_DENIED: return "Access is denied.\r\n";
    case ERROR_INVALID_HANDLE: return "The handle is invalid.\r\n";
    case ERROR_WRITE_PROTECT: return "The media is write protected.\r\n";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.\r\n";
    case ERROR_DISK_FULL: return "There is not enough space on the disk.\r\n";
    case ERROR_FILE_TOO_LARGE: return "The file size exceeds the limit allowed and cannot be saved.\r\n";
    case ERROR_MORE_DATA: return "More data is available.\r\n";
    case ERROR_BADDB: return "The configuration registry database is corrupt.\r\n";
    default: return nullptr;
    }
}

// A system message into the caller's buffer, ending in CRLF as the
// platform's do: for the code of the store's last failure, the sentence
// naming its file and reason. 0 for a code without words, a buffer too
// small, or a way of formatting not offered here.
DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD code, DWORD, LPSTR buffer, DWORD size, va_list *)
{
    const DWORD offered = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const char *words = code == DWORD(LastCode) && !LastSentence.empty() ? LastSentence.c_str() : SystemWords(code);
    size_t length = words ? strlen(words) : 0;
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & ~offered) || !buffer || !length || length >= size)
        return 0;
    memcpy(buffer, words, length + 1);
    return DWORD(length);
}

// ---- UTF-16LE, held as UTF-8

static void AppendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80)
        out += char(c);
    else if (c < 0x800)
        out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    else if (c < 0x10000)
        out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
    else
        out += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)), char(0x80 | (c >> 6 & 0x3F)),
                char(0x80 | (c & 0x3F))};
}

// Reads UTF-16LE bytes as UTF-8 text; false if they are not UTF-16.
static bool FromUtf16(std::string_view bytes, std::string &text)
{
    if (bytes.size() % 2)
        return false;
    auto unit = [bytes](size_t i) { return char32_t(BYTE(bytes[i]) | BYTE(bytes[i + 1]) << 8); };
    auto low = [](char32_t u) { return u >= 0xDC00 && u < 0xE000; };
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 2 < bytes.size() && low(unit(i + 2))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            return false; // half a pair
        }
        AppendUtf8(text, c);
    }
    return true;
}

// Writes UTF-8 text as UTF-16LE bytes; false if it is not UTF-8.
static bool ToUtf16(std::string_view text, std::string &bytes)
{
    static const char32_t Least[4] = {0, 0x80, 0x800, 0x10000}; // below these, a sequence is too long
    auto put = [&bytes](char32_t unit) { bytes += {char(unit & 0xFF), char(unit >> 8)}; };
    bytes.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size();) {
        BYTE lead = text[i];
        int more = lead < 0x80 ? 0 : lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                 : lead >= 0xF0 && lead < 0xF5 ? 3 : -1;
        if (more < 0 || i + more >= text.size())
            return false;
        char32_t c = lead & (0x7F >> more); // with the lead's 0 bit, which adds nothing
        for (int k = 1; k <= more; k++) {
            if ((BYTE(text[i + k]) & 0xC0) != 0x80)
                return false;
            c = c << 6 | (BYTE(text[i + k]) & 0x3F);
        }
        if (c < Least[more] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
            return false;
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
        i += more + 1;
    }
    return true;
}

// ---- where the file is

// Where the store is named: $VANTREL_REGISTRY, else the user's configuration folder.
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

static std::string FolderName(const std::string &file)
{
    std::string folder = FolderOf(file);
    return folder.empty() ? "." : folder;
}

// Where a chain of symbolic links ends: the file, or where a dangling link points.
static std::string FollowLinks(std::string path)
{
    char target[PATH_MAX];
    for (int hops = 0; hops < MaxLinks; hops++) {
        ssize_t n = readlink(path.c_str(), target, sizeof target);
        if (n <= 0 || size_t(n) == sizeof target)
            break;
        path = (target[0] == '/' ? std::string() : FolderOf(path)) + std::string(target, n);
    }
    return path;
}

// ---- reading

static const char *KindOf(mode_t mode)
{
    return S_ISDIR(mode) ? "a directory" : S_ISFIFO(mode) ? "a FIFO" : S_ISSOCK(mode) ? "a socket" : "a device";
}

// Reads the opened file: a regular one, not too large, decoded if UTF-16.
static LSTATUS ReadOpened(int fd, StoreFile &file)
{
    struct stat status;
    if (fstat(fd, &status) != 0)
        return SystemFailure(file.path, "cannot be read", errno);
    if (!S_ISREG(status.st_mode))
        return StoreFailure(ERROR_BADDB, file.path, 0,
                            std::string("is not a regular file but ") + KindOf(status.st_mode));
    const std::string tooLarge = "is too large: more than " + std::to_string(MaxStoreSize) + " bytes";
    if (size_t(status.st_size) > MaxStoreSize)
        return StoreFailure(ERROR_FILE_TOO_LARGE, file.path, 0, tooLarge);
    std::string bytes;
    bytes.reserve(status.st_size);
    char chunk[4096];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) != 0;) {
        if (n < 0 && errno != EINTR)
            return SystemFailure(file.path, "cannot be read", errno);
        bytes.append(chunk, n > 0 ? n : 0);
        if (bytes.size() > MaxStoreSize) // it grew while we read
            return StoreFailure(ERROR_FILE_TOO_LARGE, file.path, 0, tooLarge);
    }
    file.utf16 = bytes.starts_with("\xFF\xFE");
    if (!file.utf16)
        file.text = std::move(bytes);
    else if (!FromUtf16(bytes, file.text))
        return StoreFailure(ERROR_BADDB, file.path, 0, "is not valid UTF-16");
    file.exists = true;
    file.owner = status.st_uid;
    file.group = status.st_gid;
    file.mode = status.st_mode & 07777;
    return ERROR_SUCCESS;
}

// Reads the file at file.path; none there reads as empty.
static LSTATUS ReadPath(StoreFile &file)
{
    int fd = open(file.path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); // a FIFO must not block
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ERROR_SUCCESS : SystemFailure(file.path, "cannot be read", errno);
    LSTATUS status = ReadOpened(fd, file);
    close(fd);
    return status;
}

LSTATUS ReadStore(StoreFile &file)
{
    file = StoreFile();
    file.path = FollowLinks(StorePath());
    return ReadPath(file);
}

bool StoreWritable(const StoreFile &file)
{
    return access(file.path.c_str(), F_OK) != 0
        || (access(file.path.c_str(), W_OK) == 0 && access(FolderName(file.path).c_str(), W_OK) == 0);
}

LSTATUS CheckWritable(const StoreFile &file)
{
    return StoreWritable(file) ? ERROR_SUCCESS : SystemFailure(file.path, "cannot be written", errno);
}

// ---- saving

// Removes the temporary files of saves that were killed: under the lock no save is under way.
static void RemoveLeftovers(const std::string &path)
{
    std::string prefix = path.substr(path.rfind('/') + 1) + TempMark;
    DIR *folder = opendir(FolderName(path).c_str());
    if (!folder)
        return;
    while (const dirent *entry = readdir(folder)) {
        std::string_view name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            unlinkat(dirfd(folder), entry->d_name, 0);
    }
    closedir(folder);
}

// Fills the temporary file: the old file's owner and mode, the bytes, all on disk. 0 or errno.
static int FillTemporary(int fd, const StoreFile &file, const std::string &bytes)
{
    // Root saving another user's store leaves it theirs; others keep what they may.
    if (file.exists && fchown(fd, file.owner, file.group) != 0 && geteuid() == 0)
        return errno;
    if (file.exists && fchmod(fd, file.mode) != 0)
        return errno;
    for (size_t at = 0; at < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno != EINTR)
            return errno;
        at += n > 0 ? n : 0;
    }
    return fsync(fd) == 0 ? 0 : errno;
}

// Replaces the file with its new text: a temporary file beside it, renamed over it.
static LSTATUS Replace(const StoreFile &file, int folder)
{
    std::string utf16;
    if (file.utf16 && !ToUtf16(file.text, utf16))
        return StoreFailure(ERROR_INVALID_PARAMETER, file.path, 0,
                            "cannot be written: a name or text that is not UTF-8 has no place in a UTF-16 file");
    const std::string &bytes = file.utf16 ? utf16 : file.text;
    if (bytes.size() > MaxStoreSize) // it could not be read again
        return StoreFailure(ERROR_FILE_TOO_LARGE, file.path, 0,
                            "cannot be written: it would be more than " + std::to_string(MaxStoreSize) + " bytes");
    std::string temp = file.path + TempMark + "XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC); // 0600 for a new file
    if (fd < 0)
        return SystemFailure(file.path, "cannot be written", errno);
    int error = FillTemporary(fd, file, bytes);
    if (close(fd) != 0 && !error)
        error = errno;
    if (!error && rename(temp.c_str(), file.path.c_str()) != 0)
        error = errno;
    if (error) {
        unlink(temp.c_str());
        return SystemFailure(file.path, "cannot be written", error);
    }
    fsync(folder); // makes the rename itself survive a crash
    return ERROR_SUCCESS;
}

// Makes the folder (with any missing above it) and takes its lock: its descriptor, or -1 and errno.
static int LockFolder(const std::string &name)
{
    for (size_t at = name.find('/', 1); at != name.npos; at = name.find('/', at + 1))
        mkdir(name.substr(0, at).c_str(), 0700); // most exist already
    int folder = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (folder >= 0 && flock(folder, LOCK_EX) != 0)
        if (errno != EINTR) { // a signal is no failure
            int error = errno;
            close(folder);
            errno = error;
            return -1;
        }
    return folder;
}

LSTATUS UpdateStore(const std::function<LSTATUS(StoreFile &)> &change)
{
    StoreFile file;
    file.path = FollowLinks(StorePath());
    if (LSTATUS status = CheckWritable(file))
        return status;
    int folder = LockFolder(FolderName(file.path));
    if (folder < 0)
        return SystemFailure(file.path, "cannot be written", errno);
    RemoveLeftovers(file.path);
    LSTATUS status = ReadPath(file);
    std::string before = file.text;
    if (status == ERROR_SUCCESS)
        status = change(file);
    if (status == ERROR_SUCCESS && file.text != before)
        status = Replace(file, folder);
    close(folder); // and with it the lock
    return status;
}
