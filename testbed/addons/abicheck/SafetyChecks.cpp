// Destroying documents as add-ons do: two objects that share a record by assignment, both destroyed,
// with the survivor used in between.
#include "CJSON_Exp.h"
#include "Checks.h"
#include "Report.h"

#include <stdio.h>

extern "C" intptr_t __cdecl _get_heap_handle();

namespace {

const char kPath[] = ".\\configs\\abicheck-safety.json";

bool heapsValid() {
  return HeapValidate(reinterpret_cast<HANDLE>(_get_heap_handle()), 0, nullptr) &&
         HeapValidate(GetProcessHeap(), 0, nullptr);
}

}  // namespace

// second = first, then first is destroyed, other documents come and go (taking any memory the
// destruction gave back), the survivor changes the shared document, and it is destroyed too.
void checkSafety() {
  const char name[] = "the assigned document outlives the one it was assigned from";
  remove(kPath);
  alignas(4) static unsigned char first[4], second[4];
  CJSON_Exp* a = new (Place(), first) CJSON_Exp("abicheck-safety.json", true);
  CJSON_Exp* b = new (Place(), second) CJSON_Exp("abicheck-safety-other.json", true);
  *b = *a;
  a->~CJSON_Exp();
  for (int i = 0; i < 16; ++i) CJSON_Exp("abicheck-safety-passing.json", true).IsExist();
  b->SetInt(name, 1, true);
  checkNumber(name, 1, (*b)[name].GetInt());
  b->~CJSON_Exp();
  checkTrue("both destroyed, the heaps are whole", heapsValid());
  checkFile("both destroyed, the shared document's file holds the change", kPath,
            "{\n    \"the assigned document outlives the one it was assigned from\": 1\n}");
}
