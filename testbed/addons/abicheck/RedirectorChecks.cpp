// CRedirector on a module built the Microsoft way: null module names stand for the executable, and the
// add-on's own import tables are redirected, from kernel32.dll by name and from Corvane.exe by ordinal.
// (Every last-error code: the redirector's own tests.)
#include "CRedirector.h"
#include "Checks.h"
#include "Report.h"
#include "StringUtils.h"

namespace {

char gTrimmed[] = "replaced";

DWORD WINAPI replacementProcessId() {
  return 0x5A5A5A5A;
}

char* replacementTrim(const char*) {
  return gTrimmed;
}

// The ordinal under which Corvane.exe exports name; 0 if none.
int exportedOrdinal(const char* name) {
  HINSTANCE exe = GetModuleHandleA(nullptr);
  FARPROC byName = GetProcAddress(exe, name);
  for (int ordinal = 1; byName && ordinal <= 99; ++ordinal)
    if (GetProcAddress(exe, MAKEINTRESOURCEA(ordinal)) == byName) return ordinal;
  return 0;
}

// Runs one operation and checks its result and the code it leaves in the last-error value.
void expect(const char* name, bool result, DWORD expectedCode) {
  DWORD code = GetLastError();
  checkTrue(name, result);
  checkNumber("  last error", expectedCode, code);
}

}  // namespace

void checkRedirector(HINSTANCE self) {
  HINSTANCE exe = GetModuleHandleA(nullptr);
  CRedirector r;
  SetLastError(0xDEAD);
  expect("setModule(null name): the executable", r.setModule(static_cast<const char*>(nullptr)), 0);
  checkPointer("setModule(null name) stores Corvane.exe's handle", exe, r.module);
  r.setModule(self);
  SetLastError(0xDEAD);
  expect("setApiModule(kernel32.dll)", r.setApiModule(GetModuleHandleA("kernel32.dll")), 0);
  SetLastError(0xDEAD);
  expect("redirect(name, replacement)",
         r.redirect("GetCurrentProcessId", reinterpret_cast<void*>(replacementProcessId)), 0);
  checkNumber("the add-on's own import now reaches the replacement", 0x5A5A5A5A, GetCurrentProcessId());

  SetLastError(0xDEAD);
  expect("setApiModule(null name): Corvane.exe, which the add-on imports from",
         r.setApiModule(static_cast<const char*>(nullptr)), 0);
  checkPointer("setApiModule(null name) stores Corvane.exe's handle", exe, r.apiModule);
  IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(reinterpret_cast<BYTE*>(exe) +
                                                             reinterpret_cast<IMAGE_DOS_HEADER*>(exe)->e_lfanew);
  DWORD low = reinterpret_cast<DWORD>(exe), high = low + nt->OptionalHeader.SizeOfImage;
  long slots = 0, inside = 0;
  for (DWORD* slot = r.importAddressTable; slot && *slot; ++slot, ++slots) inside += *slot >= low && *slot < high;
  checkNumber("the add-on binds 99 functions of Corvane.exe at load time", 99, slots);
  checkNumber("every one of them lies inside Corvane.exe", 99, inside);

  SetLastError(0xDEAD);
  expect("redirect(ordinal, replacement) of Corvane.exe's trim",
         r.redirect(exportedOrdinal("?trim@StringUtils@@YAPADPBD@Z"), reinterpret_cast<void*>(replacementTrim)), 0);
  char text[] = " t ";
  checkPointer("the add-on's trim import now reaches the replacement", gTrimmed, StringUtils::trim(text));
}
