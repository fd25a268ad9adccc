// AbiCheck.dll: an add-on built the Microsoft way (clang in Microsoft mode, lld-link, no C runtime of
// its own) that binds all 99 names of Corvane.exe at load time and checks them from its initialisation,
// writing one line per check to .\AbiCheck.results.
#include "CJSON_Exp.h"
#include "CRedirector.h"
#include "Checks.h"
#include "Report.h"

// The exported types are allocated by add-ons at these sizes.
static_assert(sizeof(CJSON_Exp) == 4, "CJSON_Exp is one pointer");
static_assert(sizeof(SObject_Exp) == 4, "SObject_Exp is one pointer");
static_assert(sizeof(CRedirector) == 12, "CRedirector is three 32-bit fields");

// Floating-point code compiled the Microsoft way refers to this symbol of the C runtime.
extern "C" int _fltused = 0;

extern "C" BOOL WINAPI addonMain(HINSTANCE self, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  if (!openReport(".\\AbiCheck.results")) return TRUE;
  checkBindings(self);
  checkNumbers();
  checkRegisterContracts();
  checkStorm();
  checkStringUtils();
  checkSafety();
  checkRedirector(self);
  closeReport();
  return TRUE;
}
