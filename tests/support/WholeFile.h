// Whole-file reads for the tests, the fuzzers and the benchmarks, on Windows and on Linux alike.
#pragma once

#include <string>

// The file's bytes; empty when it cannot be opened.
std::string readWholeFile(const char* path);
