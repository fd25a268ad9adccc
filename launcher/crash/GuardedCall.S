/* guardedCall: a structured exception frame around one call (GuardedCall.h). Its registration record
   holds, after the platform's two words, the EBP to resume with; the handler resumes at guardFaulted
   with ESP at the record. */
        .intel_syntax noprefix
        .text

        .globl _guardedCall
_guardedCall:
        push ebp
        mov ebp, esp
        push ebx
        push esi
        push edi
        push ebp                                /* record +8: EBP to resume with */
        push offset guardHandler                /* record +4: handler */
        push dword ptr fs:[0]                   /* record +0: next record */
        mov fs:[0], esp
        push dword ptr [ebp + 12]
        call dword ptr [ebp + 8]
        add esp, 4
        mov eax, 1
guardEnd:
        pop dword ptr fs:[0]
        add esp, 8
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret
guardFaulted:
        cld
        xor eax, eax
        jmp guardEnd

/* EXCEPTION_DISPOSITION __cdecl guardHandler(EXCEPTION_RECORD*, void* record, CONTEXT*, void*) */
guardHandler:
        mov eax, [esp + 4]
        test dword ptr [eax + 4], 6             /* EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND */
        jnz 1f
        mov eax, [esp + 12]
        mov ecx, [esp + 8]
        mov [eax + 0xC4], ecx                   /* CONTEXT.Esp: the record */
        mov edx, [ecx + 8]
        mov [eax + 0xB4], edx                   /* CONTEXT.Ebp */
        mov dword ptr [eax + 0xB8], offset guardFaulted  /* CONTEXT.Eip */
        xor eax, eax                            /* ExceptionContinueExecution */
        ret
1:      mov eax, 1                              /* ExceptionContinueSearch */
        ret
