// Writes the report one "key=value" line at a time, flushed at once so a crash leaves what was seen.
#pragma once

#include <cstdio>
#include <string>

class ReportWriter {
public:
  ~ReportWriter();
  bool open(const char* path);
  // Line breaks in the value would split the line: they are written as \r and \n.
  void put(const std::string& key, const std::string& value);
  void close();

private:
  FILE* file = nullptr;
};

// Helpers for values: hex of a 32-bit number (8 digits, upper case), hex of bytes, and a text made
// printable (bytes outside 0x20..0x7E as \xNN, at most limit characters of the original).
std::string hex32(unsigned long value);
std::string hexBytes(const std::string& bytes);
std::string printable(const std::string& text, size_t limit);
// The whole file at path, in binary; false when it cannot be opened.
bool readWholeFile(const char* path, std::string& bytes);
