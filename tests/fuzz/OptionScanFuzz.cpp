// Fuzz target: option scanning over any command line and any name, under the sanitizers. No fault (both
// texts sit in blocks of exactly their size, so any read past a terminator is caught); a value found is
// not empty and lies inside the text, after a space; trimming stays inside the value and leaves no
// whitespace at its edges.
#include "fuzz/FuzzSupport.h"
#include "services/internal/TextScan.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::string name = input.ConsumeRandomLengthString(16);
  std::string line = input.ConsumeRemainingBytesAsString();
  name.resize(strlen(name.c_str()));
  line.resize(strlen(line.c_str()));
  std::unique_ptr<char[]> lineCopy = exactCopy(line.c_str(), line.size() + 1);
  std::unique_ptr<char[]> nameCopy = exactCopy(name.c_str(), name.size() + 1);

  size_t start = 0;
  size_t length = 0;
  bool found = findOptionValue(lineCopy.get(), nameCopy.get(), &start, &length);
  if (!found) return 0;
  if (length == 0 || start == 0 || start > line.size() || length > line.size() - start || line[start - 1] != ' ')
    fuzzFailure("the value lies outside the text", name + " in " + line);

  // Trimming the value, in a block of its own as the queries make it, stays inside that block.
  const std::string given = line.substr(start, length);
  std::unique_ptr<char[]> value = exactCopy(given.c_str(), length + 1);
  char* trimmed = trimInPlace(value.get());
  if (trimmed < value.get() || trimmed > value.get() + length) fuzzFailure("trim left the value");
  size_t kept = strlen(trimmed);
  if (kept && (isBlank(trimmed[0]) || isBlank(trimmed[kept - 1]))) fuzzFailure("trim left whitespace at an edge");
  return 0;
}
