// Walking the faulting thread's stack: frame pointers first, a scan for return addresses after them.
#include "launcher/crash/StackTrace.h"

#include "patching/internal/ReadableSpan.h"

#include <cstring>

namespace {

const size_t kChainLength = 256;
const DWORD kScanBytes = 1024 * 1024;

DWORD wordAt(DWORD address) {
  DWORD value;
  memcpy(&value, reinterpret_cast<const void*>(address), 4);
  return value;
}

// True when the bytes before address lie in module's image and end with a call: E8 rel32, or FF /2
// in any of its forms (a register, [reg], [disp32], [reg+disp8], [reg+disp32], and the SIB forms).
bool followsCall(const LoadedModule& module, DWORD address) {
  if (address - module.base < 7 + 0x200) return false;
  const unsigned char* code = reinterpret_cast<const unsigned char*>(address);
  if (code[-5] == 0xE8) return true;
  // The FF /2 whose ModRM byte lies length - 1 bytes back, when its form is that many bytes long.
  auto callOf = [&](int length) {
    unsigned char opcode = code[-length], modrm = code[1 - length];
    if (opcode != 0xFF || (modrm & 0x38) != 0x10) return false;
    unsigned mod = modrm >> 6, rm = modrm & 7;
    switch (length) {
      case 2: return mod == 3 || (mod == 0 && rm != 4 && rm != 5);
      case 3: return (mod == 1 && rm != 4) || (mod == 0 && rm == 4);
      case 4: return mod == 1 && rm == 4;
      case 6: return (mod == 2 && rm != 4) || (mod == 0 && rm == 5);
      default: return mod == 2 && rm == 4;
    }
  };
  return callOf(2) || callOf(3) || callOf(4) || callOf(6) || callOf(7);
}

bool isReturnAddress(const ModuleTable& modules, DWORD address) {
  const LoadedModule* module = modules.find(address);
  return module && ModuleImage(*module).isCode(address - module->base) && followsCall(*module, address);
}

}  // namespace

size_t walkStack(const CONTEXT& context, const ModuleTable& modules, StackFrame* frames, size_t capacity) {
  size_t count = 0;
  if (capacity == 0) return 0;
  frames[count++] = {context.Eip, 0, false};
  DWORD bottom = context.Esp;
  DWORD span = readableSpan(reinterpret_cast<const void*>(bottom));
  DWORD top = bottom + (span < kScanBytes ? span : kScanBytes);

  // The frame-pointer chain: each frame's saved EBP, then its return address, higher up each time.
  DWORD chain[kChainLength];
  size_t links = 0;
  for (DWORD frame = context.Ebp; links < kChainLength && frame >= bottom && frame + 8 <= top && !(frame & 3);) {
    if (!isReturnAddress(modules, wordAt(frame + 4))) break;
    chain[links++] = frame + 4;
    DWORD next = wordAt(frame);
    if (next <= frame) break;
    frame = next;
  }

  size_t link = 0;
  for (DWORD slot = (bottom + 3) & ~3u; slot + 4 <= top && count < capacity; slot += 4) {
    while (link < links && chain[link] < slot) ++link;
    DWORD value = wordAt(slot);
    if (!isReturnAddress(modules, value)) continue;
    frames[count++] = {value, slot, !(link < links && chain[link] == slot)};
  }
  return count;
}

DWORD importSlotCalled(const LoadedModule& caller, DWORD returnAddress) {
  if (returnAddress - caller.base < 6 + 0x200 || returnAddress - caller.base > caller.size) return 0;
  const unsigned char* code = reinterpret_cast<const unsigned char*>(returnAddress);
  DWORD slot = 0;
  if (code[-6] == 0xFF && code[-5] == 0x15) {
    slot = wordAt(returnAddress - 4);
  } else if (code[-5] == 0xE8) {
    DWORD stub = returnAddress + wordAt(returnAddress - 4);
    if (stub - caller.base > caller.size - 6) return 0;
    const unsigned char* jump = reinterpret_cast<const unsigned char*>(stub);
    if (jump[0] != 0xFF || jump[1] != 0x25) return 0;
    slot = wordAt(stub + 2);
  }
  return slot - caller.base < caller.size - 3 ? slot : 0;
}
