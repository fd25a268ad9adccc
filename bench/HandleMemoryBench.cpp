// Memory per look-up handle: a million look-ups on one document, each returning a handle that is
// never released, and the heap's growth divided by their number. A handle needs its 4-byte pointer and
// a 16-byte record (document, value, name, exists): 20 bytes is the baseline, 24 the most allowed.
//
// Growth is the sum of the busy blocks of the C runtime's heap (the bytes asked for plus the heap's
// own overhead per block, as HeapWalk reports them), taken before and after. The memory committed to
// the process (every private region VirtualQuery finds) is printed beside it as a check.
#include "bench/BenchSupport.h"

#include "json/BoundDocument.h"
#include "json/NodeRecord.h"

#include <windows.h>

#include <malloc.h>

#include <cstdio>

namespace {

const int kLookUps = 1000000;
const double kBaselineBytes = sizeof(NodeRecord) + sizeof(SObject_Exp);
const double kMostBytes = 24;
static_assert(sizeof(NodeRecord) == 16 && sizeof(SObject_Exp) == 4, "the 32-bit layout");

// Bytes held by busy blocks of heap, overhead included.
double busyBytes(HANDLE heap) {
  double total = 0;
  PROCESS_HEAP_ENTRY entry = {};
  HeapLock(heap);
  while (HeapWalk(heap, &entry))
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData + entry.cbOverhead;
  HeapUnlock(heap);
  return total;
}

}  // namespace

int main() {
  std::string scratch = makeScratch("handles");
  writeText("handles.json", "{\n    \"Key\": 1\n}");
  static BoundDocument bound("handles.json", false);
  CJSON_Exp& document = bound.document;
  HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
  for (int i = 0; i < 1000; ++i) (void)document["Key"];  // the heap settles into its small-block regime

  double busyBefore = busyBytes(heap), committedBefore = committedBytes();
  long sum = 0;
  for (int i = 0; i < kLookUps; ++i) sum += document["Key"].GetInt();
  double busyAfter = busyBytes(heap), committedAfter = committedBytes();

  double perHandle = (busyAfter - busyBefore) / kLookUps;
  printResult("memory per look-up handle (1,000,000)", perHandle, kBaselineBytes, "bytes", kMostBytes / kBaselineBytes);
  char note[200];
  snprintf(note, sizeof note, "look-up handles: %.1f heap bytes each, %.1f committed bytes each (values read %ld)",
           perHandle, (committedAfter - committedBefore) / kLookUps, sum);
  printNote(note);
  removeScratch(scratch);
  return 0;
}
