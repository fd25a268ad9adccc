// Memory pages in chosen states for the patching tests.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

const DWORD kReservedOnly = 0;  // a page protection for Page: reserved and never committed

// count committed private pages with the given protection, filled with fill first, or reserved ones;
// released on exit.
class Page {
public:
  Page(DWORD protection, unsigned char fill, size_t count = 1);
  ~Page();
  // Takes the storage of page index back, leaving it reserved: no protection change can reach it.
  void decommit(size_t index);
  char* at;
};

const size_t kPageSize = 0x1000;

const uint32_t kFakeGameSize = 0x620000;  // covers the highest site the launcher writes, 0x5C0A29
const uint8_t kFakeGameFill = 0xCC;

// A fake game module: kFakeGameSize bytes of kFakeGameFill at base, execute-read, and optionally one
// reserved page that is not committed, ending at base + holeEnd; released on exit.
class FakeGame {
public:
  explicit FakeGame(uint32_t holeEnd = 0);
  ~FakeGame();
  FakeGame(const FakeGame&) = delete;
  FakeGame& operator=(const FakeGame&) = delete;
  // Offsets (outside the hole) where the image differs from want, as text, at most 20 of them.
  std::string differences(const Bytes& want) const;

  uint8_t* memory = nullptr;
  uint32_t base = 0;
  uint32_t hole = 0;  // address of the uncommitted page, 0 when there is none
};

// An address of data or code as the 32-bit number that patches and hooks take.
inline uint32_t addressOf(const void* at) {
  return reinterpret_cast<uint32_t>(at);
}
inline uint32_t addressOf(void (*code)()) {
  return reinterpret_cast<uint32_t>(code);
}
// A call (E8) or long jump (E9) at site to target: the opcode and its rel32, little-endian.
Bytes relativeBranch(uint8_t opcode, uint32_t site, uint32_t target);
// The address of a page that was committed and then released.
char* freedPage();
// The current protection of the page at address.
DWORD protectionOf(const void* address);
// Gives the page at address that protection (a failure of the test when it cannot).
void setProtection(void* address, DWORD protection);
// size bytes at address, read even from a no-access or execute-only page (made readable for the copy).
Bytes bytesAt(const void* address, size_t size);
// Fills [address, address + size) with the bytes, whatever the page's protection.
void putBytes(void* address, const Bytes& bytes);

// "true 0", "false 8": what call returned and the last-error code it left (0xDEAD before the call, so a
// code left unset shows).
template <typename Call>
std::string outcome(Call call) {
  SetLastError(0xDEAD);
  bool result = call();
  return (result ? "true " : "false ") + std::to_string(GetLastError());
}
