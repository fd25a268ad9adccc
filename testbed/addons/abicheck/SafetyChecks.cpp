// Documents against what add-ons do with them: two objects that share a record by assignment, both
// destroyed, in either order, with the survivor used in between; a file another add-on holds open;
// look-ups that each give a handle of their own.
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

  // Held open the way a plain fopen holds it: without delete sharing, so it cannot be replaced.
  const char held[] = ".\\configs\\abicheck-held.json";
  writeText(held, "{\"a\": 1}");
  CJSON_Exp document("abicheck-held.json", false);
  FILE* holder = fopen(held, "rb");
  document.SetInt("b", 2, false);
  checkFile("a file another add-on holds open still gets the change", held, "{\n    \"a\": 1,\n    \"b\": 2\n}");
  if (holder) fclose(holder);

  // Handles that do not exist share a record, but never a handle: a caller may assign to its own.
  SObject_Exp& one = document["nope"];
  SObject_Exp& two = document["nope"];
  checkTrue("two look-ups of a missing member give two handles", &one != &two);
  one = document["a"];
  checkTrue("assigning to one missing handle leaves another missing",
            one.GetInt() == 1 && !two.IsExist() && !document["nope"].IsExist());
}
