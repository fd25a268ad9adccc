/* The stand-in game's code at the fixed offsets that the launcher patches. */

/* The game's own built-in behaviour (four races), and a capture point wherever that code goes on. */

        .intel_syntax noprefix

/* The linker puts .init input sections first in .text, which starts at RVA 0x1000; nothing else
   in the link has one, so an offset in this section plus 0x1000 is the RVA. */
        .section .init, "xr"

        .macro at rva
        .org \rva - 0x1000, 0xCC
        .endm

/* Each capture point is a five-byte call whose return address tells the harness where the code
   arrived; the harness drops that address again, so the stack is as the code left it. */
        .macro capture
        call _raceCapture
        .endm

/* ---- The fault made on request (CrashHandling.cpp): a write to address 8, at 0x2000. */
        at 0x2000
        .globl _gameFaultSite
_gameFaultSite:
        mov dword ptr ds:[8], 0
        ret

/* ---- Archive opens: BOOL __stdcall gameOpenArchives(ArchiveOpenRequest*). The two calls sit at
   0xE5F0 (ordinal 293) and 0xE5FF (ordinal 266); field offsets are those of ArchiveOpenRequest. */
        at 0xE5D0
        .globl _gameOpenArchives@4
_gameOpenArchives@4:
        push esi
        mov esi, [esp + 8]
        push dword ptr [esi + 32]               /* 266: out handle, flags, priority, path */
        push dword ptr [esi + 28]
        push dword ptr [esi + 24]
        push dword ptr [esi + 20]
        push dword ptr [esi + 16]               /* 293: out handle, flags, priority, path, owner */
        push dword ptr [esi + 12]
        push dword ptr [esi + 8]
        push dword ptr [esi + 4]
        {disp8} push dword ptr [esi + 0]        /* FF 76 00: nine three-byte pushes end at 0xE5F0 */
        at 0xE5F0
        call _StormOpenArchiveEx@20
        mov [esi + 36], eax
        mov dword ptr [esi + 40], 0
        at 0xE5FF
        call _StormOpenArchive@16
        mov [esi + 40], eax
        pop esi
        ret 4

/* ---- Skin of a zero-based index, clamped to entry 0 (entered at 0x3A2853, resumes at 0x31F510);
   skin of an index in range (entered at 0x31F5D3, resumes at 0x31F530, or 0x31F619 when out of
   range after push esi; mov esi, ecx). */
        at 0x31F510
resumeSkinClamp:
        capture
        at 0x31F530
resumeSkinSelect:
        capture
        at 0x31F5D3
        cmp eax, 3                              /* 83 F8 03 */
        ja 1f                                   /* 77 0C */
        mov edx, [gameRaceSkins + eax * 4]
        jmp resumeSkinSelect
1:      push esi
        {load} mov esi, ecx                     /* 8B F1 */
        jmp resumeSkinSelectOut
        at 0x31F619
resumeSkinSelectOut:
        capture

        at 0x3A2853
        cmp eax, 3                              /* 83 F8 03 */
        ja 1f                                   /* 77 xx */
        mov ecx, [gameRaceSkins + eax * 4]
        jmp resumeSkinClamp
1:      mov ecx, [gameRaceSkins]
        jmp resumeSkinClamp

/* ---- Race pick, ECX = race number (0 random, 1 to 4): the game works with the zero-based index
   and a signed "below four"; the launcher turns it into the number itself, strips 100 and asks
   "at most count". Exits: random 0x3A31EC, valid 0x3A3235, invalid 0x3A3230. */
        at 0x3A31E2
        mov eax, ecx                            /* 89 C8        (launcher: EB 2E jmp 0x3A3212) */
        dec ecx                                 /* 49           (launcher: 90) */
        cmp ecx, -1                             /* 83 F9 FF     (launcher: 83 F9 00) */
        jg 1f                                   /* 7F 0A        (launcher: 75, displacement kept) */
        xor edx, edx                            /* the random race: no index */
        capture                                 /* 0x3A31EC */
        at 0x3A31F4
1:      cmp ecx, 4                              /* 83 F9 04: the race count at 0x3A31F6 */
        mov edx, ecx
        jmp 2f                                  /* EB 15 */
        at 0x3A3210
2:      lea eax, [ecx + 1]                      /* 8D 41 01     (launcher: nops and a new block) */
        jmp 3f                                  /* EB 15 */
        at 0x3A322A
3:      {disp32} jl 4f                          /* 0F 8C rel32  (launcher: 8E, jle) */
        capture                                 /* 0x3A3230: not a valid race */
4:      capture                                 /* 0x3A3235: a valid race */

/* ---- Race decode (entered at 0x3C11B7), ends at 0x3C11EB. */
        at 0x3C11B7
        mov eax, ecx                            /* 89 C8        (launcher: 8B C8, mov ecx, eax) */
        and eax, 0xFF                           /* 25 FF000000  (launcher: five nops) */
        jmp 1f                                  /* EB 25 */
        at 0x3C11E5
1:      and eax, 0x7F                           /* 83 E0 7F     (launcher: 80, and al, 0x7F) */
        sub ecx, 10                             /* 83 E9 0A     (launcher: 64, sub ecx, 100) */
        capture                                 /* 0x3C11EB */

/* ---- A start-up check (entered at 0x4E3BF8): zero refused at 0x4E3C03, negative at 0x4E3BFE,
   positive accepted at 0x4E3C08. */
        at 0x4E3BF8
        test eax, eax
        je 2f                                   /* 74 07        (launcher: 90 90) */
        jg 3f                                   /* 7F 0A        (launcher: EB) */
        capture                                 /* 0x4E3BFE */
2:      capture                                 /* 0x4E3C03 */
3:      capture                                 /* 0x4E3C08 */

/* ---- Race slot (entered at 0x55926A with ECX = player record, EAX = race number, EDX = slot
   kind): the game keeps races 0 to 4, stores the race in [esp + 8] and goes on at 0x613100. */
        at 0x55926A
        mov edx, [ecx + 0x1A0]                  /* 8B 91 A0010000 */
        cmp eax, 4                              /* 83 F8 04 */
        jbe 1f                                  /* 76 03 */
        and eax, 0                              /* 83 E0 00 */
1:      cmp edx, 13                             /* 83 FA 0D */
        je 2f                                   /* 74 02 */
        xor ecx, ecx                            /* 31 C9: the record is done with */
2:      mov [esp + 8], eax                      /* 89 44 24 08 */
        {disp32} jmp slotBuiltIn

/* ---- Race swap (entered at 0x55958F). */
        at 0x55958F
        push esi                                /* 56 */
        {load} mov esi, ecx                     /* 8B F1        (launcher: 8B F0) */
        jmp swapBuiltIn                         /* EB 0E        (launcher: EB 29) */
        at 0x5595A2
swapBuiltIn:
        capture
        at 0x5595BD
        capture

/* ---- Race key of a race number (entered at 0x58AA02, resumes at 0x58AA46). */
        at 0x58AA02
        push esi
        {load} mov esi, ecx                     /* 8B F1 */
        test eax, eax
        jz 1f
        dec eax
        cmp eax, 3
        ja 2f
        mov ecx, [gameRaceKeys + eax * 4]
        jmp 3f
1:      mov ecx, offset textRandomKey
        jmp 3f
2:      mov ecx, offset textUnknownKey
        jmp 3f
        at 0x58AA46
3:      capture

/* ---- The version text: the game reads it from the operand of this instruction (0x58BF7F). */
        at 0x58BF7E
        .globl _gameVersionText
_gameVersionText:
        mov eax, offset textVersion
        ret

/* ---- Race number (entered at 0x599BCC): push eax; mov ecx, ebp; resumes at 0x599BD2. */
        at 0x599BCC
        push eax                                /* 50 */
        {load} mov ecx, ebp                     /* 8B CD */
        nop dword ptr [eax]                     /* 0F 1F 00 */
        capture                                 /* 0x599BD2 */

/* ---- A second start-up check (entered at 0x59B3E2): zero refused at 0x59B3F1. */
        at 0x59B3E2
        test eax, eax
        {disp32} je 1f                          /* 0F 84 rel32  (launcher: eight nops with...) */
        xor ecx, ecx                            /* 31 C9        (...these two bytes) */
        capture                                 /* 0x59B3EC */
1:      capture                                 /* 0x59B3F1 */

/* ---- Skin of a race number by call (the call at 0x5A0DE5 returns to 0x5A0DEA). */
        at 0x5A0DE5
        call gameRaceSkinOf
        capture                                 /* 0x5A0DEA */
        at 0x5A0DF0
gameRaceSkinOf:                                 /* ECX = race number; EAX = skin, ECX kept */
        lea eax, [ecx - 1]
        cmp eax, 3
        ja 1f
        mov eax, [gameRaceSkins + eax * 4]
        ret
1:      mov eax, offset textUnknownSkin
        ret

/* ---- Skin of a race number (entered at 0x5A3D84, resumes at 0x5A3DB7). */
        at 0x5A3D84
        cmp eax, 100                            /* 83 F8 64 */
        jb 1f                                   /* 72 03 */
        sub eax, 100
1:      test eax, eax
        jz 2f
        dec eax
        cmp eax, 3
        ja 3f
        mov ecx, eax
        mov edx, [gameRaceSkins + ecx * 4]
        jmp 4f
2:      mov edx, offset textDefaultSkin
        jmp 4f
3:      mov edx, offset textUnknownSkin
        jmp 4f
        at 0x5A3DB7
4:      capture

/* ---- Race limit (entered at 0x5BED8E, AL = index): below four accepted at 0x5BEDAB. */
        at 0x5BED8E
        cmp al, 4                               /* 3C 04        (launcher: EB 1B) */
        jb 1f                                   /* 72 19 */
        capture                                 /* 0x5BED92 */
        at 0x5BEDAB
1:      capture

/* ---- Race cap (entered at 0x5BF4DF): above four refused at 0x5BF4E9, else accepted at 0x5BF4E4. */
        at 0x5BF4DF
        cmp eax, 4
        ja 1f                                   /* 77 05        (launcher: 77 00) */
        capture                                 /* 0x5BF4E4 */
1:      capture                                 /* 0x5BF4E9 */

/* ---- Race count (entered at 0x5C0A18): above four refused at 0x5C0A2F, else accepted at 0x5C0A2A
   with EDX = EAX - 1 and ECX = 4. */
        at 0x5C0A18
        cmp eax, 4
        {disp32} ja 1f                          /* 0F 87 rel32  (launcher: six nops) */
        mov edx, eax                            /* 89 C2 */
        .byte 0xFF, 0xCA                        /* dec edx, in its two-byte form */
        mov ecx, 4                              /* B9 04000000  (launcher: five nops) */
        capture                                 /* 0x5C0A2A */
1:      capture                                 /* 0x5C0A2F */

/* ---- Where the race slot goes on: 0x6130F0 for the launcher's block, 0x613100 for the game's. */
        at 0x6130F0
        capture
        at 0x613100
slotBuiltIn:
        capture

/* Built-in races and texts. */
        .section .rdata, "dr"
        .p2align 2
gameRaceSkins:
        .long textHuman, textOrc, textUndead, textNightElf
gameRaceKeys:
        .long textHumanKey, textOrcKey, textUndeadKey, textNightElfKey
textHuman:       .asciz "Human"
textOrc:         .asciz "Orc"
textUndead:      .asciz "Undead"
textNightElf:    .asciz "NightElf"
textHumanKey:    .asciz "HUMAN"
textOrcKey:      .asciz "ORC"
textUndeadKey:   .asciz "UNDEAD"
textNightElfKey: .asciz "NIGHT_ELF"
textRandomKey:   .asciz "RANDOM"
textUnknownKey:  .asciz "UNKNOWN"
textDefaultSkin: .asciz "Default"
textUnknownSkin: .asciz "Unknown"
textVersion:     .asciz "Warcraft III (Version 1.26a stand-in)"
