// Corvane add-on interface: string helpers.
#pragma once

// Blocks handed out are zero-filled allocations of msvcrt's heap (calloc); the caller owns them and
// may release them with msvcrt's free.
namespace StringUtils {
// A new zero-filled block of exactly size bytes, or null.
char* strloc(unsigned int size);
// A new block holding the count strings joined, of exactly their total length + 1 bytes; null when
// count is 0, when any of the strings is null, or when the heap cannot supply the block.
char* strunite(unsigned int count, const char* first, ...);
// Trims whitespace in place: leading and trailing whitespace bytes become NUL, and the result points
// at the first byte that is not whitespace. Allocates nothing.
char* trim(const char* text);
}  // namespace StringUtils
