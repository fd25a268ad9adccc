// Pure text scanning shared by the string helpers and the command-line queries.
#pragma once

#include <cstddef>

// The whitespace set of the C locale: space and 0x09-0x0D. Bytes from 0x80 never count.
bool isBlank(char c);

// Turns leading and trailing whitespace into NUL and returns the first byte that is not whitespace
// (the terminator when the whole text is whitespace). Touches no byte outside the text.
char* trimInPlace(char* text);

// Finds the value of option name ("-name value") in a command line. Scanning starts after the first
// double quote at index 1 or later, if any. The key ("-" + name unless name starts with "-") matches
// without regard to ASCII letter case, with a space before and after it; the value runs up to the first
// " -" followed by anything but a space. Returns false when the option is absent or its value empty.
bool findOptionValue(const char* commandLine, const char* name, size_t* start, size_t* length);

// True when the command line holds the switch name ("-name", found as findOptionValue finds a key)
// followed by a space or by the end of the line; a switch needs no value.
bool findSwitch(const char* commandLine, const char* name);
