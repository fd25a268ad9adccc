// How the game reaches user32 and Storm.dll: its import table, or lookups at run time.
#pragma once

// The variants of Game.dll that import nothing from one of them resolve the same functions by name
// or ordinal instead.

// Makes every user32 function the game calls usable; false when one could not be found.
bool bindUser32();
// "import" or "lookup".
const char* user32Binding();
// "import" or "lookup", for Storm.dll likewise.
const char* stormBinding();
