// Small file helpers of the add-on's checks.
#include "Checks.h"

#include <stdio.h>
#include <string.h>

bool writeText(const char* path, const char* text) {
  FILE* file = fopen(path, "wb");
  if (!file) return false;
  size_t size = strlen(text);
  bool written = fwrite(text, 1, size, file) == size;
  fclose(file);
  return written;
}
