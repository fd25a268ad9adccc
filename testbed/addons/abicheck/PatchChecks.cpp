// Both patch overloads on the add-on's own read-only data, with their last-error codes.
#include "Checks.h"
#include "Report.h"
#include "patch.h"

#include <string.h>

namespace {

// Read-only data of this module; read back through a volatile pointer so no read is folded.
const unsigned char kReadOnly[8] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};

void readBack(unsigned char* bytes) {
  const volatile unsigned char* source = kReadOnly;
  for (int i = 0; i < 8; ++i) bytes[i] = source[i];
}

DWORD protectionOf(const void* address) {
  MEMORY_BASIC_INFORMATION info;
  return VirtualQuery(address, &info, sizeof info) ? info.Protect : 0;
}

}  // namespace

void checkPatch() {
  unsigned char bytes[8];
  DWORD before = protectionOf(kReadOnly);
  checkNumber("the add-on's constant data is read-only", PAGE_READONLY, before);

  const unsigned char data[3] = {0xA1, 0xA2, 0xA3};
  SetLastError(0xDEAD);
  checkTrue("patch(pointer, data, 3) on read-only data", patch(const_cast<unsigned char*>(kReadOnly), data, 3));
  checkNumber("patch(pointer, data, size): last error 0", 0, GetLastError());
  SetLastError(0xDEAD);
  checkTrue("patch(address, 0x64F883, 3)", patch(reinterpret_cast<unsigned int>(kReadOnly) + 4, 0x64F883, 3));
  checkNumber("patch(address, value, size): last error 0", 0, GetLastError());
  readBack(bytes);
  const unsigned char written[8] = {0xA1, 0xA2, 0xA3, 0x13, 0x83, 0xF8, 0x64, 0x17};
  checkBytes("both overloads wrote exactly their bytes", written, 8, bytes, 8);
  checkNumber("patch puts the protection back", before, protectionOf(kReadOnly));

  SetLastError(0xDEAD);
  checkTrue("patch(null, data, 1) fails", !patch(static_cast<void*>(nullptr), data, 1));
  checkNumber("patch(null, data, 1): last error 1", 1, GetLastError());
  SetLastError(0xDEAD);
  checkTrue("patch(0, value, 1) fails", !patch(0u, 1u, 1u));
  checkNumber("patch(0, value, 1): last error 1", 1, GetLastError());

  void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
  SetLastError(0xDEAD);
  checkTrue("patch on reserved, uncommitted memory fails", !patch(reserved, data, 1));
  checkNumber("patch on uncommitted memory: last error 2", 2, GetLastError());
  VirtualFree(reserved, 0, MEM_RELEASE);

  SetLastError(0xDEAD);
  checkTrue("patch by value with size 5 fails", !patch(reinterpret_cast<unsigned int>(kReadOnly), 0x99u, 5u));
  checkNumber("patch by value with size 5: last error 3", 3, GetLastError());
  readBack(bytes);
  checkBytes("a refused patch writes nothing", written, 8, bytes, 8);
}
