// The race extension: stubs and code patches that make the game read the launcher's race lists.
#pragma once

// Reads gGameBase, gRaceSkins and gRaceKeys; called once, before GameMain.
void installRacePatches();
