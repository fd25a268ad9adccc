// patch: writes bytes into loaded code or data whatever the page protection.
#include "patch.h"

#include "patching/internal/ProtectionChange.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

bool fail(PatchCode code) {
  SetLastError(code);
  return false;
}

// Makes [from, end) execute-read-write one run of pages of equal protection at a time (this run here,
// the rest by recursion), copies once the whole range is writable, then gives every run back its own
// previous protection, so a range over pages of different protections keeps each page's own.
bool copyThroughProtection(char* from, char* end, void* address, const void* data, unsigned size) {
  if (from == end) {
    std::memcpy(address, data, size);
    return true;
  }
  MEMORY_BASIC_INFORMATION region;
  if (VirtualQuery(from, &region, sizeof region) == 0) return false;
  char* regionEnd = static_cast<char*>(region.BaseAddress) + region.RegionSize;
  char* runEnd = regionEnd < end ? regionEnd : end;
  ProtectionChange writable(from, runEnd - from, PAGE_EXECUTE_READWRITE);
  if (!writable.applied()) return false;
  return copyThroughProtection(runEnd, end, address, data, size);
}

}  // namespace

bool patch(void* address, const void* data, unsigned int size) {
  if (address == nullptr) return fail(kPatchNullAddress);
  uintptr_t start = reinterpret_cast<uintptr_t>(address);
  if (size > UINTPTR_MAX - start) return fail(kPatchProtectionRefused);  // range wraps past the top
  char* from = static_cast<char*>(address);
  if (!copyThroughProtection(from, from + size, address, data, size)) return fail(kPatchProtectionRefused);
  SetLastError(kPatchWritten);
  return true;
}

bool patch(unsigned int address, unsigned int value, unsigned int size) {
  if (size > sizeof value) return fail(kPatchValueTooLong);  // the value has no further bytes
  return patch(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &value, size);
}
