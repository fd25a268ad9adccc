// Relative jumps and calls written into code through patch.
#include "patching/PatchWriters.h"

#include "patch.h"
#include "patching/internal/BranchEncoding.h"

#include <cstdint>

namespace {

void* at(unsigned int address) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

// The opcode byte first, and its operand only when the opcode went in: each its own patch call.
bool writeBranch(unsigned int site, const uint8_t* opcode, const uint8_t* operand, unsigned int size) {
  if (!patch(at(site), opcode, 1)) return false;
  patch(at(site + 1), operand, size);  // a failed operand leaves the new opcode; not reported
  return true;
}

}  // namespace

bool patchJump(unsigned int site, unsigned int target) {
  if (needsLongJump(site, target)) {
    LongJump jump = encodeLongJump(site, target);
    return writeBranch(site, &jump.opcode, jump.displacement, sizeof jump.displacement);
  }
  ShortJump jump = encodeShortJump(site, target);
  return writeBranch(site, &jump.opcode, &jump.displacement, sizeof jump.displacement);
}

void patchCall(unsigned int site, unsigned int target) {
  NearCall call = encodeCall(site, target);
  writeBranch(site, &call.opcode, call.displacement, sizeof call.displacement);
}
