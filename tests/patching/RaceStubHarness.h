// Test harness for the race stubs: enter a stub with chosen registers, capture them at its exit.
#pragma once

#include <cstddef>
#include <cstdint>

// Memory layout of popad, lowest address first.
struct RaceRegisters {
  uint32_t edi, esi, ebp, esp, ebx, edx, ecx, eax;
};

// How the stub left: which resume address it jumped to, or that it returned from the call.
enum RaceExit : uint32_t {
  ExitKeyResume = 1,
  ExitSkinResume = 2,
  ExitSkinSelectResume = 3,
  ExitSkinSelectOutResume = 4,
  ExitSkinClampResume = 5,
  ExitNumberResume = 6,
  ExitReturned = 7,
};

struct RaceCapture {
  RaceRegisters registers;  // as the stub left them
  uint32_t exit;            // a RaceExit
  uint32_t stack[4];        // the words at ESP and above
};
static_assert(offsetof(RaceCapture, exit) == 32, "RaceStubHarness.S stores the exit at offset 32");
static_assert(sizeof(RaceCapture) == 52, "RaceStubHarness.S reserves 52 bytes");

extern "C" {
extern RaceCapture gRaceCapture;
// Loads all eight registers from *in, then jumps to the stub (or calls it when byCall is not 0).
void enterRaceStub(void (*stub)(), unsigned int byCall, const RaceRegisters* in);
// Resume addresses for the stubs: each captures into gRaceCapture and returns from enterRaceStub.
void captureKeyResume();
void captureSkinResume();
void captureSkinSelectResume();
void captureSkinSelectOutResume();
void captureSkinClampResume();
void captureNumberResume();
}
