// Whether an add-on DLL will load: what kind of file it is, and every DLL it imports, looked for as the
// platform's loader looks for it when the launcher loads the add-on by its relative path, followed
// through the DLLs found; every function it imports by name from Corvane.exe or from a DLL found must be
// exported there.
#pragma once

#include "tools/corvane-check/CheckReport.h"

#include <set>
#include <string>

// The modules in the launcher's process before the add-ons load, by their lower-case file names.
std::set<std::string> launcherModules();

// Adds a warning about the add-on at path for every reason it will not load; true when it loads.
// loaded holds the modules in the process (an import of one of them is met whatever folder it came
// from); the add-on joins them when it loads.
bool checkAddonLoads(const std::string& path, std::set<std::string>& loaded, CheckReport& report);
