// Lines of a report written straight to a file from static storage: nothing is allocated, each line is
// on disk once it ends, and once the time limit has passed the lines that follow are dropped.
#pragma once

#include <windows.h>

#include <cstddef>

class ReportLines {
public:
  // Writes to file until limitMs after now.
  void begin(HANDLE file, DWORD limitMs);
  ReportLines& text(const char* text);
  ReportLines& text(const char* text, size_t length);
  ReportLines& hex(DWORD value, int digits = 8);
  // Decimal, with leading zeros to width digits.
  ReportLines& number(DWORD value, int width = 1);
  // Ends the line (CR LF) and writes it; false once the time limit has passed.
  bool end();
  bool late() const { return pastLimit; }

private:
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD start = 0;
  DWORD limit = 0;
  bool pastLimit = false;
  size_t length = 0;
  char line[2048];
};
