// Linux: the power events Windows broadcasts to top-level windows, from
// what every Linux system has without a daemon or a library of its own.
// A switch between mains and battery shows in /sys/class/power_supply, which
// the kernel announces with a power-supply uevent; the folder is looked at
// again every few seconds too, for systems (containers among them) where
// uevents never arrive. A suspend cannot be seen coming without asking
// logind over D-Bus, but a resume can: the clock that counts sleep runs
// ahead of the one that does not by as long as the system slept.
#include "kernel.h"
#include "x11.h"

#include <cstring>
#include <ctime>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

// ---- what was seen last
static bool Watching;
static int UeventSocket = -1;     // the kernel's device events, or -1 where they are not to be had
static BYTE LastAcLine;           // as GetSystemPowerStatus reported it
static std::int64_t LastSleptMs;  // CLOCK_BOOTTIME - CLOCK_MONOTONIC: grows only while the system sleeps
static std::uint64_t NextCheckMs = UINT64_MAX; // in MonotonicMilliseconds; never while not watching

static const std::uint64_t CheckIntervalMs = 2000;
static const std::int64_t ResumeMs = 1000; // far above the time between reading the two clocks

static std::int64_t SleptMilliseconds()
{
    timespec boot, monotonic;
    clock_gettime(CLOCK_BOOTTIME, &boot);
    clock_gettime(CLOCK_MONOTONIC, &monotonic);
    return (std::int64_t)(boot.tv_sec - monotonic.tv_sec) * 1000 + (boot.tv_nsec - monotonic.tv_nsec) / 1000000;
}

static BYTE AcLine()
{
    SYSTEM_POWER_STATUS status;
    return GetSystemPowerStatus(&status) ? status.ACLineStatus : AC_LINE_UNKNOWN;
}

void WatchPower()
{
    if (Watching)
        return;
    Watching = true;
    UeventSocket = socket(AF_NETLINK, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    sockaddr_nl kernelEvents = {};
    kernelEvents.nl_family = AF_NETLINK;
    kernelEvents.nl_groups = 1; // as the kernel sends them, not udev's copies
    if (UeventSocket >= 0 && bind(UeventSocket, (sockaddr *)&kernelEvents, sizeof kernelEvents) != 0) {
        close(UeventSocket);
        UeventSocket = -1;
    }
    LastAcLine = AcLine();
    LastSleptMs = SleptMilliseconds();
    NextCheckMs = MonotonicMilliseconds() + CheckIntervalMs;
}

int PowerEventSocket() { return UeventSocket; }

std::uint64_t NextPowerCheck() { return NextCheckMs; }

// Whether any of the waiting uevents is about a power supply; takes them all.
static bool PowerSupplyEvents()
{
    bool seen = false;
    char event[8192];
    for (ssize_t size; UeventSocket >= 0 && (size = recv(UeventSocket, event, sizeof event - 1, 0)) > 0;) {
        event[size] = '\0';
        for (const char *field = event; field < event + size; field += std::strlen(field) + 1)
            seen |= !std::strcmp(field, "SUBSYSTEM=power_supply");
    }
    return seen;
}

void CheckPower()
{
    if (!PowerSupplyEvents() && MonotonicMilliseconds() < NextCheckMs)
        return;
    NextCheckMs = MonotonicMilliseconds() + CheckIntervalMs;
    std::int64_t slept = SleptMilliseconds();
    BYTE line = AcLine();
    bool resumed = slept - LastSleptMs > ResumeMs, switched = line != LastAcLine;
    LastSleptMs = slept;
    LastAcLine = line;
    if (resumed)
        SendToTopLevelWindows(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    if (switched)
        SendToTopLevelWindows(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
}
