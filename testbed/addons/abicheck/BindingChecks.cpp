// Binding to Corvane.exe at run time: the process's own executable, its export directory as loaded,
// and look-ups by name and by ordinal agreeing for every name.
#include "Checks.h"
#include "Report.h"

#include <string.h>

namespace {

IMAGE_EXPORT_DIRECTORY* exportsOf(HINSTANCE module, BYTE** base) {
  *base = reinterpret_cast<BYTE*>(module);
  IMAGE_NT_HEADERS* nt =
      reinterpret_cast<IMAGE_NT_HEADERS*>(*base + reinterpret_cast<IMAGE_DOS_HEADER*>(module)->e_lfanew);
  DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
  return rva ? reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(*base + rva) : nullptr;
}

}  // namespace

int exportedOrdinal(const char* name) {
  BYTE* base;
  IMAGE_EXPORT_DIRECTORY* exports = exportsOf(GetModuleHandleA(nullptr), &base);
  if (!exports) return 0;
  DWORD* names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
  WORD* ordinals = reinterpret_cast<WORD*>(base + exports->AddressOfNameOrdinals);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    if (strcmp(reinterpret_cast<char*>(base + names[i]), name) == 0) return exports->Base + ordinals[i];
  }
  return 0;
}

void checkBindings(HINSTANCE self) {
  HINSTANCE exe = GetModuleHandleA(nullptr);
  static char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(exe, path, sizeof path);
  checkText("GetModuleHandleA(NULL) is Corvane.exe", "Corvane.exe", length >= 11 ? path + length - 11 : path);
  checkTrue("the add-on is not the executable", self != exe);

  BYTE* base;
  IMAGE_EXPORT_DIRECTORY* exports = exportsOf(exe, &base);
  checkTrue("Corvane.exe has an export directory", exports != nullptr);
  if (!exports) return;
  checkText("the export directory names Corvane.exe", "Corvane.exe", reinterpret_cast<char*>(base + exports->Name));
  checkNumber("ordinal base", 1, exports->Base);
  checkNumber("named entries", 99, exports->NumberOfNames);
  DWORD* names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
  WORD* ordinals = reinterpret_cast<WORD*>(base + exports->AddressOfNameOrdinals);
  long inOrder = 0, agreeing = 0;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    const char* name = reinterpret_cast<char*>(base + names[i]);
    inOrder += ordinals[i] == i && (i == 0 || strcmp(reinterpret_cast<char*>(base + names[i - 1]), name) < 0);
    FARPROC byName = GetProcAddress(exe, name);
    agreeing += byName && byName == GetProcAddress(exe, MAKEINTRESOURCEA(exports->Base + ordinals[i]));
  }
  checkNumber("names in byte order with ordinals 1 to 99", 99, inOrder);
  checkNumber("GetProcAddress by name and by ordinal agree", 99, agreeing);
}
