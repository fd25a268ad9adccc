// The stand-in game's own top-level exception filter, installed when GameMain starts as the real
// game's is: it appends "crash.filter=CODE" (8 hex digits) to GameReport.txt and lets the process end.
// With CORVANE_GAME_FAULT set it then faults in its own code, writing to address 8 at Game.dll+0x2000.
#pragma once

void installGameFilter();
