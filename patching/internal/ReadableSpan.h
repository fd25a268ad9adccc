// How many bytes from an address can be read without a fault.
#pragma once

#include <cstddef>

// The length of the committed, readable memory that starts at address and belongs to the same
// allocation (a loaded module is one allocation); 0 when the address itself cannot be read.
size_t readableSpan(const void* address);
