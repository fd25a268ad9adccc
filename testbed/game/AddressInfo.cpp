// What a pointer seen by the game points at.
#include "testbed/game/AddressInfo.h"

#include "testbed/game/ReportWriter.h"

#include <cstring>

namespace {
constexpr size_t kMaxText = 200;

// Readable bytes from address to the end of its memory region, or 0.
size_t readableFrom(DWORD address) {
  MEMORY_BASIC_INFORMATION region;
  if (address == 0 || !VirtualQuery((const void*)address, &region, sizeof region)) return 0;
  if (region.State != MEM_COMMIT || (region.Protect & (PAGE_GUARD | PAGE_NOACCESS))) return 0;
  const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                         PAGE_EXECUTE_WRITECOPY;
  if (!(region.Protect & readable)) return 0;
  return (DWORD)region.BaseAddress + region.RegionSize - address;
}
}  // namespace

std::string textAt(DWORD address) {
  size_t available = readableFrom(address);
  if (available == 0) return "?";
  const char* text = (const char*)address;
  size_t length = strnlen(text, available < kMaxText ? available : kMaxText);
  if (length == available || length == kMaxText) return "?";
  return printable(std::string(text, length), kMaxText);
}

std::string sourceOf(DWORD address, HMODULE game) {
  HMODULE module = nullptr;
  DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (address && GetModuleHandleExA(flags, (LPCSTR)address, &module) && module) {
    if (module == game) return "game";
    if (module == GetModuleHandleA(nullptr)) return "exe";
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    const char* name = strrchr(path, '\\');
    return std::string("dll:") + (name ? name + 1 : path);
  }
  return readableFrom(address) ? "heap" : "none";
}
