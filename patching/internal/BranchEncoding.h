// x86 encodings of the relative jumps and calls that code patches write.
#pragma once

#include <cstdint>

#pragma pack(push, 1)
struct ShortJump {
  uint8_t opcode;        // EB
  uint8_t displacement;  // rel8: execution continues at site + 2 + rel8 (signed)
};
struct LongJump {
  uint8_t opcode;           // E9
  uint8_t displacement[4];  // rel32, little-endian: execution continues at site + 5 + rel32
};
struct NearCall {
  uint8_t opcode;           // E8
  uint8_t displacement[4];  // rel32, little-endian: calls site + 5 + rel32
};
#pragma pack(pop)

static_assert(sizeof(ShortJump) == 2, "EB rel8 is two bytes");
static_assert(sizeof(LongJump) == 5, "E9 rel32 is five bytes");
static_assert(sizeof(NearCall) == 5, "E8 rel32 is five bytes");

// target - (site + length), modulo 2^32: the operand of a branch of that length at site.
uint32_t branchDisplacement(uint32_t site, uint32_t length, uint32_t target);

// True when a jump from site to target takes the long form: more than 121 bytes back or more than
// 129 bytes ahead (a target equal to the site takes the short form).
bool needsLongJump(uint32_t site, uint32_t target);

ShortJump encodeShortJump(uint32_t site, uint32_t target);  // low byte of the displacement
LongJump encodeLongJump(uint32_t site, uint32_t target);
NearCall encodeCall(uint32_t site, uint32_t target);
