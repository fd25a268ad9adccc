// Process-wide globals of the launcher: written on the start-up thread before GameMain, then only read.
// The ones the hooks read live in patching/HookGlobals.h.
#pragma once

#include "patching/HookGlobals.h"

#include <windows.h>

struct EngineState;

extern HMODULE gExeModule;   // the executable's own module
extern HMODULE gGameModule;  // Game.dll as loaded by static initialisation, or null
extern EngineState* gEngine;
