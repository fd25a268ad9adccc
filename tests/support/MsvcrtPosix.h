// The msvcrt calls that portable tests make, answered on Linux for the native build.
#pragma once

#include <sanitizer/allocator_interface.h>

#include <cstddef>

// The size a block was allocated with: the sanitizer's allocator keeps it exactly, as msvcrt does.
inline size_t _msize(void* block) {
  return __sanitizer_get_allocated_size(block);
}
