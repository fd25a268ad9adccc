// Corvane add-on interface: redirecting a loaded module's imports.
#pragma once

#include <windows.h>

// Replaces the import address table slots through which one loaded module (the target) calls the
// functions of another (the API module). Only the target's calls are diverted.
//
// Every operation but the constructor and the assignments leaves one of these codes in the last-error
// value.
enum RedirectorCode : DWORD {
  kRedirectDone = 0,                   // success
  kRedirectNoModule = 1,               // setModule: null handle or no loaded module of that name;
                                       // setApiModule: no target set
  kRedirectNoApiModule = 2,            // setApiModule: null handle or no loaded module of that name
  kRedirectNoMzWord = 3,               // setApiModule: the target does not begin with "MZ"
  kRedirectNoPeSignature = 4,          // setApiModule: the target has no "PE" signature
  kRedirectNoImportsFromApi = 5,       // setApiModule: the target imports nothing from the API module (or
                                       // has no import directory)
  kRedirectNoSuchExport = 6,           // redirect: the API module exports no such function
  kRedirectNoTableSelected = 7,        // redirect: no import address table selected yet
  kRedirectNoSlotHoldsFunction = 8,    // redirect: no slot of the selected table holds the function's address
  kRedirectSlotProtectionRefused = 9,  // redirect: the slot's protection could not be changed (nothing written)
};

class CRedirector {
public:
  HINSTANCE module;           // target module whose imports are changed
  HINSTANCE apiModule;        // module whose functions are replaced
  DWORD* importAddressTable;  // first slot of the target's table for the API module

  CRedirector();
  CRedirector& operator=(const CRedirector& other);
  CRedirector& operator=(CRedirector&& other);
  void __autoclassinit2(unsigned int size);

  // A null name stands for the executable, as the platform answers a null module name.
  bool setModule(HINSTANCE handle);
  bool setModule(const char* name);
  bool setApiModule(HINSTANCE handle);
  bool setApiModule(const char* name);

  bool redirect(const char* name, void* replacement);
  bool redirect(int ordinal, void* replacement);
};
