// String helpers: zero-filled heap blocks and in-place trimming.
#include "StringUtils.h"

#include "services/internal/TextScan.h"

#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

char* StringUtils::strloc(unsigned int size) {
  return static_cast<char*>(calloc(size, 1));
}

char* StringUtils::strunite(unsigned int count, const char* first, ...) {
  if (count == 0) return nullptr;

  // First pass: every piece must be there, and the total must fit (a sum that wraps would make a
  // short block that the copies overrun).
  size_t total = 0;
  va_list pieces;
  va_start(pieces, first);
  for (unsigned int i = 0; i < count; ++i) {
    const char* piece = i == 0 ? first : va_arg(pieces, const char*);
    if (!piece) {
      va_end(pieces);
      return nullptr;
    }
    size_t length = strlen(piece);
    if (length >= SIZE_MAX - 1 - total) {
      va_end(pieces);
      return nullptr;
    }
    total += length;
  }
  va_end(pieces);

  char* block = static_cast<char*>(calloc(total + 1, 1));
  if (!block) return nullptr;

  size_t end = 0;
  va_start(pieces, first);
  for (unsigned int i = 0; i < count; ++i) {
    const char* piece = i == 0 ? first : va_arg(pieces, const char*);
    size_t length = strlen(piece);
    memcpy(block + end, piece, length + 1);
    end += length;
  }
  va_end(pieces);
  return block;
}

char* StringUtils::trim(const char* text) {
  return trimInPlace(const_cast<char*>(text));
}
