// Calling an exported entry point exactly as a Microsoft-compiled caller does, and recording the
// registers, the stack and the x87 register stack that the callee leaves behind.
#pragma once

struct ProbeResult {
  unsigned long eax;
  unsigned long edx;
  long popped;           // bytes of arguments the callee removed from the stack
  unsigned long fpuTop;  // x87 TOP after the call: 0 with an empty register stack, 7 with one value
  double st0;            // the x87 value returned (popped into here when fpuTop is not 0)
};

// Pushes count 32-bit words of args, last to first, sets ECX, calls function and fills result.
extern "C" void __cdecl probeCall(const void* function, const void* ecx, const unsigned long* args, unsigned long count,
                                  ProbeResult* result);
