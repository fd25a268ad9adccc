// Reports the game's code at the launcher's write sites: bytes, branch targets and whether patched.
#pragma once

#include "testbed/game/ReportWriter.h"

#include <windows.h>

// bytes.RVA for every region of GameReport::kRegions, target.RVA for every branch site, then
// patched= (none, all or partial, over the deciding regions, against the module as it was loaded)
// and patched.changed= (the RVAs of the regions that differ, or -).
void reportPatchSites(ReportWriter& report, HMODULE game);
