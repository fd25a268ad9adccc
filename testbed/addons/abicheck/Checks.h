// The groups of checks the add-on runs from its initialisation, and what they share.
#pragma once

#include <windows.h>

void checkNumbers();
void checkRegisterContracts();
void checkStorm();
void checkStringUtils();
void checkSafety();
// Last: they redirect the add-on's own imports.
void checkRedirector(HINSTANCE self);
void checkBindings(HINSTANCE self);

// Construction on storage the add-on owns, as add-ons allocate the exported types themselves.
struct Place {};
inline void* operator new(unsigned int, Place, void* where) noexcept {
  return where;
}

// Writes text as the whole content of a file; false when it cannot.
bool writeText(const char* path, const char* text);
