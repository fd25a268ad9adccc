// The C runtime's heap functions, wrapped at link time: counted, measured, and made to fail on demand.
#include "testbed/allocation/AllocationHook.h"

#include <malloc.h>

#include <atomic>

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void __real_free(void* block);
}

namespace {

std::atomic<long> gAsked{0};    // allocations asked for since the last failAllocation
std::atomic<long> gFailing{0};  // the one of them that fails; 0: none
std::atomic<long long> gLive{0};
std::atomic<long long> gPeak{0};

// Counts one allocation; true when it must fail.
bool refused() {
  return ++gAsked == gFailing.load();
}

void account(long long change) {
  long long live = gLive += change;
  long long peak = gPeak.load();
  while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
  }
}

long long sizeOf(void* block) {
  return block ? static_cast<long long>(_msize(block)) : 0;
}

}  // namespace

extern "C" {

void* __wrap_malloc(size_t size) {
  if (refused()) return nullptr;
  void* block = __real_malloc(size);
  account(sizeOf(block));
  return block;
}

void* __wrap_calloc(size_t count, size_t size) {
  if (refused()) return nullptr;
  void* block = __real_calloc(count, size);
  account(sizeOf(block));
  return block;
}

void* __wrap_realloc(void* block, size_t size) {
  if (size != 0 && refused()) return nullptr;  // the old block stays, as a failed realloc leaves it
  long long before = sizeOf(block);
  void* moved = __real_realloc(block, size);
  if (moved || size == 0) account(sizeOf(moved) - before);
  return moved;
}

void __wrap_free(void* block) {
  account(-sizeOf(block));
  __real_free(block);
}

long failAllocation(long nth) {
  gFailing = 0;
  long asked = gAsked.exchange(0);
  gFailing = nth;
  return asked;
}

long long heapBytesLive() {
  return gLive.load();
}

long long heapBytesPeak() {
  return gPeak.load();
}

void restartHeapPeak() {
  gPeak = gLive.load();
}
}
