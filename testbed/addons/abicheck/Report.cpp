// The add-on's result file, written through msvcrt; each line stays one line whatever it reports.
#include "Report.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

namespace {

FILE* gReport = nullptr;
long gChecks = 0;
char gLine[2048];
char gFileBytes[8192];

// Appends text to gLine with bytes outside printable ASCII (and the backslash) escaped as \xHH.
void appendEscaped(size_t& at, const char* text, size_t size) {
  for (size_t i = 0; i < size && at + 5 < sizeof gLine; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') gLine[at++] = static_cast<char>(c);
    else at += _snprintf(gLine + at, 5, "\\x%02X", c);
  }
  gLine[at] = 0;
}

// "ok NAME", or "FAIL NAME expected E actual A" when expected is given.
void report(const char* name, const char* expected = nullptr, size_t expectedSize = 0, const char* actual = nullptr,
            size_t actualSize = 0) {
  size_t at = 0;
  appendEscaped(at, expected ? "FAIL " : "ok ", expected ? 5 : 3);
  appendEscaped(at, name, strlen(name));
  if (expected) {
    appendEscaped(at, " expected ", 10);
    appendEscaped(at, expected, expectedSize);
    appendEscaped(at, " actual ", 8);
    appendEscaped(at, actual, actualSize);
  }
  ++gChecks;
  if (!gReport) return;
  fwrite(gLine, 1, at, gReport);
  fwrite("\n", 1, 1, gReport);
}

// Two values that differ, printed with one format.
template <typename Value>
void reportValues(const char* name, const char* format, Value expected, Value actual) {
  char e[40], a[40];
  int es = _snprintf(e, sizeof e, format, expected), as = _snprintf(a, sizeof a, format, actual);
  report(name, e, es, a, as);
}

}  // namespace

bool openReport(const char* path) {
  gReport = fopen(path, "wb");
  gChecks = 0;
  return gReport != nullptr;
}

void closeReport() {
  if (!gReport) return;
  fwrite(gLine, 1, _snprintf(gLine, sizeof gLine, "end %ld\n", gChecks), gReport);
  fclose(gReport);
  gReport = nullptr;
}

void checkTrue(const char* name, bool actual) {
  if (actual) return report(name);
  report(name, "true", 4, "false", 5);
}

void checkNumber(const char* name, long expected, long actual) {
  if (expected == actual) return report(name);
  reportValues(name, "%ld", expected, actual);
}

void checkPointer(const char* name, const void* expected, const void* actual) {
  if (expected == actual) return report(name);
  reportValues(name, "%p", expected, actual);
}

void checkText(const char* name, const char* expected, const char* actual) {
  if (expected == actual || (expected && actual && strcmp(expected, actual) == 0)) return report(name);
  report(name, expected ? expected : "(null)", expected ? strlen(expected) : 6, actual ? actual : "(null)",
         actual ? strlen(actual) : 6);
}

void checkBytes(const char* name, const void* expected, unsigned int expectedSize, const void* actual,
                unsigned int actualSize) {
  if (expectedSize == actualSize && memcmp(expected, actual, expectedSize) == 0) return report(name);
  report(name, static_cast<const char*>(expected), expectedSize, static_cast<const char*>(actual), actualSize);
}

void checkDouble(const char* name, double expected, double actual) {
  if (memcmp(&expected, &actual, sizeof expected) == 0) return report(name);
  reportValues(name, "%.17g", expected, actual);
}

void checkFile(const char* name, const char* path, const char* expected) {
  FILE* file = fopen(path, "rb");
  if (!file) return report(name, expected, strlen(expected), "(no file)", 9);
  size_t size = fread(gFileBytes, 1, sizeof gFileBytes, file);
  fclose(file);
  checkBytes(name, expected, strlen(expected), gFileBytes, static_cast<unsigned int>(size));
}

void checkNoFile(const char* name, const char* path) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return report(name);
  report(name, "(no file)", 9, path, strlen(path));
}
