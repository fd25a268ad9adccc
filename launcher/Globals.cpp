// Process-wide globals, initialised in this order: the executable's handle, the two race lists, then
// the game module, whose own initialisation and imports are complete before WinMain runs.
#include "launcher/Globals.h"

HMODULE gExeModule = GetModuleHandleA(nullptr);
std::vector<const char*> gRaceSkins;
std::vector<const char*> gRaceKeys;
HMODULE gGameModule = LoadLibraryA("Game.dll");

DWORD gGameBase = 0;
const char* gModName = nullptr;
const char* gModIcon = nullptr;
EngineState* gEngine = nullptr;
