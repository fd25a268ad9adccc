// The faulting thread's stack as return addresses into loaded code: the frame-pointer chain where it
// holds, and a scan of the stack for values that follow a call instruction, marked as probable.
#pragma once

#include "launcher/crash/LoadedModules.h"

#include <windows.h>

struct StackFrame {
  DWORD address;  // the faulting instruction, then return addresses
  DWORD slot;     // where on the stack the return address lies; 0 for the faulting instruction
  bool probable;  // found by the scan alone
};

// Fills frames, the faulting instruction first, then in the order they lie on the stack; returns how
// many were found (at most capacity).
size_t walkStack(const CONTEXT& context, const ModuleTable& modules, StackFrame* frames, size_t capacity);

// When the call instruction before returnAddress (in module caller) goes through an import slot of
// caller, directly ("call [slot]") or through a jump stub ("call stub", "stub: jmp [slot]"): the slot's
// address, else 0.
DWORD importSlotCalled(const LoadedModule& caller, DWORD returnAddress);
