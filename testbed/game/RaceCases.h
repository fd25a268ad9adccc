// The scripted race runs: every race site and raw block of the game entered with chosen inputs.
#pragma once

#include "testbed/game/ReportWriter.h"

#include <windows.h>

// race.count=, then one line per case: race.SITE.VALUE and gate.RVA.VALUE (see README.md).
void reportRaces(ReportWriter& report, HMODULE game);
