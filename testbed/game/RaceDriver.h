// The race harness: enters a game code site with chosen registers, catches where it comes out.
#pragma once

// The code comes out at one of the capture points of GameImage.S, which record registers and stack.

#include <cstddef>
#include <cstdint>

struct RaceRegisters {
  uint32_t eax, ecx, edx, ebx, esi, edi, ebp;
};
static_assert(sizeof(RaceRegisters) == 28, "RaceDriver.S addresses the registers by offset");

// Where and how a run starts. The four frame words are pushed below the harness's own frame, so at
// entry [esp] = frame[0], [esp + 4] = frame[1], and so on.
struct RaceEntry {
  uint32_t address;  // absolute address jumped to
  RaceRegisters in;
  uint32_t frame[4];
};
static_assert(offsetof(RaceEntry, in) == 4 && offsetof(RaceEntry, frame) == 32, "RaceDriver.S");

// What a capture point saw.
struct RaceExit {
  uint32_t returnAddress;  // the capture point's address + 5 (its call returns there)
  RaceRegisters out;
  uint32_t esp;       // stack pointer at the capture point
  uint32_t entryEsp;  // stack pointer when the site was entered
  uint32_t words[6];  // [esp], [esp + 4], ... at the capture point
};
static_assert(offsetof(RaceExit, out) == 4 && offsetof(RaceExit, esp) == 32 && offsetof(RaceExit, entryEsp) == 36 &&
                  offsetof(RaceExit, words) == 40,
              "RaceDriver.S");

extern "C" {
// Jumps to entry->address with the registers and frame of the entry; returns when the code reaches
// a capture point, with the stack balanced and what was seen in gRaceSeen.
void raceRun(const RaceEntry* entry);
extern RaceExit gRaceSeen;
}
