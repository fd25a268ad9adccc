// Arming the crash report and the top-level exception filter that writes it before the game's own.
//
// The launcher stays the process's top-level filter: the game's SetUnhandledExceptionFilter import (and
// each add-on's) is redirected to a hook that records the filter asked for and returns the one it
// replaces, as the platform would. A crash then writes the report first and runs the recorded filter
// after it. The report is written by the crashed thread itself: other threads of a dying process may be
// suspended, ended already (at exit) or waiting on a lock the crash holds. Where the thread's stack is
// nearly spent (a stack overflow), it switches to a fiber with a stack of its own.
#include "launcher/crash/CrashReport.h"

#include "CRedirector.h"
#include "launcher/Trace.h"
#include "launcher/crash/CrashState.h"
#include "launcher/crash/CrashWriter.h"
#include "launcher/crash/GuardedCall.h"
#include "services/internal/TextScan.h"

#include <cstddef>

CrashState gCrashState;

namespace {

static_assert(offsetof(CONTEXT, Ebp) == 0xB4 && offsetof(CONTEXT, Eip) == 0xB8 && offsetof(CONTEXT, Esp) == 0xC4,
              "GuardedCall.S writes these CONTEXT fields by offset");

const DWORD kStackForReport = 64 * 1024;  // less than this below the filter: write on the fiber
const SIZE_T kFiberStack = 256 * 1024;
const DWORD kWaitForOtherReportMs = 10000;  // a second crashing thread waits this long for the first's report

bool gArmed = false;
LPTOP_LEVEL_EXCEPTION_FILTER volatile gChained = nullptr;  // runs after the report
volatile LONG gClaimed = 0;                                // the first crashing thread writes the report
volatile LONG gFinished = 0;
DWORD gChainingSlot = TLS_OUT_OF_INDEXES;  // set on a thread while it runs the chained filter
Crash gCrash;
LPVOID gReportFiber = nullptr;
LPVOID gCrashedFiber = nullptr;

void CALLBACK reportFiber(void*) {
  for (;;) {
    guardedCall(writeCrashReport, &gCrash);
    SwitchToFiber(gCrashedFiber);
  }
}

// The fiber the thread runs: NT_TIB.FiberData, at fs:0x10 (winnt.h's GetCurrentFiber, without the
// compiler's false warning about it).
LPVOID currentFiber() {
  LPVOID fiber;
  asm("movl %%fs:0x10, %0" : "=r"(fiber));
  return fiber;
}

bool stackHasRoom() {
  MEMORY_BASIC_INFORMATION stack;
  char here;
  if (!VirtualQuery(&here, &stack, sizeof stack)) return false;
  return static_cast<DWORD>(&here - static_cast<char*>(stack.AllocationBase)) > kStackForReport;
}

void report(EXCEPTION_POINTERS* pointers) {
  gCrash.pointers = pointers;
  gCrash.thread = GetCurrentThreadId();
  GetLocalTime(&gCrash.time);
  if (stackHasRoom()) {
    guardedCall(writeCrashReport, &gCrash);
    return;
  }
  if (!gReportFiber) return;
  bool converted = !IsThreadAFiber();
  gCrashedFiber = converted ? ConvertThreadToFiber(nullptr) : currentFiber();
  if (!gCrashedFiber) return;
  SwitchToFiber(gReportFiber);
  if (converted) ConvertFiberToThread();
}

LONG WINAPI crashFilter(EXCEPTION_POINTERS* pointers) {
  // A chained filter that calls the filter it replaced, this one, back: nothing more to do here.
  if (TlsGetValue(gChainingSlot)) return EXCEPTION_CONTINUE_SEARCH;
  if (InterlockedCompareExchange(&gClaimed, 1, 0) == 0) {
    report(pointers);
    gFinished = 1;
  } else {
    // Another thread is writing the report (Sleep, not a wait on an object: nothing here may need
    // another thread to run).
    for (DWORD waited = 0; !gFinished && waited < kWaitForOtherReportMs; waited += 20) Sleep(20);
  }
  LPTOP_LEVEL_EXCEPTION_FILTER next = gChained;
  if (!next) return EXCEPTION_CONTINUE_SEARCH;
  TlsSetValue(gChainingSlot, reinterpret_cast<void*>(1));
  LONG verdict = next(pointers);
  TlsSetValue(gChainingSlot, nullptr);
  return verdict;
}

LPTOP_LEVEL_EXCEPTION_FILTER WINAPI hookSetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
  return reinterpret_cast<LPTOP_LEVEL_EXCEPTION_FILTER>(
      InterlockedExchange(reinterpret_cast<volatile LONG*>(&gChained), reinterpret_cast<LONG>(filter)));
}

// Sends module's calls of SetUnhandledExceptionFilter to the hook; nothing when it imports none.
void redirectFilterImport(HMODULE module) {
  CRedirector redirector;
  if (redirector.setModule(module) && redirector.setApiModule(GetModuleHandleA("kernel32.dll")))
    redirector.redirect("SetUnhandledExceptionFilter", reinterpret_cast<void*>(&hookSetUnhandledExceptionFilter));
}

// A function of a loaded module, or null.
template <typename Function>
Function procAddress(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void describeWindows(char (&text)[96]) {
  // RtlGetVersion tells the true version, whatever the executable's manifest declares.
  OSVERSIONINFOW version = {sizeof version, 0, 0, 0, 0, {0}};
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  auto getVersion = procAddress<LONG(WINAPI*)(OSVERSIONINFOW*)>(ntdll, "RtlGetVersion");
  if (!getVersion || getVersion(&version) != 0) GetVersionExW(&version);
  int length =
      wsprintfA(text, "%lu.%lu build %lu", version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber);
  auto wineVersion = procAddress<const char*(CDECL*)()>(ntdll, "wine_get_version");
  if (wineVersion) wsprintfA(text + length, " (Wine %.40s)", wineVersion());
}

}  // namespace

void armCrashReport(HMODULE gameModule) {
  if (!gameModule) return;
  if (findSwitch(GetCommandLineA(), "nocrashreport")) {
    trace("crash report off");
    return;
  }
  CrashState& state = gCrashState;
  state.launcher = GetModuleHandleA(nullptr);
  state.game = gameModule;
  state.archiveLibrary = GetModuleHandleA("Storm.dll");
  state.startupThread = GetCurrentThreadId();
  GetCurrentDirectoryA(MAX_PATH, state.gameFolder);
  GetWindowsDirectoryA(state.windowsFolder, MAX_PATH);
  char local[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", local, MAX_PATH);
  if (length && length < MAX_PATH - 20) wsprintfA(state.fallbackFolder, "%s\\Corvane\\Crashes", local);
  describeWindows(state.windows);
  if (HMODULE dbghelp = LoadLibraryA("dbghelp.dll")) {
    gMiniDumpWriteDump = procAddress<MiniDumpWriter>(dbghelp, "MiniDumpWriteDump");
    gSymInitialize = procAddress<SymbolInitializer>(dbghelp, "SymInitialize");
  }
  gChainingSlot = TlsAlloc();
  gReportFiber = CreateFiber(kFiberStack, reportFiber, nullptr);
  gChained = SetUnhandledExceptionFilter(crashFilter);
  redirectFilterImport(gameModule);
  gArmed = true;
  trace("crash report armed");
}

void recordMod(const char* name, const char* folder) {
  gCrashState.modName = name;
  gCrashState.modFolder = folder;
}

void recordAddon(const char* path, HMODULE module) {
  LONG index = gCrashState.addonCount;
  if (index < static_cast<LONG>(kRecordedAddons)) gCrashState.addons[index] = {path, module};
  InterlockedIncrement(&gCrashState.addonCount);
  if (!gArmed || !module) return;
  // An add-on whose initialisation put a filter of its own on top runs it after the report; its later
  // calls go through the hook like the game's.
  LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(crashFilter);
  if (previous != crashFilter) gChained = previous;
  redirectFilterImport(module);
}

void recordArchive(const char* path, unsigned priority, bool opened) {
  LONG index = gCrashState.archiveCount;
  if (index < static_cast<LONG>(kRecordedArchives)) gCrashState.archives[index] = {path, priority, opened};
  InterlockedIncrement(&gCrashState.archiveCount);
}
