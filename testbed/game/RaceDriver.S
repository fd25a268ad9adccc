/* The race harness: enters a game code site, catches the registers where it comes out. */

/* raceRun enters a site as the game's own code would, by a jump with the registers set;
   raceCapture, called from every capture point of GameImage.S, records what it sees and unwinds to
   raceRun's caller. Layouts are RaceEntry and RaceExit of RaceDriver.h. */

        .intel_syntax noprefix

        .bss
        .p2align 2
        .globl _gRaceSeen
_gRaceSeen:      .space 64              /* RaceExit */
raceDriverEsp:   .space 4               /* raceRun's stack pointer after saving its registers */
raceTarget:      .space 4

        .text
/* void raceRun(const RaceEntry* entry), cdecl. */
        .globl _raceRun
_raceRun:
        push ebp
        push ebx
        push esi
        push edi
        mov eax, [esp + 20]
        mov [raceDriverEsp], esp
        push dword ptr [eax + 44]               /* frame[3] ... frame[0] */
        push dword ptr [eax + 40]
        push dword ptr [eax + 36]
        push dword ptr [eax + 32]
        mov [_gRaceSeen + 36], esp              /* entryEsp */
        mov ecx, [eax + 0]
        mov [raceTarget], ecx
        mov ecx, [eax + 8]
        mov edx, [eax + 12]
        mov ebx, [eax + 16]
        mov esi, [eax + 20]
        mov edi, [eax + 24]
        mov ebp, [eax + 28]
        mov eax, [eax + 4]
        jmp dword ptr [raceTarget]

/* Reached by "call _raceCapture" at a capture point: takes its own return address off the stack
   first, so everything below is the stack exactly as the game's code left it. */
        .globl _raceCapture
_raceCapture:
        pop dword ptr [_gRaceSeen + 0]
        mov [_gRaceSeen + 4], eax
        mov [_gRaceSeen + 8], ecx
        mov [_gRaceSeen + 12], edx
        mov [_gRaceSeen + 16], ebx
        mov [_gRaceSeen + 20], esi
        mov [_gRaceSeen + 24], edi
        mov [_gRaceSeen + 28], ebp
        mov [_gRaceSeen + 32], esp
        mov eax, [esp + 0]
        mov [_gRaceSeen + 40], eax
        mov eax, [esp + 4]
        mov [_gRaceSeen + 44], eax
        mov eax, [esp + 8]
        mov [_gRaceSeen + 48], eax
        mov eax, [esp + 12]
        mov [_gRaceSeen + 52], eax
        mov eax, [esp + 16]
        mov [_gRaceSeen + 56], eax
        mov eax, [esp + 20]
        mov [_gRaceSeen + 60], eax
        mov esp, [raceDriverEsp]
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret
