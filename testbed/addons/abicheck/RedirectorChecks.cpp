// CRedirector on real modules: the add-on redirects its own imports from kernel32.dll and, by ordinal,
// from Corvane.exe itself, and meets every code of the last-error table.
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

// Runs one operation and checks its result and the code it leaves in the last-error value.
void expect(const char* name, bool result, bool expectedResult, DWORD expectedCode) {
  DWORD code = GetLastError();
  checkTrue(name, result == expectedResult);
  checkNumber("  last error", expectedCode, code);
}

void checkCodes(HINSTANCE self) {
  CRedirector r;
  checkTrue("CRedirector(): all fields null", !r.module && !r.apiModule && !r.importAddressTable);
  SetLastError(0xDEAD);
  expect("setApiModule without a target: code 1", r.setApiModule("kernel32.dll"), false, 1);
  SetLastError(0xDEAD);
  expect("setModule(null handle): code 1", r.setModule(static_cast<HINSTANCE>(nullptr)), false, 1);
  SetLastError(0xDEAD);
  expect("setModule of a module not loaded: code 1", r.setModule("no-such-module.dll"), false, 1);
  SetLastError(0xDEAD);
  expect("setModule(null name): the executable", r.setModule(static_cast<const char*>(nullptr)), true, 0);
  checkPointer("setModule(null name) stores Corvane.exe's handle", GetModuleHandleA(nullptr), r.module);
  SetLastError(0xDEAD);
  expect("setModule(name)", r.setModule("AbiCheck.dll"), true, 0);
  checkPointer("setModule(name) stores the module's handle", self, r.module);
  SetLastError(0xDEAD);
  expect("setApiModule(null handle): code 2", r.setApiModule(static_cast<HINSTANCE>(nullptr)), false, 2);
  SetLastError(0xDEAD);
  expect("setApiModule of a module not loaded: code 2", r.setApiModule("no-such-module.dll"), false, 2);
  SetLastError(0xDEAD);
  expect("redirect before any table is selected: code 7",
         r.redirect("GetCurrentProcessId", reinterpret_cast<void*>(replacementProcessId)), false, 7);
  SetLastError(0xDEAD);
  expect("setApiModule of a module the target does not import: code 5", r.setApiModule("user32.dll"), false, 5);
  checkPointer("a failed setApiModule still records the module", GetModuleHandleA("user32.dll"), r.apiModule);

  SetLastError(0xDEAD);
  expect("setApiModule(handle)", r.setApiModule(GetModuleHandleA("kernel32.dll")), true, 0);
  checkTrue("setApiModule selects a table", r.importAddressTable != nullptr);
  SetLastError(0xDEAD);
  expect("redirect of a name the module does not export: code 6",
         r.redirect("NoSuchExportAnywhere", reinterpret_cast<void*>(replacementProcessId)), false, 6);
  SetLastError(0xDEAD);
  expect("redirect of a function the target does not import: code 8",
         r.redirect("Beep", reinterpret_cast<void*>(replacementProcessId)), false, 8);
  SetLastError(0xDEAD);
  expect("redirect(name, replacement)",
         r.redirect("GetCurrentProcessId", reinterpret_cast<void*>(replacementProcessId)), true, 0);
  checkNumber("the add-on's own import now reaches the replacement", 0x5A5A5A5A, GetCurrentProcessId());
  SetLastError(0xDEAD);
  expect("redirecting the same function twice: code 8",
         r.redirect("GetCurrentProcessId", reinterpret_cast<void*>(replacementProcessId)), false, 8);
  r.setApiModule("user32.dll");
  SetLastError(0xDEAD);
  expect("after a code 5, redirect searches the earlier table: code 8",
         r.redirect("MessageBoxA", reinterpret_cast<void*>(replacementProcessId)), false, 8);

  // Images that are not modules: no "MZ" word, then "MZ" without a "PE" signature.
  alignas(4) static unsigned char image[0x100];
  CRedirector bad;
  bad.setModule(reinterpret_cast<HINSTANCE>(image));
  SetLastError(0xDEAD);
  expect("a target without MZ: code 3", bad.setApiModule("kernel32.dll"), false, 3);
  image[0] = 'M';
  image[1] = 'Z';
  image[0x3C] = 0x40;
  image[0x40] = 'N';
  image[0x41] = 'E';
  SetLastError(0xDEAD);
  expect("a target without PE: code 4", bad.setApiModule("kernel32.dll"), false, 4);
}

void checkOrdinalRedirect(HINSTANCE self) {
  HINSTANCE exe = GetModuleHandleA(nullptr);
  CRedirector r;
  r.setModule(self);
  SetLastError(0xDEAD);
  expect("setApiModule(null name): Corvane.exe, which the add-on imports from",
         r.setApiModule(static_cast<const char*>(nullptr)), true, 0);
  checkPointer("setApiModule(null name) stores Corvane.exe's handle", exe, r.apiModule);
  SetLastError(0xDEAD);
  expect("setApiModule(Corvane.exe): the add-on imports from it", r.setApiModule(exe), true, 0);
  IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(reinterpret_cast<BYTE*>(exe) +
                                                             reinterpret_cast<IMAGE_DOS_HEADER*>(exe)->e_lfanew);
  DWORD low = reinterpret_cast<DWORD>(exe), high = low + nt->OptionalHeader.SizeOfImage;
  long slots = 0, inside = 0;
  for (DWORD* slot = r.importAddressTable; slot && *slot; ++slot, ++slots) inside += *slot >= low && *slot < high;
  checkNumber("the add-on binds 99 functions of Corvane.exe at load time", 99, slots);
  checkNumber("every one of them lies inside Corvane.exe", 99, inside);

  int ordinal = exportedOrdinal("?trim@StringUtils@@YAPADPBD@Z");
  SetLastError(0xDEAD);
  expect("redirect(ordinal, replacement) of Corvane.exe's trim",
         r.redirect(ordinal, reinterpret_cast<void*>(replacementTrim)), true, 0);
  char text[] = " t ";
  checkPointer("the add-on's trim import now reaches the replacement", gTrimmed, StringUtils::trim(text));

  CRedirector copy;
  copy = r;
  checkTrue("CRedirector copy assignment",
            copy.module == self && copy.apiModule == exe && copy.importAddressTable == r.importAddressTable);
  CRedirector moved;
  moved = static_cast<CRedirector&&>(copy);
  checkTrue("CRedirector move assignment", moved.module == self && copy.module == self);
  moved.__autoclassinit2(sizeof moved);
  checkTrue("CRedirector::__autoclassinit2", !moved.module && !moved.apiModule && !moved.importAddressTable);
}

}  // namespace

void checkRedirector(HINSTANCE self) {
  checkCodes(self);
  checkOrdinalRedirect(self);
}
