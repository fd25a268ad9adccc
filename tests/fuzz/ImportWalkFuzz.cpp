// Fuzz target: the import-directory walk over any image, under the sanitizers. The image lies in a heap
// block of exactly its size, so a read past its end is caught; entries are listed only for valid
// headers, each name given lies, NUL and all, inside the image, and a table said to be inside is.
#include "fuzz/FuzzSupport.h"
#include "patching/internal/ImportDirectory.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> image = exactCopy(data, size);
  const unsigned char* base = size ? reinterpret_cast<const unsigned char*>(image.get()) : nullptr;

  std::vector<ImportEntry> entries;
  ImageCheck check = readImports(base, size, entries);
  if (check != ImageCheck::valid && !entries.empty()) fuzzFailure("entries listed for headers that are not valid");
  for (const ImportEntry& entry : entries) {
    if (entry.tableInImage && (size < 4 || entry.firstThunk > size - 4))
      fuzzFailure("a table outside said to be inside");
    if (!entry.moduleName) continue;
    const unsigned char* name = reinterpret_cast<const unsigned char*>(entry.moduleName);
    if (name < base || name >= base + size || !memchr(name, 0, size - (name - base)))
      fuzzFailure("a name given that does not lie whole inside the image");
  }
  return 0;
}
