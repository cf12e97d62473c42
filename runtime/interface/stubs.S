/* Program side of the runtime interface: one jump per operation through the runtime's table,
   and the calling helpers for the operations that take a value beside their arguments. */
        .intel_syntax noprefix
        .text

        .macro STUB name, slot
        .globl _\name
        .def _\name; .scl 2; .type 32; .endef
_\name:
        jmp     dword ptr [_kRuntimeInterface + 4 * \slot]
        .endm

        STUB ReportRuntimeError, 0
        STUB CallDllCommand, 1
        STUB CallExtensionCommand, 2
        STUB CallCoreCommand, 3
        STUB ReadUnitProperty, 4
        STUB WriteUnitProperty, 5
        STUB MemAlloc, 6
        STUB MemRealloc, 7
        STUB MemFree, 8
        STUB EndProgram, 9
        STUB RunMessageLoop, 10
        STUB LoadStartWindow, 11
        STUB OtherHelp, 12

/* uint32_t ProgramCallDll(uint32_t index, const uint32_t* args, uint32_t count)
   Pushes the argument words (the last first), calls CallDllCommand with the index in EAX
   and checks that the DLL function left the stack where it was before the pushes. */
        .globl _ProgramCallDll
        .def _ProgramCallDll; .scl 2; .type 32; .endef
_ProgramCallDll:
        push    ebp
        mov     ebp, esp
        push    esi
        push    edi
        mov     esi, [ebp + 12]
        mov     ecx, [ebp + 16]
        mov     edi, esp                /* the saved stack position */
1:      test    ecx, ecx
        jz      2f
        dec     ecx
        push    dword ptr [esi + 4 * ecx]
        jmp     1b
2:      mov     eax, [ebp + 8]
        call    _CallDllCommand
        cmp     esp, edi
        jne     3f
        pop     edi
        pop     esi
        pop     ebp
        ret
3:      mov     esp, edi
        push    6
        call    _ReportRuntimeError     /* does not return */

/* uint64_t ProgramCallCommand(stub, entry, count, args, TypeTag* resultTag)
   The command entry travels in EAX; the stub's target returns the value in EDX:EAX and the
   result tag in ECX. */
        .globl _ProgramCallCommand
        .def _ProgramCallCommand; .scl 2; .type 32; .endef
_ProgramCallCommand:
        push    ebp
        mov     ebp, esp
        push    dword ptr [ebp + 20]
        push    dword ptr [ebp + 16]
        mov     eax, [ebp + 12]
        call    dword ptr [ebp + 8]
        add     esp, 8
        push    eax
        mov     eax, [ebp + 24]
        test    eax, eax
        jz      1f
        mov     [eax], ecx
1:      pop     eax
        pop     ebp
        ret

/* uint32_t ProgramOtherHelp(uint32_t number, const uint32_t* args, uint32_t count)
   The helpers are cdecl: the stack is restored from the saved position after the call. */
        .globl _ProgramOtherHelp
        .def _ProgramOtherHelp; .scl 2; .type 32; .endef
_ProgramOtherHelp:
        push    ebp
        mov     ebp, esp
        push    esi
        push    edi
        mov     esi, [ebp + 12]
        mov     ecx, [ebp + 16]
        mov     edi, esp
1:      test    ecx, ecx
        jz      2f
        dec     ecx
        push    dword ptr [esi + 4 * ecx]
        jmp     1b
2:      mov     eax, [ebp + 8]
        call    _OtherHelp
        mov     esp, edi
        pop     edi
        pop     esi
        pop     ebp
        ret
