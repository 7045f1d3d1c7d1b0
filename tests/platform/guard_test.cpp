// The fault guard, built for both systems: natively against the signal-based
// guard, and with MinGW against the platform's own exception handling, run
// under Wine. A plain program, since the Windows build has no test framework.
#include <cstdio>

#include "platform/guard.h"

static int Failed;

static void Check(bool ok, const char *what, int line)
{
    if (ok)
        return;
    Failed++;
    std::printf("guard_test.cpp:%d: failed: %s\n", line, what);
}
#define CHECK(condition) Check(condition, #condition, __LINE__)

static int *volatile Nowhere = nullptr; // faults the compiler cannot see coming
static void WriteNowhere(void *) { *Nowhere = 1; }

static struct Seen { int calls; DWORD code; } Outer, Inner;

// Notes what the filter saw and gives its verdict.
template <Seen &seen, LONG verdict> static LONG WINAPI Filter(EXCEPTION_POINTERS *pointers)
{
    seen = {seen.calls + 1, pointers->ExceptionRecord->ExceptionCode};
    return verdict;
}

// A body that guards a faulting call of its own, as a driver might.
static void GuardOwnFault(void *filter) { RunGuarded(WriteNowhere, nullptr, (LPTOP_LEVEL_EXCEPTION_FILTER)filter); }

int main()
{
    const LPTOP_LEVEL_EXCEPTION_FILTER outerHandles = Filter<Outer, EXCEPTION_EXECUTE_HANDLER>;
    CHECK(RunGuarded(GuardOwnFault, (void *)Filter<Inner, EXCEPTION_EXECUTE_HANDLER>, outerHandles));
    CHECK(Inner.calls == 1); // handled inside, never seen outside
    CHECK(Outer.calls == 0);
    // A write through a null pointer abandons the body with the record Windows raises.
    CHECK(!RunGuarded(WriteNowhere, nullptr, outerHandles));
    CHECK(Outer.code == EXCEPTION_ACCESS_VIOLATION);
    // One the inner guard declines goes on outward; guards leave nothing behind, so faults are taken again.
    CHECK(!RunGuarded(GuardOwnFault, (void *)Filter<Inner, EXCEPTION_CONTINUE_SEARCH>, outerHandles));
    CHECK(Inner.calls == 2);
    CHECK(Outer.calls == 2);
    // The platform's own verdict on a fault nothing handles ends the mode, as the host's guard does.
    CHECK(!RunGuarded(WriteNowhere, nullptr, UnhandledExceptionFilter));
    std::printf("%d failed\n", Failed);
    return Failed ? 1 : 0;
}
