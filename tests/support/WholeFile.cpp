// Whole-file reads through the C runtime, in 64 KB chunks.
#include "support/WholeFile.h"

#include <cstdio>

std::string readWholeFile(const char* path) {
  std::string bytes;
  FILE* file = fopen(path, "rb");
  if (!file) return bytes;
  char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  fclose(file);
  return bytes;
}
