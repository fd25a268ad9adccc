// The hooks' globals (HookGlobals.h), defined here so that the hooks need nothing of the launcher.
#include "patching/HookGlobals.h"

DWORD gGameBase = 0;
const char* gModName = nullptr;
const char* gModIcon = nullptr;
std::vector<const char*> gRaceSkins;
std::vector<const char*> gRaceKeys;
