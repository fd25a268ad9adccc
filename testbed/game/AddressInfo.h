// What a pointer seen by the game points at: a readable text, and the module (or heap) it lies in.
#pragma once

#include <windows.h>

#include <string>

// The NUL-terminated text at address, made printable; "?" when the address is not readable memory
// or no terminator comes within 200 bytes.
std::string textAt(DWORD address);

// "game" (the game module), "exe" (the process's executable), "dll:NAME" (another module, by file
// name), "heap" (readable memory of no module) or "none" (not readable).
std::string sourceOf(DWORD address, HMODULE game);
