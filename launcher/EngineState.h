// The launcher's one long-lived state: the game module, its redirector, the settings and the mod's data.
#pragma once

#include "CRedirector.h"
#include "json/BoundDocument.h"

#include <windows.h>

#include <vector>

// Allocated zero-filled on the heap by WinMain and never destroyed. Strings point at literals, into the
// manifest document's storage or at heap strings that are never freed: hooks read them while the game runs.
struct EngineState {
  HMODULE gameModule;
  CRedirector redirector;
  BoundDocument settings;  // Corvane.json in the game's folder
  bool showMpqMessage;
  std::vector<const char*> raceSkins;
  std::vector<const char*> raceKeys;
  const char* modName;
  const char* modIcon;
  const char* modVersion;
  char* previewLogo;
  const char* previewInfo;
  bool previewEnabled;

  EngineState();
  // Completes and publishes the races, shows the splash and runs the game; returns when it has ended.
  void launchGame();
};

// Builds the state in zero-filled heap memory; it is never released.
EngineState* createEngineState();
