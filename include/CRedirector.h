// Corvane add-on interface: redirecting a loaded module's imports.
#pragma once

#include <windows.h>

// Replaces the import address table slots through which one loaded module (the target) calls the
// functions of another (the API module). Only the target's calls are diverted.
//
// Every operation but the constructor and the assignments leaves a code in the last-error value:
//   0  success
//   1  setModule: null handle or no loaded module of that name; setApiModule: no target set
//   2  setApiModule: null handle or no loaded module of that name
//   3  setApiModule: the target does not begin with "MZ"
//   4  setApiModule: the target has no "PE" signature
//   5  setApiModule: the target imports nothing from the API module (or has no import directory)
//   6  redirect: the API module exports no such function
//   7  redirect: no import address table selected yet
//   8  redirect: no slot of the selected table holds the function's address
//   9  redirect: the slot's protection could not be changed (nothing written)
class CRedirector {
public:
  HINSTANCE module;           // target module whose imports are changed
  HINSTANCE apiModule;        // module whose functions are replaced
  DWORD* importAddressTable;  // first slot of the target's table for the API module

  CRedirector();
  CRedirector& operator=(const CRedirector& other);
  CRedirector& operator=(CRedirector&& other);
  void __autoclassinit2(unsigned int size);

  bool setModule(HINSTANCE handle);
  bool setModule(const char* name);
  bool setApiModule(HINSTANCE handle);
  bool setApiModule(const char* name);

  bool redirect(const char* name, void* replacement);
  bool redirect(int ordinal, void* replacement);
};
