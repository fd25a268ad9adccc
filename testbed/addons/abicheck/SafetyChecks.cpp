// Destroying documents as add-ons do: two objects that share a record by assignment, both destroyed, in
// either order, with the survivor used in between.
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

// second = first, then one of them is destroyed, other documents come and go (taking any memory the
// destruction gave back), the survivor changes the shared document, and it is destroyed too.
void checkSharedRecord(bool firstDiesFirst, const char* name) {
  alignas(4) static unsigned char first[4], second[4];
  CJSON_Exp* a = new (Place(), first) CJSON_Exp("abicheck-safety.json", true);
  CJSON_Exp* b = new (Place(), second) CJSON_Exp("abicheck-safety-other.json", true);
  *b = *a;
  (firstDiesFirst ? a : b)->~CJSON_Exp();
  for (int i = 0; i < 16; ++i) {
    CJSON_Exp passing("abicheck-safety-passing.json", true);
    passing.IsExist();
  }
  CJSON_Exp* survivor = firstDiesFirst ? b : a;
  survivor->SetInt(name, 1, true);
  checkNumber(name, 1, (*survivor)[name].GetInt());
  (firstDiesFirst ? b : a)->~CJSON_Exp();
  checkTrue(name, heapsValid());
}

}  // namespace

void checkSafety() {
  remove(kPath);
  checkSharedRecord(true, "the assigned document outlives the one it was assigned from");
  checkSharedRecord(false, "the document assigned from outlives the assigned one");
  checkFile("both destroyed, the shared document's file holds every change", kPath,
            "{\n    \"the assigned document outlives the one it was assigned from\": 1,\n"
            "    \"the document assigned from outlives the assigned one\": 1\n}");
}
