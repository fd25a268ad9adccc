// Loading the mod named on the command line, then launching the game.
#pragma once

// Reads .\mods\ + mod + "\manifest.json", applies it to gEngine and the globals, and ends with
// EngineState::launchGame, so it returns only after the game has ended.
void loadMod();
