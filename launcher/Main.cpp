// The launcher's entry: build the engine state, arm the crash report, load the mod, run the game, end
// with exit code 1.
#include "launcher/EngineState.h"
#include "launcher/Globals.h"
#include "launcher/ModLoader.h"
#include "launcher/crash/CrashReport.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  gEngine = createEngineState();
  if (!gEngine) return 1;
  armCrashReport(gGameModule);
  loadMod();
  return 1;
}
