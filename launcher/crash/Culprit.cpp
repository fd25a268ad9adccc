// Naming the culprit: module roles, and the frames that explain a crash in someone else's code.
#include "launcher/crash/Culprit.h"

#include "launcher/crash/CrashState.h"
#include "launcher/crash/ExceptionText.h"

#include <cstring>

namespace {

bool isAddon(const LoadedModule& module) {
  LONG count = gCrashState.addonCount;
  for (LONG i = 0; i < count && i < static_cast<LONG>(kRecordedAddons); ++i)
    if (reinterpret_cast<DWORD>(gCrashState.addons[i].module) == module.base) return true;
  return false;
}

bool isSystem(const LoadedModule& module) {
  size_t length = strlen(gCrashState.windowsFolder);
  return length && _strnicmp(module.path, gCrashState.windowsFolder, length) == 0 && module.path[length] == '\\';
}

// Frames whose code is somebody's own (an add-on, the game, a DLL they loaded) explain a crash; the
// platform's code does not.
bool explains(ModuleRole role) {
  return role != ModuleRole::system && role != ModuleRole::none;
}

void writeModule(ReportLines& out, const LoadedModule& module) {
  out.text(module.name).text(" (");
  switch (roleOf(&module)) {
    case ModuleRole::addon:
      out.text("an add-on");
      if (gCrashState.modName) out.text(" of the mod ").text(gCrashState.modName);
      break;
    case ModuleRole::game: out.text("the game"); break;
    case ModuleRole::launcher: out.text("Corvane itself"); break;
    case ModuleRole::archiveLibrary: out.text("the game's archive library"); break;
    case ModuleRole::system: out.text("a system DLL"); break;
    default: out.text("a DLL loaded by the game or an add-on"); break;
  }
  out.text(") at ");
}

void writeFrame(ReportLines& out, const ModuleTable& modules, DWORD address) {
  const LoadedModule* module = modules.find(address);
  if (!module) {
    out.text("no module, at 0x").hex(address);
    return;
  }
  writeModule(out, *module);
  writePlace(out, modules, address);
}

// The first frame after index whose role is not one of the two skipped; count when there is none.
size_t nextFrame(const ModuleTable& modules, const StackFrame* frames, size_t count, size_t index, ModuleRole skipped) {
  for (size_t i = index + 1; i < count; ++i) {
    ModuleRole role = roleOf(modules.find(frames[i].address));
    if (role != skipped && explains(role)) return i;
  }
  return count;
}

// For a crash inside Corvane: the add-on (or game) frame that called into it and, when that call went
// through one of Corvane's exports, the export's name as the caller imported it.
void writeCaller(ReportLines& out, const ModuleTable& modules, const StackFrame* frames, size_t count, size_t index,
                 ModuleRole callee) {
  size_t caller = nextFrame(modules, frames, count, index, callee);
  if (caller == count) return;
  const LoadedModule& module = *modules.find(frames[caller].address);
  const LoadedModule* launcher = modules.find(gCrashState.launcher);
  DWORD slot = importSlotCalled(module, frames[caller].address);
  DWORD target = slot ? *reinterpret_cast<const DWORD*>(slot) : 0;
  const char* name = slot ? ModuleImage(module).importName(slot - module.base) : nullptr;
  if (callee == ModuleRole::launcher && name && launcher && target - launcher->base < launcher->size) {
    char readable[128];
    readableName(name, readable, sizeof readable);
    out.text(", in its exported function ").text(readable).text(" (").text(name).text(")");
  }
  out.text(", called by ");
  writeFrame(out, modules, frames[caller].address);
  // The archive library reached through Corvane's wrappers: who called those.
  if (callee == ModuleRole::archiveLibrary && roleOf(&module) == ModuleRole::launcher)
    writeCaller(out, modules, frames, count, caller, ModuleRole::launcher);
}

}  // namespace

ModuleRole roleOf(const LoadedModule* module) {
  if (!module) return ModuleRole::none;
  HMODULE handle = reinterpret_cast<HMODULE>(module->base);
  if (handle == gCrashState.launcher) return ModuleRole::launcher;
  if (handle == gCrashState.game) return ModuleRole::game;
  if (handle == gCrashState.archiveLibrary) return ModuleRole::archiveLibrary;
  if (isAddon(*module)) return ModuleRole::addon;
  return isSystem(*module) ? ModuleRole::system : ModuleRole::other;
}

void writePlace(ReportLines& out, const ModuleTable& modules, DWORD address) {
  const LoadedModule* module = modules.find(address);
  if (!module) {
    out.text("0x").hex(address);
    return;
  }
  out.text(module->name).text("+0x").hex(address - module->base, 1);
}

void writeCulpritLine(ReportLines& out, const ModuleTable& modules, const EXCEPTION_RECORD& record,
                      const StackFrame* frames, size_t count) {
  out.text("The game crashed in ");
  writeFrame(out, modules, frames[0].address);
  out.text(": ");
  describeException(out, record);
  size_t culprit = 0;
  ModuleRole role = roleOf(modules.find(frames[0].address));
  if (!explains(role)) {
    culprit = nextFrame(modules, frames, count, 0, ModuleRole::none);
    if (culprit == count) return;
    out.text(", likely caused by ");
    writeFrame(out, modules, frames[culprit].address);
    role = roleOf(modules.find(frames[culprit].address));
  }
  if (role == ModuleRole::launcher || role == ModuleRole::archiveLibrary)
    writeCaller(out, modules, frames, count, culprit, role);
}
