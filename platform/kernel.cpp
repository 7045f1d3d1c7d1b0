// Linux: the kernel32 services the program asks for (clock, command line,
// modules, version, power) and the few user32 and comctl32 calls that need
// no display.
#include "kernel.h"

#include <commctrl.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <sched.h>
#include <string>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

// ---- the process
static std::string CommandLine; // as Windows would have built it
static const char ProgramModule = 0; // its address is the program's module handle

// ---- power supplies
static const char PowerSupplyDir[] = "/sys/class/power_supply";

std::uint64_t MonotonicMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (std::uint64_t)now.tv_sec * 1000 + (std::uint64_t)now.tv_nsec / 1000000;
}

DWORD WINAPI GetTickCount(void) { return (DWORD)MonotonicMilliseconds(); }

// Sleep(0) gives up the rest of the time slice, as on Windows.
void WINAPI Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec rest = {(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000};
    while (nanosleep(&rest, &rest) == -1 && errno == EINTR) {
    }
}

// The program name is quoted when it holds spaces, so the usual skip over it still works.
LPSTR RememberCommandLine(const char *program, const std::string &tail)
{
    bool quote = std::strchr(program, ' ') != nullptr;
    CommandLine = quote ? "\"" + std::string(program) + "\"" : program;
    size_t start = CommandLine.size() + !tail.empty();
    if (!tail.empty())
        CommandLine += " " + tail;
    return CommandLine.data() + start;
}

LPSTR WINAPI GetCommandLineA(void) { return CommandLine.data(); }

// Single bytes: the program sees only the ANSI characters it wrote itself.
LPSTR WINAPI CharNextA(LPCSTR p) { return (LPSTR)(*p ? p + 1 : p); }

// As on Windows the process ends at once, without running static destructors (after a
// fault they would run in a damaged process); only stdio is flushed. A build that checks
// for leaks checks here, since its usual check at exit never comes.
void WINAPI ExitProcess(UINT code)
{
#if defined(__SANITIZE_ADDRESS__)
    __lsan_do_leak_check();
#endif
    std::fflush(nullptr);
    _exit((int)code);
}

// Only the program itself is a module here; no Windows library is ever loaded.
HMODULE WINAPI GetModuleHandleA(LPCSTR name) { return name ? nullptr : (HMODULE)&ProgramModule; }

HMODULE WINAPI LoadLibraryA(LPCSTR) { return nullptr; }

FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR) { return nullptr; }

BOOL WINAPI FreeLibrary(HMODULE) { return FALSE; }

// The NT family: no Windows 95 password services to call.
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info)
{
    if (!info || info->dwOSVersionInfoSize < sizeof *info)
        return FALSE;
    *info = OSVERSIONINFOA{sizeof *info, 10, 0, 0, VER_PLATFORM_WIN32_NT, {}};
    return TRUE;
}

// The first line of a small sysfs attribute file, without its line ending.
static std::string ReadAttribute(const std::string &path)
{
    char line[64] = "";
    if (FILE *file = std::fopen(path.c_str(), "r")) {
        if (!std::fgets(line, sizeof line, file))
            line[0] = '\0';
        std::fclose(file);
    }
    line[std::strcspn(line, "\n")] = '\0';
    return line;
}

// AC line: online when any mains supply is, offline when there are mains
// supplies and none is; unknown without any. The battery is not looked at.
BOOL WINAPI GetSystemPowerStatus(LPSYSTEM_POWER_STATUS status)
{
    const char *dirName = std::getenv("VANTREL_POWER_SUPPLY_DIR");
    std::string base = dirName ? dirName : PowerSupplyDir;
    BYTE line = AC_LINE_UNKNOWN;
    if (DIR *dir = opendir(base.c_str())) {
        while (dirent *entry = readdir(dir)) {
            std::string supply = base + "/" + entry->d_name + "/";
            if (entry->d_name[0] == '.' || ReadAttribute(supply + "type") != "Mains")
                continue;
            if (ReadAttribute(supply + "online") == "1")
                line = AC_LINE_ONLINE;
            else if (line == AC_LINE_UNKNOWN)
                line = AC_LINE_OFFLINE;
        }
        closedir(dir);
    }
    *status = SYSTEM_POWER_STATUS{line, 255, 255, 0, 0xFFFFFFFF, 0xFFFFFFFF}; // battery unknown
    return TRUE;
}

// Nothing to tell the system: X has no equivalent of the flags the program sets.
BOOL WINAPI SystemParametersInfoA(UINT, UINT, PVOID, UINT) { return TRUE; }

// The controls draw themselves; there is nothing to register.
BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *) { return TRUE; }
