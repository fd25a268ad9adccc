// Memory pages in chosen states for the patching tests.
#include "patching/TestPages.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const size_t kGranularity = 0x10000;  // views and reservations start on this boundary

}  // namespace

Page::Page(DWORD protection, unsigned char fill) {
  at = static_cast<char*>(VirtualAlloc(nullptr, kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (at == nullptr) ADD_FAILURE() << "VirtualAlloc failed: " << GetLastError();
  std::memset(at, fill, kPageSize);
  DWORD previous;
  if (!VirtualProtect(at, kPageSize, protection, &previous)) ADD_FAILURE() << "VirtualProtect failed";
}

Page::~Page() {
  VirtualFree(at, 0, MEM_RELEASE);
}

ReservedPage::ReservedPage() {
  at = static_cast<char*>(VirtualAlloc(nullptr, kPageSize, MEM_RESERVE, PAGE_NOACCESS));
  if (at == nullptr) ADD_FAILURE() << "VirtualAlloc failed: " << GetLastError();
}

ReservedPage::~ReservedPage() {
  VirtualFree(at, 0, MEM_RELEASE);
}

// Finds two free allocation units in a row, then puts a private reservation ending in one committed
// page in the first and the read-only view at the start of the second.
SplitPages::SplitPages(unsigned char fill) : changeable(nullptr), fixed(nullptr), reservation(nullptr), writer(nullptr) {
  section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kPageSize, nullptr);
  writer = static_cast<char*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, kPageSize));
  if (writer == nullptr) {
    ADD_FAILURE() << "no writable view: " << GetLastError();
    return;
  }
  std::memset(writer, fill, kPageSize);
  char* place = static_cast<char*>(VirtualAlloc(nullptr, 2 * kGranularity, MEM_RESERVE, PAGE_NOACCESS));
  VirtualFree(place, 0, MEM_RELEASE);
  reservation = static_cast<char*>(VirtualAlloc(place, kGranularity, MEM_RESERVE, PAGE_NOACCESS));
  changeable = static_cast<char*>(VirtualAlloc(place + kGranularity - kPageSize, kPageSize, MEM_COMMIT, PAGE_READWRITE));
  fixed = static_cast<char*>(MapViewOfFileEx(section, FILE_MAP_READ, 0, 0, kPageSize, place + kGranularity));
  if (reservation != place || changeable == nullptr || fixed != place + kGranularity)
    ADD_FAILURE() << "could not lay out the two pages";
  else
    std::memset(changeable, fill, kPageSize);
}

SplitPages::~SplitPages() {
  if (fixed) UnmapViewOfFile(fixed);
  if (writer) UnmapViewOfFile(writer);
  if (reservation) VirtualFree(reservation, 0, MEM_RELEASE);
  CloseHandle(section);
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
