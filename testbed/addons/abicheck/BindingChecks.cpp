// Binding to Corvane.exe at run time: the process's own executable, its export directory as loaded,
// and look-ups by name and by ordinal agreeing for every name.
#include "CJSON_Exp.h"
#include "Checks.h"
#include "Report.h"

#include <string.h>

namespace {

typedef CJSON_Exp J;
typedef SObject_Exp S;

template <typename Member>
const void* code(Member member) {
  const void* address;
  memcpy(&address, &member, sizeof address);
  return address;
}

// How many of the imported names' thunks (jmp [slot]) do not lead between low and high.
template <typename... Thunks>
long boundOutside(DWORD low, DWORD high, Thunks... thunks) {
  const void* const all[] = {thunks...};
  long outside = 0;
  for (const void* thunk : all) {
    const BYTE* code = static_cast<const BYTE*>(thunk);
    DWORD target = code[0] == 0xFF && code[1] == 0x25 ? **reinterpret_cast<DWORD* const*>(code + 2) : 0;
    outside += target < low || target >= high;
  }
  return outside;
}

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
  const DWORD low = reinterpret_cast<DWORD>(exe);
  const DWORD high =
      low + reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(exe)->e_lfanew)
                ->OptionalHeader.SizeOfImage;
  // The document members that no check calls, taken all the same: a Microsoft-built add-on binds every
  // name it takes at load time through Corvane.lib, and this one binds all 99 (RedirectorChecks counts
  // them). What they do is the document tests' to check.
  checkNumber(
      "the document members no check calls bind to Corvane.exe too", 0,
      boundOutside(low, high, code<S& (S::*)(S&)>(&S::operator=), code<S& (S::*)(void*)>(&S::operator=),
                   code<S& (S::*)(const char*)>(&S::operator[]), code<void (J::*)()>(&J::Clear),
                   code<void (J::*)(int)>(&J::Clear), code<void (J::*)(int, int)>(&J::Clear),
                   code<void (S::*)()>(&S::Clear), code<void (S::*)(int)>(&S::Clear),
                   code<void (S::*)(int, int)>(&S::Clear), code<void (S::*)(const char*)>(&S::Clear),
                   code(&J::GetMemberCount), code(&S::GetMemberCount), code(&S::GetName), code(&S::GetString),
                   code(&J::HasMember), code(&S::HasMember), code(&J::IsArray), code(&S::IsArray), code(&S::IsExist),
                   code(&S::IsFloat), code(&S::IsInt), code(&J::IsObject), code(&S::IsObject), code(&S::IsString),
                   code(&J::PushBackArray), code(&S::PushBackArray), code(&J::PushBackBool), code(&S::PushBackBool),
                   code(&S::PushBackDouble), code(&J::PushBackDouble), code(&J::PushBackFloat), code(&S::PushBackFloat),
                   code(&J::PushBackInt), code(&S::PushBackInt), code(&J::PushBackObject), code(&S::PushBackObject),
                   code(&J::PushBackString), code(&S::PushBackString), code(&S::SetArray), code(&J::SetBool),
                   code(&S::SetBool), code(&J::SetDouble), code(&S::SetDouble), code(&J::SetFloat), code(&S::SetFloat),
                   code(&S::SetInt), code(&J::SetObject), code(&S::SetObject), code(&J::SetString), code(&S::SetString),
                   code(&J::__autoclassinit2)));
}
