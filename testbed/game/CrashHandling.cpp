// The game's top-level filter and its fault on request.
#include "testbed/game/CrashHandling.h"

#include "testbed/game/Report.h"

#include <windows.h>

extern "C" void gameFaultSite();  // GameImage.S

static HANDLE gReport = INVALID_HANDLE_VALUE;  // opened beforehand: the filter may run on a spent stack

static LONG WINAPI gameFilter(EXCEPTION_POINTERS* fault) {
  char line[] = "crash.filter=XXXXXXXX\n";
  DWORD code = fault->ExceptionRecord->ExceptionCode, written = 0;
  for (int i = 20; i >= 13; --i, code >>= 4) line[i] = "0123456789ABCDEF"[code & 15];
  WriteFile(gReport, line, sizeof line - 1, &written, nullptr);
  return EXCEPTION_EXECUTE_HANDLER;
}

void installGameFilter() {
  gReport = CreateFileA(GameReport::kFileName, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  SetUnhandledExceptionFilter(gameFilter);
  if (GetEnvironmentVariableA("CORVANE_GAME_FAULT", nullptr, 0)) gameFaultSite();
}
