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
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      gLine[at++] = static_cast<char>(c);
    } else {
      at += _snprintf(gLine + at, 5, "\\x%02X", c);
    }
  }
  gLine[at] = 0;
}

void writeLine(size_t size) {
  ++gChecks;
  if (!gReport) return;
  fwrite(gLine, 1, size, gReport);
  fwrite("\n", 1, 1, gReport);
}

void pass(const char* name) {
  size_t at = 0;
  appendEscaped(at, "ok ", 3);
  appendEscaped(at, name, strlen(name));
  writeLine(at);
}

void fail(const char* name, const char* expected, size_t expectedSize, const char* actual, size_t actualSize) {
  size_t at = 0;
  appendEscaped(at, "FAIL ", 5);
  appendEscaped(at, name, strlen(name));
  appendEscaped(at, " expected ", 10);
  appendEscaped(at, expected, expectedSize);
  appendEscaped(at, " actual ", 8);
  appendEscaped(at, actual, actualSize);
  writeLine(at);
}

// Reads a whole file into gFileBytes; -1 when it cannot be opened.
long readWhole(const char* path) {
  FILE* file = fopen(path, "rb");
  if (!file) return -1;
  size_t size = fread(gFileBytes, 1, sizeof gFileBytes, file);
  fclose(file);
  return static_cast<long>(size);
}

}  // namespace

bool openReport(const char* path) {
  gReport = fopen(path, "wb");
  gChecks = 0;
  return gReport != nullptr;
}

void closeReport() {
  if (!gReport) return;
  int size = _snprintf(gLine, sizeof gLine, "end %ld", gChecks);
  fwrite(gLine, 1, size, gReport);
  fwrite("\n", 1, 1, gReport);
  fclose(gReport);
  gReport = nullptr;
}

void checkTrue(const char* name, bool actual) {
  if (actual) return pass(name);
  fail(name, "true", 4, "false", 5);
}

void checkNumber(const char* name, long expected, long actual) {
  if (expected == actual) return pass(name);
  char e[32], a[32];
  int es = _snprintf(e, sizeof e, "%ld", expected), as = _snprintf(a, sizeof a, "%ld", actual);
  fail(name, e, es, a, as);
}

void checkPointer(const char* name, const void* expected, const void* actual) {
  if (expected == actual) return pass(name);
  char e[32], a[32];
  int es = _snprintf(e, sizeof e, "%p", expected), as = _snprintf(a, sizeof a, "%p", actual);
  fail(name, e, es, a, as);
}

void checkText(const char* name, const char* expected, const char* actual) {
  if (expected == actual || (expected && actual && strcmp(expected, actual) == 0)) return pass(name);
  fail(name, expected ? expected : "(null)", expected ? strlen(expected) : 6, actual ? actual : "(null)",
       actual ? strlen(actual) : 6);
}

void checkBytes(const char* name, const void* expected, unsigned int expectedSize, const void* actual,
                unsigned int actualSize) {
  if (expectedSize == actualSize && memcmp(expected, actual, expectedSize) == 0) return pass(name);
  fail(name, static_cast<const char*>(expected), expectedSize, static_cast<const char*>(actual), actualSize);
}

void checkDouble(const char* name, double expected, double actual) {
  if (memcmp(&expected, &actual, sizeof expected) == 0) return pass(name);
  char e[40], a[40];
  int es = _snprintf(e, sizeof e, "%.17g", expected), as = _snprintf(a, sizeof a, "%.17g", actual);
  fail(name, e, es, a, as);
}

void checkFile(const char* name, const char* path, const char* expected) {
  long size = readWhole(path);
  if (size < 0) return fail(name, expected, strlen(expected), "(no file)", 9);
  checkBytes(name, expected, strlen(expected), gFileBytes, static_cast<unsigned int>(size));
}

void checkNoFile(const char* name, const char* path) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return pass(name);
  fail(name, "(no file)", 9, path, strlen(path));
}
