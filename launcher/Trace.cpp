// The start-up trace: each line is appended and the file closed again, so a crash loses nothing.
#include "launcher/Trace.h"

#include "services/ClosingFile.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

static const char* tracePath() {
  static char path[MAX_PATH];
  static bool read = false;
  if (!read) {
    DWORD length = GetEnvironmentVariableA("CORVANE_TRACE", path, sizeof path);
    if (length == 0 || length >= sizeof path) path[0] = '\0';
    read = true;
  }
  return path[0] ? path : nullptr;
}

// With CORVANE_TRACE_CLOCK set too, every line starts with the performance counter in microseconds
// (the start-up benchmark measures its phases from them).
static bool traceClock() {
  static int on = -1;
  if (on < 0) on = GetEnvironmentVariableA("CORVANE_TRACE_CLOCK", nullptr, 0) > 1;
  return on;
}

void trace(const char* format, ...) {
  const char* path = tracePath();
  if (!path) return;
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);  // before the file is opened: the stamp is the step's, not the trace's
  ClosingFile trace(fopen(path, "ab"));
  FILE* file = trace.file;
  if (!file) return;
  if (traceClock() && QueryPerformanceFrequency(&frequency))
    fprintf(file, "%.0f ", static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart));
  va_list arguments;
  va_start(arguments, format);
  vfprintf(file, format, arguments);
  va_end(arguments);
  fputc('\n', file);
}
