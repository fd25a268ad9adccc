// Fuzz target: option scanning over any command line and any name. No fault (both texts sit in blocks of
// exactly their size, so any read past a terminator is caught), the value found lies inside the text,
// and it is the one that a plain reading of the option rules finds; trimming stays inside the value.
#include "fuzz/FuzzSupport.h"
#include "services/internal/TextScan.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The option rules read literally: scanning starts after the first double quote at index 1 or later;
// the key is "-" + name unless name starts with a dash; it must stand between two spaces (never at the
// start of the scanned text) and match without regard to ASCII case; the value runs from after the
// following space to the first " -" followed by anything but a space, or to the end; empty is none.
bool expectedValue(const std::string& line, const std::string& name, size_t& start, size_t& length) {
  size_t from = 0;
  if (!line.empty()) {
    size_t quote = line.find('"', 1);
    if (quote != std::string::npos) from = quote + 1;
  }
  const std::string text = line.substr(from);
  const std::string key = !name.empty() && name[0] == '-' ? name : "-" + name;
  for (size_t at = 1; at + key.size() < text.size(); ++at) {
    if (text[at - 1] != ' ' || text[at + key.size()] != ' ') continue;
    bool same = true;
    for (size_t i = 0; i < key.size() && same; ++i) same = lower(text[at + i]) == lower(key[i]);
    if (!same) continue;
    size_t value = at + key.size() + 1;
    size_t end = value;
    while (end < text.size()) {
      bool next = text[end] == ' ' && end + 1 < text.size() && text[end + 1] == '-' &&
                  (end + 2 >= text.size() || text[end + 2] != ' ');
      if (next) break;
      ++end;
    }
    if (end == value) return false;
    start = from + value;
    length = end - value;
    return true;
  }
  return false;
}

}  // namespace

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
  size_t expectedStart = 0;
  size_t expectedLength = 0;
  bool expected = expectedValue(line, name, expectedStart, expectedLength);
  if (found != expected) fuzzFailure(found ? "a value where none is" : "no value where one is", name + " in " + line);
  if (!found) return 0;
  if (length == 0 || start > line.size() || length > line.size() - start)
    fuzzFailure("the value lies outside the text", name + " in " + line);
  if (start != expectedStart || length != expectedLength)
    fuzzFailure("another value than the rules give", name + " in " + line + ": " + line.substr(start, length));

  // Trimming the value, in a block of its own as the queries make it, stays inside that block.
  const std::string given = line.substr(start, length);
  std::unique_ptr<char[]> value = exactCopy(given.c_str(), length + 1);
  char* trimmed = trimInPlace(value.get());
  if (trimmed < value.get() || trimmed > value.get() + length) fuzzFailure("trim left the value");
  size_t kept = strlen(trimmed);
  if (kept && (isBlank(trimmed[0]) || isBlank(trimmed[kept - 1]))) fuzzFailure("trim left whitespace at an edge");
  return 0;
}
