// The report's line writer: text, hex and decimal numbers formatted by hand into one line buffer.
#include "launcher/crash/ReportLines.h"

void ReportLines::begin(HANDLE output, DWORD limitMs) {
  file = output;
  start = GetTickCount();
  limit = limitMs;
  pastLimit = false;
  length = 0;
}

ReportLines& ReportLines::text(const char* text, size_t count) {
  for (size_t i = 0; i < count && text[i] && length < sizeof line - 2; ++i) line[length++] = text[i];
  return *this;
}

ReportLines& ReportLines::text(const char* text) {
  return this->text(text ? text : "(null)", sizeof line);
}

ReportLines& ReportLines::hex(DWORD value, int digits) {
  char digitsText[8];
  for (int i = 7; i >= 0; --i, value >>= 4) digitsText[i] = "0123456789ABCDEF"[value & 15];
  int first = 0;
  while (first < 8 - digits && digitsText[first] == '0') ++first;  // at least digits digits
  return text(digitsText + first, 8 - first);
}

ReportLines& ReportLines::number(DWORD value, int width) {
  char digitsText[10];
  int first = 10;
  do {
    digitsText[--first] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value || 10 - first < width);
  return text(digitsText + first, 10 - first);
}

bool ReportLines::end() {
  if (GetTickCount() - start > limit) pastLimit = true;
  if (!pastLimit) {
    line[length++] = '\r';
    line[length++] = '\n';
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
  }
  length = 0;
  return !pastLimit;
}
