// The archives open in the archive library, in search order, read back from the stand-in Storm.dll's
// call trace "StormTrace.txt" in the current folder.
#pragma once

#include "testbed/game/Scene.h"

#include <string>
#include <vector>

// The number of lines the trace holds now: at GameMain's start, the launcher's calls.
size_t traceLines();
// The archives this process opened and has not closed, highest priority first (among equal priorities
// the one opened later first); those opened in the first launcherLines lines were the launcher's.
std::vector<SceneArchive> searchList(size_t launcherLines);
