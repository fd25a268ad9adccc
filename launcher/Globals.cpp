// Process-wide globals, initialised in this order: the executable's handle, then the game module, whose
// own initialisation and imports are complete before WinMain runs.
#include "launcher/Globals.h"

HMODULE gExeModule = GetModuleHandleA(nullptr);
HMODULE gGameModule = LoadLibraryA("Game.dll");

EngineState* gEngine = nullptr;
