// The fault guard, built for both systems: natively against the signal-based
// guard, and with MinGW against the platform's own exception handling, run
// under Wine. A plain program, since the Windows build has no test framework.
#include <cstdio>

#include "platform/guard.h"

// ---- checks
static int Passed, Failed;

static void Check(bool ok, const char *what, int line)
{
    ok ? Passed++ : Failed++;
    if (!ok)
        std::printf("guard_test.cpp:%d: failed: %s\n", line, what);
}
#define CHECK(condition) Check(condition, #condition, __LINE__)

// ---- faults the compiler cannot see coming
static int *volatile Nowhere = nullptr;
static volatile int Zero = 0;

static void WriteNowhere(void *) { *Nowhere = 1; }
static void DivideByZero(void *result) { *(int *)result = 7 / Zero; }
static void ReturnQuietly(void *ran) { *(bool *)ran = true; }

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

// The host's pattern: the mode under the guard, the platform's verdict, -1 when it says handle.
static int RunFaultingMode()
{
    int result = 0;
    return RunGuarded(WriteNowhere, &result, UnhandledExceptionFilter) ? result : -1;
}

int main()
{
    const LPTOP_LEVEL_EXCEPTION_FILTER outerHandles = Filter<Outer, EXCEPTION_EXECUTE_HANDLER>;
    bool ran = false;
    CHECK(RunGuarded(ReturnQuietly, &ran, outerHandles) && ran && Outer.calls == 0);

    // A write through a null pointer abandons the body with the record Windows raises.
    CHECK(!RunGuarded(WriteNowhere, nullptr, outerHandles));
    CHECK(Outer.calls == 1 && Outer.code == EXCEPTION_ACCESS_VIOLATION);
    CHECK(Outer.kind == EXCEPTION_WRITE_FAULT && Outer.address == 0);
    int quotient = 0;
    CHECK(!RunGuarded(DivideByZero, &quotient, outerHandles) && Outer.code == EXCEPTION_INT_DIVIDE_BY_ZERO);

    // A fault handled inside the body never reaches the outer guard; one the inner guard declines goes on outward.
    Outer = {};
    CHECK(RunGuarded(GuardOwnFault, (void *)Filter<Inner, EXCEPTION_EXECUTE_HANDLER>, outerHandles));
    CHECK(Inner.calls == 1 && Outer.calls == 0);
    CHECK(!RunGuarded(GuardOwnFault, (void *)Filter<Inner, EXCEPTION_CONTINUE_SEARCH>, outerHandles));
    CHECK(Inner.calls == 2 && Outer.calls == 1);

    // The platform's own verdict on a fault nothing handles ends the mode with -1.
    CHECK(RunFaultingMode() == -1);

    // Guards leave nothing behind: the same faults are taken again.
    CHECK(!RunGuarded(WriteNowhere, nullptr, outerHandles) && Outer.calls == 2);

    std::printf("%d passed, %d failed\n", Passed, Failed);
    return Failed ? 1 : 0;
}
