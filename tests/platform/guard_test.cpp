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

// ---- what the filters saw
struct Seen {
    int calls;
    DWORD code;
    UINT_PTR kind, address;
};
static Seen Outer, Inner;

static void Note(Seen &seen, const EXCEPTION_POINTERS *pointers)
{
    seen.calls++;
    seen.code = pointers->ExceptionRecord->ExceptionCode;
    seen.kind = pointers->ExceptionRecord->ExceptionInformation[0];
    seen.address = pointers->ExceptionRecord->ExceptionInformation[1];
}

static LONG WINAPI OuterHandles(EXCEPTION_POINTERS *pointers)
{
    Note(Outer, pointers);
    return EXCEPTION_EXECUTE_HANDLER;
}
static LONG WINAPI InnerHandles(EXCEPTION_POINTERS *pointers)
{
    Note(Inner, pointers);
    return EXCEPTION_EXECUTE_HANDLER;
}
static LONG WINAPI InnerDeclines(EXCEPTION_POINTERS *pointers)
{
    Note(Inner, pointers);
    return EXCEPTION_CONTINUE_SEARCH;
}

// A body that guards a faulting call of its own, as a driver might.
static void GuardOwnFault(void *filter)
{
    RunGuarded(WriteNowhere, nullptr, (LPTOP_LEVEL_EXCEPTION_FILTER)filter);
}

// The host's pattern: the mode under the guard, the platform's verdict, -1 when it says handle.
static int RunFaultingMode()
{
    int result = 0;
    if (!RunGuarded(WriteNowhere, &result, UnhandledExceptionFilter))
        result = -1;
    return result;
}

int main()
{
    bool ran = false;
    Outer = {};
    CHECK(RunGuarded(ReturnQuietly, &ran, OuterHandles));
    CHECK(ran);
    CHECK(Outer.calls == 0);

    // A write through a null pointer abandons the body with the record Windows raises.
    Outer = {};
    CHECK(!RunGuarded(WriteNowhere, nullptr, OuterHandles));
    CHECK(Outer.calls == 1);
    CHECK(Outer.code == EXCEPTION_ACCESS_VIOLATION);
    CHECK(Outer.kind == EXCEPTION_WRITE_FAULT);
    CHECK(Outer.address == 0);

    Outer = {};
    int quotient = 0;
    CHECK(!RunGuarded(DivideByZero, &quotient, OuterHandles));
    CHECK(Outer.code == EXCEPTION_INT_DIVIDE_BY_ZERO);

    // A fault handled inside the body never reaches the outer guard.
    Outer = Inner = {};
    CHECK(RunGuarded(GuardOwnFault, (void *)InnerHandles, OuterHandles));
    CHECK(Inner.calls == 1);
    CHECK(Outer.calls == 0);

    // One the inner guard declines goes on outward.
    Outer = Inner = {};
    CHECK(!RunGuarded(GuardOwnFault, (void *)InnerDeclines, OuterHandles));
    CHECK(Inner.calls == 1);
    CHECK(Outer.calls == 1);

    // The platform's own verdict on a fault nothing handles ends the mode with -1.
    CHECK(RunFaultingMode() == -1);

    // Guards leave nothing behind: the same faults are taken again.
    Outer = {};
    CHECK(!RunGuarded(WriteNowhere, nullptr, OuterHandles));
    CHECK(Outer.calls == 1);

    std::printf("%d passed, %d failed\n", Passed, Failed);
    return Failed ? 1 : 0;
}
