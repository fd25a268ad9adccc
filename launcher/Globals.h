// Process-wide globals of the launcher: written on the start-up thread before GameMain, then only read.
#pragma once

#include <windows.h>

#include <vector>

struct EngineState;

extern HMODULE gExeModule;                  // the executable's own module
extern HMODULE gGameModule;                 // Game.dll as loaded by static initialisation, or null
extern DWORD gGameBase;                     // base address of the game module
extern const char* gModName;                // window title that replaces "warcraft iii"
extern const char* gModIcon;                // icon path, or the name of the launcher's icon resource
extern EngineState* gEngine;
extern std::vector<const char*> gRaceSkins;  // skin name of race number i + 1
extern std::vector<const char*> gRaceKeys;   // race key of race number i + 1
