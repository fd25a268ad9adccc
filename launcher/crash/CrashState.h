// What the crash report knows before anything crashes: fixed when it is armed, and added to as the
// launcher loads the mod. Plain static storage, read without locks in a dying process.
#pragma once

#include <windows.h>

const unsigned kRecordedAddons = 64;
const unsigned kRecordedArchives = 64;

struct AddonRecord {
  const char* path;
  HMODULE module;  // null: it did not load
};

struct ArchiveRecord {
  const char* path;
  unsigned priority;
  bool opened;
};

struct CrashState {
  HMODULE launcher;
  HMODULE game;
  HMODULE archiveLibrary;
  DWORD startupThread;
  char gameFolder[MAX_PATH];      // the current folder at start-up, where Crashes\ goes
  char fallbackFolder[MAX_PATH];  // %LOCALAPPDATA%\Corvane\Crashes; empty when there is no such folder
  char windowsFolder[MAX_PATH];   // modules below it are system DLLs
  char windows[96];               // the Windows version, as a line of the report
  const char* modName;            // null: no mod named on the command line
  const char* modFolder;
  AddonRecord addons[kRecordedAddons];
  ArchiveRecord archives[kRecordedArchives];
  // Counts of everything recorded; entries past the arrays' ends are counted, not kept. Each entry is
  // complete before its count goes up.
  volatile LONG addonCount;
  volatile LONG archiveCount;
};

extern CrashState gCrashState;

// The crash being reported.
struct Crash {
  EXCEPTION_POINTERS* pointers;
  DWORD thread;
  SYSTEMTIME time;  // local time
};
