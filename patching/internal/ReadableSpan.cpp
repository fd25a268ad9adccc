// How many bytes from an address can be read without a fault.
#include "patching/internal/ReadableSpan.h"

#include <windows.h>

namespace {

bool readable(const MEMORY_BASIC_INFORMATION& region) {
  if (region.State != MEM_COMMIT) return false;
  if (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
  const DWORD readableProtections = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                    PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  return (region.Protect & readableProtections) != 0;
}

}  // namespace

size_t readableSpan(const void* address) {
  const char* at = static_cast<const char*>(address);
  MEMORY_BASIC_INFORMATION region;
  if (VirtualQuery(at, &region, sizeof region) == 0 || !readable(region)) return 0;
  void* allocation = region.AllocationBase;
  size_t span = 0;
  for (;;) {
    const char* regionEnd = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    span += regionEnd - at;
    at = regionEnd;
    if (VirtualQuery(at, &region, sizeof region) == 0) break;
    if (region.AllocationBase != allocation || !readable(region)) break;
  }
  return span;
}
