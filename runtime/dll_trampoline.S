/* CallDllCommand: the runtime interface slot through which program code calls a declared DLL
   command. On entry EAX holds the command index and the stack holds the caller's return
   address with the function's native arguments above it, exactly as the DLL function wants
   them. The trampoline binds the command (first call only) and jumps into the function, so
   the function returns straight to the program with its own result and its own stack clean-up.
   ECX and EDX are kept for the function as well, in case a declaration passes values in them. */
        .intel_syntax noprefix
        .text

        .globl _RtCallDllCommand
        .def _RtCallDllCommand; .scl 2; .type 32; .endef
_RtCallDllCommand:
        push    ecx
        push    edx
        push    eax
        call    _RtResolveDllCommand    /* never returns 0: failure ends the program */
        add     esp, 4
        pop     edx
        pop     ecx
        jmp     eax
