// Start-up: the settings file, the import redirections and the launcher's patches in the game module.
#include "launcher/EngineState.h"

#include "launcher/Globals.h"
#include "launcher/ManifestKeys.h"
#include "launcher/Trace.h"
#include "patching/ArchiveHooks.h"
#include "patching/LauncherPatches.h"
#include "patching/WindowHooks.h"
#include "resources/ResourceNames.h"

#include <direct.h>

#include <cstdlib>
#include <new>

static const char kSettingsPath[] = "Corvane.json";
static const char kShowMpqMessage[] = "ShowMpqMessage";

// Redirects one import of the game module and traces the redirector's own result code.
static void redirectImport(CRedirector& redirector, const char* name, void* replacement) {
  redirector.redirect(name, replacement);
  trace("redirect %s %lu", name, GetLastError());
}

static void installWindowHooks(EngineState& state) {
  bool bound = state.redirector.setApiModule(GetModuleHandleA("user32.dll"));
  trace("imports user32.dll %lu", GetLastError());
  if (!bound) return;
  // Set before the hooks go in, so that they never see unset values.
  gModName = state.modName;
  gModIcon = state.modIcon;
  redirectImport(state.redirector, "CreateWindowExA", reinterpret_cast<void*>(&hookCreateWindowExA));
  redirectImport(state.redirector, "SetWindowTextA", reinterpret_cast<void*>(&hookSetWindowTextA));
  redirectImport(state.redirector, "LoadCursorA", reinterpret_cast<void*>(&hookLoadCursorA));
  redirectImport(state.redirector, "LoadImageA", reinterpret_cast<void*>(&hookLoadImageA));
}

static void installArchiveHooks(EngineState& state) {
  bool bound = state.redirector.setApiModule(GetModuleHandleA("Storm.dll"));
  trace("imports Storm.dll %lu", GetLastError());
  if (!bound) return;
  state.redirector.redirect(kFileRequestOrdinal, reinterpret_cast<void*>(&hookFileRequest));
  trace("redirect #%u %lu", static_cast<unsigned>(kFileRequestOrdinal), GetLastError());
  PatchSiteResult results[kLauncherPatchSites];
  installLauncherPatches(gGameBase, results);
  for (const PatchSiteResult& result : results)
    trace("patch 0x%lX %s", result.offset, result.written ? "written" : "failed");
}

EngineState::EngineState() {
  gameModule = gGameModule;
  trace("game %s", gameModule ? "loaded" : "missing");
  settings.open(kSettingsPath, true);
  modName = kManifestKeys[kKeyModName].defaultValue;
  modIcon = CORVANE_ICON;  // the launcher's own icon resource
  previewEnabled = true;
  gGameBase = reinterpret_cast<DWORD>(gameModule);
  _mkdir("Mods");
  // Fails when the game module is missing, and every setApiModule below fails with it.
  redirector.setModule(gameModule);
  installWindowHooks(*this);
  installArchiveHooks(*this);
  // Adds the default only where the key is missing; the file is rewritten at every start.
  CJSON_Exp& file = settings.document;
  file.SetBool(kShowMpqMessage, true, false);
  showMpqMessage = file.HasMember(kShowMpqMessage) && file[kShowMpqMessage].GetBool();
  trace("settings ShowMpqMessage %s", showMpqMessage ? "on" : "off");
}

EngineState* createEngineState() {
  void* memory = calloc(1, sizeof(EngineState));
  if (!memory) return nullptr;
  return new (memory) EngineState();
}
