// Storm.dll through the import table (import library made from Storm.def).
#include "testbed/game/ImportBinding.h"

const char* stormBinding() {
  return "import";
}
