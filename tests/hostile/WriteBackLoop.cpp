// WriteBackLoop.exe PATH READY [ROUNDS]: the writer that the kill test terminates. It opens the document
// at PATH through the launcher's own JSON code, sets the inherited event whose handle value is READY,
// then sets the member "Counter" to one more than before, again and again, each time writing the whole
// document back: ROUNDS times, or until it is terminated. Exit codes: 0 done, 2 bad arguments, 3 the
// document does not exist, 4 "Counter" is not a number.
#include "json/BoundDocument.h"

#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  HANDLE ready = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(strtoul(argv[2], nullptr, 10)));
  long rounds = argc > 3 ? atol(argv[3]) : -1;

  // The document lives for the whole process, as the launcher's do.
  static BoundDocument bound(argv[1], false);
  CJSON_Exp& document = bound.document;
  if (!document.IsExist()) return 3;
  SObject_Exp& counter = document["Counter"];
  if (!counter.IsInt()) return 4;
  int value = counter.GetInt();

  SetEvent(ready);
  for (long round = 0; rounds < 0 || round < rounds; ++round) document.SetInt("Counter", ++value, true);
  return 0;
}
