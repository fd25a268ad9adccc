// One opened MPQ archive: finding the header, reading and checking the tables, name lookups.
#include "Archive.h"

void* allocate(size_t size) {
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
}

void release(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

char* copyText(const char* text) {
  size_t length = lstrlenA(text);
  char* copy = (char*)allocate(length + 1);
  if (copy) CopyMemory(copy, text, length + 1);
  return copy;
}

namespace {

Outcome readAt(HANDLE file, uint64_t offset, void* buffer, uint32_t count) {
  LARGE_INTEGER position;
  position.QuadPart = (LONGLONG)offset;
  if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return {"read error", GetLastError()};
  DWORD got = 0;
  if (!::ReadFile(file, buffer, count, &got, nullptr)) return {"read error", GetLastError()};
  if (got != count) return {"read error", ERROR_HANDLE_EOF};
  return outcomeOk;
}

// The first version 1 header at a multiple of 512 bytes, as the format allows a prefix before it.
Outcome findHeader(HANDLE file, uint64_t fileLength, uint64_t* base, MpqHeader* header) {
  for (uint64_t at = 0; at + sizeof(MpqHeader) <= fileLength; at += mpqHeaderAlignment) {
    Outcome read = readAt(file, at, header, sizeof(MpqHeader));
    if (read.why) return read;
    if (header->signature[0] == mpqSignature[0] && header->signature[1] == mpqSignature[1] &&
        header->signature[2] == mpqSignature[2] && header->signature[3] == mpqSignature[3]) {
      *base = at;
      return outcomeOk;
    }
  }
  return {"no MPQ header", ERROR_BAD_FORMAT};
}

Outcome checkHeader(const MpqHeader& header, uint64_t length) {
  if (header.headerSize < mpqHeaderSize) return {"bad header size", ERROR_BAD_FORMAT};
  if (header.formatVersion != 0) return {"unsupported format version", ERROR_BAD_FORMAT};
  uint32_t hashes = header.hashTableEntries;
  if (hashes == 0 || (hashes & (hashes - 1)) != 0) return {"hash table size not a power of two", ERROR_BAD_FORMAT};
  if ((uint64_t)header.hashTableOffset + (uint64_t)hashes * sizeof(MpqHashEntry) > length)
    return {"hash table out of bounds", ERROR_BAD_FORMAT};
  if ((uint64_t)header.blockTableOffset + (uint64_t)header.blockTableEntries * sizeof(MpqBlockEntry) > length)
    return {"block table out of bounds", ERROR_BAD_FORMAT};
  return outcomeOk;
}

Outcome readTable(Archive* archive, uint32_t offset, uint32_t count, const char* keyName, void** table) {
  uint32_t bytes = count * 16;
  *table = allocate(bytes);
  if (!*table) return {"out of memory", ERROR_NOT_ENOUGH_MEMORY};
  Outcome read = readAt(archive->file, archive->base + offset, *table, bytes);
  if (read.why) return read;
  mpqDecrypt((uint32_t*)*table, bytes / 4, mpqHash(keyName, mpqHashFileKey));
  return outcomeOk;
}

}  // namespace

Outcome openArchiveFile(const char* path, Archive** result) {
  *result = nullptr;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {"cannot open file", GetLastError()};

  Archive* archive = (Archive*)allocate(sizeof(Archive));
  if (!archive) {
    CloseHandle(file);
    return {"out of memory", ERROR_NOT_ENOUGH_MEMORY};
  }
  archive->file = file;

  LARGE_INTEGER fileLength;
  MpqHeader header;
  Outcome outcome = outcomeOk;
  if (!GetFileSizeEx(file, &fileLength)) outcome = {"read error", GetLastError()};
  if (!outcome.why) outcome = findHeader(file, (uint64_t)fileLength.QuadPart, &archive->base, &header);
  if (!outcome.why) {
    archive->length = (uint64_t)fileLength.QuadPart - archive->base;
    outcome = checkHeader(header, archive->length);
  }
  if (!outcome.why) {
    archive->hashCount = header.hashTableEntries;
    outcome = readTable(archive, header.hashTableOffset, archive->hashCount, "(hash table)", (void**)&archive->hashes);
  }
  if (!outcome.why) {
    archive->blockCount = header.blockTableEntries;
    outcome =
        readTable(archive, header.blockTableOffset, archive->blockCount, "(block table)", (void**)&archive->blocks);
  }
  if (!outcome.why) {
    archive->path = copyText(path);
    if (!archive->path) outcome = {"out of memory", ERROR_NOT_ENOUGH_MEMORY};
  }
  if (outcome.why) {
    destroyArchive(archive);
    return outcome;
  }
  *result = archive;
  return outcomeOk;
}

void destroyArchive(Archive* archive) {
  if (archive->file != INVALID_HANDLE_VALUE && archive->file) CloseHandle(archive->file);
  release(archive->hashes);
  release(archive->blocks);
  release(archive->path);
  release(archive);
}

Outcome findInArchive(Archive* archive, const char* name, LCID locale, Located* located) {
  located->archive = nullptr;
  uint32_t mask = archive->hashCount - 1;
  uint32_t start = mpqHash(name, mpqHashTableIndex) & mask;
  uint32_t nameA = mpqHash(name, mpqHashNameA);
  uint32_t nameB = mpqHash(name, mpqHashNameB);

  const MpqHashEntry* exact = nullptr;
  const MpqHashEntry* neutral = nullptr;
  const MpqHashEntry* any = nullptr;
  for (uint32_t step = 0; step <= mask; ++step) {
    const MpqHashEntry& slot = archive->hashes[(start + step) & mask];
    if (slot.blockIndex == mpqSlotEmpty) break;
    if (slot.blockIndex == mpqSlotDeleted || slot.nameA != nameA || slot.nameB != nameB) continue;
    if (slot.locale == locale && !exact) exact = &slot;
    if (slot.locale == 0 && !neutral) neutral = &slot;
    if (!any) any = &slot;
  }
  const MpqHashEntry* found = exact ? exact : neutral ? neutral : any;
  if (!found) return {"not found", ERROR_FILE_NOT_FOUND};

  located->archive = archive;
  if (found->blockIndex >= archive->blockCount) return {"block index out of bounds", ERROR_FILE_CORRUPT};
  const MpqBlockEntry& block = archive->blocks[found->blockIndex];
  if (!(block.flags & mpqFlagExists)) {
    located->archive = nullptr;
    return {"not found", ERROR_FILE_NOT_FOUND};
  }
  const char* problem = mpqStorageProblem(block);
  if (problem) return {problem, ERROR_NOT_SUPPORTED};
  if ((uint64_t)block.offset + block.storedSize > archive->length) return {"data out of bounds", ERROR_FILE_CORRUPT};
  located->offset = archive->base + block.offset;
  located->size = block.fileSize;
  return outcomeOk;
}

Outcome readArchive(Archive* archive, uint64_t offset, void* buffer, uint32_t count) {
  if (count == 0) return outcomeOk;
  return readAt(archive->file, offset, buffer, count);
}
