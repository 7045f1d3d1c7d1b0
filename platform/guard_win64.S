# Windows x64: RunGuarded of guard.h as one scope of the platform's C handler,
# exactly around the call of the body. The filter runs during the platform's
# search for a handler, after every frame inside the body has declined, so a
# driver that handles its own faults keeps doing so; a fault the filter takes
# unwinds to the end of the scope, and RunGuarded returns FALSE from there.
# What user32 calls back from the kernel (WM_CREATE inside CreateWindowEx,
# for one) cannot unwind across the kernel on x64, so the platform deals
# with a fault there before it could reach this scope, as for any program.

        .text
        .globl  RunGuarded
        .def    RunGuarded; .scl 2; .type 32; .endef
        .seh_proc RunGuarded
# BOOL RunGuarded(body in rcx, argument in rdx, filter in r8)
RunGuarded:
        subq    $40, %rsp               # the body's home space, then the filter's slot
        .seh_stackalloc 40
        .seh_endprologue
        movq    %r8, 32(%rsp)           # JudgeFault finds it here through the frame
        movq    %rcx, %rax
        movq    %rdx, %rcx
.Lguarded:
        call    *%rax
        nop                             # keeps the return address inside the scope
.Lguarded_end:
        movl    $1, %eax
        addq    $40, %rsp
        ret
.Labandoned:                            # where the platform unwinds to when the filter takes a fault
        xorl    %eax, %eax
        addq    $40, %rsp
        ret
        .seh_handler __C_specific_handler, @except
        .seh_handlerdata
        .long   1                       # one scope: begin, end, filter, landing
        .rva    .Lguarded, .Lguarded_end, JudgeFault, .Labandoned
        .text
        .seh_endproc

# LONG JudgeFault(EXCEPTION_POINTERS * in rcx, establisher frame in rdx): the
# scope's filter. The frame is RunGuarded's stack after its prologue, so the
# caller's filter is at 32 bytes into it; it gets the same pointers.
        .def    JudgeFault; .scl 3; .type 32; .endef
JudgeFault:
        jmpq    *32(%rdx)
