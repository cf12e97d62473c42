/* Runtime side of the operations that take a value beside their arguments. */
        .intel_syntax noprefix
        .text

/* CallCoreCommand / CallExtensionCommand: EAX = command entry; stack: count, first argument.
   Calls entry(&result, count, args) with a zeroed 12-byte result record and returns the
   result value in EDX:EAX and its tag in ECX. */
        .globl _RtCallCommand
        .def _RtCallCommand; .scl 2; .type 32; .endef
_RtCallCommand:
        push    ebp
        mov     ebp, esp
        sub     esp, 12
        xor     ecx, ecx
        mov     [esp], ecx
        mov     [esp + 4], ecx
        mov     [esp + 8], ecx
        mov     ecx, esp
        push    dword ptr [ebp + 12]
        push    dword ptr [ebp + 8]
        push    ecx
        call    eax
        add     esp, 12
        mov     eax, [esp]
        mov     edx, [esp + 4]
        mov     ecx, [esp + 8]
        leave
        ret

/* OtherHelp: EAX = helper number; the helper receives the caller's arguments in place.
   A number outside the table ends in runtime error 11 rather than a jump into nowhere. */
        .globl _RtOtherHelp
        .def _RtOtherHelp; .scl 2; .type 32; .endef
_RtOtherHelp:
        cmp     eax, 7
        jae     1f
        jmp     dword ptr [_kOtherHelpTable + 4 * eax]
1:      push    11
        call    _RtReportRuntimeError
