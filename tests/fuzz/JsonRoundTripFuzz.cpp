// Fuzz target: any bytes load without a fault into an object or an array, and the tree written back is,
// byte for byte, what RapidJSON's PrettyWriter writes of it.
#include "fuzz/FuzzSupport.h"
#include "json/Document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = scratchFile("loaded.json");
  writeWholeFile(path, data, size);
  ScratchDocument loaded(path, false);
  if (!loaded.document().IsExist()) fuzzFailure("an existing file did not open");
  if (!loaded.tree().IsObject() && !loaded.tree().IsArray()) fuzzFailure("the root is not a container");
  if (!WriteBack(*loaded.document().record)) fuzzFailure("a loaded tree could not be written back");
  checkFileHolds(loaded.tree(), path);
  return 0;
}
