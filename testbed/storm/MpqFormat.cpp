// MPQ archive format: the crypt table, name hashing, table decryption and the storage check.
#include "MpqFormat.h"

namespace {

struct CryptTable {
  uint32_t values[0x500];
};

// Five runs of 256 values from the format's fixed seed and generator.
constexpr CryptTable makeCryptTable() {
  CryptTable table{};
  uint32_t seed = 0x00100001;
  for (uint32_t first = 0; first < 0x100; ++first) {
    for (uint32_t index = first; index < 0x500; index += 0x100) {
      seed = (seed * 125 + 3) % 0x2AAAAB;
      uint32_t high = (seed & 0xFFFF) << 16;
      seed = (seed * 125 + 3) % 0x2AAAAB;
      table.values[index] = high | (seed & 0xFFFF);
    }
  }
  return table;
}

constexpr CryptTable gCrypt = makeCryptTable();
static_assert(gCrypt.values[0] == 0x55C636E2, "crypt table starts with the format's first value");

}  // namespace

uint32_t mpqHash(const char* name, MpqHashType type) {
  uint32_t seed1 = 0x7FED7FED;
  uint32_t seed2 = 0xEEEEEEEE;
  for (const unsigned char* p = (const unsigned char*)name; *p; ++p) {
    uint32_t c = *p;
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    if (c == '/') c = '\\';
    seed1 = gCrypt.values[type * 0x100 + c] ^ (seed1 + seed2);
    seed2 = c + seed1 + seed2 + (seed2 << 5) + 3;
  }
  return seed1;
}

void mpqDecrypt(uint32_t* words, uint32_t count, uint32_t key) {
  uint32_t seed = 0xEEEEEEEE;
  for (uint32_t i = 0; i < count; ++i) {
    seed += gCrypt.values[0x400 + (key & 0xFF)];
    uint32_t plain = words[i] ^ (key + seed);
    key = ((~key << 0x15) + 0x11111111) | (key >> 0x0B);
    seed = plain + seed + (seed << 5) + 3;
    words[i] = plain;
  }
}

const char* mpqStorageProblem(const MpqBlockEntry& block) {
  const uint32_t understood = mpqFlagExists | mpqFlagSingleUnit;
  if (block.flags & mpqFlagDeleted) return "deleted";
  if (block.flags & mpqFlagImploded) return "imploded";
  if (block.flags & mpqFlagCompressed) return "compressed";
  if (block.flags & (mpqFlagEncrypted | mpqFlagFixedKey)) return "encrypted";
  if (block.flags & mpqFlagPatch) return "patch file";
  if (block.flags & mpqFlagSectorCrc) return "sector checksums";
  if (block.flags & ~understood) return "unknown flags";
  if (block.storedSize != block.fileSize) return "stored size differs from file size";
  return nullptr;
}
