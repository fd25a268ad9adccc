// Checking one mod in the current folder as the launcher will take it: the manifest read by the
// launcher's own code, the files it names, and the game module the launcher loads.
#pragma once

#include "tools/corvane-check/CheckReport.h"

// Fills report with what the launcher will do with .\mods\ + name + "\" and what it will skip,
// ending with the result line.
void checkMod(const char* name, CheckReport& report);
