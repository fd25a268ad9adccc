// The msvcrt calls that portable tests make, answered on Linux for the native build.
#pragma once

#include <cstddef>

// From the sanitizers' allocator interface, which both clang's and GCC's runtimes export.
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* block);

// The size a block was allocated with: the sanitizer's allocator keeps it exactly, as msvcrt does.
inline size_t _msize(void* block) {
  return __sanitizer_get_allocated_size(block);
}
