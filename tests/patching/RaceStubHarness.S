/* Test harness for the race stubs: enters a stub with all eight registers chosen and captures them where
   the stub resumes (see RaceStubHarness.h). */

        .intel_syntax noprefix

        .data
        .p2align 2
        .globl _gRaceCapture
_gRaceCapture:                          /* RaceCapture: 8 registers, the exit taken, 4 stack words */
        .space  52
savedEsp:
        .long   0
stubAddress:
        .long   0

        .text
        .globl _enterRaceStub

/* void enterRaceStub(void (*stub)(), unsigned int byCall, const RaceRegisters* in)
   Loads every register from *in (ESP included, which must point into a buffer of the caller's stack with
   room below it), then jumps to the stub, or calls it when byCall is not 0. Returns once a capture
   entry has run. */
        .p2align 4
_enterRaceStub:
        push    ebp
        push    ebx
        push    esi
        push    edi
        mov     eax, [esp + 20]
        mov     [stubAddress], eax
        mov     edx, [esp + 24]
        mov     esi, [esp + 28]
        mov     [savedEsp], esp
        mov     edi, [esi + 12]         /* the chosen ESP */
        sub     edi, 32
        mov     esp, edi
        mov     ecx, 8
        cld
        rep movsd                       /* the registers in popad order, just below the chosen ESP */
        test    edx, edx
        jnz     1f
        popad                           /* every register but ESP, which ends at the chosen value */
        jmp     dword ptr [stubAddress]
1:      popad
        call    dword ptr [stubAddress]
        mov     dword ptr [_gRaceCapture + 32], 7
        jmp     captureAll

/* One entry per resume address; each records which one the stub took (1 to 6) without touching a
   register. */
        .macro  capture name, exit
        .globl  _\name
_\name:
        mov     dword ptr [_gRaceCapture + 32], \exit
        jmp     captureAll
        .endm
        capture captureKeyResume, 1
        capture captureSkinResume, 2
        capture captureSkinSelectResume, 3
        capture captureSkinSelectOutResume, 4
        capture captureSkinClampResume, 5
        capture captureNumberResume, 6

captureAll:
        mov     [_gRaceCapture + 0], edi
        mov     [_gRaceCapture + 4], esi
        mov     [_gRaceCapture + 8], ebp
        mov     [_gRaceCapture + 12], esp
        mov     [_gRaceCapture + 16], ebx
        mov     [_gRaceCapture + 20], edx
        mov     [_gRaceCapture + 24], ecx
        mov     [_gRaceCapture + 28], eax
        mov     esi, esp
        mov     edi, offset _gRaceCapture + 36
        mov     ecx, 4
        cld
        rep movsd                       /* the top four stack words */
        mov     esp, [savedEsp]
        pop     edi
        pop     esi
        pop     ebx
        pop     ebp
        ret
