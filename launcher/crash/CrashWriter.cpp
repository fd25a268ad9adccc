// The crash report's files: where they go, what the text holds, and the minidump.
#include "launcher/crash/CrashWriter.h"

#include "Version.h"
#include "launcher/crash/Culprit.h"
#include "launcher/crash/ExceptionText.h"
#include "launcher/crash/LoadedModules.h"
#include "launcher/crash/ReportLines.h"
#include "launcher/crash/StackTrace.h"

#include <cstring>

MiniDumpWriter gMiniDumpWriteDump = nullptr;
SymbolInitializer gSymInitialize = nullptr;

namespace {

const DWORD kTextLimitMs = 5000;  // the text is cut short after this
const unsigned kSameSecond = 99;  // crash-...-2.txt up to crash-...-99.txt when one second has several
const size_t kFramesShown = 48;
const size_t kFramesRead = 1024;

// Static: the stack may be short, and nothing is allocated until the minidump.
ModuleTable gModules;
StackFrame gFrames[kFramesRead];
ReportLines gOut;
char gFolder[MAX_PATH + 16];      // a folder of up to MAX_PATH, then \Crashes
char gStem[sizeof gFolder + 32];  // the report's path without its extension
const size_t kPathSize = sizeof gStem + 8;

// Makes the report's folder and creates the first free crash-YYYYMMDD-HHMMSS[-N].txt in it.
HANDLE createText(const char* folder, const SYSTEMTIME& time) {
  CreateDirectoryA(folder, nullptr);
  for (unsigned n = 1; n <= kSameSecond; ++n) {
    char suffix[8] = "";
    if (n > 1) wsprintfA(suffix, "-%u", n);
    wsprintfA(gStem, "%s\\crash-%04u%02u%02u-%02u%02u%02u%s", folder, time.wYear, time.wMonth, time.wDay, time.wHour,
              time.wMinute, time.wSecond, suffix);
    char path[kPathSize];
    wsprintfA(path, "%s.txt", gStem);
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// The game folder's Crashes\, else the fallback folder (its parent made first); gFolder names the one.
HANDLE openText(const SYSTEMTIME& time, bool& fallback) {
  wsprintfA(gFolder, "%s\\Crashes", gCrashState.gameFolder);
  fallback = false;
  HANDLE file = createText(gFolder, time);
  if (file != INVALID_HANDLE_VALUE || !gCrashState.fallbackFolder[0]) return file;
  fallback = true;
  lstrcpynA(gFolder, gCrashState.fallbackFolder, sizeof gFolder);
  *strrchr(gFolder, '\\') = '\0';
  CreateDirectoryA(gFolder, nullptr);
  lstrcpynA(gFolder, gCrashState.fallbackFolder, sizeof gFolder);
  return createText(gFolder, time);
}

void writeVersion(const LoadedModule& module) {
  DWORD high = 0, low = 0;
  if (!ModuleImage(module).fileVersion(high, low)) {
    gOut.text("no version");
    return;
  }
  gOut.text("version ")
      .number(high >> 16)
      .text(".")
      .number(high & 0xFFFF)
      .text(".")
      .number(low >> 16)
      .text(".")
      .number(low & 0xFFFF);
}

// Seconds since 1970 (UTC), as the linker stamps an image.
void writeTimeStamp(DWORD seconds) {
  if (seconds == 0) {
    gOut.text("no time stamp");
    return;
  }
  ULARGE_INTEGER ticks;
  ticks.QuadPart = (seconds + 11644473600ull) * 10000000ull;
  FILETIME file = {ticks.LowPart, ticks.HighPart};
  SYSTEMTIME time;
  FileTimeToSystemTime(&file, &time);
  gOut.number(time.wYear, 4).text("-").number(time.wMonth, 2).text("-").number(time.wDay, 2).text(" ");
  gOut.number(time.wHour, 2).text(":").number(time.wMinute, 2).text(":").number(time.wSecond, 2).text(" UTC");
}

void writeModuleFacts(const LoadedModule& module) {
  gOut.text(", ");
  writeVersion(module);
  gOut.text(", ");
  writeTimeStamp(ModuleImage(module).timeStamp());
}

void writeRegisters(const CONTEXT& c) {
  gOut.text("Registers: EAX=").hex(c.Eax).text(" EBX=").hex(c.Ebx).text(" ECX=").hex(c.Ecx).text(" EDX=").hex(c.Edx);
  gOut.text(" ESI=").hex(c.Esi).text(" EDI=").hex(c.Edi).text(" EBP=").hex(c.Ebp).text(" ESP=").hex(c.Esp);
  gOut.text(" EIP=").hex(c.Eip).text(" EFLAGS=").hex(c.EFlags).end();
}

void writeStack(size_t count) {
  gOut.text("Stack, the crash first (\"probable\": found by a scan of the stack, not by its frame chain):").end();
  for (size_t i = 0; i < count && i < kFramesShown; ++i) {
    gOut.text("  ").hex(gFrames[i].address).text(" ");
    writePlace(gOut, gModules, gFrames[i].address);
    if (gFrames[i].probable) gOut.text(" probable");
    if (!gOut.end()) return;
  }
  if (count > kFramesShown) gOut.text("  ... ").number(static_cast<DWORD>(count - kFramesShown)).text(" more").end();
}

void writeMod() {
  const CrashState& state = gCrashState;
  if (!state.modName) {
    gOut.text("Mod: none").end();
    return;
  }
  gOut.text("Mod: ").text(state.modName).text(", folder ").text(state.modFolder).end();
  LONG addons = state.addonCount, archives = state.archiveCount;
  for (LONG i = 0; i < addons && i < static_cast<LONG>(kRecordedAddons); ++i) {
    const AddonRecord& addon = state.addons[i];
    const LoadedModule* module = gModules.find(addon.module);
    gOut.text("  add-on ").text(addon.path);
    if (!module) {
      gOut.text(": not loaded").end();
      continue;
    }
    gOut.text(": loaded at ").hex(module->base);
    writeModuleFacts(*module);
    gOut.end();
  }
  for (LONG i = 0; i < archives && i < static_cast<LONG>(kRecordedArchives); ++i) {
    const ArchiveRecord& archive = state.archives[i];
    gOut.text("  archive ").text(archive.path).text(": priority ").number(archive.priority);
    gOut.text(archive.opened ? ", opened" : ", failed to open").end();
  }
  if (addons > static_cast<LONG>(kRecordedAddons) || archives > static_cast<LONG>(kRecordedArchives))
    gOut.text("  (").number(addons).text(" add-ons and ").number(archives).text(" archives in all)").end();
}

void writeModules() {
  gOut.text("Modules (base, size, version, time stamp, path):").end();
  for (size_t i = 0; i < gModules.count(); ++i) {
    const LoadedModule& module = gModules[i];
    gOut.text("  ").hex(module.base).text(" ").hex(module.size);
    writeModuleFacts(module);
    gOut.text(", ").text(module.path);
    if (!gOut.end()) return;
  }
}

void writeText(const Crash& crash, bool fallback) {
  const EXCEPTION_RECORD& record = *crash.pointers->ExceptionRecord;
  const CONTEXT& context = *crash.pointers->ContextRecord;
  gModules.snapshot();
  size_t frames = walkStack(context, gModules, gFrames, kFramesRead);
  if (fallback) {
    gOut.text("This report is in ").text(gFolder).text(" because the game folder ").text(gCrashState.gameFolder);
    gOut.text(" cannot be written.").end();
  }
  writeCulpritLine(gOut, gModules, record, gFrames, frames);
  gOut.end();
  gOut.end();
  const SYSTEMTIME& t = crash.time;
  gOut.text("Time: ").number(t.wYear, 4).text("-").number(t.wMonth, 2).text("-").number(t.wDay, 2).text(" ");
  gOut.number(t.wHour, 2).text(":").number(t.wMinute, 2).text(":").number(t.wSecond, 2).end();
  gOut.text("Exception: 0x").hex(record.ExceptionCode).text(" ");
  describeException(gOut, record);
  gOut.text(", at ");
  writePlace(gOut, gModules, reinterpret_cast<DWORD>(record.ExceptionAddress));
  gOut.end();
  gOut.text("Thread: ").number(crash.thread);
  gOut.text(crash.thread == gCrashState.startupThread ? " (the start-up thread, which runs the game)"
                                                      : " (not the start-up thread)");
  gOut.end();
  writeRegisters(context);
  gOut.end();
  writeStack(frames);
  gOut.end();
  writeMod();
  gOut.end();
  writeModules();
  gOut.end();
  gOut.text("Corvane: ").text(CORVANE_VERSION_TEXT).end();
  const LoadedModule* game = gModules.find(gCrashState.game);
  gOut.text("Game.dll: ");
  if (game) writeVersion(*game);
  else gOut.text("not loaded");
  gOut.end();
  gOut.text("Command line: ").text(GetCommandLineA()).end();
  gOut.text("Windows: ").text(gCrashState.windows).end();
}

// The minidump beside the text: MiniDumpWriteDump allocates, so it comes last.
void writeDump(const Crash& crash) {
  char path[kPathSize];
  wsprintfA(path, "%s.dmp", gStem);
  const char* name = strrchr(path, '\\') + 1;
  if (!gMiniDumpWriteDump) {
    gOut.text("Minidump: not written, dbghelp.dll is missing").end();
    return;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    gOut.text("Minidump: not written, ")
        .text(name)
        .text(" cannot be created (error ")
        .number(GetLastError())
        .text(")")
        .end();
    return;
  }
  MINIDUMP_EXCEPTION_INFORMATION exception = {crash.thread, crash.pointers, FALSE};
  HANDLE process = GetCurrentProcess();
  DWORD id = GetCurrentProcessId();
  BOOL written = gMiniDumpWriteDump(process, id, file, MiniDumpNormal, &exception, nullptr, nullptr);
  // dbghelp may refuse a process it cannot enumerate on its own (Wine's does where it cannot list its
  // host's modules); a symbol handler made without loading any module lets it write the dump.
  if (!written && gSymInitialize && gSymInitialize(process, nullptr, FALSE)) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    written = gMiniDumpWriteDump(process, id, file, MiniDumpNormal, &exception, nullptr, nullptr);
  }
  DWORD error = written ? 0 : GetLastError();
  CloseHandle(file);
  if (written) {
    gOut.text("Minidump: ").text(name).end();
    return;
  }
  DeleteFileA(path);
  gOut.text("Minidump: not written (error ").number(error).text(")").end();
}

}  // namespace

void writeCrashReport(void* argument) {
  const Crash& crash = *static_cast<const Crash*>(argument);
  bool fallback = false;
  HANDLE file = openText(crash.time, fallback);
  if (file == INVALID_HANDLE_VALUE) return;
  gOut.begin(file, kTextLimitMs);
  writeText(crash, fallback);
  if (gOut.late()) {
    gOut.begin(file, kTextLimitMs);
    gOut.text("(cut short: the report took longer than ").number(kTextLimitMs / 1000).text(" seconds)").end();
  } else {
    gOut.end();
    writeDump(crash);
  }
  CloseHandle(file);
}
