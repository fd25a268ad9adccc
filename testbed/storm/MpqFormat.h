// MPQ archive format: the on-disk records, the block flags, name hashing and table decryption.
#pragma once

#include <stdint.h>

#pragma pack(push, 1)
struct MpqHeader {           // version 1 header; every offset counts from the header's own position
  char signature[4];         // "MPQ\x1A"
  uint32_t headerSize;       // 32
  uint32_t archiveSize;      // informative only: bounds are checked against the real file length
  uint16_t formatVersion;    // 0 = version 1
  uint16_t sectorSizeShift;  // sector size = 512 << shift
  uint32_t hashTableOffset;
  uint32_t blockTableOffset;
  uint32_t hashTableEntries;  // a power of two
  uint32_t blockTableEntries;
};

struct MpqHashEntry {  // one slot of the hash table, found by hash type 0 of the name
  uint32_t nameA;      // hash type 1 of the name
  uint32_t nameB;      // hash type 2 of the name
  uint16_t locale;     // 0 = neutral
  uint16_t platform;
  uint32_t blockIndex;  // mpqSlotEmpty ends a search, mpqSlotDeleted is skipped
};

struct MpqBlockEntry {  // where and how one file's bytes are stored
  uint32_t offset;      // from the header
  uint32_t storedSize;
  uint32_t fileSize;
  uint32_t flags;  // mpqFlag...
};
#pragma pack(pop)

static_assert(sizeof(MpqHeader) == 32, "version 1 header is 32 bytes");
static_assert(sizeof(MpqHashEntry) == 16, "hash entry is 16 bytes");
static_assert(sizeof(MpqBlockEntry) == 16, "block entry is 16 bytes");

const char mpqSignature[4] = {'M', 'P', 'Q', 0x1A};
const uint32_t mpqHeaderSize = 32;
const uint32_t mpqHeaderAlignment = 512;  // an archive may start at any multiple of this in its file

const uint32_t mpqSlotEmpty = 0xFFFFFFFF;
const uint32_t mpqSlotDeleted = 0xFFFFFFFE;

const uint32_t mpqFlagImploded = 0x00000100;
const uint32_t mpqFlagCompressed = 0x00000200;
const uint32_t mpqFlagEncrypted = 0x00010000;
const uint32_t mpqFlagFixedKey = 0x00020000;
const uint32_t mpqFlagPatch = 0x00100000;
const uint32_t mpqFlagSingleUnit = 0x01000000;
const uint32_t mpqFlagDeleted = 0x02000000;
const uint32_t mpqFlagSectorCrc = 0x04000000;
const uint32_t mpqFlagExists = 0x80000000;

enum MpqHashType : uint32_t { mpqHashTableIndex = 0, mpqHashNameA = 1, mpqHashNameB = 2, mpqHashFileKey = 3 };

// Hash of a name: ASCII letters compared without regard to case, '/' taken as '\'.
uint32_t mpqHash(const char* name, MpqHashType type);

// Decrypts count 32-bit words in place with the key (the tables use the keys of "(hash table)"
// and "(block table)").
void mpqDecrypt(uint32_t* words, uint32_t count, uint32_t key);

// Why a block cannot be served as its stored bytes, or null when it can: only files stored
// whole (uncompressed, unencrypted, single unit or not) are read; anything else is refused, never misread.
const char* mpqStorageProblem(const MpqBlockEntry& block);
