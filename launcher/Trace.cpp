// The start-up trace: each line is appended and the file closed again, so a crash loses nothing.
#include "launcher/Trace.h"

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

void trace(const char* format, ...) {
  const char* path = tracePath();
  if (!path) return;
  FILE* file = fopen(path, "ab");
  if (!file) return;
  va_list arguments;
  va_start(arguments, format);
  vfprintf(file, format, arguments);
  va_end(arguments);
  fputc('\n', file);
  fclose(file);
}
