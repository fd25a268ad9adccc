// user32 through the import table: the loader has bound every slot already.
#include "testbed/game/ImportBinding.h"

bool bindUser32() {
  return true;
}

const char* user32Binding() {
  return "import";
}
