/* The race stubs: register-level entries that the game's race code is diverted into (see RaceStubs.h). */

/* Win32 C symbols carry a leading underscore. raceKeyAt and raceSkinAt are C functions
   (patching/RaceStubs.h): cdecl, and like any C function they may change EAX, ECX, EDX and the flags,
   and keep EBX, ESI, EDI and EBP.
   An index is in range when it is below the count, compared unsigned: the same test as
   number - 1 <= count - 1 for the non-empty tables the game runs with, and no read at all for an
   empty one. */

        .intel_syntax noprefix
        .text

        .globl _raceKeyStub
        .globl _raceSkinStub
        .globl _raceSkinSelectStub
        .globl _raceSkinClampStub
        .globl _raceSkinCall
        .globl _raceNumberStub

/* In: EAX = race number. Out: ECX = race key; EAX = number - 1 (0 for 0); the incoming ESI pushed;
   ESI = incoming ECX. Continues at gRaceKeyResume. */
        .p2align 4
_raceKeyStub:
        push    esi                     /* the game's own push, covered by the jump */
        mov     esi, ecx
        test    eax, eax
        jz      1f
        dec     eax                     /* race number n names entry n - 1 */
        cmp     eax, dword ptr [_gRaceKeyCount]
        jae     2f
        push    edx
        push    eax                     /* kept across the call */
        push    eax                     /* the argument */
        call    _raceKeyAt
        add     esp, 4
        mov     ecx, eax
        pop     eax
        pop     edx
        jmp     dword ptr [_gRaceKeyResume]
1:      mov     ecx, dword ptr [_gRandomRaceKey]
        jmp     dword ptr [_gRaceKeyResume]
2:      mov     ecx, dword ptr [_gUnknownRaceKey]
        jmp     dword ptr [_gRaceKeyResume]

/* In: EAX = race number, 100 offset allowed. Out: EDX = skin name; EAX = stripped number - 1 (0 for 0);
   ECX = the index when the table was read. Continues at gRaceSkinResume. */
        .p2align 4
_raceSkinStub:
        cmp     eax, 100
        jb      1f
        sub     eax, 100
1:      test    eax, eax
        jz      2f
        dec     eax
        cmp     eax, dword ptr [_gRaceSkinCount]
        jae     3f
        push    eax
        push    eax
        call    _raceSkinAt
        add     esp, 4
        mov     edx, eax
        pop     eax
        mov     ecx, eax
        jmp     dword ptr [_gRaceSkinResume]
2:      mov     edx, dword ptr [_gDefaultRaceSkin]
        jmp     dword ptr [_gRaceSkinResume]
3:      mov     edx, dword ptr [_gUnknownRaceSkin]
        jmp     dword ptr [_gRaceSkinResume]

/* In: EAX = zero-based index. In range: EDX = skin name, continues at gRaceSkinSelectResume.
   Out of range: the incoming ESI pushed, ESI = incoming ECX, continues at gRaceSkinSelectOutResume. */
        .p2align 4
_raceSkinSelectStub:
        cmp     eax, dword ptr [_gRaceSkinCount]
        jae     1f
        push    ecx
        push    eax
        push    eax
        call    _raceSkinAt
        add     esp, 4
        mov     edx, eax
        pop     eax
        pop     ecx
        jmp     dword ptr [_gRaceSkinSelectResume]
1:      push    esi                     /* what the game's own code does on this path */
        mov     esi, ecx
        jmp     dword ptr [_gRaceSkinSelectOutResume]

/* In: EAX = zero-based index. Out: ECX = skin name of that entry, or of entry 0 when out of range.
   Continues at gRaceSkinClampResume. */
        .p2align 4
_raceSkinClampStub:
        push    edx
        push    eax
        cmp     eax, dword ptr [_gRaceSkinCount]
        jb      1f
        xor     eax, eax
1:      push    eax
        call    _raceSkinAt
        add     esp, 4
        mov     ecx, eax
        pop     eax
        pop     edx
        jmp     dword ptr [_gRaceSkinClampResume]

/* Called. In: ECX = race number, no 100 offset. Out: EAX = skin name, "Unknown" for 0 and beyond the
   table; ECX and EDX kept. */
        .p2align 4
_raceSkinCall:
        push    ecx
        push    edx
        lea     eax, [ecx - 1]
        cmp     eax, dword ptr [_gRaceSkinCount]
        jae     1f
        push    eax
        call    _raceSkinAt
        add     esp, 4
        pop     edx
        pop     ecx
        ret
1:      mov     eax, dword ptr [_gUnknownRaceSkin]
        pop     edx
        pop     ecx
        ret

/* In: EAX = race number, 100 offset allowed. Out: EAX without the offset, also pushed; ECX = EBP.
   Continues at gRaceNumberResume. */
        .p2align 4
_raceNumberStub:
        cmp     eax, 100
        jb      1f
        sub     eax, 100
1:      push    eax
        mov     ecx, ebp
        jmp     dword ptr [_gRaceNumberResume]
