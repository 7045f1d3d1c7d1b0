// Linux: the structured exception guard of guard.h over the fault signals,
// and the last-chance verdict Windows gives a fault that nothing handles.
// A fault inside a guarded call becomes the exception record Windows would
// raise for it and goes to the innermost guard's filter, then outward.
#include "guard.h"

#include <csetjmp>
#include <csignal>
#include <ucontext.h>
#include <unistd.h>

// ---- guards in force, innermost first; each lives in its RunGuarded frame
struct Guard {
    sigjmp_buf abandon;
    LPTOP_LEVEL_EXCEPTION_FILTER filter;
    Guard *outer;
};
static Guard *InnermostGuard;

// ---- the signals a guard takes, and what they were before
static const int FaultSignals[4] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
static struct sigaction PreviousActions[4];
static stack_t PreviousStack;
alignas(16) static char FaultStack[64 * 1024]; // a stack overflow leaves no room on the faulting stack

// ---- what Windows raises for each fault; code 0 matches any si_code
struct FaultCode {
    int signal, code;
    DWORD exception;
};
static const FaultCode FaultCodes[] = {
    {SIGSEGV, 0, EXCEPTION_ACCESS_VIOLATION},
    {SIGBUS, BUS_ADRALN, EXCEPTION_DATATYPE_MISALIGNMENT},
    {SIGBUS, 0, EXCEPTION_IN_PAGE_ERROR},
    {SIGILL, ILL_PRVOPC, EXCEPTION_PRIV_INSTRUCTION},
    {SIGILL, 0, EXCEPTION_ILLEGAL_INSTRUCTION},
    {SIGFPE, FPE_INTDIV, EXCEPTION_INT_DIVIDE_BY_ZERO},
    {SIGFPE, FPE_INTOVF, EXCEPTION_INT_OVERFLOW},
    {SIGFPE, FPE_FLTDIV, EXCEPTION_FLT_DIVIDE_BY_ZERO},
    {SIGFPE, FPE_FLTOVF, EXCEPTION_FLT_OVERFLOW},
    {SIGFPE, FPE_FLTUND, EXCEPTION_FLT_UNDERFLOW},
    {SIGFPE, FPE_FLTRES, EXCEPTION_FLT_INEXACT_RESULT},
    {SIGFPE, FPE_FLTSUB, EXCEPTION_ARRAY_BOUNDS_EXCEEDED},
    {SIGFPE, 0, EXCEPTION_FLT_INVALID_OPERATION},
};

static DWORD ExceptionCode(const siginfo_t *info)
{
    for (const FaultCode &f : FaultCodes)
        if (f.signal == info->si_signo && (f.code == 0 || f.code == info->si_code))
            return f.exception;
    return EXCEPTION_ACCESS_VIOLATION; // not reached: every fault signal has a catch-all row
}

// The record Windows would raise: code, faulting instruction, and for an
// access violation whether it read, wrote or executed, and where.
static EXCEPTION_RECORD FaultRecord(const siginfo_t *info, const ucontext_t *context)
{
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = ExceptionCode(info);
    record.ExceptionAddress = info->si_addr;
    if (info->si_signo != SIGSEGV)
        return record;
    UINT_PTR kind = EXCEPTION_READ_FAULT;
#if defined(__x86_64__)
    record.ExceptionAddress = (PVOID)context->uc_mcontext.gregs[REG_RIP];
    greg_t error = context->uc_mcontext.gregs[REG_ERR]; // the page fault's error code
    kind = error & 16 ? EXCEPTION_EXECUTE_FAULT : error & 2 ? EXCEPTION_WRITE_FAULT : EXCEPTION_READ_FAULT;
#else
    (void)context;
#endif
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = kind;
    record.ExceptionInformation[1] = (UINT_PTR)info->si_addr;
    return record;
}

static int SignalSlot(int signal)
{
    int slot = 0;
    while (FaultSignals[slot] != signal)
        slot++;
    return slot;
}

// Asks the guards, innermost first; with no taker the signal's own action follows.
static void OnFault(int signal, siginfo_t *info, void *context)
{
    EXCEPTION_RECORD record = FaultRecord(info, (const ucontext_t *)context);
    EXCEPTION_POINTERS pointers = {&record, nullptr}; // no register record: nothing here reads one
    for (Guard *guard = InnermostGuard; guard; guard = guard->outer) {
        LONG verdict = guard->filter(&pointers);
        if (verdict == EXCEPTION_EXECUTE_HANDLER)
            siglongjmp(guard->abandon, 1);
        if (verdict == EXCEPTION_CONTINUE_EXECUTION)
            return;
    }
    sigaction(signal, &PreviousActions[SignalSlot(signal)], nullptr);
    if (info->si_code <= 0) // sent, not a fault: returning would not raise it again
        raise(signal);
}

static void TakeFaultSignals()
{
    stack_t stack = {};
    stack.ss_sp = FaultStack;
    stack.ss_size = sizeof FaultStack;
    sigaltstack(&stack, &PreviousStack);
    struct sigaction action = {};
    action.sa_sigaction = OnFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 4; i++)
        sigaction(FaultSignals[i], &action, &PreviousActions[i]);
}

static void ReleaseFaultSignals()
{
    for (int i = 0; i < 4; i++)
        sigaction(FaultSignals[i], &PreviousActions[i], nullptr);
    sigaltstack(&PreviousStack, nullptr);
}

// Leaves a guard, whether its body returned or was abandoned.
static BOOL LeaveGuard(const Guard &guard, BOOL finished)
{
    InnermostGuard = guard.outer;
    if (!guard.outer)
        ReleaseFaultSignals();
    return finished;
}

BOOL RunGuarded(void (*body)(void *), void *argument, LPTOP_LEVEL_EXCEPTION_FILTER filter)
{
    Guard guard;
    guard.filter = filter;
    guard.outer = InnermostGuard;
    if (!guard.outer)
        TakeFaultSignals();
    InnermostGuard = &guard;
    if (sigsetjmp(guard.abandon, 1))
        return LeaveGuard(guard, FALSE);
    body(argument);
    return LeaveGuard(guard, TRUE);
}

// Appends n as hexadecimal; only calls that are safe inside a signal handler.
static char *AppendHex(char *out, UINT_PTR n)
{
    char digits[2 * sizeof n];
    int count = 0;
    do
        digits[count++] = "0123456789abcdef"[n & 15];
    while (n >>= 4);
    while (count)
        *out++ = digits[--count];
    return out;
}

static char *AppendText(char *out, const char *text)
{
    while (*text)
        *out++ = *text++;
    return out;
}

// Where Windows would report the crash, Linux says one line on stderr; the
// verdict is always to run the handler, as on Windows without a debugger.
LONG WINAPI UnhandledExceptionFilter(EXCEPTION_POINTERS *pointers)
{
    const EXCEPTION_RECORD *record = pointers->ExceptionRecord;
    char line[96], *end = AppendText(line, "vantrel: exception 0x");
    end = AppendHex(end, record->ExceptionCode);
    end = AppendHex(AppendText(end, " at 0x"), (UINT_PTR)record->ExceptionAddress);
    end = AppendText(end, "\n");
    ssize_t written = write(STDERR_FILENO, line, end - line);
    (void)written; // nothing more to do if stderr is gone
    return EXCEPTION_EXECUTE_HANDLER;
}
