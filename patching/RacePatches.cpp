// The race extension installer: the table of every write that routes the game's race code to the stubs.
#include "patching/RacePatches.h"

#include "patching/HookGlobals.h"
#include "patch.h"
#include "patching/PatchWriters.h"
#include "patching/RaceStubs.h"
#include "patching/RaceTexts.h"

unsigned int gRaceSkinCount = 0;
unsigned int gRaceKeyCount = 0;

unsigned int gRaceKeyResume = 0;
unsigned int gRaceSkinResume = 0;
unsigned int gRaceSkinSelectResume = 0;
unsigned int gRaceSkinSelectOutResume = 0;
unsigned int gRaceSkinClampResume = 0;
unsigned int gRaceNumberResume = 0;

const char* const gRandomRaceKey = kRandomRaceKey;
const char* const gDefaultRaceSkin = kDefaultRaceSkin;
const char* const gUnknownRaceKey = kUnknownRaceKey;
const char* const gUnknownRaceSkin = kUnknownRaceSkin;

const char* raceKeyAt(unsigned int index) {
  return gRaceKeys[index];
}

const char* raceSkinAt(unsigned int index) {
  return gRaceSkins[index];
}

namespace {

enum class RaceStep : unsigned char {
  Resume,     // a stub's resume address = base + offset; nothing is written into the game
  Code,       // size bytes at offset, one patch call
  Run,        // the filler byte at every offset from offset to last, one patch call each
  SkinCount,  // the low byte of gRaceSkinCount at offset
  Jump,       // patchJump at offset to base + target
  StubJump,   // patchJump at offset to a stub
  StubCall,   // patchCall at offset to a stub
};

struct RaceRow {
  RaceStep step;
  unsigned int offset;     // the site; for Resume, the resume address
  unsigned int last;       // Run: last offset written, inclusive
  unsigned int target;     // Jump: offset of the jump target
  unsigned int size;       // Code: number of bytes
  unsigned char bytes[4];  // Code: the bytes in memory order; Run: bytes[0] is the filler
  unsigned int* resume;    // Resume: the stub's resume address
  void (*stub)();          // StubJump, StubCall
};

constexpr RaceRow resumeAt(unsigned int* resume, unsigned int offset) {
  return {RaceStep::Resume, offset, 0, 0, 0, {0, 0, 0, 0}, resume, nullptr};
}

constexpr RaceRow code(unsigned int offset, unsigned char b0) {
  return {RaceStep::Code, offset, 0, 0, 1, {b0, 0, 0, 0}, nullptr, nullptr};
}

constexpr RaceRow code(unsigned int offset, unsigned char b0, unsigned char b1) {
  return {RaceStep::Code, offset, 0, 0, 2, {b0, b1, 0, 0}, nullptr, nullptr};
}

constexpr RaceRow code(unsigned int offset, unsigned char b0, unsigned char b1, unsigned char b2) {
  return {RaceStep::Code, offset, 0, 0, 3, {b0, b1, b2, 0}, nullptr, nullptr};
}

constexpr RaceRow code(unsigned int offset, unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3) {
  return {RaceStep::Code, offset, 0, 0, 4, {b0, b1, b2, b3}, nullptr, nullptr};
}

constexpr RaceRow run(unsigned int first, unsigned int last, unsigned char filler) {
  return {RaceStep::Run, first, last, 0, 0, {filler, 0, 0, 0}, nullptr, nullptr};
}

constexpr RaceRow skinCount(unsigned int offset) {
  return {RaceStep::SkinCount, offset, 0, 0, 0, {0, 0, 0, 0}, nullptr, nullptr};
}

constexpr RaceRow jump(unsigned int offset, unsigned int target) {
  return {RaceStep::Jump, offset, 0, target, 0, {0, 0, 0, 0}, nullptr, nullptr};
}

constexpr RaceRow stubJump(unsigned int offset, void (*stub)()) {
  return {RaceStep::StubJump, offset, 0, 0, 0, {0, 0, 0, 0}, nullptr, stub};
}

constexpr RaceRow stubCall(unsigned int offset, void (*stub)()) {
  return {RaceStep::StubCall, offset, 0, 0, 0, {0, 0, 0, 0}, nullptr, stub};
}

// Every change to the game module, in the order it is made. A resume address is set before the jump
// to its stub exists. The offsets belong to the one build of Game.dll the launcher is made for.
constexpr RaceRow kRaceRows[] = {
    resumeAt(&gRaceSkinClampResume, 0x31F510),
    stubJump(0x3A2853, raceSkinClampStub),

    resumeAt(&gRaceNumberResume, 0x599BD2),
    code(0x55958F, 0x56),        // push esi
    code(0x559590, 0x8B, 0xF0),  // mov esi, eax
    jump(0x559592, 0x5595BD),    // jmp 0x5595BD (EB 29)
    jump(0x5BED8E, 0x5BEDAB),    // jmp 0x5BEDAB (EB 1B)
    // 0x55926A..0x559287: ECX = [ECX + 0x1A4]; race number in EAX less 100, 0 when EDX is 12; to [ESP + 4]
    code(0x55926A, 0x8B, 0x89),              // mov ecx, [ecx + 0x1A4]
    code(0x55926C, 0xA4, 0x01, 0x00, 0x00),  //   (its operand)
    code(0x559270, 0x83, 0xF8, 0x64),        // cmp eax, 100
    code(0x559273, 0x72, 0x03),              // jb 0x559278
    code(0x559275, 0x83, 0xE8, 0x64),        // sub eax, 100
    code(0x559278, 0x83, 0xFA, 0x0C),        // cmp edx, 12
    code(0x55927B, 0x75, 0x02),              // jne 0x55927F
    code(0x55927D, 0x31, 0xC0),              // xor eax, eax
    code(0x55927F, 0x89, 0x44, 0x24, 0x04),  // mov [esp + 4], eax
    jump(0x559283, 0x6130F0),                // jmp 0x6130F0 (E9, long)
    // 0x3A31E2..0x3A322B: ECX less 100 in a new block at 0x3A3212, then the game's test against 0
    code(0x3A31E2, 0xEB, 0x2E),        // jmp 0x3A3212
    code(0x3A31E4, 0x90),              // nop
    code(0x3A31E5, 0x83, 0xF9, 0x00),  // cmp ecx, 0
    code(0x3A31E8, 0x75),              // jne, with the game's own displacement byte
    skinCount(0x3A31F6),               // the game's race count constant
    run(0x3A3210, 0x3A3229, 0x90),     // nop x 26
    code(0x3A322B, 0x8E),
    code(0x3A3210, 0xEB, 0x18),          // jmp 0x3A322A, over the new block
    code(0x3A3212, 0x83, 0xF9, 0x64),    // cmp ecx, 100
    code(0x3A3215, 0x72, 0xCD),          // jb 0x3A31E4
    code(0x3A3217, 0x83, 0xE9, 0x64),    // sub ecx, 100
    code(0x3A321A, 0xEB, 0xC8),          // jmp 0x3A31E4
    stubJump(0x599BCC, raceNumberStub),  // covers 0x599BCC..0x599BD0
    code(0x599BD1, 0x90),                // nop
    run(0x5C0A1B, 0x5C0A20, 0x90),       // nop x 6
    run(0x5C0A25, 0x5C0A29, 0x90),       // nop x 5
    code(0x3C11E5, 0x80),
    code(0x3C11EA, 0x64),
    code(0x3C11B7, 0x8B),
    run(0x3C11B9, 0x3C11BD, 0x90),  // nop x 5
    code(0x5BF4E3, 0x00),

    resumeAt(&gRaceKeyResume, 0x58AA46),
    stubJump(0x58AA02, raceKeyStub),
    resumeAt(&gRaceSkinResume, 0x5A3DB7),
    stubJump(0x5A3D84, raceSkinStub),
    resumeAt(&gRaceSkinSelectResume, 0x31F530),
    resumeAt(&gRaceSkinSelectOutResume, 0x31F619),
    stubJump(0x31F5D3, raceSkinSelectStub),
    stubCall(0x5A0DE5, raceSkinCall),
};

void* at(unsigned int address) {
  return reinterpret_cast<void*>(address);
}

unsigned int addressOf(void (*stub)()) {
  return reinterpret_cast<unsigned int>(stub);
}

// A failed write leaves its site as it was; only a run gives up on its remaining bytes.
void applyRow(const RaceRow& row, unsigned int base) {
  unsigned int site = base + row.offset;
  switch (row.step) {
    case RaceStep::Resume: *row.resume = site; return;
    case RaceStep::Code: patch(at(site), row.bytes, row.size); return;
    case RaceStep::Run:
      for (unsigned int offset = row.offset; offset <= row.last; ++offset) {
        if (!patch(at(base + offset), row.bytes, 1)) return;
      }
      return;
    case RaceStep::SkinCount: {
      // One byte in the game's code; the manifest loader keeps a mod to 255 races.
      unsigned char count = static_cast<unsigned char>(gRaceSkinCount & 0xFF);
      patch(at(site), &count, 1);
      return;
    }
    case RaceStep::Jump: patchJump(site, base + row.target); return;
    case RaceStep::StubJump: patchJump(site, addressOf(row.stub)); return;
    case RaceStep::StubCall: patchCall(site, addressOf(row.stub)); return;
  }
}

}  // namespace

void installRacePatches() {
  gRaceSkinCount = static_cast<unsigned int>(gRaceSkins.size());
  gRaceKeyCount = static_cast<unsigned int>(gRaceKeys.size());
  for (const RaceRow& row : kRaceRows) applyRow(row, gGameBase);
}
