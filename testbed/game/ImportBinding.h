// How the game reaches user32 and Storm.dll: through its import table, or (the variants of Game.dll
// that import nothing from one of them) through the same functions resolved at run time.
#pragma once

// Makes every user32 function the game calls usable; false when one could not be found.
bool bindUser32();
// "import" or "lookup".
const char* user32Binding();
// "import" or "lookup", for Storm.dll likewise.
const char* stormBinding();
