// The globals the hooks and the race extension read: the launcher writes them on the start-up thread
// before the game runs; afterwards they are only read, from any thread.
#pragma once

#include <windows.h>

#include <vector>

extern DWORD gGameBase;                      // base address of the game module
extern const char* gModName;                 // window title that replaces "warcraft iii"
extern const char* gModIcon;                 // icon path, or the name of the launcher's icon resource
extern std::vector<const char*> gRaceSkins;  // skin name of race number i + 1
extern std::vector<const char*> gRaceKeys;   // race key of race number i + 1
