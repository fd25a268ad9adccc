// CrashTest.dll, built the Microsoft way, crashes as -crash asks, for the crash report's tests. It takes
// the place of the game's import of GetModuleHandleA, which GameMain calls right after installing its
// exception filter, and in that call from the game: "callback" faults writing 0x10; "thread" starts a
// thread that faults reading 0xC; "overflow" spends its stack; "export" passes a bad handle to Corvane's
// SObject_Exp::GetInt; "throw" throws a C++ exception; "caught" throws one and catches it. With "game"
// it asks the game, when loaded, to fault in its own code. -addonfilter load (or later) installs a
// filter of its own when loaded (or in that call) that ends the process without calling the one before.
#include "CRedirector.h"
#include "CmdLine.h"
#include "SObject_Exp.h"

#include <windows.h>

extern "C" int __cdecl strcmp(const char*, const char*);

struct CrashTestError {};
// The vtable of type_info, which Microsoft's C runtime library defines; thrown types point at it.
extern "C" const void* const typeInfoVtable[1] __asm__("??_7type_info@@6B@") = {nullptr};

// Each faults at its first instruction, so that its address is the place the report must name.
extern "C" DWORD WINAPI faultReading(void*);  // a thread's start
extern "C" void faultWriting(), exhaustStack();
asm(".globl _faultReading@4, _faultWriting, _exhaustStack\n"
    "_faultReading@4: movl 0x0C, %eax\n"
    "_faultWriting: movl $0, 0x10\n"
    "_exhaustStack: pushl %eax\n"
    "jmp _exhaustStack\n");
#pragma comment(linker, "/export:faultReading=_faultReading@4 /export:faultWriting=_faultWriting")
#pragma comment(linker, "/export:exhaustStack=_exhaustStack")

namespace {

const char* gMode = "";
const char* gFilterWhen = "";

bool asked(const char* mode) {
  return strcmp(gMode, mode) == 0;
}

LONG WINAPI addonFilter(EXCEPTION_POINTERS*) {
  return EXCEPTION_EXECUTE_HANDLER;
}

HMODULE WINAPI gameGetModuleHandle(const char* name) {
  if (strcmp(gFilterWhen, "later") == 0) SetUnhandledExceptionFilter(addonFilter);
  if (asked("callback")) faultWriting();
  if (asked("overflow")) exhaustStack();
  if (asked("export")) reinterpret_cast<SObject_Exp*>(0x10)->GetInt();
  if (asked("throw")) throw CrashTestError();
  if (asked("thread") &&
      CreateThread(nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(faultReading), nullptr, 0, nullptr))
    for (int slept = 0; slept < 600; ++slept) Sleep(100);  // the crash ends the process
  try {
    if (asked("caught")) throw CrashTestError();
  } catch (const CrashTestError&) {
  }
  return GetModuleHandleA(name);
}

}  // namespace

extern "C" BOOL WINAPI addonMain(HINSTANCE, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  if (const char* mode = CmdLine::GetString("crash", true)) gMode = mode;
  if (const char* when = CmdLine::GetString("addonfilter", true)) gFilterWhen = when;
  if (asked("game")) SetEnvironmentVariableA("CORVANE_GAME_FAULT", "1");
  if (strcmp(gFilterWhen, "load") == 0) SetUnhandledExceptionFilter(addonFilter);
  CRedirector game;
  game.setModule("Game.dll");
  game.setApiModule("kernel32.dll");
  game.redirect("GetModuleHandleA", reinterpret_cast<void*>(&gameGetModuleHandle));
  return TRUE;
}
