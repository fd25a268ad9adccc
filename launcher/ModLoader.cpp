// Applying a mod: its add-ons load first, then its archives open, then its display data and races.
#include "launcher/ModLoader.h"

#include "CmdLine.h"
#include "Storm.h"
#include "StringUtils.h"
#include "json/BoundDocument.h"
#include "launcher/EngineState.h"
#include "launcher/Globals.h"
#include "launcher/ModPlan.h"
#include "launcher/Trace.h"
#include "launcher/crash/CrashReport.h"
#include "patching/LauncherPatches.h"

#include <cstdlib>

static void warnArchiveFailed(const char* name) {
  char* text = StringUtils::strunite(3, "Failed to open ", name, ".mpq");
  MessageBoxA(nullptr, text, "Warning", MB_ICONWARNING | MB_OK);
  free(text);
}

static void loadAddons(const ModPlan& plan) {
  for (const char* path : plan.addonPaths) {
    HMODULE addon = LoadLibraryA(path);
    recordAddon(path, addon);
    trace("addon %s %s", path, addon ? "loaded" : "failed");
  }
}

static void openArchives(const EngineState& state, const ModPlan& plan) {
  for (const ArchivePlan& archive : plan.archives) {
    HANDLE handle = nullptr;
    bool opened = Storm::OpenArchive(archive.path, archive.priority, 0, &handle);
    recordArchive(archive.path, archive.priority, opened);
    trace("archive %s %u %s", archive.path, archive.priority, opened ? "opened" : "failed");
    if (!opened && state.showMpqMessage) warnArchiveFailed(archive.name);
  }
}

static void applyDisplay(EngineState& state, const ModPlan& plan) {
  if (plan.hasName) {
    state.modName = gModName = plan.name;
    trace("name %s", plan.name);
  }
  if (plan.hasIcon) {
    state.modIcon = gModIcon = plan.iconPath;
    trace("icon %s", plan.iconPath);
  }
  if (plan.hasVersion) {
    state.modVersion = plan.version;
    if (state.gameModule) {
      bool written = writeVersionText(reinterpret_cast<DWORD>(state.gameModule), plan.version);
      trace("version %s %s", plan.version, written ? "written" : "failed");
    } else {
      trace("version %s skipped", plan.version);
    }
  }
  if (plan.hasPreview) {
    state.previewEnabled = plan.previewEnabled;
    state.previewLogo = plan.previewLogo;
    state.previewInfo = plan.previewInfo;
  }
  for (size_t i = 0; i < plan.raceSkins.size(); ++i) {
    state.raceSkins.push_back(plan.raceSkins[i]);
    state.raceKeys.push_back(plan.raceKeys[i]);
  }
}

// Applies the manifest at manifestPath; a missing or unreadable one applies nothing.
static void applyManifest(EngineState& state, const char* modFolder, const char* manifestPath) {
  if (!manifestPath) {
    trace("manifest none");
    return;
  }
  // Never released: the plan's strings live in the document's storage.
  BoundDocument manifest(manifestPath, false);
  bool exists = manifest.document.IsExist();
  trace("manifest %s %s", manifestPath, exists ? "opened" : "missing");
  if (exists) {
    ModPlan plan;
    planMod(manifest.document, modFolder, plan);
    loadAddons(plan);
    openArchives(state, plan);
    applyDisplay(state, plan);
  }
}

void loadMod() {
  EngineState& state = *gEngine;
  char* mod = CmdLine::GetString("mod", true);
  char* modFolder = StringUtils::strunite(3, ".\\mods\\", mod, "\\");
  char* manifestPath = StringUtils::strunite(2, modFolder, "manifest.json");
  if (mod) recordMod(mod, modFolder);
  applyManifest(state, modFolder, manifestPath);
  state.launchGame();
}
