// Corvane add-on interface: writing bytes into loaded modules.
#pragma once

// Both overloads make the destination range execute-read-write for the copy and then restore its
// previous protection. They leave one of these codes in the thread's last-error value.
enum PatchCode : unsigned long {
  kPatchWritten = 0,            // the bytes were written
  kPatchNullAddress = 1,        // the destination address is null
  kPatchProtectionRefused = 2,  // the protection of the destination range could not be changed (nothing written)
  kPatchValueTooLong = 3,       // the value overload was given a size above 4 (nothing written)
};

// Copies size bytes from data to address.
bool patch(void* address, const void* data, unsigned int size);
// Writes the low size bytes (1 to 4) of value at address, lowest byte first.
bool patch(unsigned int address, unsigned int value, unsigned int size);
