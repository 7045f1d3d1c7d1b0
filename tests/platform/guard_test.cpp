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

// ---- faults the compiler cannot see coming
static int *volatile Nowhere = nullptr;
static volatile int Zero = 0;
static void WriteNowhere(void *) { *Nowhere = 1; }
static void DivideByZero(void *result) { *(int *)result = 7 / Zero; }

// ---- what the filters saw, and what they say
static struct Seen { int calls; DWORD code; UINT_PTR kind, address; } Outer, Inner;

template <Seen &seen, LONG verdict> static LONG WINAPI Filter(EXCEPTION_POINTERS *pointers)
{
    const EXCEPTION_RECORD *record = pointers->ExceptionRecord;
    seen = {seen.calls + 1, record->ExceptionCode, record->ExceptionInformation[0], record->ExceptionInformation[1]};
    return verdict;
}

// A body that guards a faulting call of its own, as a driver might.
static void GuardOwnFault(void *filter) { RunGuarded(WriteNowhere, nullptr, (LPTOP_LEVEL_EXCEPTION_FILTER)filter); }

int main()
{
    const LPTOP_LEVEL_EXCEPTION_FILTER outerHandles = Filter<Outer, EXCEPTION_EXECUTE_HANDLER>;
    int quotient = 0;
    CHECK(RunGuarded(GuardOwnFault, (void *)Filter<Inner, EXCEPTION_EXECUTE_HANDLER>, outerHandles));
    CHECK(Inner.calls == 1); // handled inside, never seen outside
    CHECK(Outer.calls == 0);
    // A write through a null pointer abandons the body with the record Windows raises.
    CHECK(!RunGuarded(WriteNowhere, nullptr, outerHandles));
    CHECK(Outer.code == EXCEPTION_ACCESS_VIOLATION);
    CHECK(Outer.kind == EXCEPTION_WRITE_FAULT);
    CHECK(Outer.address == 0);
    CHECK(!RunGuarded(DivideByZero, &quotient, outerHandles));
    CHECK(Outer.code == EXCEPTION_INT_DIVIDE_BY_ZERO);
    // One the inner guard declines goes on outward; guards leave nothing behind, so faults are taken again.
    CHECK(!RunGuarded(GuardOwnFault, (void *)Filter<Inner, EXCEPTION_CONTINUE_SEARCH>, outerHandles));
    CHECK(Inner.calls == 2);
    CHECK(Outer.calls == 3);
    // The platform's own verdict on a fault nothing handles ends the mode, as the host's guard does.
    CHECK(!RunGuarded(WriteNowhere, nullptr, UnhandledExceptionFilter));
    std::printf("%d failed\n", Failed);
    return Failed ? 1 : 0;
}
