// The scripted race runs: every race site and raw block of the game entered with chosen inputs.
#pragma once

#include "testbed/game/ReportWriter.h"
#include "testbed/game/Scene.h"

#include <windows.h>

// race.count=, then one line per case: race.SITE.VALUE and gate.RVA.VALUE (see README.md). Returns the
// races 1..n and then 0 with the key and skin that the key and skin runs read for each.
std::vector<SceneRace> reportRaces(ReportWriter& report, HMODULE game);
