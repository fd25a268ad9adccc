// A fault that nothing handles ends the test program at once with its code: under Wine the debugger
// would otherwise open a dialog and wait for a click until the test's time limit, a crash seen as a hang.
#include <windows.h>

#include <cstdio>

static LONG WINAPI endOnFault(EXCEPTION_POINTERS* fault) {
  const EXCEPTION_RECORD& record = *fault->ExceptionRecord;
  fprintf(stderr, "unhandled exception 0x%08lX at %p in thread %lu\n", record.ExceptionCode, record.ExceptionAddress,
          GetCurrentThreadId());
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), record.ExceptionCode);
  return EXCEPTION_CONTINUE_SEARCH;
}

// Pulled into every test program by name (tests/CMakeLists.txt), so that it is set before main.
extern "C" const LPTOP_LEVEL_EXCEPTION_FILTER gEndOnFault = SetUnhandledExceptionFilter(endOnFault);
