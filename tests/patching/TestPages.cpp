// Memory pages in chosen states for the patching tests.
#include "patching/TestPages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

Page::Page(DWORD protection, unsigned char fill, size_t count) {
  DWORD kind = protection == kReservedOnly ? MEM_RESERVE : MEM_COMMIT | MEM_RESERVE;
  at = static_cast<char*>(VirtualAlloc(nullptr, count * kPageSize, kind, PAGE_READWRITE));
  if (at == nullptr) ADD_FAILURE() << "VirtualAlloc failed: " << GetLastError();
  if (at == nullptr || protection == kReservedOnly) return;
  std::memset(at, fill, count * kPageSize);
  for (size_t i = 0; i < count; ++i) setProtection(at + i * kPageSize, protection);
}

Page::~Page() {
  VirtualFree(at, 0, MEM_RELEASE);
}

void Page::decommit(size_t index) {
  if (!VirtualFree(at + index * kPageSize, kPageSize, MEM_DECOMMIT)) ADD_FAILURE() << "cannot decommit page " << index;
}

FakeGame::FakeGame(uint32_t holeEnd) {
  uint32_t shift = holeEnd == 0 ? 0 : (kPageSize - holeEnd % kPageSize) % kPageSize;
  uint32_t size = (shift + kFakeGameSize + kPageSize - 1) / kPageSize * kPageSize;
  memory = static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  if (memory == nullptr) {
    ADD_FAILURE() << "VirtualAlloc failed: " << GetLastError();
    return;
  }
  std::memset(memory, kFakeGameFill, size);
  DWORD old;
  VirtualProtect(memory, size, PAGE_EXECUTE_READ, &old);
  base = reinterpret_cast<uint32_t>(memory) + shift;
  if (holeEnd != 0) {
    hole = base + holeEnd - kPageSize;
    VirtualFree(reinterpret_cast<void*>(hole), kPageSize, MEM_DECOMMIT);
  }
}

FakeGame::~FakeGame() {
  if (memory != nullptr) VirtualFree(memory, 0, MEM_RELEASE);
}

std::string FakeGame::differences(const Bytes& want) const {
  std::string text;
  int count = 0;
  for (uint32_t offset = 0; offset < kFakeGameSize; ++offset) {
    const uint8_t* at = reinterpret_cast<const uint8_t*>(base + offset);
    if ((hole && base + offset - hole < kPageSize) || *at == want[offset]) continue;
    if (++count <= 20) {
      char line[64];
      std::snprintf(line, sizeof line, "%06X: %02X, want %02X\n", offset, *at, want[offset]);
      text += line;
    }
  }
  if (count > 20) text += std::to_string(count) + " bytes differ in all\n";
  return text;
}

Bytes relativeBranch(uint8_t opcode, uint32_t site, uint32_t target) {
  uint32_t displacement = target - (site + 5);
  return Bytes{opcode, static_cast<uint8_t>(displacement), static_cast<uint8_t>(displacement >> 8),
               static_cast<uint8_t>(displacement >> 16), static_cast<uint8_t>(displacement >> 24)};
}

char* freedPage() {
  char* page = static_cast<char*>(VirtualAlloc(nullptr, kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  VirtualFree(page, 0, MEM_RELEASE);
  return page;
}

DWORD protectionOf(const void* address) {
  MEMORY_BASIC_INFORMATION region;
  if (VirtualQuery(address, &region, sizeof region) == 0) return 0;
  return region.Protect;
}

void setProtection(void* address, DWORD protection) {
  DWORD previous;
  if (!VirtualProtect(address, kPageSize, protection, &previous)) ADD_FAILURE() << "VirtualProtect failed";
}

Bytes bytesAt(const void* address, size_t size) {
  DWORD previous;
  bool raised = (protectionOf(address) & (PAGE_NOACCESS | PAGE_EXECUTE)) != 0 &&
                VirtualProtect(const_cast<void*>(address), size, PAGE_READONLY, &previous);
  const unsigned char* bytes = static_cast<const unsigned char*>(address);
  Bytes copy(bytes, bytes + size);
  if (raised) VirtualProtect(const_cast<void*>(address), size, previous, &previous);
  return copy;
}

void putBytes(void* address, const Bytes& bytes) {
  DWORD previous;
  if (!VirtualProtect(address, bytes.size(), PAGE_EXECUTE_READWRITE, &previous)) {
    ADD_FAILURE() << "cannot make the bytes writable";
    return;
  }
  std::memcpy(address, bytes.data(), bytes.size());
  VirtualProtect(address, bytes.size(), previous, &previous);
  FlushInstructionCache(GetCurrentProcess(), address, bytes.size());
}
