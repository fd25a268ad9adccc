// x86 encodings of the relative jumps and calls that code patches write.
#include "patching/internal/BranchEncoding.h"

namespace {

const uint8_t kShortJumpOpcode = 0xEB;
const uint8_t kLongJumpOpcode = 0xE9;
const uint8_t kCallOpcode = 0xE8;
const uint32_t kShortJumpMostBack = 121;
const uint32_t kShortJumpMostAhead = 129;

void putLittleEndian(uint8_t (&bytes)[4], uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

uint32_t branchDisplacement(uint32_t site, uint32_t length, uint32_t target) {
  return target - (site + length);
}

bool needsLongJump(uint32_t site, uint32_t target) {
  if (site > target) return site - target > kShortJumpMostBack;
  return target - site > kShortJumpMostAhead;
}

ShortJump encodeShortJump(uint32_t site, uint32_t target) {
  ShortJump jump;
  jump.opcode = kShortJumpOpcode;
  jump.displacement = static_cast<uint8_t>(branchDisplacement(site, sizeof(ShortJump), target));
  return jump;
}

LongJump encodeLongJump(uint32_t site, uint32_t target) {
  LongJump jump;
  jump.opcode = kLongJumpOpcode;
  putLittleEndian(jump.displacement, branchDisplacement(site, sizeof(LongJump), target));
  return jump;
}

NearCall encodeCall(uint32_t site, uint32_t target) {
  NearCall call;
  call.opcode = kCallOpcode;
  putLittleEndian(call.displacement, branchDisplacement(site, sizeof(NearCall), target));
  return call;
}
