// The C runtime's heap functions, wrapped at link time in test builds (link allocation_hook): every
// block the program's own code and its static runtime ask for is counted, and a chosen allocation can
// be made to fail. Blocks of the runtime DLL's own internals are not seen.
#pragma once

#include <cstddef>

extern "C" {

// Allocation number nth from now (1: the next one) fails, and only that one; 0: none does. Returns
// the number of allocations asked for since the previous call. (Failing every later one too would
// also fail the C++ runtime's own first lock of its emergency exception pool, which it cannot survive.)
// Exported, so that an add-on loaded into a test build of Corvane.exe can call it.
__declspec(dllexport) long failAllocation(long nth);

// Bytes held by live blocks (as _msize gives them), and the most held since restartHeapPeak.
long long heapBytesLive();
long long heapBytesPeak();
void restartHeapPeak();
}
