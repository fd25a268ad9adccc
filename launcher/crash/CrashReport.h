// The crash report: when the process dies of an exception nobody handles, a plain-text report (and a
// minidump beside it) names the module that crashed in words a player can pass on.
#pragma once

#include <windows.h>

// Arms the report unless the command line holds the switch -nocrashreport, and traces which it did.
// Called once, at start-up, before the mod is loaded; without a game module (nothing will run) it does
// nothing.
void armCrashReport(HMODULE gameModule);

// What the launcher loaded for the mod, for the report's account of it (the strings must live until the
// process ends). Nothing is traced or shown.
void recordMod(const char* name, const char* folder);
void recordAddon(const char* path, HMODULE module);
void recordArchive(const char* path, unsigned priority, bool opened);
