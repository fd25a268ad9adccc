// The launcher's entry: build the engine state, load the mod, run the game, end with exit code 1.
#include "launcher/EngineState.h"
#include "launcher/Globals.h"
#include "launcher/ModLoader.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  gEngine = createEngineState();
  if (gEngine) loadMod();
  return 1;
}
